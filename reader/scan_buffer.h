// What the scanner (map_scanner-inl.h) and the parser's token source
// (map_token_source-inl.h) share, whichever target runs them: the buffer
// and the position in it, the text of the last token, and the byte
// classes both cut lines with. Kept in scan_buffer.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "map_reader.h"

// The state is the library's own: reached without a detour through the
// shared library's symbol table.
#if defined(__ELF__)
#pragma GCC visibility push(hidden)
#endif

namespace tamrix::scanning {

constexpr std::size_t buffer_size = 16384;  // characters the buffer holds
constexpr std::size_t read_size = 8192;     // characters one refill asks for
constexpr std::size_t longest_match = YYLMAX - 1;

// SKIP: a byte that is always a one-byte match of its own and never part
// of a token: anything but a word character, LF, CR and NUL (which may
// also be the end of the buffered data).
enum : std::uint8_t { WORD = 1, NAME = 2, NAME_START = 4, SKIP = 8 };

constexpr std::array<std::uint8_t, 256> make_char_classes() {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        bool digit = c >= '0' && c <= '9';
        bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        std::uint8_t bits = 0;
        if (digit || letter || c == '_') bits |= WORD | NAME;
        if (c == '-') bits |= WORD;
        if (letter || c == '_') bits |= NAME_START;
        if (!(bits & WORD) && c != '\n' && c != '\r' && c != '\0') bits |= SKIP;
        classes[static_cast<std::size_t>(c)] = bits;
    }
    return classes;
}

inline constexpr std::array<std::uint8_t, 256> char_class = make_char_classes();

constexpr std::array<std::uint8_t, 256> make_hex_values() {
    std::array<std::uint8_t, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[static_cast<std::size_t>(c)] = c >= '0' && c <= '9'   ? c - '0'
                                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                     : 16;
    return values;
}

inline constexpr std::array<std::uint8_t, 256> hex_value = make_hex_values();

struct ScanBuffer {
    std::FILE *stream;
    char *chars;       // buffer_size characters, then two zero bytes behind the held ones
    std::size_t held;  // characters in chars
    bool interactive;
    bool at_line_start;
    bool end_of_file_pending;  // the stream ended while a match was unfinished
};

enum StartCondition : int { INITIAL = 0, S_HEAD = 1, S_VALUE = 2, S_NAME = 3, S_EOL = 4 };

extern ScanBuffer *buffer;
extern int start_condition;
// SYMBOL_NAME's text, kept apart because the record is only built once
// the line end has been matched, and a refill may move the buffer.
extern char symbol_name[YYLMAX];
// buffer->chars + buffer->held, kept at hand for the token source.
extern const char *held_end;
extern const char *scan_position;  // where the next match begins
// The first line feed at or behind some earlier scan position, found by
// a search and less than longest_match bytes from there; nullptr when not
// known. Forgotten whenever the buffer's contents move.
extern const char *line_feed;
// The last token's text, in the buffer until the next scan; copied into
// yytext only when someone will read it (yylex, a syntax error).
extern const char *token_start;
extern std::size_t token_length;

// Copies the text of the token scanned last into yytext.
void keep_token_text();
[[noreturn]] void token_too_large();
// Moves the unfinished match [keep, end of data) to the front and reads
// behind it. Returns the count read: 0 at the end of the input.
std::size_t refill(const char *keep);
// Empty, at the beginning of a line, reading, terminal tested: the state of
// a fresh input and of an input that has just ended.
void set_up_buffer(std::FILE *stream);

}  // namespace tamrix::scanning

#if defined(__ELF__)
#pragma GCC visibility pop
#endif
