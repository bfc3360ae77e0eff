/* The grammar of a map file: one or more lines, of which only the record
 * line  LINE_HEAD ADDR_KEYWORD address SYMBOL_NAME RECORD_END  builds a
 * record, whether its tokens come one by one or as one RECORD_LINE. The
 * actions run on default reductions: the address as soon as
 * its token is shifted, the record as soon as its line end is shifted,
 * before the scanner reads on. A record that cannot be stored for lack of
 * memory ends the parse (yyparse returns 1 with record_refused set), so
 * that a list with a hole is never taken for a whole one.
 *
 * The library compiles this parser once per target (map_grammar-inl.h),
 * fed by map_grammar_lex of map_token_source-inl.h. The tests build this
 * same file a second time under another prefix and feed that copy
 * scripted token streams.
 */
%code requires {
#include "map_tokens.h"
}

%code {
#include "map_reader.h"
#include "record_list.h"

// The stack never holds more than seven entries. It is 16 deep and never
// grows: where it would, yyoverflow leaves it as it is and the parse fails.
// So the parser allocates nothing.
#define YYINITDEPTH 16
#define yyoverflow(message, states, states_bytes, values, values_bytes, depth) ((void)0)

// yylex and yyerror stand for the prefixed names. The parser is pure: its
// token code and value cell are locals that the compiler keeps close.
int yylex(MapTokenValue *value);
// The message that hosts see is composed by the parse driver.
static int yyerror(const char *) { return 1; }

// Copies a name into the storage of its record: where the library compiles
// this parser, the target's own copy (text_copy-inl.h); the grammar tests
// bring a plain one.
void copy_text(char *to, const char *from, std::size_t n);

// Appends the record of `name` at current_address; false when it cannot
// be stored, which ends the parse.
static bool store_record(const MapTokenValue &name) {
    char *copy = tamrix::append_record(name.name_length, tamrix::current_address);
    if (!copy) {
        tamrix::record_refused = true;
        return false;
    }
    copy_text(copy, name.name, name.name_length);
    return true;
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
