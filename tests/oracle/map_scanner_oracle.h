// The flex scanner of map_scanner_oracle.l, under its own names. Same
// token codes, same value cell layout, same fatal errors as the library's
// scanner (yylex and friends in map_reader.h).
#pragma once

#include <cstdint>
#include <cstdio>

#include "map_reader.h"

int oracle_yylex();
void oracle_reset_input(std::FILE *stream);
int oracle_start_condition();

extern char oracle_yytext[];
extern int oracle_yyleng;
extern std::uint64_t oracle_line;
extern MapTokenValue oracle_yylval;  // the ADDRESS and SYMBOL_NAME values
