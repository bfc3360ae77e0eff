#include "record_list.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "heap.h"
#include "record_pool.h"

using namespace tamrix;

namespace {

using Record = std::pair<std::string, std::uint32_t>;

std::vector<Record> walk_all() {
    std::vector<Record> out;
    std::uint32_t value;
    const char *name;
    for (int more = first_record(&value, &name); more == 0; more = next_record(&value, &name))
        out.emplace_back(name, value);
    return out;
}

std::vector<Record> follow_chain() {
    std::vector<Record> out;
    for (const MapRecord *node = record_top(); node; node = node->next)
        out.emplace_back(node->name, node->value);
    return out;
}

class RecordList : public ::testing::Test {
protected:
    void SetUp() override { free_all_records(); }
    void TearDown() override {
        heap_fail_at(0, false);
        pool_chunk_bytes = saved_chunk_bytes;
        free_all_records();
    }
    std::size_t saved_chunk_bytes = pool_chunk_bytes;
};

TEST_F(RecordList, EmptyListDeliversNothingAndLeavesCellsAlone) {
    EXPECT_EQ(record_count(), 0);
    EXPECT_EQ(record_top(), nullptr);
    std::uint32_t value = 7;
    const char *name = "keep";
    EXPECT_EQ(first_record(&value, &name), 1);
    EXPECT_EQ(next_record(&value, &name), 1);
    EXPECT_EQ(value, 7u);
    EXPECT_STREQ(name, "keep");
}

TEST_F(RecordList, WalkAndChainGiveTheRecordsInOrderWithDuplicates) {
    ASSERT_EQ(AddRecord("main", 0x100), 0);
    ASSERT_EQ(AddRecord("main", 0x200), 0);
    ASSERT_EQ(AddRecord("other", 0x100), 0);
    std::vector<Record> expected{{"main", 0x100}, {"main", 0x200}, {"other", 0x100}};
    EXPECT_EQ(record_count(), 3);
    EXPECT_EQ(walk_all(), expected);
    EXPECT_EQ(follow_chain(), expected);

    std::uint32_t value = 9;
    const char *name = "x";
    EXPECT_EQ(next_record(&value, &name), 1) << "the walk stays ended";
    EXPECT_EQ(value, 9u);
}

TEST_F(RecordList, FirstRecordRestartsAWalkUnderWay) {
    AddRecord("a", 1);
    AddRecord("b", 2);
    std::uint32_t value;
    const char *name;
    first_record(&value, &name);
    next_record(&value, &name);
    EXPECT_EQ(first_record(&value, &name), 0);
    EXPECT_STREQ(name, "a");
    EXPECT_EQ(value, 1u);
}

TEST_F(RecordList, AppendingDoesNotMoveTheCursor) {
    AddRecord("a", 1);
    std::uint32_t value;
    const char *name;
    first_record(&value, &name);     // delivers a, cursor at end
    AddRecord("b", 2);
    EXPECT_EQ(next_record(&value, &name), 1) << "an ended walk stays ended";

    first_record(&value, &name);     // a again, cursor on b
    AddRecord("c", 3);               // appended during the walk
    EXPECT_EQ(next_record(&value, &name), 0);
    EXPECT_STREQ(name, "b");
    EXPECT_EQ(next_record(&value, &name), 0);
    EXPECT_STREQ(name, "c");
    EXPECT_EQ(next_record(&value, &name), 1);
}

TEST_F(RecordList, NullOutputCellsAreSkipped) {
    AddRecord("a", 1);
    AddRecord("b", 2);
    const char *name = nullptr;
    EXPECT_EQ(first_record(nullptr, &name), 0);
    EXPECT_STREQ(name, "a");
    std::uint32_t value = 0;
    EXPECT_EQ(next_record(&value, nullptr), 0);
    EXPECT_EQ(value, 2u);
}

TEST_F(RecordList, KeepsItsOwnCopyOfTheName) {
    char name[] = "first";
    AddRecord(name, 1);
    name[0] = 'X';
    EXPECT_STREQ(record_top()->name, "first");
}

TEST_F(RecordList, FreeEmptiesTheListAndANewOneStartsClean) {
    free_all_records();  // on an empty list
    EXPECT_EQ(record_count(), 0);
    AddRecord("a", 1);
    AddRecord("b", 2);
    free_all_records();
    EXPECT_EQ(record_count(), 0);
    EXPECT_EQ(record_top(), nullptr);
    std::uint32_t value;
    const char *name;
    EXPECT_EQ(next_record(&value, &name), 1);
    EXPECT_EQ(first_record(&value, &name), 1);
    AddRecord("c", 3);
    EXPECT_EQ(walk_all(), (std::vector<Record>{{"c", 3}}));
}

TEST_F(RecordList, ManyRecordsAndLongNamesSurviveChunkBoundaries) {
    std::string long_name(100000, 'n');  // larger than a chunk
    std::vector<Record> expected;
    for (std::uint32_t i = 0; i < 20000; ++i) {
        std::string name = i == 777 ? long_name : "sym_" + std::to_string(i);
        ASSERT_EQ(add_record(name.data(), name.size(), i), 0);
        expected.emplace_back(name, i);
    }
    EXPECT_EQ(record_count(), 20000);
    EXPECT_EQ(walk_all(), expected);
    EXPECT_EQ(follow_chain(), expected);
}

TEST_F(RecordList, NoBlockOutlivesFreeAllRecords) {
    std::int64_t before = heap_live_blocks();
    for (int i = 0; i < 5000; ++i) AddRecord("some_symbol_name", 1);
    EXPECT_GT(heap_live_blocks(), before);
    free_all_records();
    EXPECT_EQ(heap_live_blocks(), before);
}

// With tiny chunks every record needs a chunk for its node and another for
// its name: the first and second allocations of AddRecord.
TEST_F(RecordList, HeapRefusalLeavesTheListUnchangedAndHoldsNothing) {
    pool_chunk_bytes = 1;
    ASSERT_EQ(AddRecord("kept", 1), 0);
    for (std::uint64_t failing : {1u, 2u}) {
        SCOPED_TRACE(failing == 1 ? "node refused" : "name refused");
        std::int64_t blocks = heap_live_blocks();
        heap_fail_at(failing, false);
        EXPECT_EQ(AddRecord("lost", 2), -1);
        EXPECT_EQ(heap_allocations_made(), failing);
        heap_fail_at(0, false);
        EXPECT_EQ(heap_live_blocks(), blocks);
        EXPECT_EQ(record_count(), 1);
        EXPECT_EQ(walk_all(), (std::vector<Record>{{"kept", 1}}));
    }
    ASSERT_EQ(AddRecord("after", 3), 0);
    EXPECT_EQ(follow_chain(), (std::vector<Record>{{"kept", 1}, {"after", 3}}));
}

TEST_F(RecordList, NameRefusedInsideAPartlyUsedChunkKeepsThatChunk) {
    pool_chunk_bytes = 64;
    ASSERT_EQ(AddRecord("a", 1), 0);  // one chunk, partly used
    std::int64_t blocks = heap_live_blocks();
    heap_fail_at(1, true);
    std::string long_name(200, 'z');  // node fits, name needs a new chunk
    EXPECT_EQ(AddRecord(long_name.c_str(), 2), -1);
    heap_fail_at(0, false);
    EXPECT_EQ(heap_live_blocks(), blocks);
    ASSERT_EQ(AddRecord("b", 3), 0);
    EXPECT_EQ(walk_all(), (std::vector<Record>{{"a", 1}, {"b", 3}}));
}

}  // namespace
