// The processor targets the reader is compiled for (target_begin.h), and
// the choice among them: the first of avx2, sse2 and portable that this
// build holds and this processor runs, made once per process from cpuid.
// A build configured with TAMRIX_MAP_TARGETS=portable takes the portable
// target everywhere, so that its DLL can be tested where the processor
// has SSE2.
#pragma once

// Whether this build holds the x86 targets, sse2 and avx2.
#if defined(__i386__) || defined(__x86_64__)
#define TAMRIX_MAP_X86_TARGETS 1
#else
#define TAMRIX_MAP_X86_TARGETS 0
#endif

namespace tamrix {

enum class Target { portable, sse2, avx2 };
inline constexpr int target_count = 3;

// Whether this build holds `target` and this processor can run it.
bool target_available(Target target);
// The target in use; chosen at its first use unless a test chose.
Target target_in_use();
// For tests: runs the reader with `target`, which must be available.
void use_target(Target target);

}  // namespace tamrix
