#include "command_line.h"

#include <cstddef>
#include <optional>

#include "address_literal.h"

namespace mapdump {

const char usage_text[] =
    "Usage: mapdump [OPTIONS] FILE...\n"
    "  or:  mapdump diff OLD NEW\n"
    "  or:  mapdump annotate [--max-offset N] [--bare] MAP [LOG...]\n"
    "Prints the symbol records of linker map files, read by the tamrix_map library.\n"
    "\n"
    "  --format text|csv|json|elf  how records are printed (default text):\n"
    "      text  the address as eight hex digits, a blank and the name; with\n"
    "            several files each line starts with the file and a colon\n"
    "      csv   RFC 4180 with CRLF line ends, the header file,name,address,\n"
    "            the address as 0x and eight hex digits\n"
    "      json  one array of {\"file\": PATH, \"name\": NAME, \"address\": NUMBER}.\n"
    "            Paths and names are 8-bit text: valid UTF-8 is kept, control\n"
    "            characters are escaped, and any other byte of 0x80 or above\n"
    "            is written as \\u00XX, that is, read as Latin-1\n"
    "      elf   an ELF symbol file: every record a symbol of a section .map that\n"
    "            covers the 16-bit address space, for gdb's symbol-file, nm,\n"
    "            addr2line and ld --just-symbols. Not written to a terminal\n"
    "  --machine NAME  the ELF file's machine: i386 (the default), arm, avr or z80\n"
    "  --output FILE   write to FILE, which is replaced only when every map parsed\n"
    "  --sort file|address|name  file order (default) or a stable sort\n"
    "  --lookup ADDR   the symbol with the greatest address not above ADDR and\n"
    "                  the offset from it, e.g. \"0x1A2B _start+0x2B\"; ADDR is\n"
    "                  written 0x1A2B or 1A2BH; repeatable; text output only\n"
    "  --find NAME     print only the records named NAME; repeatable\n"
    "  --version       print the library's version text\n"
    "  --help          print this help\n"
    "\n"
    "A file that cannot be parsed adds no records; the library's message goes\n"
    "to stderr and the other files are still read. Text, CSV and JSON on\n"
    "standard output show the records of the files that parsed; an ELF file,\n"
    "and a file named by --output, is written only when every file parsed.\n"
    "\n"
    "diff OLD NEW:\n"
    "  prints the symbols only in OLD (-), those only in NEW (+) and those whose\n"
    "  address changed (~), in that order, one a line.\n"
    "\n"
    "annotate MAP [LOG...]:\n"
    "  copies each LOG (standard input when there is none, or for -) and writes\n"
    "  after every address in it the symbol that covers it, as --lookup finds\n"
    "  it: \"PC=0x1A2B\" becomes \"PC=0x1A2B <_start+0x2B>\", and an address that\n"
    "  is a symbol's own gets \" <_start>\". An address is 0x and one to eight\n"
    "  hex digits, a word of its own; nothing else in a line changes. To a pipe\n"
    "  or a terminal each line is written as soon as it is complete; to a file,\n"
    "  in blocks.\n"
    "\n"
    "  --max-offset N  annotate only offsets below N (default 0x1000), written\n"
    "                  0x1000 or 1000H\n"
    "  --bare          words of exactly four or eight hex digits are addresses too\n"
    "\n"
    "Exit status:\n"
    "  0 when every file parsed, 1 when one failed, 2 on a usage error.\n";

namespace {

std::optional<OutputFormat> format_named(std::string_view name) {
    if (name == "text") return OutputFormat::text;
    if (name == "csv") return OutputFormat::csv;
    if (name == "json") return OutputFormat::json;
    if (name == "elf") return OutputFormat::elf;
    return std::nullopt;
}

std::optional<SortKey> sort_key_named(std::string_view name) {
    if (name == "file") return SortKey::file;
    if (name == "address") return SortKey::address;
    if (name == "name") return SortKey::name;
    return std::nullopt;
}

// Appended piece by piece: GCC 12 warns of an overlapping copy (-Wrestrict)
// that cannot happen in `"'" + std::string(text)`, inlined in a 32-bit
// Release build.
std::string quoted(std::string_view text) {
    std::string result(1, '\'');
    result += text;
    result += '\'';
    return result;
}

// The name of an option written "--name" or "--name=VALUE".
std::string_view option_name(std::string_view argument) { return argument.substr(0, argument.find('=')); }

// The value of an option that takes one, written "--name VALUE" (the value
// is the next argument, and `i` moves onto it) or "--name=VALUE". Returns
// false when the value is missing.
bool option_value(const std::vector<std::string_view> &arguments, std::size_t &i, std::string_view &value) {
    std::size_t equals = arguments[i].find('=');
    if (equals != std::string_view::npos) {
        value = arguments[i].substr(equals + 1);
        return true;
    }
    if (i + 1 == arguments.size()) return false;
    value = arguments[++i];
    return true;
}

// An address written as the library reads one: 0x1A2B or 1A2BH.
std::optional<std::uint32_t> address_written(std::string_view text) {
    std::uint32_t address = 0;
    if (tamrix::ConvertHexAddress(std::string(text).c_str(), address) != tamrix::CONV_OK) return std::nullopt;
    return address;
}

std::string parse_diff(const std::vector<std::string_view> &arguments, Options &options) {
    options.mode = Mode::diff;
    std::size_t first = 1;
    if (first < arguments.size() && arguments[first] == "--") ++first;
    for (std::size_t i = first; i < arguments.size(); ++i) {
        if (arguments[i] == "--help") {
            options.mode = Mode::help;
            return "";
        }
        if (first == 1 && arguments[i].size() > 1 && arguments[i][0] == '-')
            return "diff takes no options, only OLD and NEW";
    }
    if (arguments.size() - first != 2) return "diff needs two map files, OLD and NEW";
    options.files.assign(arguments.begin() + static_cast<std::ptrdiff_t>(first), arguments.end());
    return "";
}

std::string parse_annotate(const std::vector<std::string_view> &arguments, Options &options) {
    options.mode = Mode::annotate;
    bool options_ended = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (options_ended || argument.size() < 2 || argument[0] != '-') {
            (options.files.empty() ? options.files : options.logs).emplace_back(argument);
        } else if (argument == "--") {
            options_ended = true;
        } else if (argument == "--help" || argument == "-h") {
            options.mode = Mode::help;
            return "";
        } else if (argument == "--bare") {
            options.bare = true;
        } else if (option_name(argument) == "--max-offset") {
            std::string_view value;
            if (!option_value(arguments, i, value)) return "--max-offset needs a value";
            auto limit = address_written(value);
            if (!limit) return "--max-offset: " + quoted(value) + " is not a number; write 0x1000 or 1000H";
            options.max_offset = *limit;
        } else {
            return "unknown option " + quoted(argument) + " for annotate";
        }
    }
    if (options.files.empty()) return "annotate needs a map file";
    return "";
}

}  // namespace

std::string parse_command_line(const std::vector<std::string_view> &arguments, Options &options) {
    if (!arguments.empty() && arguments[0] == "diff") return parse_diff(arguments, options);
    if (!arguments.empty() && arguments[0] == "annotate") return parse_annotate(arguments, options);

    bool options_ended = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (options_ended || argument.size() < 2 || argument[0] != '-') {
            options.files.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            options.mode = Mode::help;
            return "";
        }
        if (argument == "--version") {
            options.mode = Mode::version;
            return "";
        }

        // The rest take a value.
        std::string_view name = option_name(argument), value;
        if (name != "--format" && name != "--sort" && name != "--lookup" && name != "--find" &&
            name != "--machine" && name != "--output")
            return "unknown option " + quoted(argument);
        if (!option_value(arguments, i, value)) return std::string(name) + " needs a value";

        if (name == "--format") {
            auto format = format_named(value);
            if (!format) return "--format must be text, csv, json or elf, not " + quoted(value);
            options.format = *format;
        } else if (name == "--sort") {
            auto key = sort_key_named(value);
            if (!key) return "--sort must be file, address or name, not " + quoted(value);
            options.sort = *key;
        } else if (name == "--lookup") {
            auto address = address_written(value);
            if (!address) return "--lookup: " + quoted(value) + " is not an address; write 0x1A2B or 1A2BH";
            options.lookups.push_back(*address);
        } else if (name == "--machine") {
            options.machine = elf_machine_named(value);
            if (!options.machine) return "--machine must be " + elf_machine_list() + ", not " + quoted(value);
        } else if (name == "--output") {
            if (value.empty()) return "--output needs a file name";
            options.output = value;
        } else {
            options.finds.emplace_back(value);
        }
    }
    if (options.files.empty()) return "no map file given";
    if (!options.lookups.empty() && options.format != OutputFormat::text)
        return "--lookup prints text only; leave out --format";
    if (options.machine && options.format != OutputFormat::elf) return "--machine is for --format elf only";
    // Which record of a name is the global symbol depends on file order.
    if (options.sort != SortKey::file && options.format == OutputFormat::elf)
        return "--sort does not apply to --format elf: its symbols are in file order";
    return "";
}

}  // namespace mapdump
