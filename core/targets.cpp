#include "targets.h"

#if TAMRIX_MAP_X86_TARGETS
#include <cpuid.h>
#endif

namespace tamrix {
namespace {

// Best first.
constexpr Target by_priority[] = {Target::avx2, Target::sse2, Target::portable};

bool processor_runs(Target target) {
#if TAMRIX_MAP_X86_TARGETS
    if (target == Target::portable) return true;
    // __get_cpuid also answers on a processor without the instruction.
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(edx & bit_SSE2)) return false;
    if (target == Target::sse2) return true;
    if (!(ecx & bit_OSXSAVE) || !(ecx & bit_AVX)) return false;
    unsigned xcr0_low, xcr0_high;
    __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
    if ((xcr0_low & 6) != 6) return false;  // the system saves no XMM and YMM state
    return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & bit_AVX2);
#else
    return target == Target::portable;
#endif
}

bool chosen = false;
Target in_use = Target::portable;

}  // namespace

bool target_available(Target target) { return processor_runs(target); }

Target target_in_use() {
    if (!chosen) {
#if !defined(TAMRIX_MAP_PORTABLE_ONLY)
        for (Target target : by_priority)
            if (target_available(target)) {
                in_use = target;
                break;
            }
#endif
        chosen = true;
    }
    return in_use;
}

void use_target(Target target) {
    in_use = target;
    chosen = true;
}

}  // namespace tamrix
