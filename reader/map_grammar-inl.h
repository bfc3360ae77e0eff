// The parser that bison generates from map_grammar.y, compiled once per
// target right behind its token source (map_token_source-inl.h), so that
// the token source runs inline in the parser's loop instead of behind a
// call per token. bison writes it into the build tree as
// map_grammar_parser.generated.inc, to be included here and nowhere else.
#if !defined(TAMRIX_MAP_TARGET_OPEN)
#error "map_grammar-inl.h is compiled once per target: include it between target_begin.h and target_end.h"
#endif
#pragma once

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-label"  // the stack never grows: nothing jumps to its exhaustion
#endif
#include "map_grammar_parser.generated.inc"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// The scanner's token codes (map_tokens.h) are the grammar's.
constexpr bool same_token(map_grammar_tokentype grammar, MapToken scanner) {
    return static_cast<int>(grammar) == static_cast<int>(scanner);
}
static_assert(same_token(GRAMMAR_LINE_END, LINE_END) && same_token(GRAMMAR_RECORD_END, RECORD_END) &&
              same_token(GRAMMAR_SYMBOL_NAME, SYMBOL_NAME) && same_token(GRAMMAR_ADDRESS, ADDRESS) &&
              same_token(GRAMMAR_ADDR_KEYWORD, ADDR_KEYWORD) && same_token(GRAMMAR_LINE_HEAD, LINE_HEAD) &&
              same_token(GRAMMAR_RECORD_LINE, RECORD_LINE) && GRAMMAR_YYEOF == 0);
