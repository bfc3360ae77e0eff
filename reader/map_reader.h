// The reader's inside, for its own files and its tests: the scanner
// (map_scanner-inl.h), yyparse (map_token_source-inl.h, target_entries.cpp),
// the grammar (map_grammar.y), the state they share and their
// generator-style names. The rest of the library reads map files through
// reader.h.
#pragma once

#include <cstdint>
#include <cstdio>

#include "map_tokens.h"

// Longest match the scanner takes, plus its terminating zero.
#define YYLMAX 8192

namespace tamrix {

// Thrown by the scanner for its fatal errors (an over-long token, a read
// error, no memory for its buffer); `message` is a static text.
struct ScannerFatal {
    const char *message;
};

[[noreturn]] void scanner_fatal(const char *message);

// Address of the last ADDRESS reduced; 0 at load and never reset.
extern std::uint32_t current_address;

// Set when the parse ended because a record could not be stored for lack
// of memory; cleared as every parse begins. The record's line end has
// been counted by then, so its line is yylineno - 1.
extern bool record_refused;

// Test hook: the number of every input's first line. 1, unless a test
// starts the count near a limit instead of reading billions of lines.
extern std::uint64_t first_line_number;

}  // namespace tamrix

// Parses the current input: 0 when it is a map file, 1 at a syntax error.
// yytext and yylineno then describe the token it stopped at.
int yyparse();

// Returns the next token and leaves its text in yytext.
int yylex();
// Starts the scanner afresh on `stream`: INITIAL, at the beginning of a
// line, nothing buffered, yylineno 1 (first_line_number). Throws
// ScannerFatal when the buffer cannot be allocated.
void yy_reset_input(std::FILE *stream);
// The current start condition: 0 INITIAL, 1 S_HEAD, 2 S_VALUE, 3 S_NAME,
// 4 S_EOL.
int yy_start_condition();
// Frees the scanner's buffer, so that the next yy_reset_input allocates it
// as the first parse of a process does. For tests, fuzzers and the
// unloading DLL.
int yylex_destroy();

extern char yytext[];
extern int yyleng;
// Wide enough that no file can make it overflow.
extern std::uint64_t yylineno;
