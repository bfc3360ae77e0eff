// Every heap allocation of a parse refused in turn, once and from then on,
// over inputs that together use every grammar rule, the syntax error and
// the scanner's fatal error. A refused record storage chunk loses exactly
// the record that needed it; a refused scanner buffer fails the parse with
// the out-of-memory message; the list stays consistent, every block comes
// back, and the next parse works.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "heap.h"
#include "map_reader.h"
#include "record_pool.h"
#include "tamrix_map.h"
#include "host_records.h"
#include "temp_file.h"

namespace {


struct Outcome {
    int result;
    std::string message;
    Records records;
    std::uint64_t allocations;
};

// The scanner's buffer record and its character array: the first two
// allocations of the first parse of a process.
constexpr std::uint64_t scanner_allocations = 2;

class AllocationFailure : public ::testing::Test {
protected:
    void SetUp() override { start_afresh(); }
    void TearDown() override {
        tamrix::heap_fail_at(0, false);
        tamrix::pool_chunk_bytes = saved_chunk_bytes_;
        start_afresh();
    }

    // No records and no scanner, as at the start of a process.
    static void start_afresh() {
        FreeAllRecords();
        yylex_destroy();
        EXPECT_EQ(tamrix::heap_live_blocks(), 0);
    }

    static Outcome parse(const char *path, std::uint64_t refuse, bool from_then_on) {
        tamrix::heap_fail_at(refuse, from_then_on);
        Outcome outcome;
        outcome.result = MapParse(path);
        outcome.allocations = tamrix::heap_allocations_made();
        tamrix::heap_fail_at(0, false);
        outcome.message = GetErrorMessage();
        outcome.records = checked_records();
        return outcome;
    }

    std::size_t saved_chunk_bytes_ = tamrix::pool_chunk_bytes;
};

struct FailureInput {
    const char *what;
    std::string content;
};

const FailureInput inputs[] = {
    {"every rule", "A\nB ADDR \nC ADDR 5H\n\nrec ADDR 1H one\n  indented ADDR 2H x\n"
                   "rec ADDR FFFFh two (rest)\nlast ADDR 3H three\n"},
    {"syntax error after records", "P ADDR 1H x\nQ ADDR 2H y\nR"},
    {"fatal scanner error after a record",
     "a ADDR 1H x\n" + std::string(8192, 'w') + "\nb ADDR 2H y\n"},
    {"names longer than a chunk",
     "a ADDR 1H _" + std::string(299, 'n') + "\nb ADDR 2H " + std::string(8191, 'm') + "\n"},
    {"text rules", "a ADDR 1H x\r\nb ADDR 2H A\rB\r\n\x1A" "c ADDR 3H z\n"},
    {"empty file", ""},
};

// Every record needs two chunks of its own, node then name: allocations
// 3 + 2i and 4 + 2i of the parse belong to record i.
TEST_F(AllocationFailure, EveryAllocationOfEveryInputRefusedOnceAndFromThenOn) {
    tamrix::pool_chunk_bytes = 1;
    std::uint64_t refusals = 0;
    for (const FailureInput &input : inputs) {
        SCOPED_TRACE(input.what);
        TempFile file(input.content);
        const char *path = file.c_path();

        start_afresh();
        Outcome clean = parse(path, 0, false);
        ASSERT_EQ(clean.allocations, scanner_allocations + 2 * clean.records.size())
            << "an allocation that is neither the scanner's nor a record's";

        for (bool from_then_on : {false, true}) {
            for (std::uint64_t refuse = 1; refuse <= clean.allocations + 1; ++refuse) {
                SCOPED_TRACE((from_then_on ? "from allocation " : "allocation ") + std::to_string(refuse));
                start_afresh();
                std::string message_before = GetErrorMessage();
                Outcome failed = parse(path, refuse, from_then_on);

                if (refuse > clean.allocations) {
                    EXPECT_EQ(failed.result, clean.result);
                    EXPECT_EQ(failed.message, clean.result == 0 ? message_before : clean.message);
                    EXPECT_EQ(failed.records, clean.records);
                } else if (refuse <= scanner_allocations) {
                    ++refusals;
                    EXPECT_EQ(failed.result, -1);
                    EXPECT_EQ(failed.message, file.path() + ":1: out of dynamic memory in yy_create_buffer()\n");
                    EXPECT_TRUE(failed.records.empty());
                } else {
                    ++refusals;
                    std::size_t lost = (refuse - scanner_allocations - 1) / 2;
                    Records expected(clean.records.begin(), clean.records.begin() + lost);
                    if (!from_then_on)
                        expected.insert(expected.end(), clean.records.begin() + lost + 1, clean.records.end());
                    EXPECT_EQ(failed.result, clean.result) << "a lost record does not fail the parse";
                    EXPECT_EQ(failed.message, clean.result == 0 ? message_before : clean.message);
                    EXPECT_EQ(failed.records, expected);
                }

                // The scanner, as the failure left it, serves the next parse.
                FreeAllRecords();
                // Only the scanner's blocks outlive FreeAllRecords, and none
                // of a buffer that was refused.
                std::int64_t scanner_blocks = refuse > scanner_allocations ? 2 : 0;
                EXPECT_EQ(tamrix::heap_live_blocks(), scanner_blocks);
                Outcome again = parse(path, 0, false);
                EXPECT_EQ(again.result, clean.result);
                EXPECT_EQ(again.records, clean.records);
                if (::testing::Test::HasFailure()) return;
            }
        }
    }
    std::printf("[ allocation failures injected: %llu ]\n", static_cast<unsigned long long>(refusals));
}

// With the usual chunk size the records share chunks: a refused chunk
// loses the record that needed it, and the next one gets a chunk again.
TEST_F(AllocationFailure, SharedChunksLoseOnlyTheRecordThatNeededANewOne) {
    tamrix::pool_chunk_bytes = 64;
    std::string content;
    Records all;
    for (int i = 0; i < 10; ++i) {
        std::string name = "symbol_" + std::to_string(i);
        content += "L ADDR " + std::to_string(i) + "H " + name + "\n";  // i < 10: hex too
        all.emplace_back(name, static_cast<std::uint32_t>(i));
    }
    TempFile file(content);
    parse(file.c_path(), 0, false);  // the scanner's buffer
    FreeAllRecords();
    Outcome clean = parse(file.c_path(), 0, false);
    ASSERT_EQ(clean.records, all);
    ASSERT_GT(clean.allocations, 2u) << "the records need several chunks";
    for (std::uint64_t refuse = 1; refuse <= clean.allocations; ++refuse) {
        SCOPED_TRACE("allocation " + std::to_string(refuse));
        FreeAllRecords();
        Outcome failed = parse(file.c_path(), refuse, false);
        EXPECT_EQ(failed.result, 0);
        EXPECT_EQ(failed.records.size(), all.size() - 1);
        FreeAllRecords();
        failed = parse(file.c_path(), refuse, true);
        EXPECT_EQ(failed.result, 0);
        EXPECT_LT(failed.records.size(), all.size());
        // Records that fit the chunk left from before the refusal still
        // come; every one that comes is in file order.
        std::size_t next = 0;
        for (const Record &record : all)
            if (next < failed.records.size() && failed.records[next] == record) ++next;
        EXPECT_EQ(next, failed.records.size());
    }
}

// The scanner's buffer is allocated only by the first parse of a process:
// a refusal there must not stop a later parse from trying again.
TEST_F(AllocationFailure, ARefusedScannerBufferIsAllocatedByTheNextParse) {
    TempFile file("a ADDR 1H x\n");
    for (std::uint64_t refuse = 1; refuse <= scanner_allocations; ++refuse) {
        SCOPED_TRACE(refuse);
        start_afresh();
        EXPECT_EQ(parse(file.c_path(), refuse, true).result, -1);
        EXPECT_EQ(parse(file.c_path(), 1, true).result, -1) << "nothing half-made is taken for a buffer";
        Outcome clean = parse(file.c_path(), 0, false);
        EXPECT_EQ(clean.result, 0);
        EXPECT_EQ(clean.records, (Records{{"x", 1}}));
        // The buffer, then one chunk for the record's node and name.
        EXPECT_EQ(clean.allocations, scanner_allocations + 1u);
    }
}

// A request so large that its chunk size would wrap around is refused
// before the heap is asked.
TEST_F(AllocationFailure, HugeRequestIsRefusedWithoutWrappingAround) {
    tamrix::RecordPool pool;
    tamrix::heap_fail_at(0, false);
    EXPECT_EQ(tamrix::pool_take(pool, static_cast<std::size_t>(-1) - 8, 1), nullptr);
    EXPECT_EQ(tamrix::heap_allocations_made(), 0u);
    EXPECT_NE(tamrix::pool_take(pool, 16, 8), nullptr);
    tamrix::pool_release(pool);
}

// The allocator under all of it: counts the blocks it hands out and refuses
// the allocation it is told to, growth by realloc included.
TEST(Heap, CountsLiveBlocksAndRefusesOnRequest) {
    std::int64_t before = tamrix::heap_live_blocks();
    tamrix::heap_fail_at(0, false);
    auto *block = static_cast<char *>(tamrix::heap_alloc(4));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "abc", 4);
    block = static_cast<char *>(tamrix::heap_realloc(block, 100000));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abc");
    EXPECT_EQ(tamrix::heap_live_blocks(), before + 1);
    EXPECT_EQ(tamrix::heap_allocations_made(), 2u);

    tamrix::heap_fail_at(1, false);
    EXPECT_EQ(tamrix::heap_realloc(block, 200000), nullptr) << "refused; the block stays";
    EXPECT_STREQ(block, "abc");
    void *second = tamrix::heap_realloc(nullptr, 0);  // an allocation of its own
    EXPECT_NE(second, nullptr) << "only the first was refused";
    EXPECT_EQ(tamrix::heap_live_blocks(), before + 2);

    tamrix::heap_fail_at(2, true);
    void *third = tamrix::heap_alloc(0);
    EXPECT_NE(third, nullptr) << "allocation 1 goes through";
    EXPECT_EQ(tamrix::heap_alloc(1), nullptr);
    EXPECT_EQ(tamrix::heap_realloc(third, 2), nullptr) << "and every one from 2 on";
    tamrix::heap_fail_at(0, false);
    for (void *live : {static_cast<void *>(block), second, third}) tamrix::heap_free(live);
    tamrix::heap_free(nullptr);
    EXPECT_EQ(tamrix::heap_live_blocks(), before);
}

}  // namespace
