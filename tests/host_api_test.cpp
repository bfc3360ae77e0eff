// The library as a C++ host sees it: linked against the shared library,
// through the public header alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tamrix_map.h"
#include "temp_file.h"

namespace {

class HostApi : public ::testing::Test {
protected:
    void SetUp() override { FreeAllRecords(); }
    void TearDown() override { FreeAllRecords(); }
};

TEST_F(HostApi, VersionTextIsFixed) {
    const char *version = GetMapDllVersion();
    EXPECT_STREQ(version, "tamrix_mal.dll Ver.1.0");
    EXPECT_EQ(GetMapDllVersion(), version);
}

TEST_F(HostApi, WalkRestartsEndsAndSeesAppendedRecords) {
    TempFile first("a ADDR 1H one\nb ADDR 2H two\n");
    TempFile second("c ADDR 3H three\n");
    ASSERT_EQ(MapParse(first.c_path()), 0);
    ASSERT_EQ(GetRecordCount(), 2);

    std::uint32_t value = 0;
    const char *name = nullptr;
    ASSERT_EQ(GetFirstRecord(&value, &name), 0);
    EXPECT_STREQ(name, "one");
    ASSERT_EQ(GetNextRecord(&value, &name), 0);
    EXPECT_STREQ(name, "two");
    ASSERT_EQ(GetFirstRecord(&value, &name), 0) << "restart";
    EXPECT_STREQ(name, "one");

    // Appended while the walk is under way: delivered after the old ones.
    ASSERT_EQ(MapParse(second.c_path()), 0);
    ASSERT_EQ(GetNextRecord(&value, &name), 0);
    EXPECT_STREQ(name, "two");
    ASSERT_EQ(GetNextRecord(&value, &name), 0);
    EXPECT_STREQ(name, "three");
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(GetNextRecord(&value, &name), 1);
    EXPECT_STREQ(name, "three") << "the end leaves the cells alone";

    FreeAllRecords();
    EXPECT_EQ(GetRecordCount(), 0);
    EXPECT_EQ(GetRecordTop(), nullptr);
    EXPECT_EQ(GetFirstRecord(&value, &name), 1);
    EXPECT_EQ(GetNextRecord(&value, &name), 1);
}

TEST_F(HostApi, FailureMessageStaysUntilTheNextFailure) {
    TempFile bad("no line end");
    TempFile good("a ADDR 1H x\n");
    ASSERT_EQ(MapParse(bad.c_path()), -1);
    std::string message = GetErrorMessage();
    EXPECT_EQ(message, bad.path() + ":1: syntax error. \"\" is invalid.\n");
    ASSERT_EQ(MapParse(good.c_path()), 0);
    EXPECT_EQ(GetErrorMessage(), message);
    EXPECT_EQ(GetErrorMessage(), GetErrorMessage()) << "one static buffer";
}

}  // namespace
