// The state the parser shares with the scanner and the tests. The parser
// itself is the template in map_parser.h; yyparse instantiates it beside
// the scanner in map_scanner.cpp.
#include "map_parser.h"

MapTokenValue yylval;
std::uint32_t tamrix::current_address = 0;
