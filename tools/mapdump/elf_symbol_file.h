// mapdump --format elf: the records as the symbols of an ELF file, for
// gdb (symbol-file), nm, addr2line and ld --just-symbols.
#pragma once

#include <string>
#include <vector>

#include "elf_machines.h"
#include "symbol_records.h"

namespace mapdump {

// The name of the one section that holds every symbol.
inline constexpr char elf_section_name[] = ".map";

// An ELF32 little-endian executable without contents: one allocated
// section of type SHT_NOBITS, ".map", from address 0 to the end of the
// 16-bit address space (or past the highest record, were one above it),
// in one read-only PT_LOAD segment, and one symbol a record, in the order
// of `records`. A symbol's size is the distance to the next higher address
// of any record, the highest ones' to the section's end, so that a tool
// that looks up an address by symbol sizes (gdb, nm -S, addr2line) finds
// the symbol --lookup finds. The first symbol of a name is global, those
// after it weak, so that a linker takes the first and warns of nothing.
std::string elf_symbol_file(const std::vector<SymbolRecord> &records, const ElfMachine &machine);

}  // namespace mapdump
