// What the scanner (map_scanner.cpp) and the parser's token source
// (map_token_source.cpp) share: the buffer and the position in it, the
// text of the last token, and the byte classes and run readers both cut
// lines with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "byte_search.h"
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

inline namespace TAMRIX_SEARCH_SET {

inline std::uint8_t class_of(char c) { return char_class[static_cast<unsigned char>(c)]; }

// The scanner's next token, for the parser: yylval is written, yytext not.
int scan_for_parser();
// This set's yyparse, yylex, text filter and copy (search_sets.h); the entry
// points search_dispatch.cpp chooses from.
int parse();
int lex();
std::size_t filter_bytes(char *data, std::size_t count, char dropped, char stop, bool &stopped);
void copy_long_text(char *to, const char *from, std::size_t n);

// The first byte from p on that is not of the class `wanted` (NAME or
// WORD). The zero bytes behind the held characters stop it at `end`.
template <std::uint8_t wanted>
[[gnu::always_inline]] inline const char *skip_run(const char *p, const char *end) {
#if TAMRIX_SEARCHES_USE_SSE2
    // 16 bytes at a time while they lie within the held characters.
    while (end - p >= 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        // Unsigned range tests as signed ones: move the range to -128 up.
        __m128i digit = _mm_cmplt_epi8(_mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(0x80 - '0'))),
                                       _mm_set1_epi8(static_cast<char>(0x80 + 10)));
        __m128i folded = _mm_or_si128(x, _mm_set1_epi8(0x20));  // A-Z onto a-z, nothing else
        __m128i letter = _mm_cmplt_epi8(_mm_add_epi8(folded, _mm_set1_epi8(static_cast<char>(0x80 - 'a'))),
                                        _mm_set1_epi8(static_cast<char>(0x80 + 26)));
        __m128i in = _mm_or_si128(_mm_or_si128(digit, letter), _mm_cmpeq_epi8(x, _mm_set1_epi8('_')));
        if (wanted == WORD) in = _mm_or_si128(in, _mm_cmpeq_epi8(x, _mm_set1_epi8('-')));
        unsigned outside = ~static_cast<unsigned>(_mm_movemask_epi8(in)) & 0xFFFFu;
        if (outside) return p + __builtin_ctz(outside);
        p += 16;
    }
#else
    (void)end;
#endif
    while (class_of(*p) & wanted) ++p;
    return p;
}

inline const char *skip_blanks(const char *p) {
    while (class_of(*p) & SKIP) ++p;
    return p;
}

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

// The address whose run begins at p: one to four hex digits and an H,
// either case, with no word character behind. Returns the end of the run,
// or nullptr when the run is no address; `value` is written only for an
// address. It reads no further than the byte behind the run.
inline const char *take_address(const char *p, std::uint32_t &value) {
    std::uint32_t digits = hex_value[static_cast<unsigned char>(*p)];
    if (digits > 15) return nullptr;
    const char *q = p + 1;
#pragma GCC unroll 3
    for (int more = 0; more < 3; ++more, ++q) {
        unsigned digit = hex_value[static_cast<unsigned char>(*q)];
        if (digit > 15) break;
        digits = digits << 4 | digit;
    }
    if ((*q | 0x20) != 'h' || (class_of(q[1]) & WORD)) return nullptr;
    value = digits;
    return q + 1;
}

// The first "ADDR" in [p, lf) that begins a match and has a blank or tab
// behind it. p is where a match begins; elsewhere a match begins exactly
// where a word run does, behind a byte that is no word character.
[[gnu::noinline]] inline const char *find_keyword(const char *p, const char *lf) {
    // Mostly it stands right behind the blanks that follow the head.
    const char *q = skip_blanks(p);
    if (lf - q >= 5 && std::memcmp(q, "ADDR", 4) == 0 && (q[4] == ' ' || q[4] == '\t') &&
        (q == p || !(class_of(q[-1]) & WORD)))
        return q;
    for (q = find_pair(p, lf, 'A', 'D'); q && lf - q >= 5; q = find_pair(q + 1, lf, 'A', 'D')) {
        if (std::memcmp(q, "ADDR", 4) == 0 && (q == p || !(class_of(q[-1]) & WORD)) && (q[4] == ' ' || q[4] == '\t'))
            return q;
    }
    return nullptr;
}

}  // namespace TAMRIX_SEARCH_SET
}  // namespace tamrix::scanning

#if defined(__ELF__)
#pragma GCC visibility pop
#endif
