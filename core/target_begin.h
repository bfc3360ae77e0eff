// Opens the code of one processor target. The reader's hot code is
// compiled once per target, one translation unit each (reader/target_*.cpp):
//
//   portable  plain C++, a machine word at a time; runs on every processor
//   sse2      SSE2, 16 bytes a step; x86 processors that have it
//   avx2      sse2, with long runs searched 64 or 128 bytes a test by the
//             AVX2 functions of avx2_long_runs.cpp; x86 processors and
//             systems that have AVX2
//
// A target's unit includes the headers its bodies share with the other
// targets, defines TAMRIX_MAP_TARGET as the target's name, includes this
// file, the bodies (*-inl.h) and target_end.h. In between, everything is
// in namespace tamrix::<target>, so that the linker never hands one
// target's copy of an inline function to another (an SSE2 copy would fault
// on a processor without SSE2); and on 32-bit x86, whose baseline has no
// SSE2, the code of the x86 targets is compiled for SSE2 by a pragma. The
// standard headers come before the pragma, so that their inline functions
// are compiled for the baseline wherever they are used. targets.cpp
// chooses the target a process runs.
#if !defined(TAMRIX_MAP_TARGET)
#error "define TAMRIX_MAP_TARGET (portable, sse2 or avx2) before including target_begin.h"
#endif
#if defined(TAMRIX_MAP_TARGET_OPEN)
#error "target_begin.h: a target is open already; close it with target_end.h"
#endif

#define TAMRIX_MAP_TARGET_LEVEL_portable 0
#define TAMRIX_MAP_TARGET_LEVEL_sse2 1
#define TAMRIX_MAP_TARGET_LEVEL_avx2 2
#define TAMRIX_MAP_TARGET_JOIN(a, b) a##b
#define TAMRIX_MAP_TARGET_LEVEL_OF(target) TAMRIX_MAP_TARGET_JOIN(TAMRIX_MAP_TARGET_LEVEL_, target)
// What the open target may use.
#define TAMRIX_MAP_TARGET_SSE2 (TAMRIX_MAP_TARGET_LEVEL_OF(TAMRIX_MAP_TARGET) >= 1)
#define TAMRIX_MAP_TARGET_AVX2 (TAMRIX_MAP_TARGET_LEVEL_OF(TAMRIX_MAP_TARGET) >= 2)

#if TAMRIX_MAP_TARGET_SSE2 && !(defined(__i386__) || defined(__x86_64__))
#error "the sse2 and avx2 targets are for x86 processors"
#endif

#include <array>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if TAMRIX_MAP_TARGET_SSE2
#include <emmintrin.h>

#include "avx2_long_runs.h"  // declared for sse2 too, where TAMRIX_MAP_TARGET_AVX2 rules the calls out
#endif

// The bodies are little-endian throughout: the first byte of a word is its
// lowest.
static_assert(std::endian::native == std::endian::little, "the reader's targets assume a little-endian processor");

#if TAMRIX_MAP_TARGET_SSE2 && !defined(__SSE2__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("sse2")
#endif
#define TAMRIX_MAP_TARGET_PRAGMA_PUSHED
#endif

// Nothing of a target leaves the library: what it declares is reached
// without a detour through the shared library's symbol table.
#if defined(__ELF__)
#pragma GCC visibility push(hidden)
#endif

#define TAMRIX_MAP_TARGET_OPEN
namespace tamrix {
namespace TAMRIX_MAP_TARGET {
