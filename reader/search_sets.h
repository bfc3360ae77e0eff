// The search sets the reader is compiled with, and the choice among them.
// "portable" runs on every processor; "sse2" is compiled on x86 builds and
// taken where the processor has SSE2; "avx2" is "sse2" with long runs
// searched by AVX2. Decided once per process from cpuid.
#pragma once

#include <cstddef>

namespace tamrix::scanning {

enum class SearchSet { portable, sse2, avx2 };

// Whether this build holds `set` and this processor can run it.
bool search_set_available(SearchSet set);
// The set in use; chosen at the first parse or scan unless a test chose.
SearchSet search_set_in_use();
// For tests: runs the reader with `set`, which must be available.
void use_search_set(SearchSet set);

// Removes every `dropped` byte from data[0..count) and cuts it at the
// first `stop` byte, setting `stopped`; returns the count left. With
// dropped the same as stop, it only cuts. The text layer's filter.
std::size_t filter_bytes(char *data, std::size_t count, char dropped, char stop, bool &stopped);

// Copies n bytes between ranges that do not overlap: the record list's copy
// of a long name.
void copy_long_text(char *to, const char *from, std::size_t n);

}  // namespace tamrix::scanning
