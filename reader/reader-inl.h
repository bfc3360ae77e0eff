// The reader's code that each processor target compiles: its searches and
// copies, the scanner, the parser's token source and the parser, and the
// entry points target_entries.cpp chooses among. Included by one unit per
// target (target_*.cpp) between target_begin.h and target_end.h, that is,
// inside namespace tamrix::<target>.
#if !defined(TAMRIX_MAP_TARGET_OPEN)
#error "reader-inl.h is compiled once per target: include it between target_begin.h and target_end.h"
#endif
#pragma once

using namespace scanning;

#include "byte_search-inl.h"
#include "text_copy-inl.h"
#include "scan_runs-inl.h"
#include "map_scanner-inl.h"
#include "map_token_source-inl.h"
#include "map_grammar-inl.h"

// The text layer's filter (map_input.cpp), for this target.
std::size_t filter_bytes(char *data, std::size_t count, char dropped, char stop, bool &stopped) {
    return drop_and_cut(data, count, dropped, stop, stopped);
}

extern const TargetEntries entries;
const TargetEntries entries{parse, lex, filter_bytes, copy_text};
