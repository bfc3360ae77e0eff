// Runs the library's scanner and the flex oracle over the same bytes and
// writes down everything a caller can see of each token: code, text,
// value, line count, start condition, and the fatal message if any; and
// the outcome of a whole parse, by the library's parser on its scanner and
// by the grammar model on the oracle. Used by the differential test and
// the differential fuzzer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "grammar_model.h"
#include "map_reader.h"
#include "map_scanner_oracle.h"
#include "record_list.h"

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

// The outcome of parsing `stream` as one text: the result or the fatal
// message, the line and the text the parse stopped at, current_address and
// the records. The library's parser reads its tokens in its own way (it
// passes over lines that cannot change its state), so this covers what
// the token stream alone does not.
inline std::string parse_stream(const Scanner &scanner, std::FILE *stream) {
    tamrix::free_all_records();
    tamrix::current_address = 0xC0FFEE;
    std::string out;
    try {
        scanner.reset(stream);
        int result;
        if (&scanner == &library) {
            result = yyparse();
        } else {
            result = grammar_model::parse_map_tokens([&scanner] {
                int code = scanner.lex();
                yylval = *scanner.value;  // the model reads the library's cell
                return code;
            });
        }
        out += "result " + std::to_string(result) + " [" + (result ? scanner.text : "") + "]";
    } catch (const tamrix::ScannerFatal &fatal) {
        out += std::string("FATAL ") + fatal.message;
    }
    out += " line " + std::to_string(*scanner.line) + " address " + std::to_string(tamrix::current_address) + "\n";
    std::uint32_t value;
    const char *name;
    for (int more = tamrix::first_record(&value, &name); more == 0; more = tamrix::next_record(&value, &name)) {
        append_text(out, name, std::strlen(name));
        out += " " + std::to_string(value) + "\n";
    }
    tamrix::free_all_records();
    return out;
}

}  // namespace scanner_differential
