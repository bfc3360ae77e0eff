// The grammar of a map file written out by hand, as a model that the
// library's bison parser is checked against:
//
//   map_file   : lines ;
//   lines      : line | lines line
//              | lines RECORD_LINE
//                  { current_address = its address; add the record as below } ;
//   line       : other_line
//              | LINE_HEAD ADDR_KEYWORD address SYMBOL_NAME RECORD_END
//                  { add the record; if it cannot be stored: record_refused, fail }
//   other_line : LINE_END | LINE_HEAD LINE_END | LINE_HEAD ADDR_KEYWORD LINE_END
//              | LINE_HEAD ADDR_KEYWORD address LINE_END ;
//   address    : ADDRESS  { current_address = its value } ;
//
// Each token is read only when the parser needs it, so the address is
// stored before the name is read and a record is added before the next
// line's first token is read.
#pragma once

#include <cstdint>

#include "map_reader.h"
#include "map_tokens.h"
#include "record_list.h"

namespace grammar_model {

// Parses the tokens that next_token() returns, reading yylval after
// ADDRESS, SYMBOL_NAME and RECORD_LINE. Returns 0 when they form a map file up to the
// end of input (a code <= 0), or 1 at the first token that fits nowhere
// or the first record that cannot be stored.
template <typename NextToken>
int parse_map_tokens(NextToken &&next_token) {
    tamrix::record_refused = false;
    // Every pass of the loop that gets to its end or to a `continue` has
    // read one whole line.
    for (bool have_line = false;; have_line = true) {
        int token = next_token();
        if (token == LINE_END) continue;
        if (token <= 0) return have_line ? 0 : 1;
        MapTokenValue name;
        if (token == RECORD_LINE && have_line) {
            tamrix::current_address = yylval.address;
            name = yylval;
        } else {
            if (token != LINE_HEAD) return 1;

            token = next_token();
            if (token == LINE_END) continue;
            if (token != ADDR_KEYWORD) return 1;

            token = next_token();
            if (token == LINE_END) continue;
            if (token != ADDRESS) return 1;
            tamrix::current_address = yylval.address;

            token = next_token();
            if (token == LINE_END) continue;
            if (token != SYMBOL_NAME) return 1;
            name = yylval;

            if (next_token() != RECORD_END) return 1;
        }
        if (tamrix::add_record(name.name, name.name_length, tamrix::current_address) != 0) {
            tamrix::record_refused = true;
            return 1;
        }
    }
}

}  // namespace grammar_model
