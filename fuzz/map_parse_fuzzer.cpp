// Any bytes as a map file through MapParse: the result is 0 or -1 as the
// documented rules say, the message is one of the documented texts and
// fits its buffer, count, walk and chain agree, and FreeAllRecords gives
// back every block the parse took.
#include <cstdint>

#include "heap.h"
#include "map_file_checks.h"
#include "tamrix_map.h"

namespace {

// The scanner's buffer is allocated by the first parse and kept for every
// later one; everything else must be gone after FreeAllRecords.
std::int64_t blocks_kept_by_scanner = -1;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::write_map_file(data, size);
    std::string message_before = fuzz::checked_message();
    int result = MapParse(fuzz::map_path());
    fuzz::check_outcome(data, size, result, message_before);
    fuzz::checked_records();

    FreeAllRecords();
    FUZZ_CHECK(GetRecordCount() == 0 && GetRecordTop() == nullptr);
    if (blocks_kept_by_scanner < 0) {
        blocks_kept_by_scanner = tamrix::heap_live_blocks();
        FUZZ_CHECK(blocks_kept_by_scanner > 0 && blocks_kept_by_scanner <= 3);
    }
    FUZZ_CHECK(tamrix::heap_live_blocks() == blocks_kept_by_scanner);
    return 0;
}
