// Token streams of the scanner over small inputs, read through the same
// text layer as MapParse (so CR bytes never reach it).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "map_input.h"
#include "map_reader.h"
#include "temp_file.h"

namespace {

std::string show_text(const char *text, int length) {
    if (length > 20) return "<" + std::to_string(length) + ">";
    std::string out;
    for (int i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

// One line per stream: "code[text]", "=hex" after an address, "@line"
// after a line end and the end of input, "FATAL[message]@line" when the
// scanner gives up.
std::string scan(int max_tokens = 100) {
    std::string out;
    char hex[16];
    try {
        for (int i = 0; i < max_tokens; ++i) {
            int code = yylex();
            if (!out.empty()) out += ' ';
            if (code == 0) {
                out += "0@" + std::to_string(yylineno);
                EXPECT_STREQ(yytext, "") << "yytext is empty at the end of input";
                break;
            }
            out += std::to_string(code) + "[" + show_text(yytext, yyleng) + "]";
            if (code == ADDRESS) {
                std::snprintf(hex, sizeof hex, "=%x", static_cast<unsigned>(yylval.address));
                out += hex;
            }
            if (code == SYMBOL_NAME) {
                EXPECT_STREQ(yylval.name, yytext);
            }
            if (code == LINE_END || code == RECORD_END) out += "@" + std::to_string(yylineno);
        }
    } catch (const tamrix::ScannerFatal &fatal) {
        out += (out.empty() ? "" : " ") + std::string("FATAL[") + fatal.message + "]@" +
               std::to_string(yylineno);
    }
    return out;
}

// Opened in binary mode, as MapParse opens a map file.
std::string scan_bytes(const std::string &bytes) {
    TempFile file(bytes);
    std::FILE *in = std::fopen(file.c_path(), "rb");
    EXPECT_NE(in, nullptr);
    yy_reset_input(in);
    std::string tokens = scan();
    std::fclose(in);
    return tokens;
}

struct ScanCase {
    const char *what;
    std::string input;
    std::string tokens;
};

// GoogleTest would print the raw bytes, unset ones of the strings included.
void PrintTo(const ScanCase &c, std::ostream *out) { *out << c.what; }

class ScannerTable : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScannerTable, GivesTokenStream) { EXPECT_EQ(scan_bytes(GetParam().input), GetParam().tokens); }

const std::string rec = "262[A] 261[ADDR ] 260[12H]=12 ";
const std::string letters_8191(8191, 'a');
const std::string letters_8192(8192, 'a');
using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Rules, ScannerTable,
    ::testing::Values(
        ScanCase{"record line", "FOO ADDR 1234H _main\n",
                 "262[FOO] 261[ADDR ] 260[1234H]=1234 259[_main] 258[\\n]@2 0@2"},
        ScanCase{"tabs and CRLF", "FOO\tADDR\t0ffh\tx\r\n",
                 "262[FOO] 261[ADDR\\t] 260[0ffh]=ff 259[x] 258[\\n]@2 0@2"},
        ScanCase{"indented head", "  FOO ADDR 1234H x\n", "257[\\n]@2 0@2"},
        ScanCase{"head runs into hyphen", "ABC-1 ADDR 12H x\n", "257[\\n]@2 0@2"},
        ScanCase{"ADDRESS is a word", "A ADDRESS 12H x\n", "262[A] 257[\\n]@2 0@2"},
        ScanCase{"keyword in capitals only", "A addr 12H x\n", "262[A] 257[\\n]@2 0@2"},
        ScanCase{"five digits", "A ADDR 12345H x\n", "262[A] 261[ADDR ] 257[\\n]@2 0@2"},
        ScanCase{"prefix form is no token", "A ADDR 0x12 x\n", "262[A] 261[ADDR ] 257[\\n]@2 0@2"},
        ScanCase{"second tab skipped", "A ADDR\t\t12H x\n",
                 "262[A] 261[ADDR\\t] 260[12H]=12 259[x] 258[\\n]@2 0@2"},
        ScanCase{"keyword then line end", "A ADDR \n", "262[A] 261[ADDR ] 257[\\n]@2 0@2"},
        ScanCase{"form feed is no keyword blank", "A ADDR\f12H x\n", "262[A] 257[\\n]@2 0@2"},
        ScanCase{"punctuation before keyword", "A:ADDR 12H\n", rec + "257[\\n]@2 0@2"},
        ScanCase{"keyword in column one is a head", "ADDR ADDR 12H x\n",
                 "262[ADDR] 261[ADDR ] 260[12H]=12 259[x] 258[\\n]@2 0@2"},
        ScanCase{"punctuation around the name", "A ADDR 12H ?foo.bar\n",
                 rec + "259[foo] 258[\\n]@2 0@2"},
        ScanCase{"name runs into hyphen", "A ADDR 12H foo-bar\n", rec + "257[\\n]@2 0@2"},
        ScanCase{"name starts with a digit", "A ADDR 12H 9foo\n", rec + "257[\\n]@2 0@2"},
        ScanCase{"NUL ends a word", "A ADDR 12H f\0oo\n"s, rec + "259[f] 258[\\n]@2 0@2"},
        ScanCase{"NUL separates the address", "A ADDR 01\0" "0H x\n"s,
                 "262[A] 261[ADDR ] 260[0H]=0 259[x] 258[\\n]@2 0@2"},
        ScanCase{"no final line end", "A ADDR 12H foo", rec + "259[foo] 0@1"},
        ScanCase{"empty input", "", "0@1"},
        ScanCase{"bytes above 0x7F are skipped", "\xC3\xA9 A\n\xE9X ADDR 1H y\n",
                 "257[\\n]@2 257[\\n]@3 0@3"},
        ScanCase{"line counting", "\nA\n", "257[\\n]@2 262[A] 257[\\n]@3 0@3"},
        ScanCase{"two records and a blank line", "A ADDR 12H x\n\nB ADDR 34H y\n",
                 rec + "259[x] 258[\\n]@2 257[\\n]@3 262[B] 261[ADDR ] 260[34H]=34 259[y] "
                       "258[\\n]@4 0@4"},
        ScanCase{"CR bytes vanish", "\r\r\n", "257[\\n]@2 0@2"},
        ScanCase{"CR joins a word", "A\rB ADDR 1H x\n", "262[AB] 261[ADDR ] 260[1H]=1 259[x] 258[\\n]@2 0@2"},
        ScanCase{"Ctrl-Z ends the input", "A ADDR 12H x\n\x1A" "B ADDR 34H y\n",
                 rec + "259[x] 258[\\n]@2 0@2"}));

INSTANTIATE_TEST_SUITE_P(
    TokenLimit, ScannerTable,
    ::testing::Values(
        ScanCase{"8191 letters are a head", letters_8191 + " ADDR 12H x\n",
                 "262[<8191>] 261[ADDR ] 260[12H]=12 259[x] 258[\\n]@2 0@2"},
        ScanCase{"8192 letters", "A " + letters_8192 + "\n", "262[A] FATAL[token too large, exceeds YYLMAX]@1"},
        ScanCase{"8192 digits on line 3", "\n\n" + std::string(8192, '7'),
                 "257[\\n]@2 257[\\n]@3 FATAL[token too large, exceeds YYLMAX]@3"},
        // The first read ends exactly behind the 8191 letters: the
        // unfinished match meets the end of the buffered data.
        ScanCase{"8191 letters up to the first refill", "\n" + letters_8191 + " x\n",
                 "257[\\n]@2 FATAL[token too large, exceeds YYLMAX]@2"},
        ScanCase{"8190 letters up to the first refill", "\n" + std::string(8190, 'a') + " x\n",
                 "257[\\n]@2 262[<8190>] 257[\\n]@3 0@3"},
        // CR bytes are dropped before the buffer fills, so the refill
        // boundary falls at the same place.
        ScanCase{"refill boundary with CR bytes", "\r\n" + letters_8191 + " x\r\n",
                 "257[\\n]@2 FATAL[token too large, exceeds YYLMAX]@2"},
        ScanCase{"8191 letters before a NUL", letters_8191 + "\0\n"s,
                 "FATAL[token too large, exceeds YYLMAX]@1"},
        ScanCase{"8190 letters before a NUL", std::string(8190, 'a') + "\0\n"s,
                 "262[<8190>] 257[\\n]@2 0@2"},
        ScanCase{"8191 letters at the end of input", letters_8191,
                 "FATAL[token too large, exceeds YYLMAX]@1"},
        ScanCase{"long run across a refill", "\n" + std::string(8000, 'a') + " " +
                                                 std::string(8190, 'b') + "\n",
                 "257[\\n]@2 262[<8000>] 257[\\n]@3 0@3"}));

// CR bytes as a stream not read as text would bring them.
TEST(Scanner, CarriageReturnBelongsToTheLineEndOnlyBeforeLineFeed) {
    tamrix::map_input_keep_carriage_returns(true);
    EXPECT_EQ(scan_bytes("\r\r\n"), "257[\r\\n]@2 0@2") << "the first CR is skipped";
    EXPECT_EQ(scan_bytes("FOO\tADDR\t0ffh\tx\r\n"),
              "262[FOO] 261[ADDR\\t] 260[0ffh]=ff 259[x] 258[\r\\n]@2 0@2");
    EXPECT_EQ(scan_bytes("A\rB\n"), "262[A] 257[\\n]@2 0@2");
    tamrix::map_input_keep_carriage_returns(false);
}

TEST(Scanner, EndOfInputRepeats) {
    TempFile file("A\n");
    std::FILE *in = std::fopen(file.c_path(), "rb");
    yy_reset_input(in);
    EXPECT_EQ(scan(), "262[A] 257[\\n]@2 0@2");
    EXPECT_EQ(yylex(), 0);
    EXPECT_EQ(yylex(), 0);
    std::fclose(in);
}

TEST(Scanner, EndOfInputKeepsStartConditionAndLine) {
    TempFile file("A ADDR 12H foo");
    std::FILE *in = std::fopen(file.c_path(), "rb");
    yy_reset_input(in);
    scan();
    EXPECT_EQ(yy_start_condition(), 4);
    EXPECT_EQ(yylineno, 1u);
    std::fclose(in);
}

TEST(Scanner, ResetDropsEverythingOfTheEarlierInput) {
    TempFile first("\n\nA ADDR 12H");
    TempFile second("B ADDR 34H y\n");
    std::FILE *in = std::fopen(first.c_path(), "rb");
    yy_reset_input(in);
    EXPECT_EQ(scan(5), "257[\\n]@2 257[\\n]@3 262[A] 261[ADDR ] 260[12H]=12");
    std::fclose(in);

    in = std::fopen(second.c_path(), "rb");
    yy_reset_input(in);
    EXPECT_EQ(yy_start_condition(), 0);
    EXPECT_EQ(yylineno, 1u);
    EXPECT_EQ(scan(), "262[B] 261[ADDR ] 260[34H]=34 259[y] 258[\\n]@2 0@2");
    std::fclose(in);
}

TEST(Scanner, OtherTokensLeaveTheValueCellAlone) {
    TempFile file("A ADDR 12H x\nB ADDR 34H\n");
    std::FILE *in = std::fopen(file.c_path(), "rb");
    yy_reset_input(in);
    for (int i = 0; i < 5; ++i) yylex();  // through the first record line
    const char *name = yylval.name;
    for (int i = 0; i < 4; ++i) yylex();  // B, ADDR, 34H, line end
    EXPECT_EQ(yylval.address, 0x34u);
    EXPECT_EQ(yylval.name, name);
    EXPECT_STREQ(yylval.name, "x");
    std::fclose(in);
}

}  // namespace
