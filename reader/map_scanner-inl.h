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
// to the next line feed wherever only a line end can follow. A match that
// is still unfinished where the buffered data ends (or at a NUL byte) is
// counted one longer, as flex counts it; the buffer is scan_buffer.cpp's.
//
// Compiled once per target (target_begin.h), inside the reader's bodies
// (reader-inl.h).
#if !defined(TAMRIX_MAP_TARGET_OPEN)
#error "map_scanner-inl.h is compiled once per target: include it between target_begin.h and target_end.h"
#endif
#pragma once

namespace {

// The scanner's body, shared by the parser's token source and yylex.
[[gnu::always_inline]] inline int scan() {
    const char *p = scan_position;
    const char *end = buffer->chars + buffer->held;
    // Where a search found no line feed close enough: none known before this.
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
                lf = find_byte(p, end, '\n');
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
                    copy_text(symbol_name, start, length);
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
[[gnu::noinline]] int scan_for_parser() { return scan(); }

// yylex, for this target.
int lex() {
    int token = scan();
    keep_token_text();
    return token;
}
