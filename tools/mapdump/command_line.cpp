#include "command_line.h"

#include <cstddef>
#include <optional>

#include "address_literal.h"

namespace mapdump {

const char usage_text[] =
    "Usage: mapdump [OPTIONS] FILE...\n"
    "       mapdump diff OLD NEW\n"
    "Prints the symbol records of linker map files, read by the tamrix_map library.\n"
    "\n"
    "  --format text|csv|json  how records are printed (default text):\n"
    "      text  the address as eight hex digits, a blank and the name; with\n"
    "            several files each line starts with the file and a colon\n"
    "      csv   RFC 4180 with CRLF line ends, the header file,name,address,\n"
    "            the address as 0x and eight hex digits\n"
    "      json  one array of {\"file\": PATH, \"name\": NAME, \"address\": NUMBER}.\n"
    "            Paths and names are 8-bit text: valid UTF-8 is kept, control\n"
    "            characters are escaped, and any other byte of 0x80 or above\n"
    "            is written as \\u00XX, that is, read as Latin-1\n"
    "  --sort file|address|name  file order (default) or a stable sort\n"
    "  --lookup ADDR   the symbol with the greatest address not above ADDR and\n"
    "                  the offset from it, e.g. \"0x1A2B _start+0x2B\"; ADDR is\n"
    "                  written 0x1A2B or 1A2BH; repeatable; text output only\n"
    "  --find NAME     print only the records named NAME; repeatable\n"
    "  --version       print the library's version text\n"
    "  --help          print this help\n"
    "\n"
    "diff prints the symbols only in OLD (-), those only in NEW (+) and those\n"
    "whose address changed (~), in that order, one a line.\n"
    "\n"
    "A file that cannot be parsed adds no records; the library's message goes\n"
    "to stderr and the other files are still read.\n"
    "Exit status: 0 when every file parsed, 1 when one failed, 2 on a usage error.\n";

namespace {

std::optional<OutputFormat> format_named(std::string_view name) {
    if (name == "text") return OutputFormat::text;
    if (name == "csv") return OutputFormat::csv;
    if (name == "json") return OutputFormat::json;
    return std::nullopt;
}

std::optional<SortKey> sort_key_named(std::string_view name) {
    if (name == "file") return SortKey::file;
    if (name == "address") return SortKey::address;
    if (name == "name") return SortKey::name;
    return std::nullopt;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

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

}  // namespace

std::string parse_command_line(const std::vector<std::string_view> &arguments, Options &options) {
    if (!arguments.empty() && arguments[0] == "diff") return parse_diff(arguments, options);

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

        // The rest take a value, as "--name VALUE" or "--name=VALUE".
        std::string_view name = argument, value;
        std::size_t equals = argument.find('=');
        if (equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (name != "--format" && name != "--sort" && name != "--lookup" && name != "--find")
            return "unknown option " + quoted(argument);
        if (equals == std::string_view::npos) {
            if (i + 1 == arguments.size()) return std::string(name) + " needs a value";
            value = arguments[++i];
        }

        if (name == "--format") {
            auto format = format_named(value);
            if (!format) return "--format must be text, csv or json, not " + quoted(value);
            options.format = *format;
        } else if (name == "--sort") {
            auto key = sort_key_named(value);
            if (!key) return "--sort must be file, address or name, not " + quoted(value);
            options.sort = *key;
        } else if (name == "--lookup") {
            std::uint32_t address = 0;
            if (tamrix::ConvertHexAddress(std::string(value).c_str(), address) != tamrix::CONV_OK)
                return "--lookup: " + quoted(value) + " is not an address; write 0x1A2B or 1A2BH";
            options.lookups.push_back(address);
        } else {
            options.finds.emplace_back(value);
        }
    }
    if (options.files.empty()) return "no map file given";
    if (!options.lookups.empty() && options.format != OutputFormat::text)
        return "--lookup prints text only; leave out --format";
    return "";
}

}  // namespace mapdump
