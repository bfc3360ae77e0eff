#include "reader.h"

#include "map_reader.h"

namespace tamrix::reader {

ParseOutcome parse(std::FILE *map_file) noexcept {
    try {
        yy_reset_input(map_file);
        if (yyparse() == 0) return {ParseStatus::parsed, yylineno, nullptr, nullptr};
        // The refused record's line end is counted: it stood one line up.
        if (record_refused) return {ParseStatus::record_refused, yylineno - 1, nullptr, nullptr};
        return {ParseStatus::syntax_error, yylineno, yytext, nullptr};
    } catch (const ScannerFatal &fatal) {
        return {ParseStatus::fatal, yylineno, nullptr, fatal.message};
    } catch (...) {
        return {ParseStatus::fatal, yylineno, nullptr, "unexpected failure"};
    }
}

void release() noexcept { yylex_destroy(); }

}  // namespace tamrix::reader
