#include "symbol_records.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tamrix_map.h"

namespace mapdump {

bool load_map_file(const char *path, std::uint32_t file, std::vector<SymbolRecord> &records) {
    FreeAllRecords();
    if (MapParse(path) != 0) {
        // The message is the library's, byte for byte. A message cut to fit
        // its buffer has lost its line feed; put one back so that the next
        // message starts on a line of its own.
        const char *message = GetErrorMessage();
        std::size_t length = std::strlen(message);
        std::fputs(message, stderr);
        if (length == 0 || message[length - 1] != '\n') std::fputc('\n', stderr);
        FreeAllRecords();  // a failed parse keeps what it read before failing
        return false;
    }
    records.reserve(records.size() + static_cast<std::size_t>(GetRecordCount()));
    for (const MapRecord *node = GetRecordTop(); node; node = node->next)
        records.push_back(SymbolRecord{file, node->value, node->name});
    FreeAllRecords();
    return true;
}

void sort_records(std::vector<SymbolRecord> &records, SortKey key) {
    switch (key) {
        case SortKey::file:
            break;  // records are loaded in file order
        case SortKey::address:
            std::stable_sort(
                records.begin(), records.end(),
                [](const SymbolRecord &a, const SymbolRecord &b) { return a.address < b.address; });
            break;
        case SortKey::name:
            // Byte order, no locale: names are 8-bit text.
            std::stable_sort(records.begin(), records.end(),
                             [](const SymbolRecord &a, const SymbolRecord &b) { return a.name < b.name; });
            break;
    }
}

}  // namespace mapdump
