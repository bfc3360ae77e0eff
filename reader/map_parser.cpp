#include "map_parser.h"

#include "map_reader.h"

MapTokenValue yylval;
std::uint32_t tamrix::current_address = 0;

int yyparse() {
    int result = tamrix::parse_map_tokens(tamrix::next_token);
    // The driver quotes the text of the token the parser stopped at.
    tamrix::keep_token_text();
    return result;
}
