// The parser's token source, inlined into the loop of the parser that
// bison generates from map_grammar.y (map_grammar-inl.h, compiled right
// behind it). Compiled once per target (target_begin.h), inside the
// reader's bodies (reader-inl.h).
//
// The token source reads whole lines where the scanner (map_scanner.cpp)
// would cut them into tokens that change nothing: between two lines it
// passes over the lines that cannot make an ADDRESS, and hands a record
// line of the plain shape over as one RECORD_LINE. Everything else it
// leaves to the scanner.
#if !defined(TAMRIX_MAP_TARGET_OPEN)
#error "map_token_source-inl.h is compiled once per target: include it between target_begin.h and target_end.h"
#endif
#pragma once

// The generated parser (map_grammar-inl.h).
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

// The first line feed in [p, end), or nullptr.
inline const char *find_line_feed(const char *p, const char *end) {
    if (*p == '\n') return p;  // an empty line, or a line end right behind a name
    return find_byte(p, end, '\n');
}

// find_line_feed for the rest of a line behind its head, which also tells
// whether an "AD" stands before the line feed: without one, the line holds
// no keyword, and the line is not read a second time for one.
// `maybe_keyword` is false when it comes in.
inline const char *find_line_feed_and_keyword(const char *p, const char *end, bool &maybe_keyword) {
#if TAMRIX_MAP_TARGET_SSE2
    // Bit i of each mask stands for the byte at p + i.
    auto line_feeds_at = [](const char *q) { return mask_of(equal(load16(q), '\n')); };
    auto pairs_at = [](const char *q) { return mask_of(_mm_and_si128(equal(load16(q), 'A'), equal(load16(q + 1), 'D'))); };
    unsigned pairs_seen = 0;
    // Two steps of 16 bytes, then, on the avx2 target, AVX2 for the rest of
    // a long line.
    for (int step = 0; step < 2 && end - p >= 17; ++step, p += 16) {
        unsigned line_feeds = line_feeds_at(p), pairs = pairs_at(p);
        if (line_feeds) {
            maybe_keyword = (pairs_seen | (pairs & ((line_feeds & (0u - line_feeds)) - 1))) != 0;
            return p + std::countr_zero(line_feeds);
        }
        pairs_seen |= pairs;
    }
    if (TAMRIX_MAP_TARGET_AVX2 && end - p >= 65) {
        maybe_keyword = pairs_seen != 0;
        return avx2::long_runs::find_byte_noting_pair(p, end, '\n', "AD", maybe_keyword);
    }
    for (; end - p >= 17; p += 16) {
        unsigned line_feeds = line_feeds_at(p), pairs = pairs_at(p);
        if (line_feeds) {
            maybe_keyword = (pairs_seen | (pairs & ((line_feeds & (0u - line_feeds)) - 1))) != 0;
            return p + std::countr_zero(line_feeds);
        }
        pairs_seen |= pairs;
    }
#endif
    maybe_keyword = true;  // not looked at: find_keyword will tell
    return find_byte<0>(p, end, '\n');
}

// Behind "ADDR" and its blank or tab, where they follow a head that ends
// at head_end behind nothing but blanks and punctuation; else nullptr.
inline const char *behind_keyword(const char *head_end, const char *end) {
    // Mostly one blank, the keyword and one blank: one 8-byte test.
    constexpr std::uint64_t blank_keyword_blank = 0x205244444120;  // " ADDR "
    std::uint64_t eight;
    if (end - head_end >= 8) {
        std::memcpy(&eight, head_end, 8);
        if ((eight & 0xFFFFFFFFFFFF) == blank_keyword_blank) return head_end + 6;
    }
    // The keyword and its blank within the held characters, so that the
    // 4-byte compare reads nothing behind them.
    const char *q = skip_blanks(head_end);
    return end - q >= 5 && std::memcmp(q, "ADDR", 4) == 0 && (q[4] == ' ' || q[4] == '\t') ? q + 5 : nullptr;
}

// Takes the record line of the plain shape that begins at p, at a head,
// into the parser's cell; returns false, with nothing written, where the
// line is not one. head_end is where the head ends, either way.
[[gnu::always_inline]] inline bool take_record_line(const char *p, const char *end, MapTokenValue *cell,
                                                    const char *&head_end) {
    // Heads of one character are common enough to be worth a test.
    head_end = class_of(p[1]) & NAME ? skip_run<NAME>(p + 2, end) : p + 1;
    const char *keyword_end = *head_end != '-' ? behind_keyword(head_end, end) : nullptr;
    if (!keyword_end) return false;
    std::uint32_t value;
    const char *address_end = take_address(skip_blanks(keyword_end), value);
    const char *name = address_end ? skip_blanks(address_end) : nullptr;
    if (!name || !(class_of(*name) & NAME_START)) return false;
    const char *name_end = skip_run<NAME>(name + 1, end);
    const char *lf = find_line_feed(name_end, end);
    if (*name_end == '-' || !lf || static_cast<std::size_t>(lf - p) >= longest_match) return false;
    // Straight into the parser's cell, and the name left in the buffer:
    // nothing reads on before the record is stored, so the buffer stays put.
    cell->address = value;
    cell->name = name;
    cell->name_length = static_cast<std::uint32_t>(name_end - name);
    scan_position = lf + 1;  // the token text stays: see yyparse
    // Counted now: nothing reads the count before the line end is handed out.
    ++yylineno;
    return true;
}

// At the beginning of a line, with the parser between lines: passes over
// the lines that cannot make an ADDRESS, and takes a record line of the
// plain shape (head, keyword, address, name, each behind nothing but
// blanks and punctuation) whole. Returns whether it took one; otherwise
// the scanner goes on from the line it stopped at. Lines that reach beyond
// the buffered data, or are long enough to hold a run at the token limit,
// are left to the scanner. Nothing is written before a line is taken.
// first_head_end, unless nullptr, is where the head of the first line ends,
// a line that take_record_line has already found to be no record line.
[[gnu::noinline]] bool take_lines(MapTokenValue *cell, const char *first_head_end) {
    const char *p = scan_position;
    const char *end = held_end;
    for (const char *known_head_end = first_head_end;; known_head_end = nullptr) {
        const char *lf;
        if (class_of(*p) & NAME_START) {
            const char *head_end = known_head_end;
            if (!head_end && take_record_line(p, end, cell, head_end)) return true;
            bool is_head = *head_end != '-';
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

}  // namespace

// The parser's token source. yytext is left alone: only the token the
// parser stops at is ever quoted, and parse() copies that one. Inlined
// into the parser.
[[gnu::always_inline]] inline int map_grammar_lex(MapTokenValue *cell) {
    // The line at hand is tried here, in the parser's loop, before
    // take_lines goes through the lines behind it: in a dense map every
    // line is a record line. Either fills the cell for the whole line.
    if (parser_between_lines) {
        const char *head_end = nullptr;
        if ((class_of(*scan_position) & NAME_START) &&
            take_record_line(scan_position, held_end, cell, head_end))
            return RECORD_LINE;
        if (take_lines(cell, head_end)) return RECORD_LINE;
    }
    int token = scan_for_parser();
    parser_between_lines = token == LINE_END || token == RECORD_END;
    *cell = yylval;
    return token;
}

// yyparse, for this target.
int parse() {
    parser_between_lines = false;
    int result = map_grammar_parse();
    if (tamrix::record_refused) {
        // The parse stopped at a record line's end, perhaps one taken whole,
        // which leaves the token text as it was: its text is the line end
        // right behind the scan position, with the CR before it if any.
        const char *lf = scan_position - 1;
        token_start = lf > buffer->chars && lf[-1] == '\r' ? lf - 1 : lf;
        token_length = static_cast<std::size_t>(lf + 1 - token_start);
    }
    // The driver quotes the text of the token the parser stopped at.
    keep_token_text();
    return result;
}
