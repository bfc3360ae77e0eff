// mapdump's arguments.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "elf_machines.h"
#include "output_formats.h"
#include "symbol_records.h"

namespace mapdump {

enum class Mode { dump, diff, annotate, help, version };

struct Options {
    Mode mode = Mode::dump;
    OutputFormat format = OutputFormat::text;
    SortKey sort = SortKey::file;
    std::vector<std::uint32_t> lookups;
    std::vector<std::string> finds;
    std::vector<std::string> files;  // the maps to dump; OLD and NEW for diff; MAP for annotate
    std::vector<std::string> logs;   // annotate's input files, "-" for standard input
    std::uint32_t max_offset = 0x1000;
    bool bare = false;
    const ElfMachine *machine = nullptr;  // --machine; null for the default
    std::string output;                   // --output; empty for standard output
};

extern const char usage_text[];

// Reads the arguments after the program name into `options`. Returns the
// empty text when they make a valid command, else what is wrong with them.
std::string parse_command_line(const std::vector<std::string_view> &arguments, Options &options);

}  // namespace mapdump
