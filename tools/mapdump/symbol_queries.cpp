#include "symbol_queries.h"

#include <algorithm>
#include <unordered_set>

namespace mapdump {

const SymbolRecord *lookup_address(const std::vector<SymbolRecord> &by_address, std::uint32_t address) {
    auto above = std::upper_bound(
        by_address.begin(), by_address.end(), address,
        [](std::uint32_t wanted, const SymbolRecord &record) { return wanted < record.address; });
    if (above == by_address.begin()) return nullptr;
    std::uint32_t covering = std::prev(above)->address;
    auto first = std::lower_bound(
        by_address.begin(), above, covering,
        [](const SymbolRecord &record, std::uint32_t wanted) { return record.address < wanted; });
    return &*first;
}

void write_lookup(OutputBuffer &out, std::uint32_t address, const SymbolRecord *found,
                  const std::vector<std::string> &files) {
    put_hex(out, address);
    if (!found) {
        put(out, ": no symbol at or below\n");
        return;
    }
    put(out, ' ');
    put(out, found->name);
    put(out, '+');
    put_hex(out, address - found->address);
    if (files.size() > 1) {
        put(out, ' ');
        put(out, files[found->file]);
    }
    put(out, '\n');
}

std::vector<SymbolRecord> find_names(const std::vector<SymbolRecord> &records,
                                     const std::vector<std::string> &names,
                                     std::vector<std::string> &missing) {
    std::unordered_set<std::string> wanted(names.begin(), names.end());
    std::unordered_set<std::string> seen;
    std::vector<SymbolRecord> found;
    for (const SymbolRecord &record : records) {
        if (wanted.count(record.name)) {
            found.push_back(record);
            seen.insert(record.name);
        }
    }
    for (const std::string &name : names)
        if (!seen.count(name) && std::find(missing.begin(), missing.end(), name) == missing.end())
            missing.push_back(name);
    return found;
}

}  // namespace mapdump
