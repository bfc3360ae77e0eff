// Runs the library's scanner and the flex oracle over the same bytes and
// writes down everything a caller can see of each token: code, text,
// value, line count, start condition, and the fatal message if any. Used
// by the differential test and the differential fuzzer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "map_reader.h"
#include "map_scanner_oracle.h"

namespace scanner_differential {

struct Scanner {
    int (*lex)();
    void (*reset)(std::FILE *);
    int (*start_condition)();
    const char *text;
    const int *length;
    const std::uint64_t *line;
    const MapTokenValue *value;
};

inline const Scanner library{yylex, yy_reset_input, yy_start_condition, yytext, &yyleng, &yylineno, &yylval};
inline const Scanner oracle{oracle_yylex,  oracle_reset_input, oracle_start_condition, oracle_yytext,
                            &oracle_yyleng, &oracle_line,      &oracle_yylval};

inline void append_text(std::string &out, const char *text, std::size_t length) {
    for (std::size_t i = 0; i < length;) {
        std::size_t run = 1;
        while (i + run < length && text[i + run] == text[i]) ++run;
        unsigned char c = static_cast<unsigned char>(text[i]);
        char shown[8];
        if (c >= 0x20 && c < 0x7F && c != '\\')
            std::snprintf(shown, sizeof shown, "%c", c);
        else
            std::snprintf(shown, sizeof shown, "\\x%02X", c);
        if (run > 3) {
            out += shown;
            out += "*" + std::to_string(run);
        } else {
            for (std::size_t k = 0; k < run; ++k) out += shown;
        }
        i += run;
    }
}

// The token stream of `stream` as one text, one token per line. After the
// end of input, one more call must give the end again.
inline std::string scan_stream(const Scanner &scanner, std::FILE *stream) {
    std::string out;
    try {
        scanner.reset(stream);
        for (int i = 0;; ++i) {
            int code = scanner.lex();
            out += std::to_string(code) + " [";
            if (code == 0)
                out += scanner.text;  // only the text up to its zero counts at the end
            else
                append_text(out, scanner.text, static_cast<std::size_t>(*scanner.length));
            out += "] line " + std::to_string(*scanner.line) + " sc " + std::to_string(scanner.start_condition());
            if (code == ADDRESS) out += " address " + std::to_string(scanner.value->address);
            if (code == SYMBOL_NAME) {
                out += " name ";
                append_text(out, scanner.value->name, scanner.value->name_length);
                if (std::strlen(scanner.value->name) != scanner.value->name_length) out += " (length differs)";
            }
            out += '\n';
            if (code == 0) {
                code = scanner.lex();
                out += "again " + std::to_string(code) + " line " + std::to_string(*scanner.line) + "\n";
                break;
            }
        }
    } catch (const tamrix::ScannerFatal &fatal) {
        out += std::string("FATAL ") + fatal.message + " line " + std::to_string(*scanner.line) + "\n";
    }
    return out;
}

}  // namespace scanner_differential
