// The library's scanner against the flex oracle, token by token, on edge
// cases, on word runs around the token limit at every refill boundary, and
// on many random inputs; and on the same inputs the library's parse against
// the grammar model on the oracle. Both read through the same text layer.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "map_input.h"
#include "map_reader.h"
#include "scanner_differential.h"
#include "temp_file.h"

namespace {

using namespace scanner_differential;
using namespace std::string_literals;

// "r" as MapParse opens a map file; the tests with CR bytes kept use
// "rb", so that no C runtime drops them either.
const char *open_mode = "r";

// What `read` makes of the file at `path`, opened as MapParse opens it.
template <typename Read>
std::string read_file(const Scanner &scanner, const std::string &path, Read read) {
    std::FILE *in = std::fopen(path.c_str(), open_mode);
    if (!in) return "cannot open " + path;
    std::string result = read(scanner, in);
    std::fclose(in);
    return result;
}

std::string scan_file(const Scanner &scanner, const std::string &path) { return read_file(scanner, path, scan_stream); }

std::string parse_file(const Scanner &scanner, const std::string &path) { return read_file(scanner, path, parse_stream); }

std::string first_difference(const std::string &expected, const std::string &actual) {
    std::size_t line_start = 0;
    while (true) {
        std::size_t e = expected.find('\n', line_start), a = actual.find('\n', line_start);
        std::string want = expected.substr(line_start, e == std::string::npos ? e : e - line_start);
        std::string got = actual.substr(line_start, a == std::string::npos ? a : a - line_start);
        if (want != got) return "flex:    " + want + "\nlibrary: " + got;
        if (e == std::string::npos) return "(no difference)";
        line_start = e + 1;
    }
}

// Returns the oracle's token stream; reports a failure on a difference in
// the tokens or in the outcome of the parse.
std::string expect_same_tokens(const std::string &bytes) {
    TempFile file(bytes);
    std::string expected = scan_file(oracle, file.path());
    std::string actual = scan_file(library, file.path());
    std::string expected_parse = parse_file(oracle, file.path());
    std::string actual_parse = parse_file(library, file.path());
    if (expected != actual || expected_parse != actual_parse) {
        std::string shown;
        append_text(shown, bytes.data(), bytes.size());
        if (shown.size() > 400) shown = shown.substr(0, 200) + " ... " + shown.substr(shown.size() - 200);
        ADD_FAILURE() << "input (" << bytes.size() << " bytes): " << shown << "\n"
                      << (expected != actual ? first_difference(expected, actual)
                                             : "parse: " + first_difference(expected_parse, actual_parse));
    }
    return expected;
}

std::size_t count_lines(const std::string &text) {
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

TEST(ScannerDifferential, EdgeCases) {
    const std::string a8190(8190, 'a'), a8191(8191, 'a'), a8192(8192, 'a');
    const std::vector<std::string> inputs = {
        "", "\n", "\r\n", "\r", "\r\r\n", "A", "A\n", "A ADDR 12H x\n", "FOO\tADDR\t0ffh\tx\r\n",
        "  FOO ADDR 1234H x\n", "ABC-1 ADDR 12H x\n", "A ADDRESS 12H x\n", "A addr 12H x\n",
        "A ADDR 12345H x\n", "A ADDR 0x12 x\n", "A ADDR\t\t12H x\n", "A ADDR \n", "A ADDR\f12H x\n",
        "A:ADDR 12H\n", "ADDR ADDR 12H x\n", "A ADDR 12H ?foo.bar\n", "A ADDR 12H foo-bar\n",
        "A ADDR 12H 9foo\n", "A ADDR 12H f\0oo\n"s, "A ADDR 01\0" "0H x\n"s, "A ADDR 12H foo",
        "\nA\n", "A ADDR 12H x\n\nB ADDR 34H y\n", "A\rB ADDR 1H x\n", "A ADDR 12H x\n\x1A" "B ADDR 34H y\n",
        "\xC3\xA9 A\n\xE9X ADDR 1H y\n", "A ADDR", "A ADDR ", "A ADDR 1", "A ADDR 1H", "A ADDR 1H ",
        "A ADDR hH x\n", "A ADDR H x\n", "A ADDR 12h_ x\n", "A ADDR -1H x\n", "A ADDR 1H _\n",
        "A ADDR 1H x y z\n", "A ADDR ADDR 1H x\n", "A ADDR 1H ADDR\n", "A B ADDR 1H x\n", "_ ADDR 1H _\n",
        "9 ADDR 1H x\n", "A-ADDR 1H x\n", "A.ADDR 1H x\n", "A ADDR.1H.x.\n", "A ADDR 1H x\r\r\n",
        "\0A ADDR 1H x\n"s, "A\0 ADDR 1H x\n"s, "A ADDR\0 1H x\n"s, "\x1A", "A\x1A", "A ADDR 1H x\x1A",
        "\v\f\t \n", "A ADDR FFFFh x\n", "A ADDR 0000H x\n", "a ADDR 1H s (data) 12H\n",
        a8190 + "\n", a8191 + "\n", a8192 + "\n", a8191, a8190, a8191 + "\0"s, a8190 + "\0"s,
        "\n" + a8191 + " x\n", "\n" + a8190 + " x\n", "A ADDR 1H " + a8191 + "\n",
        "A ADDR 1H _" + std::string(300, 'n') + "\n", "\n" + std::string(8000, 'a') + " " + std::string(8190, 'b') + "\n",
        std::string(8191, '-') + "\n", std::string(16382, 'z'), std::string(20000, ' ') + "A\n",
        std::string(9000, '.') + a8190 + "\n", "\n" + std::string(8190, '.') + "\r\nA\n",
        "\n" + std::string(8190, '.') + "\r",
        // After a first line the parser's reader passes over lines and takes
        // plain record lines whole; these fall back to the scanner part-way.
        "\n\nA\n  B ADDR 1H x\nC-D ADDR 1H x\nE ADDR 1H x-y z\nF ADDR 1H 9x y\nG ADDR ZZ 1H x\nH ADDR 1H\n",
        "\nA ADDR 12H x\nB:ADDR 3H y;z\nC ADDR 4-5H w\nD ADDR\tFH\tv\r\nE ADDR 6H u", "\nX Y ADDR 7H t\nZ\n\0A ADDR 1H x\n"s,
        "\n" + std::string(8190, 'q') + " ADDR 1H x\nA ADDR 2H y\n", "\nA ADDR 1H " + a8191 + "\nB ADDR 2H y\n",
        "\nA ADDR 9H\nB\n",
        "\nA ADDR 12345H x\nB ADDR 1234H5 y\nC ADDR H z\nD ADDR 0h w\nE ADDR fH-q v\nF ADDR 12H_ u\nG ADDR gH t\n"
        "H ADDR 1H-\nI ADDR AbCdH s\nJ ADDR 1Hx y\nK ADDR 12\0H x\n"s};
    for (const std::string &input : inputs) expect_same_tokens(input);
    // Counts that pass the range of an int, from a count started near it.
    tamrix::first_line_number = 2147483646;
    for (const std::string &input : {"\n\n\n"s, "A ADDR 12H x\n\nB ADDR 34H y\n"s})
        EXPECT_NE(expect_same_tokens(input).find("line 2147483649"), std::string::npos);
    tamrix::first_line_number = 1;
}

// CR bytes as they would come from a stream not read as text: a CR before
// LF belongs to the line end, any other CR is skipped on its own, also
// where a refill falls between CR and LF.
TEST(ScannerDifferential, EdgeCasesWithCarriageReturnsKept) {
    const std::vector<std::string> inputs = {
        "\r\n", "\r", "\r\r\n", "A\r\n", "A ADDR\r\n", "A ADDR 1H\r\n", "A ADDR 1H x\r\n",
        "A ADDR 1H x\r\r\n", "A\rB ADDR 1H x\n", "A ADDR\r1H x\n", "A ADDR 1H\rx\n", "\rA\n",
        "\n" + std::string(8190, '.') + "\r\nA\n", "\n" + std::string(8190, '.') + "\r",
        "A ADDR 1H x" + std::string(8180, ' ') + "\r\n", "\n" + std::string(8191, '\r') + "\n",
        "\nA ADDR 1H x\r\nB\rC ADDR 2H y\r\nD ADDR 3H\rz\r\n"};
    tamrix::map_input_keep_carriage_returns(true);
    open_mode = "rb";
    for (const std::string &input : inputs) expect_same_tokens(input);
    open_mode = "r";
    tamrix::map_input_keep_carriage_returns(false);
}

// A word run of 8189 to 8193 characters whose last character falls two
// before to two after the end of the first or second refill, in every
// start condition, followed by a blank, a line feed, a NUL or nothing.
TEST(ScannerDifferential, WordRunsAroundTheTokenLimitAtRefillBoundaries) {
    const std::vector<std::string> before_run = {"", "A ", "A ADDR ", "A ADDR 1H ", "A ADDR 1H x ", "  "};
    const std::vector<std::string> after_run = {" x\n", "\n", "\0\n"s, ""};
    const std::string filler_line = "f ADDR 1H y\n";
    std::size_t cases = 0;
    for (bool crlf : {false, true})
        for (std::size_t refill = 1; refill <= 2; ++refill)
            for (std::size_t length = 8189; length <= 8193; ++length)
                for (int shift = -2; shift <= 2; ++shift)
                    for (const std::string &before : before_run)
                        for (const std::string &after : after_run) {
                            // The run ends (exclusive) at refill * 8192 + shift in the
                            // filtered text; a filler of whole lines comes first.
                            long run_start = static_cast<long>(refill * 8192) + shift - static_cast<long>(length);
                            long filler = run_start - static_cast<long>(before.size());
                            if (filler < 0) continue;
                            std::string text;
                            while (text.size() + 1 < static_cast<std::size_t>(filler)) text += filler_line;
                            text.resize(filler > 0 ? static_cast<std::size_t>(filler - 1) : 0);
                            if (filler > 0) text += '\n';
                            if (crlf) {  // CR bytes vanish before the buffer fills
                                std::string with_cr;
                                for (char c : text) with_cr += c == '\n' ? "\r\n" : std::string(1, c);
                                text = with_cr;
                            }
                            char letter = "aZ7_-"[cases % 5];
                            expect_same_tokens(text + before + std::string(length, letter) + after);
                            ++cases;
                        }
    EXPECT_GT(cases, 1000u);
}

struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
};

// Random text built from the pieces the rules care about.
std::string random_input(Random &random, std::size_t pieces, bool long_runs) {
    static const std::vector<std::string> fragments = {
        "ADDR", "ADDR ", "ADDR\t", " ", " ", " ", "\t", "\n", "\n", "\n", "\r\n", "\r", "\f", "\v", "\0"s,
        "-", "_", "H", "h", "0", "7", "F", "a", "x", "Z", "12H", "0ffh", "1234H", "12345H", "name", "_main",
        ".", ":", "?", ";", "\xE9", "\xFF", "ADDRESS", "addr", "A ADDR 1H x\n", "\nB ADDR 2h y"};
    std::string out;
    for (std::size_t i = 0; i < pieces; ++i) {
        std::size_t pick = random.below(fragments.size() + 2);
        if (pick < fragments.size()) {
            out += fragments[pick];
        } else if (long_runs && random.below(pieces / 8 + 1) == 0) {
            // Mostly just under the limit, so that the scan goes on.
            std::size_t length = random.below(8) ? 8180 + random.below(11) : 8191 + random.below(3);
            out += std::string(length, "aB3_-"[random.below(5)]);
        } else {
            out += std::string(1 + random.below(12), "aB3_-"[random.below(5)]);
        }
    }
    if (random.below(50) == 0) out.insert(random.below(out.size() + 1), "\x1A");  // ends the input
    return out;
}

// Dense maps, record lines after record lines across many refills, as the
// parser's token source takes them whole: one-character heads, short and
// 255- to 300-character names, tabs, near misses, a last line without its
// line end; with CR LF line ends too, dropped and kept.
TEST(ScannerDifferential, DenseMaps) {
    Random random{77};
    static const char *const gaps[] = {" ", " ", " ", "\t", "  ", ":", " \f"};
    for (int round = 0; round < 12; ++round) {
        std::string text;
        while (text.size() < 40000) {
            std::size_t name_length = random.below(40) ? 2 + random.below(8) : 250 + random.below(50);
            text += std::string(1 + random.below(3) / 2, "aZ_"[random.below(3)]) + gaps[random.below(7)] +
                    (random.below(30) ? "ADDR" : "ADDRX") + gaps[random.below(7) % 4] +
                    std::string(1 + random.below(5), "0F9a"[random.below(4)]) + "hH"[random.below(2)] +
                    gaps[random.below(7)] + std::string(name_length, "nQ_7"[random.below(4)]) +
                    (random.below(20) ? "" : " rest") + "\n";
        }
        if (round % 3 == 1) text.pop_back();
        if (round % 3 == 2) {
            std::string with_cr;
            for (char c : text) with_cr += c == '\n' ? "\r\n" : std::string(1, c);
            text = with_cr;
        }
        expect_same_tokens(text);
        if (round % 3 != 2) continue;
        tamrix::map_input_keep_carriage_returns(true);
        open_mode = "rb";
        expect_same_tokens(text);
        open_mode = "r";
        tamrix::map_input_keep_carriage_returns(false);
    }
}

TEST(ScannerDifferential, RandomInputs) {
    Random random{20240601};
    std::size_t tokens = 0, fatal = 0;
    for (int i = 0; i < 3000; ++i) tokens += count_lines(expect_same_tokens(random_input(random, 1 + random.below(40), false)));
    for (int i = 0; i < 150; ++i) {
        std::string stream = expect_same_tokens(random_input(random, 200 + random.below(8000), true));
        tokens += count_lines(stream);
        fatal += stream.find("FATAL") != std::string::npos;
    }
    // The inputs reach far and some of them hit the token limit.
    EXPECT_GT(tokens, 100000u);
    EXPECT_GT(fatal, 10u);
    EXPECT_LT(fatal, 140u);
}

}  // namespace
