// What each processor target of the reader provides (reader-inl.h), and
// those of the target in use (core's targets.h chooses it).
#pragma once

#include <cstddef>

namespace tamrix {

struct TargetEntries {
    int (*parse)();  // yyparse
    int (*lex)();    // yylex
    // Removes every `dropped` byte from data[0..count) and cuts it at the
    // first `stop` byte, setting `stopped`; returns the count left. With
    // dropped the same as stop, it only cuts. The text layer's filter.
    std::size_t (*filter_bytes)(char *data, std::size_t count, char dropped, char stop, bool &stopped);
    // Copies n bytes between ranges that do not overlap: the copy of a name
    // into its record.
    void (*copy_text)(char *to, const char *from, std::size_t n);
};

const TargetEntries &target_entries();

}  // namespace tamrix
