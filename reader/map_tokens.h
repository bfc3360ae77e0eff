// What the scanner hands the parser: token codes and the value cell.
#pragma once

#include <cstdint>

// 0 is the end of the input.
enum MapToken : int {
    LINE_END = 257,      // a line end, except after a symbol name
    RECORD_END = 258,    // the line end after a symbol name
    SYMBOL_NAME = 259,   // a name after the address
    ADDRESS = 260,       // 1 to 4 hex digits and an H
    ADDR_KEYWORD = 261,  // "ADDR" and a blank or tab
    LINE_HEAD = 262,     // a name in column 1
    // LINE_HEAD to RECORD_END as one token, with the address and the name;
    // only the parser's token source sends it.
    RECORD_LINE = 263,
};

// Small on purpose: a name longer than any fixed cell reaches its record
// whole, and copying the value costs nothing.
struct MapTokenValue {
    std::uint32_t address;      // ADDRESS, RECORD_LINE
    std::uint32_t name_length;  // SYMBOL_NAME, RECORD_LINE
    const char *name;           // SYMBOL_NAME, RECORD_LINE; valid until the next name
};

// Written by the scanner for ADDRESS and SYMBOL_NAME only; other tokens
// leave it as it was.
extern MapTokenValue yylval;
