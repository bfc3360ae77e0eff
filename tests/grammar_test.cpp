// The library's bison grammar on scripted token streams, against a model
// of the grammar written out by hand: well-formed lines, and lines with
// tokens dropped, doubled or replaced by codes no scanner sends. Both must
// give the same result, read the same number of tokens, leave the same
// records and the same current_address.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "grammar_model.h"
#include "heap.h"
#include "map_grammar_script.h"
#include "record_pool.h"
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
// The scripted grammar's value cell: it keeps what the last token wrote,
// as the scanner's does, and is handed to the parser with every token.
MapTokenValue script_cell;
// What the actions had done when each token was asked for.
struct SeenAtRequest {
    std::uint32_t current_address;
    std::int32_t records;
};
std::vector<SeenAtRequest> seen;

// Past the end of the script the input has ended.
int scripted_token() {
    seen.push_back({tamrix::current_address, GetRecordCount()});
    if (tokens_read >= script.size()) {
        ++tokens_read;
        return 0;
    }
    const ScriptedToken &token = script[tokens_read++];
    // Like the scanner, an address leaves the name in the cell alone.
    if (token.writes_value && token.code == ADDRESS)
        value_cell->address = token.value.address;
    else if (token.writes_value)
        *value_cell = token.value;
    return token.code;
}

using Records = std::vector<std::pair<std::string, std::uint32_t>>;

struct Outcome {
    int result;
    std::size_t tokens_read;
    Records records;
    std::uint32_t current_address;
    bool record_refused;
    bool operator==(const Outcome &) const = default;
};

std::string describe(const Outcome &o) {
    std::string out = "result " + std::to_string(o.result) + ", " + std::to_string(o.tokens_read) +
                      " tokens read, current_address " + std::to_string(o.current_address) +
                      (o.record_refused ? ", record refused" : "") + ", records:";
    for (const auto &[name, value] : o.records) out += " " + name.substr(0, 20) + "=" + std::to_string(value);
    return out;
}

// Record i's node and name come from heap allocations 2i + 1 and 2i + 2
// of a run; from this one on the heap refuses (0: never).
std::uint64_t refuse_from = 0;

Outcome run(bool bison) {
    FreeAllRecords();
    tamrix::current_address = 0xC0FFEE;
    tamrix::record_refused = true;  // each parse must clear it
    tokens_read = 0;
    seen.clear();
    value_cell = bison ? &script_cell : &yylval;
    // A mangled stream may bring a SYMBOL_NAME that set no value; the cell
    // then holds what an earlier name left, as it would after the scanner.
    *value_cell = {0, 1, "?"};
    std::size_t saved_chunk_bytes = tamrix::pool_chunk_bytes;
    if (refuse_from) tamrix::pool_chunk_bytes = 1;
    tamrix::heap_fail_at(refuse_from, true);
    Outcome outcome{};
    outcome.result = bison ? grammar_script_parse() : grammar_model::parse_map_tokens(scripted_token);
    tamrix::heap_fail_at(0, false);
    tamrix::pool_chunk_bytes = saved_chunk_bytes;
    outcome.record_refused = tamrix::record_refused;
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

// Returns bison's outcome; reports a failure on a difference.
Outcome expect_same_outcome() {
    Outcome expected = run(true);
    Outcome actual = run(false);
    EXPECT_EQ(expected, actual) << "tokens: " << show_script() << "\nbison: " << describe(expected)
                                << "\nmodel: " << describe(actual);
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
ScriptedToken record_line(std::uint32_t value, std::size_t which) {
    ScriptedToken token = name(which);
    token.code = RECORD_LINE;
    token.value.address = value;
    return token;
}

TEST(Grammar, LinesOfEveryShape) {
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
        {plain(LINE_END), record_line(0x42, 3), plain(LINE_HEAD), plain(ADDR_KEYWORD), address(9), plain(LINE_END),
         record_line(0x43, 1), plain(LINE_HEAD)},
        // The record keeps the name it was given, whatever the cell holds later.
        {plain(LINE_HEAD), plain(ADDR_KEYWORD), address(5), name(0), {RECORD_END, true, {9, 1, "x"}}}};
    for (const auto &s : scripts) {
        script = s;
        expect_same_outcome();
    }
}

struct StreamCase {
    const char *what;
    std::vector<ScriptedToken> tokens;
    int result;
    Records records;
    std::uint64_t refuse_from = 0;
};

TEST(Grammar, TokenStreamsGiveResultAndRecords) {
    const ScriptedToken head = plain(LINE_HEAD), keyword = plain(ADDR_KEYWORD), end = plain(LINE_END),
                        record_end = plain(RECORD_END);
    const StreamCase cases[] = {
        {"end of input alone", {}, 1, {}},
        {"one empty line", {end}, 0, {}},
        {"a record line", {head, keyword, address(0x1234), name(0), record_end}, 0, {{"main", 0x1234}}},
        {"address line, then record", {head, keyword, address(0x10), end, head, keyword, address(0x20), name(1), record_end},
         0, {{"x", 0x20}}},
        {"head and keyword lines", {head, end, head, keyword, end}, 0, {}},
        {"head, then the end", {head}, 1, {}},
        {"record line without its end", {head, keyword, address(0x10), name(2)}, 1, {}},
        {"records stay before an error",
         {head, keyword, address(1), name(0), record_end, head, keyword, address(2), name(1), record_end, head},
         1, {{"main", 1}, {"x", 2}}},
        {"a name closed by a plain line end", {head, keyword, address(7), name(1), end}, 1, {}},
        {"a record that cannot be stored ends the parse",
         {head, keyword, address(1), name(0), record_end, head, keyword, address(2), name(1), record_end, end},
         1, {{"main", 1}}, 3},
        {"whole record lines", {end, record_line(0x10, 0), record_line(0x20, 1)}, 0, {{"main", 0x10}, {"x", 0x20}}},
        {"a whole record line never comes first", {record_line(0x10, 0), end}, 1, {}},
        {"a whole record line that cannot be stored", {end, record_line(1, 0), record_line(2, 1), end}, 1, {{"main", 1}}, 3},
    };
    for (const StreamCase &c : cases) {
        SCOPED_TRACE(c.what);
        script = c.tokens;
        refuse_from = c.refuse_from;
        Outcome outcome = expect_same_outcome();
        refuse_from = 0;
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(outcome.records, c.records);
        EXPECT_EQ(outcome.record_refused, c.refuse_from != 0);
        if (c.refuse_from) {
            EXPECT_EQ(outcome.tokens_read, c.tokens.size() - 1) << "nothing is read after the refused record";
        }
    }
}

// The address is stored before the name is asked for, and the record is
// added before the token after its line end is asked for.
TEST(Grammar, ActionsRunBeforeTheNextTokenIsRead) {
    script = {plain(LINE_HEAD), plain(ADDR_KEYWORD), address(0xAB), name(1), plain(RECORD_END), plain(LINE_END)};
    run(true);
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen[3].current_address, 0xABu) << "when SYMBOL_NAME is asked for";
    EXPECT_EQ(seen[4].records, 0) << "when RECORD_END is asked for";
    EXPECT_EQ(seen[5].records, 1) << "when the next line's token is asked for";
    script = {plain(LINE_END), record_line(0xCD, 0), plain(LINE_END)};
    run(true);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[2].current_address, 0xCDu);
    EXPECT_EQ(seen[2].records, 1) << "a whole record line is stored before the next token is asked for";
}

TEST(Grammar, HundredThousandRecordLines) {
    script.clear();
    Records expected;
    for (std::uint32_t i = 0; i < 100000; ++i) {
        script.insert(script.end(), {plain(LINE_HEAD), plain(ADDR_KEYWORD), address(i & 0xFFFF), name(i),
                                     plain(RECORD_END)});
        expected.emplace_back(names[i % 4], i & 0xFFFF);
    }
    Outcome outcome = run(true);
    EXPECT_EQ(outcome.result, 0) << "the stack never overflows";
    EXPECT_TRUE(outcome.records == expected) << "every record, in order";
}

TEST(Grammar, RandomTokenStreams) {
    std::uint64_t state = 7;
    auto below = [&state](std::uint64_t n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (state >> 33) % n;
    };
    const int odd_codes[] = {0, -1, 1, 255, 256, 264, 1000, LINE_END, RECORD_END, SYMBOL_NAME, ADDRESS,
                             ADDR_KEYWORD, LINE_HEAD};
    int accepted = 0, refused = 0, records_refused = 0;
    for (int round = 0; round < 4000; ++round) {
        script.clear();
        std::size_t lines = below(12);
        bool mangle = below(2) == 0;
        for (std::size_t line = 0; line < lines; ++line) {
            std::vector<ScriptedToken> tokens;
            std::size_t shape = below(6);
            if (shape > 0 && shape < 5) tokens.push_back(plain(LINE_HEAD));
            if (shape > 1 && shape < 5) tokens.push_back(plain(ADDR_KEYWORD));
            if (shape > 2 && shape < 5) tokens.push_back(address(static_cast<std::uint32_t>(below(0x10000))));
            if (shape == 4) tokens.push_back(name(below(4)));
            if (shape == 5)  // the record line as one token
                tokens.push_back(record_line(static_cast<std::uint32_t>(below(0x10000)), below(4)));
            else
                tokens.push_back(plain(shape == 4 ? RECORD_END : LINE_END));
            for (ScriptedToken &token : tokens) {
                if (mangle && below(25) == 0) continue;  // dropped
                if (mangle && below(25) == 0) script.push_back(token);  // doubled
                if (mangle && below(25) == 0) token = plain(odd_codes[below(13)]);
                if (below(10) == 0 && !token.writes_value) token.writes_value = true, token.value = {99, 1, "z"};
                script.push_back(token);
            }
        }
        if (below(4) == 0) script.push_back(plain(0));
        // Now and then the heap refuses from some record on.
        refuse_from = below(8) == 0 ? 1 + below(10) : 0;
        Outcome outcome = expect_same_outcome();
        refuse_from = 0;
        (outcome.result == 0 ? accepted : refused)++;
        records_refused += outcome.record_refused;
    }
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(refused, 1000);
    EXPECT_GT(records_refused, 30);
}

}  // namespace

// The scripted grammar's scanner: the script.
int grammar_script_lex(MapTokenValue *value) {
    int token = scripted_token();
    *value = script_cell;
    return token;
}

// The scripted grammar's copy of a name into its record.
void copy_text(char *to, const char *from, std::size_t n) { std::memcpy(to, from, n); }
