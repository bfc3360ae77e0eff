// Counts the scanner's tokens in one map file, for the benchmark's
// instructions per token:
//
//   count_tokens FILE
//
// Prints one line of key=value pairs: tokens (the end of the input not
// counted), lines (line ends), records (record line ends).
#include <cstdio>

#include "map_reader.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    std::FILE *file = std::fopen(argv[1], "r");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    unsigned long long tokens = 0, lines = 0, records = 0;
    try {
        yy_reset_input(file);
        for (int token; (token = yylex()) != 0; ++tokens) {
            if (token == LINE_END || token == RECORD_END) ++lines;
            if (token == RECORD_END) ++records;
        }
    } catch (const tamrix::ScannerFatal &fatal) {
        std::fprintf(stderr, "%s: %s\n", argv[1], fatal.message);
        return 1;
    }
    std::fclose(file);
    std::printf("tokens=%llu lines=%llu records=%llu\n", tokens, lines, records);
    return 0;
}
