#include "elf_symbol_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_set>

namespace mapdump {
namespace {

// The ELF32 values written here (System V ABI, chapter 4).
constexpr std::uint32_t header_size = 52, program_header_size = 32, section_header_size = 40;
constexpr std::uint32_t symbol_size = 16;
constexpr std::uint16_t et_exec = 2;
constexpr std::uint32_t pt_load = 1, pf_r = 4;
constexpr std::uint32_t sht_symtab = 2, sht_strtab = 3, sht_nobits = 8;
constexpr std::uint32_t shf_alloc = 2;
constexpr unsigned char stb_local = 0, stb_global = 1, stt_notype = 0;
constexpr std::uint32_t address_space_end = 0x10000;

// Section indexes, in the order of the section headers.
enum : std::uint16_t {
    null_section,
    map_section,
    symtab_section,
    strtab_section,
    shstrtab_section,
    sections
};

void put16(std::string &out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string &out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

struct SectionHeader {
    std::uint32_t name, type, flags, address, offset, size, link, info, alignment, entry_size;
};

void put_section_header(std::string &out, const SectionHeader &header) {
    for (std::uint32_t field : {header.name, header.type, header.flags, header.address, header.offset,
                                header.size, header.link, header.info, header.alignment, header.entry_size})
        put32(out, field);
}

// Appends `name` and its terminating zero to a string table; returns its offset there.
std::uint32_t add_string(std::string &table, std::string_view name) {
    auto offset = static_cast<std::uint32_t>(table.size());
    table += name;
    table += '\0';
    return offset;
}

std::uint32_t section_end(const std::vector<SymbolRecord> &records) {
    std::uint64_t end = address_space_end;
    for (const SymbolRecord &record : records) end = std::max<std::uint64_t>(end, record.address + 1ull);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(end, UINT32_MAX));
}

}  // namespace

std::string elf_symbol_file(const std::vector<SymbolRecord> &records, const ElfMachine &machine) {
    const std::uint32_t end = section_end(records);
    std::vector<std::uint32_t> addresses;
    addresses.reserve(records.size());
    for (const SymbolRecord &record : records) addresses.push_back(record.address);
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());

    // A name's first record is a global symbol; its later records are local
    // ones, which a linker leaves alone: two definitions of one global name
    // are an error to some linkers and draw a warning from ld when their
    // sizes differ. ELF puts the local symbols before the global ones.
    std::vector<bool> global(records.size());
    std::unordered_set<std::string_view> named;
    for (std::size_t i = 0; i < records.size(); ++i) global[i] = named.insert(records[i].name).second;
    const auto locals = static_cast<std::uint32_t>(records.size() - named.size());

    std::string symbols(symbol_size, '\0');  // symbol 0 is the null symbol
    std::string names(1, '\0');
    for (bool globals : {false, true}) {
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (global[i] != globals) continue;
            const SymbolRecord &record = records[i];
            auto higher = std::upper_bound(addresses.begin(), addresses.end(), record.address);
            std::uint32_t size = (higher == addresses.end() ? end : *higher) - record.address;
            put32(symbols, add_string(names, record.name));
            put32(symbols, record.address);
            put32(symbols, size);
            symbols += static_cast<char>((globals ? stb_global : stb_local) << 4 | stt_notype);
            symbols += '\0';  // default visibility
            put16(symbols, map_section);
        }
    }

    std::string section_names(1, '\0');
    std::uint32_t map_name = add_string(section_names, elf_section_name);
    std::uint32_t symtab_name = add_string(section_names, ".symtab");
    std::uint32_t strtab_name = add_string(section_names, ".strtab");
    std::uint32_t shstrtab_name = add_string(section_names, ".shstrtab");

    // The headers, the three tables, then the section headers on a 4-byte boundary.
    const std::uint32_t symbols_at = header_size + program_header_size;
    const auto names_at = static_cast<std::uint32_t>(symbols_at + symbols.size());
    const auto section_names_at = static_cast<std::uint32_t>(names_at + names.size());
    const std::uint32_t section_headers_at =
        (section_names_at + static_cast<std::uint32_t>(section_names.size()) + 3) & ~3u;

    // The identification: magic, ELFCLASS32, ELFDATA2LSB, EV_CURRENT, then
    // ELFOSABI_NONE, ABI version 0 and padding.
    std::string file{'\x7f', 'E', 'L', 'F', '\x01', '\x01', '\x01'};
    file.append(9, '\0');
    put16(file, et_exec);
    put16(file, machine.e_machine);
    put32(file, 1);  // EV_CURRENT
    put32(file, 0);  // no entry point
    put32(file, header_size);
    put32(file, section_headers_at);
    put32(file, machine.e_flags);
    put16(file, header_size);
    put16(file, program_header_size);
    put16(file, 1);
    put16(file, section_header_size);
    put16(file, sections);
    put16(file, shstrtab_section);

    // A segment that reads nothing from the file: its memory is the NOBITS
    // section's. Read-only, as the section is neither writable nor
    // executable: elflint reports a writable or executable segment in which
    // it finds no section of that kind, and in a segment without file
    // contents it finds none.
    for (std::uint32_t field : {pt_load, symbols_at, 0u, 0u, 0u, end, pf_r, 1u}) put32(file, field);

    file += symbols;
    file += names;
    file += section_names;
    file.resize(section_headers_at, '\0');

    put_section_header(file, {});
    put_section_header(file, {map_name, sht_nobits, shf_alloc, 0, symbols_at, end, 0, 0, 1, 0});
    // sh_info: the index of the first global symbol.
    put_section_header(file, {symtab_name, sht_symtab, 0, 0, symbols_at,
                              static_cast<std::uint32_t>(symbols.size()), strtab_section, 1 + locals, 4, symbol_size});
    put_section_header(file, {strtab_name, sht_strtab, 0, 0, names_at,
                              static_cast<std::uint32_t>(names.size()), 0, 0, 1, 0});
    put_section_header(file, {shstrtab_name, sht_strtab, 0, 0, section_names_at,
                              static_cast<std::uint32_t>(section_names.size()), 0, 0, 1, 0});
    return file;
}

}  // namespace mapdump
