#include "elf_machines.h"

#include <iterator>

namespace mapdump {

const ElfMachine *elf_machine_named(std::string_view name) {
    for (const ElfMachine &machine : elf_machines)
        if (name == machine.name) return &machine;
    return nullptr;
}

std::string elf_machine_list() {
    std::string list;
    for (std::size_t i = 0; i < std::size(elf_machines); ++i) {
        if (i > 0) list += i + 1 == std::size(elf_machines) ? " or " : ", ";
        list += elf_machines[i].name;
    }
    return list;
}

}  // namespace mapdump
