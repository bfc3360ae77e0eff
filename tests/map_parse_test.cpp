// Whole files through MapParse, and the state a host sees afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "map_reader.h"
#include "tamrix_map.h"
#include "host_records.h"
#include "temp_file.h"

namespace {

using namespace std::string_literals;

class MapParseTest : public ::testing::Test {
protected:
    void SetUp() override { FreeAllRecords(); }
    void TearDown() override {
        tamrix::first_line_number = 1;
        FreeAllRecords();
    }

    // Parses `bytes` and checks that count, walk and chain agree.
    int parse(const std::string &bytes) {
        file_ = std::make_unique<TempFile>(bytes);
        int result = MapParse(file_->c_path());
        Records walked = walk_all();
        EXPECT_EQ(GetRecordCount(), static_cast<std::int32_t>(walked.size()));
        EXPECT_EQ(follow_chain(), walked);
        return result;
    }
    std::string path() const { return file_->path(); }

    std::unique_ptr<TempFile> file_;
};

struct FileCase {
    const char *what;
    std::string content;
    int result;
    Records records;
    std::uint64_t error_line;  // for result -1: the line named by the syntax error
    std::uint64_t first_line = 1;  // counted from here instead of from a file of that many lines
};

// GoogleTest would print the raw bytes, unset ones of the strings included.
void PrintTo(const FileCase &c, std::ostream *out) { *out << c.what; }

class WholeFiles : public MapParseTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(WholeFiles, GiveResultRecordsAndMessage) {
    const FileCase &c = GetParam();
    tamrix::first_line_number = c.first_line;
    EXPECT_EQ(parse(c.content), c.result);
    EXPECT_EQ(walk_all(), c.records);
    if (c.result == -1) {
        EXPECT_EQ(std::string(GetErrorMessage()),
                  path() + ":" + std::to_string(c.error_line) + ": syntax error. \"\" is invalid.\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, WholeFiles,
    ::testing::Values(
        FileCase{"empty", "", -1, {}, 1},
        FileCase{"one line end", "\n", 0, {}, 0},
        FileCase{"record", "main ADDR 1234H _start\n", 0, {{"_start", 0x1234}}, 0},
        FileCase{"record without final LF", "main ADDR 1234H _start", -1, {}, 1},
        FileCase{"indented record", "  main ADDR 1234H _start\n", 0, {}, 0},
        FileCase{"address line then record", "FOO ADDR 1234H\nBAR ADDR 0FFh x_y\n", 0, {{"x_y", 0xFF}}, 0},
        FileCase{"five digits", "X ADDR 12345H name\n", 0, {}, 0},
        FileCase{"heads without final LF", "p\nq\nr", -1, {}, 3},
        FileCase{"indented last line", "p\nq\n  r", 0, {}, 0},
        FileCase{"records stay after the error", "P ADDR 1H x\nQ ADDR 2H y\nR", -1, {{"x", 1}, {"y", 2}}, 3},
        FileCase{"no line end, no head", "  foo", -1, {}, 1},
        FileCase{"head and keyword lines", "A\nB ADDR \nC ADDR 5H\n", 0, {}, 0},
        FileCase{"unfinished record line", "A ADDR 10H y", -1, {}, 1},
        FileCase{"same name and address twice", "a ADDR 1H s\nb ADDR 1H s\n", 0, {{"s", 1}, {"s", 1}}, 0},
        FileCase{"rest of a record line is skipped", "a ADDR 1H s (data) 12H\n", 0, {{"s", 1}}, 0}));

INSTANTIATE_TEST_SUITE_P(
    TextRules, WholeFiles,
    ::testing::Values(
        FileCase{"CRLF line ends", "a ADDR 1H x\r\nb ADDR 2H y\r\n", 0, {{"x", 1}, {"y", 2}}, 0},
        FileCase{"lone CR joins", "a ADDR 1H AB\rCD\n", 0, {{"ABCD", 1}}, 0},
        FileCase{"CR as last byte", "a ADDR 1H x\n\r", 0, {{"x", 1}}, 0},
        FileCase{"Ctrl-Z ends the file", "a ADDR 1H x\n\x1A" "b ADDR 2H y\n", 0, {{"x", 1}}, 0},
        FileCase{"Ctrl-Z mid-line", "a ADDR 1H x\nb ADDR 2H y\x1A\n", -1, {{"x", 1}}, 2},
        FileCase{"NUL and high bytes pass", "a ADDR 1H x\0\xFF\n\xFF" "b ADDR 2H y\n"s, 0, {{"x", 1}}, 0}));

// Lines past the range of a 32-bit int, and of a 32-bit unsigned, keep
// their numbers.
INSTANTIATE_TEST_SUITE_P(
    LineCount, WholeFiles,
    ::testing::Values(
        FileCase{"2^31 - 1 line feeds, then a head", "\nQ", -1, {}, 2147483648u, 2147483647u},
        FileCase{"record on line 2^31 - 1", "a ADDR 1H x\nB", -1, {{"x", 1}}, 2147483648u, 2147483647u},
        FileCase{"2^32 line feeds, then a head", "\n\nQ", -1, {}, 4294967297u, 4294967295u}));

TEST_F(MapParseTest, MissingFile) {
    std::string missing = (std::filesystem::temp_directory_path() / "tamrix_no_such.map").string();
    EXPECT_EQ(MapParse(missing.c_str()), -1);
    EXPECT_EQ(std::string(GetErrorMessage()), "can't open file " + missing + "\n");
    EXPECT_EQ(GetRecordCount(), 0);
}

TEST_F(MapParseTest, NullPath) {
    EXPECT_EQ(MapParse(nullptr), -1);
    EXPECT_STREQ(GetErrorMessage(), "can't open file (null)\n");
}

TEST_F(MapParseTest, DirectoryCannotBeOpened) {
    std::string dir = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(MapParse(dir.c_str()), -1);
    EXPECT_EQ(std::string(GetErrorMessage()), "can't open file " + dir + "\n");
}

TEST_F(MapParseTest, LongMessagesAreCutTo255Characters) {
    std::string long_path = (std::filesystem::temp_directory_path() / std::string(240, 'p')).string();
    EXPECT_EQ(MapParse(long_path.c_str()), -1);
    std::string expected = ("can't open file " + long_path).substr(0, 255);
    EXPECT_EQ(std::string(GetErrorMessage()), expected);
}

TEST_F(MapParseTest, FailedParseKeepsRecordsAndAFollowingGoodParseAppends) {
    ASSERT_EQ(parse("a ADDR 1H x\n\n\nB"), -1);
    std::string message = GetErrorMessage();
    EXPECT_EQ(message, path() + ":4: syntax error. \"\" is invalid.\n");
    ASSERT_EQ(parse("b ADDR 2H y\nc"), -1);
    EXPECT_EQ(std::string(GetErrorMessage()), path() + ":2: syntax error. \"\" is invalid.\n")
        << "line numbers count from 1 again";
    message = GetErrorMessage();
    ASSERT_EQ(parse("c ADDR 3H z\n"), 0);
    EXPECT_EQ(GetErrorMessage(), message) << "success leaves the message";
    EXPECT_EQ(walk_all(), (Records{{"x", 1}, {"y", 2}, {"z", 3}}));
}

TEST_F(MapParseTest, SameFileTwiceListsEveryRecordTwice) {
    TempFile file("a ADDR 1H x\nb ADDR 2H y\n");
    ASSERT_EQ(MapParse(file.c_path()), 0);
    ASSERT_EQ(MapParse(file.c_path()), 0);
    EXPECT_EQ(walk_all(), (Records{{"x", 1}, {"y", 2}, {"x", 1}, {"y", 2}}));
}

TEST_F(MapParseTest, AnEndedWalkStaysEndedAcrossAParse) {
    ASSERT_EQ(parse("a ADDR 1H x\n"), 0);
    std::uint32_t value;
    const char *name;
    ASSERT_EQ(GetFirstRecord(&value, &name), 0);
    ASSERT_EQ(GetNextRecord(&value, &name), 1);
    TempFile more("b ADDR 2H y\n");
    ASSERT_EQ(MapParse(more.c_path()), 0);
    EXPECT_EQ(GetNextRecord(&value, &name), 1);
    EXPECT_EQ(walk_all(), (Records{{"x", 1}, {"y", 2}}));
}

TEST_F(MapParseTest, AddressOfTheLastLineReadSurvivesTheParse) {
    ASSERT_EQ(parse("a ADDR 1H x\nb ADDR BEEFh\n"), 0);
    EXPECT_EQ(tamrix::current_address, 0xBEEFu);
    ASSERT_EQ(parse("c ADDR 7H y\n"), 0);
    EXPECT_EQ(walk_all(), (Records{{"x", 1}, {"y", 7}}));
}

TEST_F(MapParseTest, OverlongWordIsAnErrorNotAnExit) {
    ASSERT_EQ(parse("a ADDR 1H x\n" + std::string(8192, 'w') + "\nb ADDR 2H y\n"), -1);
    EXPECT_EQ(std::string(GetErrorMessage()), path() + ":2: token too large, exceeds YYLMAX\n");
    // The record of line 1 was built before the scanner read line 2.
    EXPECT_EQ(walk_all(), (Records{{"x", 1}}));
    ASSERT_EQ(parse("\nc ADDR 3H z\nd"), -1);
    EXPECT_EQ(std::string(GetErrorMessage()), path() + ":3: syntax error. \"\" is invalid.\n")
        << "the next parse starts from a clean scanner";
    EXPECT_EQ(walk_all(), (Records{{"x", 1}, {"z", 3}}));
}

TEST_F(MapParseTest, LongNamesReachTheirRecordWhole) {
    for (std::size_t length : {255u, 256u, 300u, 8191u}) {
        FreeAllRecords();
        std::string name = "_" + std::string(length - 1, 'n');
        // A line head that is a word in column 1 of at most 8191 characters.
        ASSERT_EQ(parse("a ADDR 1H " + name + "\nb ADDR 2H after\n"), 0) << length;
        EXPECT_EQ(walk_all(), (Records{{name, 1}, {"after", 2}})) << length;
    }
}

TEST_F(MapParseTest, HundredThousandRecordsInFileOrder) {
    std::string content;
    Records expected;
    for (std::uint32_t i = 0; i < 100000; ++i) {
        char line[64];
        std::uint32_t address = i & 0xFFFF;
        std::snprintf(line, sizeof line, "L%u ADDR %04XH sym_%u\n", i, address, i);
        content += line;
        expected.emplace_back("sym_" + std::to_string(i), address);
    }
    ASSERT_EQ(parse(content), 0);
    EXPECT_EQ(walk_all(), expected);
}

TEST_F(MapParseTest, Fixtures) {
    const struct {
        const char *file;
        Records records;
    } fixtures[] = {
        {"mixed.map", {{"_start", 0x100}, {"_main", 0x1A2}, {"_printf", 0x4F0}, {"data_end", 0xFFFF}}},
        // A Ctrl-Z inside a long run of letters, with lone CR bytes before
        // it: a C runtime's text mode read on past the Ctrl-Z.
        {"ctrl-z-behind-a-short-read.map", {}}};
    for (const auto &f : fixtures) {
        FreeAllRecords();
        EXPECT_EQ(MapParse(fixture(f.file).c_str()), 0) << f.file << ": " << GetErrorMessage();
        EXPECT_EQ(walk_all(), f.records) << f.file;
    }
}

}  // namespace
