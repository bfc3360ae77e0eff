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
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

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
#include "scan_buffer.h"

char yytext[YYLMAX];
int yyleng = 0;
std::uint64_t yylineno = 1;
MapTokenValue yylval;
std::uint32_t tamrix::current_address = 0;
bool tamrix::record_refused = false;
std::uint64_t tamrix::first_line_number = 1;

namespace tamrix::scanning {

ScanBuffer *buffer = nullptr;
const char *held_end = nullptr;
const char *scan_position = nullptr;
const char *line_feed = nullptr;
const char *token_start = "";
std::size_t token_length = 0;

}  // namespace tamrix::scanning

using namespace tamrix::scanning;

namespace {

enum StartCondition : int { INITIAL = 0, S_HEAD = 1, S_VALUE = 2, S_NAME = 3, S_EOL = 4 };

int start_condition = INITIAL;
// SYMBOL_NAME's text, kept apart because the record is only built once
// the line end has been matched, and a refill may move the buffer.
char symbol_name[YYLMAX];

[[noreturn]] void token_too_large() { tamrix::scanner_fatal("token too large, exceeds YYLMAX"); }

// msvcrt's _isatty is true for every character device (NUL, a port), not
// only a console: such a stream is then read a line at a time, which
// changes the reads but not the bytes.
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
    held_end = buffer->chars;
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
    held_end = chars + buffer->held;
    chars[buffer->held] = chars[buffer->held + 1] = '\0';
    return got;
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

}  // namespace

// Kept out of the parser's loop, so that the loop keeps its state in
// registers.
[[gnu::noinline]] int tamrix::scanning::scan_for_parser() { return scan(); }

void tamrix::scanning::keep_token_text() {
    std::memcpy(yytext, token_start, token_length);
    yytext[token_length] = '\0';
    yyleng = static_cast<int>(token_length);
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
        held_end = nullptr;
    }
    return 0;
}

