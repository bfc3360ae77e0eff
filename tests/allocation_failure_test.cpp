// Every heap allocation of a parse refused in turn, once and from then on,
// over inputs that together use every grammar rule, the syntax error and
// the scanner's fatal error. A refused record storage chunk stops the parse
// at the record that needed it, with the out-of-memory message naming its
// line, and the records before it stay; a refused scanner buffer fails the
// parse with its own out-of-memory message; the list stays consistent,
// every block comes back, and the next parse works.
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
    std::vector<int> record_lines;  // the line of each record a clean parse gives
};

const FailureInput inputs[] = {
    {"every rule", "A\nB ADDR \nC ADDR 5H\n\nrec ADDR 1H one\n  indented ADDR 2H x\n"
                   "rec ADDR FFFFh two (rest)\nlast ADDR 3H three\n", {5, 7, 8}},
    {"syntax error after records", "P ADDR 1H x\nQ ADDR 2H y\nR", {1, 2}},
    {"fatal scanner error after a record",
     "a ADDR 1H x\n" + std::string(8192, 'w') + "\nb ADDR 2H y\n", {1}},
    {"names longer than a chunk",
     "a ADDR 1H _" + std::string(299, 'n') + "\nb ADDR 2H " + std::string(8191, 'm') + "\n", {1, 2}},
    {"text rules", "a ADDR 1H x\r\nb ADDR 2H A\rB\r\n\x1A" "c ADDR 3H z\n", {1, 2}},
    {"record after many lines", std::string(3000, '\n') + "a ADDR 1H x\n", {3001}},
    {"empty file", "", {}},
};

std::string add_record_failure(const std::string &path, int line) {
    return path + ":" + std::to_string(line) + ": out of dynamic memory in AddRecord()\n";
}

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
        ASSERT_EQ(clean.records.size(), input.record_lines.size());

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
                    std::size_t refused = (refuse - scanner_allocations - 1) / 2;
                    EXPECT_EQ(failed.result, -1) << "a record that cannot be stored fails the parse";
                    EXPECT_EQ(failed.message, add_record_failure(file.path(), input.record_lines[refused]));
                    EXPECT_STREQ(yytext, "\n") << "the parse stopped at the record's line end";
                    EXPECT_EQ(failed.records, Records(clean.records.begin(), clean.records.begin() + refused));
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

// With the usual chunk size the records share chunks: the parse stops at
// the record that needed a chunk that was refused, once or from then on.
TEST_F(AllocationFailure, SharedChunksStopTheParseAtTheRecordThatNeededANewOne) {
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
    std::size_t previous_kept = 0;
    for (std::uint64_t refuse = 1; refuse <= clean.allocations; ++refuse) {
        SCOPED_TRACE("allocation " + std::to_string(refuse));
        Outcome failed[2];
        for (bool from_then_on : {false, true}) {
            FreeAllRecords();
            failed[from_then_on] = parse(file.c_path(), refuse, from_then_on);
        }
        EXPECT_EQ(failed[0].records, failed[1].records) << "the parse stops at the first refusal";
        EXPECT_EQ(failed[0].message, failed[1].message);
        // Record i stands on line i + 1.
        std::size_t kept = failed[0].records.size();
        EXPECT_EQ(failed[0].result, -1);
        EXPECT_EQ(failed[0].message, add_record_failure(file.path(), static_cast<int>(kept) + 1));
        EXPECT_EQ(failed[0].records, Records(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(kept)));
        if (refuse == 1)
            EXPECT_EQ(kept, 0u) << "the first chunk was refused";
        else
            EXPECT_GT(kept, previous_kept) << "every chunk before the refused one holds a record";
        previous_kept = kept;
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

    // Bulk blocks are counted and refused alike, and heap_free takes them.
    tamrix::heap_fail_at(1, false);
    EXPECT_EQ(tamrix::heap_alloc_bulk(tamrix::heap_bulk_unit), nullptr);
    auto *bulk = static_cast<char *>(tamrix::heap_alloc_bulk(2 * tamrix::heap_bulk_unit));
    ASSERT_NE(bulk, nullptr);
    std::memset(bulk, 0x5A, 2 * tamrix::heap_bulk_unit);
    EXPECT_EQ(tamrix::heap_live_blocks(), before + 1);
    tamrix::heap_free(bulk);
    EXPECT_EQ(tamrix::heap_live_blocks(), before);
    tamrix::heap_fail_at(0, false);
}

// A pool that holds 2 MiB goes on in bulk chunks; one refused leaves the
// pool as it was, and the next take tries again.
TEST_F(AllocationFailure, BulkChunkRefusedLeavesThePoolWhole) {
    tamrix::RecordPool pool;
    tamrix::heap_fail_at(0, false);
    ASSERT_NE(tamrix::pool_take(pool, tamrix::pool_bulk_from, 1), nullptr);
    tamrix::heap_fail_at(1, false);
    EXPECT_EQ(tamrix::pool_take(pool, 64, 8), nullptr);
    EXPECT_EQ(pool.chunk_bytes, tamrix::pool_bulk_from);
    auto *taken = static_cast<char *>(tamrix::pool_take(pool, 64, 8));
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(pool.chunk_bytes, tamrix::pool_bulk_from + tamrix::heap_bulk_unit - tamrix::pool_data_offset);
    std::memset(taken, 1, 64);
    tamrix::pool_release(pool);
    EXPECT_EQ(pool.chunk_bytes, 0u);
    EXPECT_EQ(pool.newest, nullptr);
}

}  // namespace
