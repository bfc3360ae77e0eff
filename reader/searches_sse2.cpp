// The scanner and the parser with SSE2 searches, 16 bytes at a time, for
// x86 processors that have SSE2. A 32-bit build's baseline has no SSE2:
// there the code below the pragma is compiled for SSE2 and runs only where
// search_dispatch.cpp found it. The standard headers come before the pragma,
// so that their inline functions, which the linker may share with code
// that runs anywhere, are compiled for the baseline.
#if defined(__i386__) || defined(__x86_64__)

#include <array>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>

#if !defined(__SSE2__) && defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse2"))), apply_to = function)
#elif !defined(__SSE2__)
#pragma GCC target("sse2")
#endif
#define TAMRIX_MAP_SSE2_SEARCHES

#include "map_scanner.cpp"
#include "map_token_source.cpp"

#if !defined(__SSE2__) && defined(__clang__)
#pragma clang attribute pop
#endif
#endif
