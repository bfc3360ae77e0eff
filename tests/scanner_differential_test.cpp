// The library's scanner against the flex oracle, token by token, on edge
// cases, on word runs around the token limit at every refill boundary, and
// on many random inputs; and on the same inputs the library's parse against
// the grammar model on the oracle. Both read through the same text layer.
// Every case runs with each processor target the processor can run.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "map_input.h"
#include "map_reader.h"
#include "map_samples.h"
#include "scanner_differential.h"
#include "target_entries.h"
#include "targets.h"
#include "temp_file.h"

namespace {

using namespace map_samples;
using namespace scanner_differential;
using namespace std::string_literals;

// What `read` makes of the file at `path`, opened as MapParse opens it.
template <typename Read>
std::string read_file(const Scanner &scanner, const std::string &path, Read read) {
    std::FILE *in = std::fopen(path.c_str(), "rb");
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

using tamrix::Target;

class ScannerDifferential : public testing::TestWithParam<Target> {
    Target before = tamrix::target_in_use();

protected:
    void SetUp() override {
        if (!tamrix::target_available(GetParam())) GTEST_SKIP() << "not on this processor";
        tamrix::use_target(GetParam());
    }
    void TearDown() override { tamrix::use_target(before); }
};

std::string target_name(const testing::TestParamInfo<Target> &info) {
    return info.param == Target::portable ? "portable" : info.param == Target::sse2 ? "sse2" : "avx2";
}

INSTANTIATE_TEST_SUITE_P(Targets, ScannerDifferential, testing::Values(Target::portable, Target::sse2, Target::avx2),
                         target_name);

TEST_P(ScannerDifferential, EdgeCases) {
    for (const std::string &input : edge_cases()) expect_same_tokens(input);
    // Counts that pass the range of an int, from a count started near it.
    tamrix::first_line_number = 2147483646;
    for (const std::string &input : {"\n\n\n"s, "A ADDR 12H x\n\nB ADDR 34H y\n"s})
        EXPECT_NE(expect_same_tokens(input).find("line 2147483649"), std::string::npos);
    tamrix::first_line_number = 1;
}

TEST_P(ScannerDifferential, EdgeCasesWithCarriageReturnsKept) {
    tamrix::map_input_keep_carriage_returns(true);
    for (const std::string &input : carriage_return_cases()) expect_same_tokens(input);
    tamrix::map_input_keep_carriage_returns(false);
}

TEST_P(ScannerDifferential, WordRunsAroundTheTokenLimitAtRefillBoundaries) {
    EXPECT_GT(runs_at_refill_boundaries([](const std::string &text) { expect_same_tokens(text); }), 1000u);
}

// The CR LF ones with their CR bytes dropped and kept.
TEST_P(ScannerDifferential, DenseMaps) {
    Random random{77};
    for (int round = 0; round < 12; ++round) {
        std::string text = dense_map(random, round);
        expect_same_tokens(text);
        if (round % 3 != 2) continue;
        tamrix::map_input_keep_carriage_returns(true);
        expect_same_tokens(text);
        tamrix::map_input_keep_carriage_returns(false);
    }
}

// The text layer's filter, which the oracle reads through as well: its
// result against the rules applied a byte at a time, over runs of every
// length between the control bytes.
TEST_P(ScannerDifferential, TextFilter) {
    Random random{4242};
    for (int i = 0; i < 4000; ++i) {
        // CR bytes from every few bytes to a few in thousands, and a Ctrl-Z
        // in one text of three.
        std::string text(random.below(i < 3000 ? 300 : 9000), 'x');
        std::size_t spacing = 1 + random.below(i % 2 ? 8 : 3000);
        for (char &c : text) c = random.below(spacing) ? "ab\n\t "[random.below(5)] : '\r';
        if (random.below(3) == 0) text.insert(random.below(text.size() + 1), 1, '\x1A');
        for (bool keep : {false, true}) {
            std::string expected;
            for (char c : text.substr(0, text.find('\x1A')))
                if (keep || c != '\r') expected += c;
            std::string data = text;
            bool stopped = false;
            data.resize(tamrix::target_entries().filter_bytes(data.data(), data.size(), keep ? '\x1A' : '\r', '\x1A', stopped));
            ASSERT_EQ(data, expected) << "keep " << keep << ", input " << text.size() << " bytes";
            EXPECT_EQ(stopped, text.find('\x1A') != std::string::npos);
        }
    }
}

// The copy of a long name into its record, with the target's own copy.
TEST_P(ScannerDifferential, LongNameCopy) {
    std::string from(400, ' '), to(400, '.');
    for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<char>('a' + i % 26);
    for (std::size_t n = 16; n <= 300; ++n) {
        tamrix::target_entries().copy_text(to.data() + 1, from.data() + 3, n);
        ASSERT_EQ(to.substr(1, n), from.substr(3, n)) << n;
        ASSERT_EQ(to[0], '.');
        ASSERT_EQ(to[n + 1], '.') << n;
        to.assign(400, '.');
    }
}

TEST_P(ScannerDifferential, RandomInputs) {
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
