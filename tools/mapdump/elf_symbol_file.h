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
// in one read-only PT_LOAD segment, and one symbol a record. A symbol's
// size is the distance to the next higher address of any record, the
// highest ones' to the section's end, so that a tool that looks up an
// address by symbol sizes (gdb, nm -S, addr2line) finds the symbol
// --lookup finds. `records` are in file order: the first record of a name
// is a global symbol, for a linker to take; the later records of that
// name are local symbols, which come first in the table. The table is in
// file order otherwise.
std::string elf_symbol_file(const std::vector<SymbolRecord> &records, const ElfMachine &machine);

}  // namespace mapdump
