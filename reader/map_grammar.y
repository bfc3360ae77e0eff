/* The grammar of a map file: one or more lines, of which only the record
 * line  LINE_HEAD ADDR_KEYWORD address SYMBOL_NAME RECORD_END  builds a
 * record, whether its tokens come one by one or as one RECORD_LINE. The
 * actions run on default reductions: the address as soon as
 * its token is shifted, the record as soon as its line end is shifted,
 * before the scanner reads on. A record that cannot be stored for lack of
 * memory ends the parse (yyparse returns 1 with record_refused set), so
 * that a list with a hole is never taken for a whole one.
 *
 * The library's parser is map_grammar_parse, fed by map_grammar_lex in
 * map_token_source.cpp. The tests build this same file a second time under
 * another prefix and feed that copy scripted token streams.
 */
%code requires {
#include "map_tokens.h"
}

%code {
#include "heap.h"
#include "map_reader.h"
#include "record_list.h"

// The stack never holds more than seven entries; keep it small and fixed,
// and let any growth go through the library's allocator.
#define YYINITDEPTH 16
#define YYMAXDEPTH 16
#define YYSTACK_USE_ALLOCA 0
#define YYMALLOC tamrix::heap_alloc
#define YYFREE tamrix::heap_free

// yylex and yyerror stand for the prefixed names. The parser is pure: its
// token code and value cell are locals that the compiler keeps close.
int yylex(MapTokenValue *value);
// The message that hosts see is composed by the parse driver.
static int yyerror(const char *) { return 1; }

// Appends the record of `name` at current_address; false when it cannot
// be stored, which ends the parse.
static bool store_record(const MapTokenValue &name) {
    if (tamrix::add_record(name.name, name.name_length, tamrix::current_address) == 0) return true;
    tamrix::record_refused = true;
    return false;
}
}

%define api.prefix {map_grammar_}
%define api.pure full
%define api.token.prefix {GRAMMAR_}
%define api.value.type {struct MapTokenValue}
%define parse.error simple
%expect 0

%initial-action { tamrix::record_refused = false; }

%token LINE_END     257
%token RECORD_END   258
%token SYMBOL_NAME  259
%token ADDRESS      260
%token ADDR_KEYWORD 261
%token LINE_HEAD    262
%token RECORD_LINE  263

%start map_file

%%

map_file
    : lines
    ;

lines
    : line
    | lines line
    /* A plain record line that the token source has matched whole, never
     * as the first line: one step, where its tokens take eight. It does
     * what the address and the record actions do on them. */
    | lines RECORD_LINE
        { tamrix::current_address = $2.address; if (!store_record($2)) YYABORT; }
    ;

line
    : other_line
    | LINE_HEAD ADDR_KEYWORD address SYMBOL_NAME RECORD_END
        { if (!store_record($4)) YYABORT; }
    ;

other_line
    : LINE_END
    | LINE_HEAD LINE_END
    | LINE_HEAD ADDR_KEYWORD LINE_END
    | LINE_HEAD ADDR_KEYWORD address LINE_END
    ;

address
    : ADDRESS   { tamrix::current_address = $1.address; }
    ;

%%
