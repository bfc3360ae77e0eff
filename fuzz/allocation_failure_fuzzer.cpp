// MapParse with heap allocations refused, chosen by the input:
//   bytes 0-1  N, little-endian: allocation N of the parse is refused
//              (counted from 1; the scanner's two come first); 0 none
//   byte 2     bit 0: every allocation from N on is refused as well;
//              bits 1-2: the record storage's chunk size (1, 24, 256 or
//              64 KiB bytes; 1 gives every node and name a chunk of its own)
//   byte 3     M: allocation M of the next parse, on the scanner as the
//              first left it, is refused; 0 none
//   the rest   the map file
// A refused record stops the parse with the out-of-memory message naming
// that record's line, and the records before it stay; a refused scanner
// buffer fails the parse with its out-of-memory message; in every case the
// list stays consistent, every block comes back, and a parse without
// refusals works again.
#include <cstdint>
#include <string>
#include <vector>

#include "heap.h"
#include "map_file_checks.h"
#include "map_reader.h"
#include "record_pool.h"
#include "tamrix_map.h"

namespace {

constexpr std::uint64_t scanner_allocations = 2;  // the buffer record, its array
constexpr std::size_t chunk_sizes[] = {1, 24, 256, 64 * 1024};

// Starts like the first parse of a process: no records, no scanner.
void start_afresh() {
    FreeAllRecords();
    yylex_destroy();
    FUZZ_CHECK(tamrix::heap_live_blocks() == 0);
}

struct Outcome {
    int result;
    std::string message;
    std::vector<fuzz::Record> records;
    std::uint64_t allocations;
};

Outcome parse(std::uint64_t refuse, bool from_then_on) {
    tamrix::heap_fail_at(refuse, from_then_on);
    Outcome outcome;
    outcome.result = MapParse(fuzz::map_path());
    outcome.allocations = tamrix::heap_allocations_made();
    tamrix::heap_fail_at(0, false);
    FUZZ_CHECK(outcome.result == 0 || outcome.result == -1);
    outcome.message = fuzz::checked_message();
    outcome.records = fuzz::checked_records();
    return outcome;
}

// `records` is the first records of `all`, and not all of them.
bool is_short_prefix(const std::vector<fuzz::Record> &records, const std::vector<fuzz::Record> &all) {
    if (records.size() >= all.size()) return false;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (!(records[i] == all[i])) return false;
    return true;
}

const char add_record_failure[] = "out of dynamic memory in AddRecord()\n";

// The line a located message names.
std::size_t message_line(const std::string &message) {
    return std::stoull(message.substr(std::string(fuzz::map_path()).size() + 1));
}

// The file cut after its first `lines` line feeds, parsed without
// refusals, gives exactly `records` records; the whole file is back after.
bool lines_hold_records(const std::uint8_t *file, std::size_t size, std::size_t lines, std::size_t records) {
    std::size_t cut = 0;
    for (std::size_t seen = 0; seen < lines; ++cut) {
        if (cut == size) return false;
        seen += file[cut] == '\n';
    }
    fuzz::write_map_file(file, cut);
    FreeAllRecords();
    MapParse(fuzz::map_path());  // fails on no line at all, else succeeds
    bool holds = GetRecordCount() == static_cast<std::int32_t>(records);
    FreeAllRecords();
    fuzz::write_map_file(file, size);
    return holds;
}

// A refused record: the parse stopped at it. Its line holds record number
// `kept` + 1 and the lines before it hold the `kept` records that stay.
void check_refused_record(const Outcome &failed, const Outcome &clean, const std::uint8_t *file,
                          std::size_t size) {
    FUZZ_CHECK(failed.result == -1);
    FUZZ_CHECK(fuzz::is_located_message(failed.message, add_record_failure));
    FUZZ_CHECK(is_short_prefix(failed.records, clean.records));
    std::size_t line = message_line(failed.message);
    FUZZ_CHECK(line >= 1);
    FUZZ_CHECK(lines_hold_records(file, size, line - 1, failed.records.size()));
    FUZZ_CHECK(lines_hold_records(file, size, line, failed.records.size() + 1));
}

}  // namespace

bool is_out_of_memory(const std::string &message) {
    return fuzz::is_located_message(message, "out of dynamic memory in yy_create_buffer()\n");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 4) return 0;
    std::uint64_t refuse = data[0] | static_cast<std::uint64_t>(data[1]) << 8;
    bool from_then_on = data[2] & 1;
    tamrix::pool_chunk_bytes = chunk_sizes[(data[2] >> 1) & 3];
    std::uint64_t refuse_next = data[3];
    const std::uint8_t *file = data + 4;
    std::size_t file_size = size - 4;
    fuzz::write_map_file(file, file_size);

    start_afresh();
    std::string message_before = fuzz::checked_message();
    Outcome clean = parse(0, false);
    fuzz::check_outcome(file, file_size, clean.result, message_before);
    FUZZ_CHECK(clean.allocations >= scanner_allocations);

    start_afresh();
    message_before = fuzz::checked_message();
    Outcome failed = parse(refuse, from_then_on);
    if (refuse == 0 || refuse > clean.allocations) {
        FUZZ_CHECK(failed.allocations == clean.allocations);
        FUZZ_CHECK(failed.result == clean.result && failed.records == clean.records);
        FUZZ_CHECK(failed.message == (clean.result == 0 ? message_before : clean.message));
    } else if (refuse <= scanner_allocations) {
        FUZZ_CHECK(failed.result == -1);
        FUZZ_CHECK(failed.message ==
                   std::string(fuzz::map_path()) + ":1: out of dynamic memory in yy_create_buffer()\n");
        FUZZ_CHECK(failed.records.empty());
    } else {
        check_refused_record(failed, clean, file, file_size);
        // With a chunk of its own for every node and every name, the
        // refusal falls on record (N - 3) / 2.
        if (tamrix::pool_chunk_bytes == 1)
            FUZZ_CHECK(failed.records.size() == (refuse - scanner_allocations - 1) / 2);
    }

    // The scanner as the failure left it serves the next parse, which may
    // meet a refusal of its own.
    FreeAllRecords();
    Outcome next = parse(refuse_next, false);
    if (next.result == -1 && is_out_of_memory(next.message)) {
        FUZZ_CHECK(next.records.empty());
    } else if (next.result == -1 && fuzz::is_located_message(next.message, add_record_failure)) {
        check_refused_record(next, clean, file, file_size);
    } else {
        FUZZ_CHECK(next.result == clean.result && next.records == clean.records);
    }
    FreeAllRecords();
    Outcome again = parse(0, false);
    FUZZ_CHECK(again.result == clean.result && again.records == clean.records);

    start_afresh();
    return 0;
}
