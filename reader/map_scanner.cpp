// Cuts a map file into the tokens of map_grammar.y.
//
// Only one shape of line matters: a word in column 1, "ADDR" with a blank
// or tab, one to four hex digits with an H suffix, a symbol name, the line
// end. The start conditions follow the position within such a line; every
// other byte is skipped. tests/oracle/map_scanner_oracle.l states the same
// rules for flex; the differential tests and fuzzer hold the two together.
//
// Written by hand for speed. Two facts make that simple: every match that
// is longer than one byte is either a line end, the keyword with its blank,
// or one whole run of word characters [-0-9A-Za-z_]; and a run is matched
// as one piece in every start condition, whichever rule takes it. So the
// scanner steps from run to run, decides what a finished run is, and skips
// to the next line feed with memchr wherever only a line end can follow.
//
// The buffering is flex's, because it is visible through the token limit:
// a 16384-character buffer, refills of 8192 characters, an unfinished match
// moved to the front before a refill, and a match that is still unfinished
// where the buffered data ends (or at a NUL byte) counted one longer.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "heap.h"
#include "text_copy.h"
#include "map_input.h"
#include "map_reader.h"
#include "map_tokens.h"

char yytext[YYLMAX];
int yyleng = 0;
std::uint64_t yylineno = 1;
MapTokenValue yylval;
std::uint32_t tamrix::current_address = 0;
bool tamrix::record_refused = false;
std::uint64_t tamrix::first_line_number = 1;

namespace {

enum StartCondition : int { INITIAL = 0, S_HEAD = 1, S_VALUE = 2, S_NAME = 3, S_EOL = 4 };

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

constexpr std::array<std::uint8_t, 256> char_class = make_char_classes();

inline std::uint8_t class_of(char c) { return char_class[static_cast<unsigned char>(c)]; }

struct ScanBuffer {
    std::FILE *stream;
    char *chars;       // buffer_size characters, then two zero bytes behind the held ones
    std::size_t held;  // characters in chars
    bool interactive;
    bool at_line_start;
    bool end_of_file_pending;  // the stream ended while a match was unfinished
};

ScanBuffer *buffer = nullptr;
const char *scan_position = nullptr;  // where the next match begins
// The first line feed at or behind some earlier scan position, found by
// memchr and less than longest_match bytes from there; nullptr when not
// known. Forgotten whenever the buffer's contents move.
const char *line_feed = nullptr;
int start_condition = INITIAL;
// The last token's text, in the buffer until the next scan; copied into
// yytext only when someone will read it (yylex, a syntax error).
const char *token_start = "";
std::size_t token_length = 0;
// SYMBOL_NAME's text, kept apart because the record is only built once
// the line end has been matched, and a refill may move the buffer.
char symbol_name[YYLMAX];

[[noreturn]] void token_too_large() { tamrix::scanner_fatal("token too large, exceeds YYLMAX"); }

bool is_terminal(std::FILE *stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) > 0;
#endif
}

ScanBuffer *yy_create_buffer(std::size_t size) {
    auto *created = static_cast<ScanBuffer *>(tamrix::heap_alloc(sizeof(ScanBuffer)));
    if (!created) tamrix::scanner_fatal("out of dynamic memory in yy_create_buffer()");
    created->chars = static_cast<char *>(tamrix::heap_alloc(size + 2));
    if (!created->chars) {
        tamrix::heap_free(created);
        tamrix::scanner_fatal("out of dynamic memory in yy_create_buffer()");
    }
    return created;
}

// Empty, at the beginning of a line, reading, terminal tested: the state of
// a fresh input and of an input that has just ended.
void set_up_buffer(std::FILE *stream) {
    buffer->stream = stream;
    buffer->held = 0;
    buffer->chars[0] = buffer->chars[1] = '\0';
    buffer->interactive = is_terminal(stream);
    buffer->at_line_start = true;
    buffer->end_of_file_pending = false;
    scan_position = buffer->chars;
    line_feed = nullptr;
}

// Moves the unfinished match [keep, end of data) to the front and reads
// behind it. Returns the count read: 0 at the end of the input.
std::size_t refill(const char *keep) {
    char *chars = buffer->chars;
    std::size_t moved = static_cast<std::size_t>(chars + buffer->held - keep);
    std::memmove(chars, keep, moved);
    line_feed = nullptr;
    std::size_t got = 0;
    if (!buffer->end_of_file_pending) {
        std::size_t room = buffer_size - moved - 1;
        long n = tamrix::map_input_read(buffer->stream, chars + moved, room < read_size ? room : read_size,
                                        buffer->interactive);
        if (n < 0) tamrix::scanner_fatal("input in flex scanner failed");
        got = static_cast<std::size_t>(n);
        if (got == 0 && moved > 0) buffer->end_of_file_pending = true;
    }
    buffer->held = moved + got;
    chars[buffer->held] = chars[buffer->held + 1] = '\0';
    return got;
}

// The first byte from p on that is not of the class `wanted` (NAME or
// WORD). The zero bytes behind the held characters stop it at `end`.
template <std::uint8_t wanted>
[[gnu::always_inline]] inline const char *skip_run(const char *p, const char *end) {
#if defined(__SSE2__)
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

const char *skip_blanks(const char *p) {
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

constexpr std::array<std::uint8_t, 256> hex_value = make_hex_values();

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
const char *find_keyword(const char *p, const char *lf) {
    // Mostly it stands right behind the blanks that follow the head.
    const char *q = skip_blanks(p);
    if (lf - q >= 5 && std::memcmp(q, "ADDR", 4) == 0 && (q[4] == ' ' || q[4] == '\t') &&
        (q == p || !(class_of(q[-1]) & WORD)))
        return q;
    std::string_view line(p, static_cast<std::size_t>(lf - p));
    for (std::size_t at = line.find("ADDR"); at != std::string_view::npos; at = line.find("ADDR", at + 1)) {
        q = p + at;
        if ((q == p || !(class_of(q[-1]) & WORD)) && (q[4] == ' ' || q[4] == '\t')) return q;
    }
    return nullptr;
}

}  // namespace

[[noreturn]] void tamrix::scanner_fatal(const char *message) { throw ScannerFatal{message}; }

namespace {

// The scanner's body, shared by the parser's token source and yylex.
[[gnu::always_inline]] inline int scan() {
    const char *p = scan_position;
    const char *end = buffer->chars + buffer->held;
    // Where a memchr found no line feed close enough: none known before this.
    const char *no_line_feed_before = p;
    int condition = start_condition;
    bool at_line_start = buffer->at_line_start;

    for (;;) {
        if (*p == '\n') goto line_end;
        if (condition == S_EOL || condition == S_HEAD || (condition == INITIAL && !at_line_start)) {
            // Here the rest of the line holds no token but its end, or, in
            // S_HEAD, the keyword. A stretch of at most longest_match - 1
            // bytes holds no word run that could hit the token limit, so
            // it can be passed over without looking at its runs.
            const char *lf = line_feed;
            if (!(lf && p <= lf) && p >= no_line_feed_before) {
                lf = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
                if (!lf || static_cast<std::size_t>(lf - p) >= longest_match) {
                    no_line_feed_before = lf ? lf : end;
                    lf = nullptr;
                }
                line_feed = lf;
            }
            if (lf && p <= lf) {
                if (condition == S_HEAD) {
                    if (const char *keyword = find_keyword(p, lf)) {
                        token_start = keyword;
                        token_length = 5;
                        start_condition = S_VALUE;
                        buffer->at_line_start = false;
                        scan_position = keyword + 5;
                        return ADDR_KEYWORD;
                    }
                }
                p = lf > p && lf[-1] == '\r' ? lf - 1 : lf;
                goto line_end;
            }
        }

        if (class_of(*p) & WORD) {
            const char *start = p;
            bool hyphen;
            for (;;) {
                p = skip_run<NAME>(p, end);
                hyphen = *p == '-';
                if (hyphen) p = skip_run<WORD>(p, end);
                if (p != end) break;
                // Unfinished where the buffered data ends.
                std::size_t length = static_cast<std::size_t>(p - start);
                if (length >= longest_match) token_too_large();
                std::size_t got = refill(start);
                start = p = buffer->chars;
                end = start + buffer->held;
                no_line_feed_before = start;
                if (got == 0) {
                    p = start + length;
                    break;
                }
            }
            std::size_t length = static_cast<std::size_t>(p - start);
            if (length > longest_match || (length == longest_match && *p == '\0' && p != end)) token_too_large();

            bool is_name = !hyphen && (class_of(*start) & NAME_START);
            int token = 0;
            switch (condition) {
            case INITIAL:
                if (at_line_start && is_name) {
                    token = LINE_HEAD;
                    condition = S_HEAD;
                }
                break;
            case S_HEAD:
                if (length == 4 && std::memcmp(start, "ADDR", 4) == 0 && (*p == ' ' || *p == '\t')) {
                    token = ADDR_KEYWORD;
                    condition = S_VALUE;
                    ++p;
                }
                break;
            case S_VALUE:
                if (take_address(start, yylval.address) == p) {
                    token = ADDRESS;
                    condition = S_NAME;
                }
                break;
            case S_NAME:
                if (is_name) {
                    tamrix::copy_text(symbol_name, start, length);
                    symbol_name[length] = '\0';
                    yylval.name = symbol_name;
                    yylval.name_length = static_cast<std::uint32_t>(length);
                    token = SYMBOL_NAME;
                    condition = S_EOL;
                }
                break;
            default:
                break;
            }
            at_line_start = false;
            if (token) {
                token_start = start;
                token_length = static_cast<std::size_t>(p - start);
                start_condition = condition;
                buffer->at_line_start = false;
                scan_position = p;
                return token;
            }
            continue;
        }

        if (class_of(*p) & SKIP) {
            // Blanks, punctuation and other bytes: one match each, and
            // none of them is a token.
            p = skip_blanks(p + 1);
            at_line_start = false;
            continue;
        }

        switch (*p) {  // LF was taken at the top
        case '\r':
            if (p + 1 == end) {  // \r?\n: the byte after it decides
                refill(p);
                p = buffer->chars;
                end = p + buffer->held;
                no_line_feed_before = p;
            }
            if (p[1] == '\n') goto line_end;
            break;
        default:  // '\0'
            if (p == end) {
                if (refill(p) == 0) {
                    // The input has ended. Ready to read the stream again;
                    // the start condition and the line count stay.
                    set_up_buffer(buffer->stream);
                    start_condition = condition;
                    token_start = buffer->chars;
                    token_length = 0;
                    return 0;
                }
                p = buffer->chars;
                end = p + buffer->held;
                no_line_feed_before = p;
                continue;
            }
            break;
        }
        ++p;  // a CR before anything but LF, or a NUL in the data: skipped
        at_line_start = false;
    }

line_end:
    // p is at the LF, or at the CR before it.
    token_start = p;
    if (*p == '\r') ++p;
    token_length = static_cast<std::size_t>(p + 1 - token_start);
    ++yylineno;
    {
        int token = condition == S_EOL ? RECORD_END : LINE_END;
        start_condition = INITIAL;
        buffer->at_line_start = true;
        scan_position = p + 1;
        return token;
    }
}

// Copies the text of the token scan() returned last into yytext.
void keep_token_text() {
    std::memcpy(yytext, token_start, token_length);
    yytext[token_length] = '\0';
    yyleng = static_cast<int>(token_length);
}

}  // namespace

int map_grammar_parse();

namespace {

// What the parser's token source knows beyond the scanner. Once the parser
// has been handed a line end, it stands between two lines whenever the
// scanner is at the beginning of one, and a line whose tokens hold no
// ADDRESS takes it through no action back to where it stood. Such lines
// are passed over whole; a record line of the plain shape is matched in
// one go and handed over as one RECORD_LINE, after which the parser again
// stands between lines.
bool parser_between_lines = false;

// The first line feed in [p, end), or nullptr. Lines are mostly short, and
// a few 16-byte steps here cost less than a call of memchr.
inline const char *find_line_feed(const char *p, const char *end) {
    if (*p == '\n') return p;  // an empty line, or a line end right behind a name
#if defined(__SSE2__)
    for (int step = 0; step < 4 && end - p >= 16; ++step, p += 16) {
        unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), _mm_set1_epi8('\n'))));
        if (hits) return p + __builtin_ctz(hits);
    }
#endif
    return static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
}

// find_line_feed for the rest of a line behind its head, which also tells
// whether an "AD" stands before the line feed: without one, the line holds
// no keyword. `maybe_keyword` is false when it comes in.
inline const char *find_line_feed_and_keyword(const char *p, const char *end, bool &maybe_keyword) {
#if defined(__SSE2__)
    for (int step = 0; step < 2 && end - p >= 17; ++step, p += 16) {
        __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 1));
        unsigned line_feeds = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, _mm_set1_epi8('\n'))));
        unsigned pairs = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8('A')), _mm_cmpeq_epi8(next, _mm_set1_epi8('D')))));
        if (line_feeds) {
            maybe_keyword = maybe_keyword || (pairs & ((line_feeds & (0u - line_feeds)) - 1)) != 0;
            return p + __builtin_ctz(line_feeds);
        }
        maybe_keyword = maybe_keyword || pairs != 0;
    }
#endif
    maybe_keyword = true;  // not looked at: find_keyword will tell
    return find_line_feed(p, end);
}

// Behind "ADDR" and its blank or tab, where they follow a head that ends
// at head_end behind nothing but blanks and punctuation; else nullptr.
inline const char *behind_keyword(const char *head_end, const char *end) {
    // Mostly one blank, the keyword and one blank: one 8-byte test.
    static_assert(std::endian::native == std::endian::little);
    constexpr std::uint64_t blank_keyword_blank = 0x205244444120;  // " ADDR "
    std::uint64_t eight;
    if (end - head_end >= 8) {
        std::memcpy(&eight, head_end, 8);
        if ((eight & 0xFFFFFFFFFFFF) == blank_keyword_blank) return head_end + 6;
    }
    const char *q = skip_blanks(head_end);
    return std::memcmp(q, "ADDR", 4) == 0 && (q[4] == ' ' || q[4] == '\t') ? q + 5 : nullptr;
}

// At the beginning of a line, with the parser between lines: passes over
// the lines that cannot make an ADDRESS, and takes a record line of the
// plain shape (head, keyword, address, name, each behind nothing but
// blanks and punctuation) whole. Returns whether it took one; otherwise
// the scanner goes on from the line it stopped at. Lines that reach beyond
// the buffered data, or are long enough to hold a run at the token limit,
// are left to the scanner. Nothing is written before a line is taken.
[[gnu::noinline]] bool take_lines(MapTokenValue *cell) {
    const char *p = scan_position;
    const char *end = buffer->chars + buffer->held;
    for (;;) {
        const char *lf;
        if (class_of(*p) & NAME_START) {
            // Heads of one character are common enough to be worth a test.
            const char *head_end = class_of(p[1]) & NAME ? skip_run<NAME>(p + 2, end) : p + 1;
            bool is_head = *head_end != '-';
            if (const char *keyword_end = is_head ? behind_keyword(head_end, end) : nullptr) {
                std::uint32_t value;
                const char *address_end = take_address(skip_blanks(keyword_end), value);
                const char *name = address_end ? skip_blanks(address_end) : nullptr;
                if (name && (class_of(*name) & NAME_START)) {
                    const char *name_end = skip_run<NAME>(name + 1, end);
                    lf = find_line_feed(name_end, end);
                    if (*name_end != '-' && lf && static_cast<std::size_t>(lf - p) < longest_match) {
                        // Straight into the parser's cell, and the name
                        // left in the buffer: nothing reads on before the
                        // record is stored, so the buffer stays put.
                        cell->address = value;
                        cell->name = name;
                        cell->name_length = static_cast<std::uint32_t>(name_end - name);
                        token_start = lf > name_end && lf[-1] == '\r' ? lf - 1 : lf;
                        token_length = static_cast<std::size_t>(lf + 1 - token_start);
                        scan_position = lf + 1;
                        // Counted now: nothing reads the count before the
                        // line end is handed out.
                        ++yylineno;
                        return true;
                    }
                }
            }
            bool maybe_keyword = false;
            lf = is_head ? find_line_feed_and_keyword(head_end, end, maybe_keyword) : find_line_feed(head_end, end);
            if (!lf || static_cast<std::size_t>(lf - p) >= longest_match) break;
            if (maybe_keyword && find_keyword(head_end, lf)) {
                scan_position = p;
                line_feed = lf;
                return false;
            }
        } else {
            lf = find_line_feed(p, end);
            if (!lf || static_cast<std::size_t>(lf - p) >= longest_match) break;
        }
        ++yylineno;  // a line of LINE_END, or LINE_HEAD LINE_END
        p = lf + 1;
    }
    scan_position = p;
    return false;
}

// scan() for the parser, kept out of its loop so that the loop keeps its
// state in registers.
[[gnu::noinline]] int scan_for_parser() { return scan(); }

}  // namespace

// The parser's token source. yytext is left alone: only the token the
// parser stops at is ever quoted, and yyparse copies that one. Inlined
// into the parser, which is compiled at the end of this file.
[[gnu::always_inline]] inline int map_grammar_lex(MapTokenValue *cell) {
    // take_lines fills the parser's cell for the whole line.
    if (parser_between_lines && take_lines(cell)) return RECORD_LINE;
    int token = scan_for_parser();
    parser_between_lines = token == LINE_END || token == RECORD_END;
    *cell = yylval;
    return token;
}

int yyparse() {
    parser_between_lines = false;
    int result = map_grammar_parse();
    // The driver quotes the text of the token the parser stopped at.
    keep_token_text();
    return result;
}

int yylex() {
    int token = scan();
    keep_token_text();
    return token;
}

void yy_reset_input(std::FILE *stream) {
    // Counted from 1 before anything can fail, so that a refused buffer
    // is reported at line 1 of this file, not at the last line of another.
    yylineno = tamrix::first_line_number;
    start_condition = INITIAL;
    if (!buffer) buffer = yy_create_buffer(buffer_size);
    tamrix::map_input_reset(stream);
    set_up_buffer(stream);
}

int yy_start_condition() { return start_condition; }

int yylex_destroy() {
    if (buffer) {
        tamrix::heap_free(buffer->chars);
        tamrix::heap_free(buffer);
        buffer = nullptr;
    }
    return 0;
}

// The parser that bison generates from map_grammar.y. It is compiled here,
// last, because its macros rename yylex, yylval and the like, and so that
// the scanner runs inline in its loop instead of behind a call per token.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include "map_grammar.cpp"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
