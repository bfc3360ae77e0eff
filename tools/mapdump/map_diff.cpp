#include "map_diff.h"

#include <unordered_map>

namespace mapdump {
namespace {

using AddressesByName = std::unordered_map<std::string, std::vector<std::uint32_t>>;

AddressesByName group_by_name(const std::vector<SymbolRecord> &records) {
    AddressesByName groups;
    for (const SymbolRecord &record : records) groups[record.name].push_back(record.address);
    return groups;
}

}  // namespace

std::vector<DiffLine> diff_records(const std::vector<SymbolRecord> &old_records,
                                   const std::vector<SymbolRecord> &new_records) {
    AddressesByName old_groups = group_by_name(old_records);
    AddressesByName new_groups = group_by_name(new_records);
    std::vector<DiffLine> removed, added, changed;

    std::unordered_map<std::string, std::size_t> occurrence;
    for (const SymbolRecord &record : old_records) {
        std::size_t n = occurrence[record.name]++;
        auto match = new_groups.find(record.name);
        if (match == new_groups.end() || n >= match->second.size())
            removed.push_back({'-', record.name, record.address, 0});
        else if (match->second[n] != record.address)
            changed.push_back({'~', record.name, record.address, match->second[n]});
    }
    occurrence.clear();
    for (const SymbolRecord &record : new_records) {
        std::size_t n = occurrence[record.name]++;
        auto match = old_groups.find(record.name);
        if (match == old_groups.end() || n >= match->second.size())
            added.push_back({'+', record.name, 0, record.address});
    }

    std::vector<DiffLine> lines = std::move(removed);
    lines.insert(lines.end(), added.begin(), added.end());
    lines.insert(lines.end(), changed.begin(), changed.end());
    return lines;
}

void write_diff(OutputBuffer &out, const std::vector<DiffLine> &lines) {
    for (const DiffLine &line : lines) {
        put(out, line.mark);
        put_hex8(out, line.mark == '-' ? line.old_address : line.new_address);
        put(out, ' ');
        put(out, line.name);
        if (line.mark == '~') {
            put(out, " (was ");
            put_hex8(out, line.old_address);
            put(out, ')');
        }
        put(out, '\n');
    }
}

}  // namespace mapdump
