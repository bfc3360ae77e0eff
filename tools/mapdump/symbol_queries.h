// --lookup and --find: the symbol that covers an address, the records that
// carry a name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output_buffer.h"
#include "symbol_records.h"

namespace mapdump {

// The record with the greatest address not above `address` (the first of
// them in file order when several share it), or null when every record
// lies above `address`. `by_address` must be stably sorted by address.
const SymbolRecord *lookup_address(const std::vector<SymbolRecord> &by_address, std::uint32_t address);

// Prints "0x1A2B _start+0x2B" (and " PATH" when several files were read),
// or "0x1A2B: no symbol at or below" when there is none.
void write_lookup(OutputBuffer &out, std::uint32_t address, const SymbolRecord *found,
                  const std::vector<std::string> &files);

// Keeps the records whose name is one of `names`, in their order. Appends
// to `missing` every name that no record carries.
std::vector<SymbolRecord> find_names(const std::vector<SymbolRecord> &records,
                                     const std::vector<std::string> &names,
                                     std::vector<std::string> &missing);

}  // namespace mapdump
