// yyparse and yylex: the search set's, chosen from the processor once per
// process: SSE2 where the processor has it, with AVX2 for long runs where
// the processor and the system (which must save the AVX registers) allow.
// A build with TAMRIX_MAP_PORTABLE_ONLY takes the portable set everywhere,
// so that its DLL can be tested where the processor has SSE2.
#include "search_sets.h"

#include <cstddef>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define TAMRIX_MAP_HAS_SSE2_SET 1
#else
#define TAMRIX_MAP_HAS_SSE2_SET 0
#endif

#include "map_reader.h"

namespace tamrix::scanning {

// Each set's entry points (map_scanner.cpp, map_token_source.cpp).
namespace portable {
int parse();
int lex();
std::size_t filter_bytes(char *data, std::size_t count, char dropped, char stop, bool &stopped);
void copy_long_text(char *to, const char *from, std::size_t n);
}  // namespace portable
#if TAMRIX_MAP_HAS_SSE2_SET
namespace sse2 {
int parse();
int lex();
std::size_t filter_bytes(char *data, std::size_t count, char dropped, char stop, bool &stopped);
void copy_long_text(char *to, const char *from, std::size_t n);
bool avx2_searches = false;
}  // namespace sse2
#endif

namespace {

struct SetEntries {
    SearchSet set;
    int (*parse)();
    int (*lex)();
    std::size_t (*filter_bytes)(char *, std::size_t, char, char, bool &);
    void (*copy_long_text)(char *, const char *, std::size_t);
};

constexpr SetEntries portable_entries{SearchSet::portable, portable::parse, portable::lex,
                                      portable::filter_bytes, portable::copy_long_text};
#if TAMRIX_MAP_HAS_SSE2_SET
constexpr SetEntries sse2_entries{SearchSet::sse2, sse2::parse, sse2::lex, sse2::filter_bytes, sse2::copy_long_text};
constexpr SetEntries avx2_entries{SearchSet::avx2, sse2::parse, sse2::lex, sse2::filter_bytes, sse2::copy_long_text};
#endif

bool processor_has(SearchSet set) {
#if TAMRIX_MAP_HAS_SSE2_SET
    // __get_cpuid also answers on a processor without the instruction.
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(edx & bit_SSE2)) return false;
    if (set != SearchSet::avx2) return true;
    if (!(ecx & bit_OSXSAVE) || !(ecx & bit_AVX)) return false;
    unsigned xcr0_low, xcr0_high;
    __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
    if ((xcr0_low & 6) != 6) return false;  // the system saves no XMM and YMM state
    return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & bit_AVX2);
#else
    (void)set;
    return false;
#endif
}

const SetEntries &entries_of(SearchSet set) {
#if TAMRIX_MAP_HAS_SSE2_SET
    sse2::avx2_searches = set == SearchSet::avx2;
    if (set == SearchSet::sse2) return sse2_entries;
    if (set == SearchSet::avx2) return avx2_entries;
#endif
    return portable_entries;
}

const SetEntries *in_use = nullptr;

const SetEntries &chosen() {
    if (!in_use) {
        SearchSet best = SearchSet::portable;
#if !defined(TAMRIX_MAP_PORTABLE_ONLY)
        if (search_set_available(SearchSet::avx2))
            best = SearchSet::avx2;
        else if (search_set_available(SearchSet::sse2))
            best = SearchSet::sse2;
#endif
        in_use = &entries_of(best);
    }
    return *in_use;
}

}  // namespace

bool search_set_available(SearchSet set) { return set == SearchSet::portable || processor_has(set); }

SearchSet search_set_in_use() { return chosen().set; }

void use_search_set(SearchSet set) { in_use = &entries_of(set); }

std::size_t filter_bytes(char *data, std::size_t count, char dropped, char stop, bool &stopped) {
    return chosen().filter_bytes(data, count, dropped, stop, stopped);
}

void copy_long_text(char *to, const char *from, std::size_t n) { chosen().copy_long_text(to, from, n); }

}  // namespace tamrix::scanning

int yyparse() { return tamrix::scanning::chosen().parse(); }

int yylex() { return tamrix::scanning::chosen().lex(); }
