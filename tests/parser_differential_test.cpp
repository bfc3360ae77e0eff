// The library's parser against the bison oracle on scripted token streams:
// well-formed lines, and lines with tokens dropped, doubled or replaced by
// codes no scanner sends. Both must give the same result, read the same
// number of tokens, leave the same records and the same current_address.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "map_grammar_oracle.h"
#include "map_parser.h"
#include "tamrix_map.h"

namespace {

struct ScriptedToken {
    int code;
    bool writes_value;  // sets the value cell, as the scanner does for ADDRESS and SYMBOL_NAME
    MapTokenValue value;
};

std::vector<ScriptedToken> script;
std::size_t tokens_read = 0;
MapTokenValue *value_cell = nullptr;

// Past the end of the script the input has ended.
int scripted_token() {
    if (tokens_read >= script.size()) {
        ++tokens_read;
        return 0;
    }
    const ScriptedToken &token = script[tokens_read++];
    if (token.writes_value) *value_cell = token.value;
    return token.code;
}

using Records = std::vector<std::pair<std::string, std::uint32_t>>;

struct Outcome {
    int result;
    std::size_t tokens_read;
    Records records;
    std::uint32_t current_address;
    bool operator==(const Outcome &) const = default;
};

std::string describe(const Outcome &o) {
    std::string out = "result " + std::to_string(o.result) + ", " + std::to_string(o.tokens_read) +
                      " tokens read, current_address " + std::to_string(o.current_address) + ", records:";
    for (const auto &[name, value] : o.records) out += " " + name.substr(0, 20) + "=" + std::to_string(value);
    return out;
}

Outcome run(bool oracle) {
    FreeAllRecords();
    tamrix::current_address = 0xC0FFEE;
    tokens_read = 0;
    value_cell = oracle ? &grammar_oracle_lval : &yylval;
    Outcome outcome{};
    outcome.result = oracle ? grammar_oracle_parse() : tamrix::parse_map_tokens(scripted_token);
    outcome.tokens_read = tokens_read;
    for (const MapRecord *node = GetRecordTop(); node; node = node->next) outcome.records.emplace_back(node->name, node->value);
    outcome.current_address = tamrix::current_address;
    FreeAllRecords();
    return outcome;
}

std::string show_script() {
    std::string out;
    for (const ScriptedToken &token : script) out += std::to_string(token.code) + (token.writes_value ? "* " : " ");
    return out;
}

// Returns the oracle's outcome; reports a failure on a difference.
Outcome expect_same_outcome() {
    Outcome expected = run(true);
    Outcome actual = run(false);
    EXPECT_EQ(expected, actual) << "tokens: " << show_script() << "\nbison:   " << describe(expected)
                                << "\nlibrary: " << describe(actual);
    return expected;
}

const std::string long_name(300, 'n');
const char *const names[] = {"main", "x", "_start", long_name.c_str()};

ScriptedToken address(std::uint32_t value) { return {ADDRESS, true, {value, 0, nullptr}}; }
ScriptedToken name(std::size_t which) {
    const char *text = names[which % 4];
    return {SYMBOL_NAME, true, {0, static_cast<std::uint32_t>(std::strlen(text)), text}};
}
ScriptedToken plain(int code) { return {code, false, {}}; }

TEST(ParserDifferential, LinesOfEveryShape) {
    const std::vector<std::vector<ScriptedToken>> scripts = {
        {},
        {plain(LINE_END)},
        {plain(LINE_HEAD), plain(ADDR_KEYWORD), address(0x1234), name(0), plain(RECORD_END)},
        {plain(LINE_HEAD), plain(ADDR_KEYWORD), address(0x10), plain(LINE_END), plain(LINE_HEAD),
         plain(ADDR_KEYWORD), address(0x20), name(1), plain(RECORD_END)},
        {plain(LINE_HEAD), plain(LINE_END), plain(LINE_HEAD), plain(ADDR_KEYWORD), plain(LINE_END)},
        {plain(LINE_HEAD)},
        {plain(LINE_HEAD), plain(ADDR_KEYWORD), address(0x10), name(2)},
        {plain(LINE_HEAD), plain(ADDR_KEYWORD), address(1), name(0), plain(RECORD_END), plain(LINE_HEAD),
         plain(ADDR_KEYWORD), address(2), name(3), plain(RECORD_END), plain(LINE_HEAD)},
        {plain(LINE_END), plain(-1)},
        {plain(LINE_END), plain(256), plain(LINE_END)},
        {plain(LINE_END), plain('a')},
        {plain(RECORD_END)},
        {plain(LINE_HEAD), plain(ADDR_KEYWORD), address(7), name(1), plain(LINE_END)},
        // The record keeps the name it was given, whatever the cell holds later.
        {plain(LINE_HEAD), plain(ADDR_KEYWORD), address(5), name(0), {RECORD_END, true, {9, 1, "x"}}}};
    for (const auto &s : scripts) {
        script = s;
        expect_same_outcome();
    }
}

TEST(ParserDifferential, RandomTokenStreams) {
    std::uint64_t state = 7;
    auto below = [&state](std::uint64_t n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (state >> 33) % n;
    };
    const int odd_codes[] = {0, -1, 1, 255, 256, 263, 1000, LINE_END, RECORD_END, SYMBOL_NAME, ADDRESS,
                             ADDR_KEYWORD, LINE_HEAD};
    int accepted = 0, refused = 0;
    for (int round = 0; round < 4000; ++round) {
        script.clear();
        std::size_t lines = below(12);
        bool mangle = below(2) == 0;
        for (std::size_t line = 0; line < lines; ++line) {
            std::vector<ScriptedToken> tokens;
            std::size_t shape = below(5);
            if (shape > 0) tokens.push_back(plain(LINE_HEAD));
            if (shape > 1) tokens.push_back(plain(ADDR_KEYWORD));
            if (shape > 2) tokens.push_back(address(static_cast<std::uint32_t>(below(0x10000))));
            if (shape > 3) tokens.push_back(name(below(4)));
            tokens.push_back(plain(shape > 3 ? RECORD_END : LINE_END));
            for (ScriptedToken &token : tokens) {
                if (mangle && below(25) == 0) continue;  // dropped
                if (mangle && below(25) == 0) script.push_back(token);  // doubled
                if (mangle && below(25) == 0) token = plain(odd_codes[below(13)]);
                if (below(10) == 0 && !token.writes_value) token.writes_value = true, token.value = {99, 1, "z"};
                script.push_back(token);
            }
        }
        if (below(4) == 0) script.push_back(plain(0));
        (expect_same_outcome().result == 0 ? accepted : refused)++;
    }
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(refused, 1000);
}

}  // namespace

// The oracle's scanner: the script.
int grammar_oracle_lex() { return scripted_token(); }
