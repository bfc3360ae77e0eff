// The map-file reader as the rest of the library sees it: one call that
// reads a map file into the record list, and what it tells of the result.
// The scanner, the parser and their state (map_reader.h) stay inside
// reader/.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tamrix::reader {

enum class ParseStatus {
    parsed,          // the file is a map file; its records are in the list
    syntax_error,    // it ends in the middle of a line, or holds no line end
    record_refused,  // no memory for a record: the parse stopped there
    fatal,           // an over-long token, a read error, no memory for the buffer
};

struct ParseOutcome {
    ParseStatus status;
    // The line the parse stopped at: that of the refused record, or where
    // the scanner stood at a syntax error or a fatal error.
    std::uint64_t line;
    const char *text;           // syntax_error: the text it stopped at
    const char *fatal_message;  // fatal: a static text
};

// Reads `map_file` from its start position with a fresh scanner, appending
// a record per record line. The records appended before a failure stay.
// The texts of the outcome are valid until the next parse.
ParseOutcome parse(std::FILE *map_file) noexcept;

// Frees the scanner's buffer, which every parse otherwise keeps for the
// next: the unloading DLL's last act.
void release() noexcept;

}  // namespace tamrix::reader
