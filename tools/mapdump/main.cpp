// mapdump: prints, searches and compares the symbol records of map files
// through the tamrix_map library.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "address_annotation.h"
#include "command_line.h"
#include "elf_symbol_file.h"
#include "log_input.h"
#include "map_diff.h"
#include "output_buffer.h"
#include "output_file.h"
#include "output_formats.h"
#include "symbol_queries.h"
#include "symbol_records.h"
#include "tamrix_map.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr int exit_parsed = 0;
constexpr int exit_parse_failed = 1;
constexpr int exit_usage = 2;

int finish(mapdump::OutputBuffer &out, int status) {
    if (!mapdump::flush(out)) {
        std::perror("mapdump: write error");
        return exit_parse_failed;
    }
    return status;
}

int run_diff(const mapdump::Options &options, mapdump::OutputBuffer &out) {
    std::vector<mapdump::SymbolRecord> old_records, new_records;
    bool old_parsed = mapdump::load_map_file(options.files[0].c_str(), 0, old_records);
    bool new_parsed = mapdump::load_map_file(options.files[1].c_str(), 1, new_records);
    if (!old_parsed || !new_parsed) return exit_parse_failed;
    mapdump::write_diff(out, mapdump::diff_records(old_records, new_records));
    return finish(out, exit_parsed);
}

// What a dump prints: the --lookup lines, then (unless only lookups were
// asked for) the records, found by --find and sorted, in the chosen format.
void write_dump(const mapdump::Options &options, std::vector<mapdump::SymbolRecord> records,
                mapdump::OutputBuffer &out) {
    if (!options.lookups.empty()) {
        std::vector<mapdump::SymbolRecord> by_address = records;
        mapdump::sort_records(by_address, mapdump::SortKey::address);
        for (std::uint32_t address : options.lookups)
            mapdump::write_lookup(out, address, mapdump::lookup_address(by_address, address), options.files);
        if (options.finds.empty()) return;
    }
    if (!options.finds.empty()) {
        std::vector<std::string> missing;
        records = mapdump::find_names(records, options.finds, missing);
        for (const std::string &name : missing)
            std::fprintf(stderr, "mapdump: no symbol named %s\n", name.c_str());
    }
    mapdump::sort_records(records, options.sort);
    if (options.format == mapdump::OutputFormat::elf)
        mapdump::put(out, mapdump::elf_symbol_file(
                              records, options.machine ? *options.machine : mapdump::elf_machines[0]));
    else
        mapdump::write_records(out, options.format, options.files, records);
}

// Writes the dump to --output's file through a temporary one beside it.
int write_output_file(const mapdump::Options &options, std::vector<mapdump::SymbolRecord> records) {
    mapdump::OutputFile file;
    std::string problem = mapdump::open_output_file(options.output, file);
    if (problem.empty()) {
        mapdump::OutputBuffer out{file.stream, {}};
        write_dump(options, std::move(records), out);
        if (mapdump::flush(out)) {
            problem = mapdump::commit_output_file(file);
        } else {
            problem = options.output + ": " + std::strerror(errno);
            mapdump::discard_output_file(file);
        }
    }
    if (problem.empty()) return exit_parsed;
    std::fprintf(stderr, "mapdump: %s\n", problem.c_str());
    return exit_parse_failed;
}

int run_dump(const mapdump::Options &options, mapdump::OutputBuffer &out) {
    std::vector<mapdump::SymbolRecord> records;
    int status = exit_parsed;
    for (std::size_t i = 0; i < options.files.size(); ++i)
        if (!mapdump::load_map_file(options.files[i].c_str(), static_cast<std::uint32_t>(i), records))
            status = exit_parse_failed;

    // A symbol file that lacks a map's symbols would answer wrongly without
    // a word, and a file is read later, away from the messages: both are
    // written whole or not at all. On standard output, text shows what parsed.
    bool whole_or_nothing = options.format == mapdump::OutputFormat::elf || !options.output.empty();
    if (status != exit_parsed && whole_or_nothing) return status;
    if (!options.output.empty()) return write_output_file(options, std::move(records));
    write_dump(options, std::move(records), out);
    return finish(out, status);
}

// A log that cannot be read is reported and skipped, like a map that
// cannot be parsed; the map itself must parse before any log is read.
int run_annotate(const mapdump::Options &options, mapdump::OutputBuffer &out) {
    std::vector<mapdump::SymbolRecord> by_address;
    if (!mapdump::load_map_file(options.files[0].c_str(), 0, by_address)) return exit_parse_failed;
    mapdump::sort_records(by_address, mapdump::SortKey::address);

    mapdump::Annotation annotation{&by_address, options.max_offset, options.bare};
    bool live = mapdump::is_live(stdout);
    std::vector<std::string> logs = options.logs;
    if (logs.empty()) logs.emplace_back("-");
    int status = exit_parsed;
    for (const std::string &path : logs) {
        int log = mapdump::open_log(path.c_str());
        if (log == -1 || !mapdump::annotate_log(annotation, log, live, out)) {
            std::fprintf(stderr, "mapdump: %s: %s\n", path == "-" ? "standard input" : path.c_str(),
                         std::strerror(errno));
            status = exit_parse_failed;
        }
        if (log != -1) mapdump::close_log(log);
        if (out.failed) break;
    }
    return finish(out, status);
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    mapdump::Options options;
    std::string problem = mapdump::parse_command_line(arguments, options);
    if (!problem.empty()) {
        std::fprintf(stderr, "mapdump: %s\nTry 'mapdump --help'.\n", problem.c_str());
        return exit_usage;
    }

#ifdef _WIN32
    // CSV brings its own CRLF, annotate passes every byte on as it came,
    // and an ELF file is binary; a text-mode stdout would turn each LF into
    // CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (options.mode == mapdump::Mode::dump && options.format == mapdump::OutputFormat::elf &&
        options.output.empty() && mapdump::is_terminal(stdout)) {
        std::fprintf(stderr,
                     "mapdump: an ELF file is not written to a terminal; name a file with --output FILE or "
                     "redirect standard output\n");
        return exit_usage;
    }

    mapdump::OutputBuffer out{stdout, {}};
    switch (options.mode) {
        case mapdump::Mode::help:
            mapdump::put(out, mapdump::usage_text);
            return finish(out, exit_parsed);
        case mapdump::Mode::version:
            mapdump::put(out, GetMapDllVersion());
            mapdump::put(out, '\n');
            return finish(out, exit_parsed);
        case mapdump::Mode::diff:
            return run_diff(options, out);
        case mapdump::Mode::annotate:
            return run_annotate(options, out);
        case mapdump::Mode::dump:
            break;
    }
    return run_dump(options, out);
}
