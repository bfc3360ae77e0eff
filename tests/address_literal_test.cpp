#include "address_literal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace tamrix;

namespace {

struct LiteralCase {
    std::string text;
    int result;
    std::uint32_t value;  // meaningful when result == CONV_OK
};

// GoogleTest would print the raw bytes, unset ones of the strings included.
void PrintTo(const LiteralCase &c, std::ostream *out) { *out << ::testing::PrintToString(c.text); }

constexpr std::uint32_t untouched = 0xDEADBEEF;

class ConvertHexAddressTable : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(ConvertHexAddressTable, GivesResultAndValue) {
    const LiteralCase &c = GetParam();
    std::string before = c.text;
    std::uint32_t value = untouched;
    EXPECT_EQ(ConvertHexAddress(c.text.c_str(), value), c.result);
    EXPECT_EQ(value, c.result == CONV_OK ? c.value : untouched);
    EXPECT_EQ(c.text, before) << "the caller's text must not change";
}

INSTANTIATE_TEST_SUITE_P(
    Literals, ConvertHexAddressTable,
    ::testing::Values(
        LiteralCase{"1234H", CONV_OK, 0x1234}, LiteralCase{"1a2bh", CONV_OK, 0x1A2B},
        LiteralCase{"0x1a2b", CONV_OK, 0x1A2B}, LiteralCase{"bh", CONV_OK, 0xB},
        LiteralCase{"0H", CONV_OK, 0}, LiteralCase{"0X0", CONV_OK, 0},
        LiteralCase{"FFFFFFFFH", CONV_OK, 0xFFFFFFFF}, LiteralCase{"0XFFFFFFFF", CONV_OK, 0xFFFFFFFF},
        LiteralCase{"00000001H", CONV_OK, 1}, LiteralCase{" 1234H ", CONV_OK, 0x1234},
        LiteralCase{"\t0x10\r\n", CONV_OK, 0x10}, LiteralCase{"\v\f0x10 ", CONV_OK, 0x10},
        LiteralCase{std::string(250, ' ') + "1234H", CONV_OK, 0x1234},
        LiteralCase{std::string(251, ' ') + "1234H", CONV_ERR_LENGTH, 0},
        LiteralCase{std::string(300, '1') + "H", CONV_ERR_LENGTH, 0},
        LiteralCase{"123456789H", CONV_ERR_RANGE, 0}, LiteralCase{"0X000000001", CONV_ERR_RANGE, 0},
        LiteralCase{"000000000H", CONV_ERR_RANGE, 0}, LiteralCase{"H", CONV_ERR_LENGTH, 0},
        LiteralCase{"h", CONV_ERR_LENGTH, 0}, LiteralCase{"0X", CONV_ERR_LENGTH, 0},
        LiteralCase{" 0x ", CONV_ERR_LENGTH, 0}, LiteralCase{"1234", CONV_ERR_FORMAT, 0},
        LiteralCase{"12G4H", CONV_ERR_FORMAT, 0}, LiteralCase{"-1H", CONV_ERR_FORMAT, 0},
        LiteralCase{"+1H", CONV_ERR_FORMAT, 0}, LiteralCase{"X1H", CONV_ERR_FORMAT, 0},
        LiteralCase{"hH", CONV_ERR_FORMAT, 0}, LiteralCase{"12 34H", CONV_ERR_FORMAT, 0},
        LiteralCase{"0X 12", CONV_ERR_FORMAT, 0}, LiteralCase{"0X12H", CONV_ERR_FORMAT, 0},
        LiteralCase{"0x-1", CONV_ERR_FORMAT, 0}, LiteralCase{"0X0X12", CONV_ERR_FORMAT, 0},
        LiteralCase{"", CONV_ERR_FORMAT, 0}, LiteralCase{"   ", CONV_ERR_FORMAT, 0},
        // 123456789 digits but the bad digit comes first in the order of tests
        LiteralCase{"12345678GH", CONV_ERR_FORMAT, 0},
        LiteralCase{"1\xA0" "2H", CONV_ERR_FORMAT, 0}, LiteralCase{"\xA0" "12H", CONV_ERR_FORMAT, 0},
        LiteralCase{"0x1\xE9", CONV_ERR_FORMAT, 0}));

TEST(TextHelpers, TrimAndUppercaseInPlace) {
    char text[] = " \t\v\fab-z\xE9 \r\n";
    EXPECT_EQ(NormalizeText(text), 0);
    EXPECT_STREQ(text, "AB-Z\xE9");

    char blanks[] = " \t \n";
    EXPECT_EQ(TrimLeft(blanks), 0);
    EXPECT_STREQ(blanks, "");

    char nbsp[] = "\xA0x\xA0";  // 0xA0 is not white space here
    EXPECT_EQ(TrimRight(nbsp), 0);
    EXPECT_EQ(TrimLeft(nbsp), 0);
    EXPECT_STREQ(nbsp, "\xA0x\xA0");
}

TEST(TextHelpers, RefuseTextsOf256CharactersOrMore) {
    std::string long_text = "  " + std::string(254, 'a');
    std::string copy = long_text;
    EXPECT_EQ(TrimLeft(copy.data()), CONV_ERR_LENGTH);
    EXPECT_EQ(TrimRight(copy.data()), CONV_ERR_LENGTH);
    EXPECT_EQ(UppercaseText(copy.data()), CONV_ERR_LENGTH);
    EXPECT_EQ(copy, long_text);

    std::string fits = std::string(254, 'a') + " ";
    EXPECT_EQ(TrimRight(fits.data()), 0);
    EXPECT_EQ(std::strlen(fits.c_str()), 254u);
}

}  // namespace
