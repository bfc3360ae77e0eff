// The machines an ELF symbol file can name (mapdump --machine), with the
// header values gdb, binutils and elfutils read for each.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mapdump {

struct ElfMachine {
    const char *name;  // as --machine takes it
    std::uint16_t e_machine;
    std::uint32_t e_flags;
};

// The first is the default: i386, which every gdb, the build machine's own
// binutils (nm, addr2line, objdump, ld -m elf_i386) and elfutils read
// without a warning.
inline constexpr ElfMachine elf_machines[] = {
    {"i386", 3, 0},
    {"arm", 40, 0x05000000},  // EF_ARM_EABI_VER5
    {"avr", 83, 0},
    {"z80", 220, 0},
};

// The machine called `name`, or null.
const ElfMachine *elf_machine_named(std::string_view name);

// "i386, arm, avr or z80", for messages.
std::string elf_machine_list();

}  // namespace mapdump
