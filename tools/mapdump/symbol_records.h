// The records mapdump works on: copies of what the library delivered, so
// that several files can be held, sorted and compared at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mapdump {

struct SymbolRecord {
    std::uint32_t file;  // index into the list of files given
    std::uint32_t address;
    std::string name;
};

enum class SortKey { file, address, name };

// Parses `path` with MapParse and appends copies of its records, tagged
// with `file`. On failure writes the library's message to stderr, appends
// nothing and returns false. The library's list is empty on return either
// way, since MapParse appends to whatever an earlier call left there.
bool load_map_file(const char *path, std::uint32_t file, std::vector<SymbolRecord> &records);

// Stable: records with equal keys keep their file order.
void sort_records(std::vector<SymbolRecord> &records, SortKey key);

}  // namespace mapdump
