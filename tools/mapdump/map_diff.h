// mapdump diff OLD NEW: what changed between two maps, by symbol name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output_buffer.h"
#include "symbol_records.h"

namespace mapdump {

struct DiffLine {
    char mark;  // '-' only in OLD, '+' only in NEW, '~' address changed
    std::string name;
    std::uint32_t old_address;  // for '-' and '~'
    std::uint32_t new_address;  // for '+' and '~'
};

// All '-' lines, then all '+' lines, then all '~' lines. A name that occurs
// several times in a map is matched occurrence by occurrence: the n-th
// record of that name in OLD with the n-th in NEW. '-' and '~' lines follow
// OLD's order, '+' lines NEW's.
std::vector<DiffLine> diff_records(const std::vector<SymbolRecord> &old_records,
                                   const std::vector<SymbolRecord> &new_records);

// "-00000100 name", "+00000100 name", "~00000180 name (was 00000100)".
void write_diff(OutputBuffer &out, const std::vector<DiffLine> &lines);

}  // namespace mapdump
