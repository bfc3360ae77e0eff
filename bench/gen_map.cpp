// Writes a linker map file of one shape and an exact size, the same bytes
// for the same shape, size and seed on every machine:
//
//   gen_map [--shape SHAPE] [--part all|records|others] OUT_FILE SIZE_IN_BYTES [SEED]
//
// The shapes (see `shapes` below) differ in what costs a reader time: how
// many tokens and lines there are per byte, how long the lines and names
// are, the line ends. --part writes only the record lines or only the
// other lines of the shape, so that the cost of each kind can be measured
// on its own.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "splitmix64.h"

namespace {

struct Random : SplitMix64 {
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
    bool percent(unsigned p) { return below(100) < p; }
};

const char *const words[] = {"main",   "init",  "start", "exit",   "printf", "malloc", "buffer",
                             "table",  "count", "index", "handle", "vector", "timer",  "uart",
                             "isr",    "reset", "stack", "heap",   "data",   "code",   "const",
                             "string", "flag",  "state", "queue",  "event",  "config", "crc"};
const char *const segment_names[] = {"CODE", "DATA", "XDATA", "IDATA", "BIT", "CONST", "REG"};
const char *const segment_kinds[] = {"ABSOLUTE", "UNIT", "INPAGE", "PUBLIC", "RELOCATABLE"};

const char *pick(Random &r, const char *const *list, unsigned n) { return list[r.below(n)]; }
#define PICK(r, list) pick(r, list, sizeof(list) / sizeof(list[0]))

// A name of 5 to 40 characters from a leading letter or underscore, words
// joined by underscores and a few digits.
std::string make_name(Random &r) {
    unsigned length = 5 + r.below(36);
    std::string name;
    if (r.percent(40)) name += '_';
    while (name.size() < length) {
        std::string word = PICK(r, words);
        if (r.percent(20)) word[0] = static_cast<char>(word[0] - 'a' + 'A');
        if (!name.empty() && name.back() != '_') name += '_';
        name += word;
        if (r.percent(25)) name += std::to_string(r.below(100));
    }
    name.resize(length);
    if (name.back() == '_' && r.percent(50)) name.back() = 'x';
    return name;
}

std::string hex(Random &r, unsigned digits, bool lower) {
    static const char upper_digits[] = "0123456789ABCDEF";
    static const char lower_digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < digits; ++i) out += (lower ? lower_digits : upper_digits)[r.below(16)];
    return out;
}

std::string pad(const std::string &text, std::size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::string record_line(Random &r) {
    std::string head = make_name(r);
    std::string name = make_name(r);
    bool lower = r.percent(15);
    unsigned digits = r.percent(70) ? 4 : 1 + r.below(4);
    std::string address = hex(r, digits, lower) + (lower ? "h" : "H");
    unsigned shape = r.below(10);
    if (shape < 5) return head + " ADDR " + address + " " + name + "\n";
    if (shape < 7) return pad(head, 24) + "ADDR " + address + "   " + name + "\n";
    if (shape < 8) return head + "\tADDR\t" + address + "\t" + name + "\n";
    if (shape < 9) return head + " ADDR " + address + " " + name + "   PUBLIC  " + PICK(r, segment_names) + "\n";
    return head + " ADDR " + address + " " + name + " ; " + PICK(r, words) + " (" + hex(r, 4, false) + ")\n";
}

// Lines that no scanner rule turns into a record.
std::string other_line(Random &r) {
    switch (r.below(12)) {
    case 0:
        return "\n";
    case 1:
        return "  " + make_name(r) + " ADDR " + hex(r, 4, false) + "H " + make_name(r) + "\n";
    case 2:
        return make_name(r) + " ADDR " + hex(r, 5, false) + "H " + make_name(r) + "\n";
    case 3:
        return make_name(r) + " ADDR 0x" + hex(r, 4, true) + " " + make_name(r) + "\n";
    case 4:
        return make_name(r) + " ADDRESS " + hex(r, 4, false) + "H " + make_name(r) + "\n";
    case 5:
        return make_name(r) + "-" + PICK(r, words) + " ADDR " + hex(r, 4, false) + "H " + make_name(r) + "\n";
    case 6:
        return make_name(r) + " ADDR " + hex(r, 4, false) + "H\n";
    case 7:
        return "; " + std::string(PICK(r, words)) + " " + make_name(r) + " -- " + PICK(r, words) + "\n";
    case 8:
        return "            " + pad(PICK(r, segment_names), 8) + hex(r, 4, false) + "H     " + hex(r, 4, false) +
               "H     " + pad(PICK(r, segment_kinds), 13) + "?PR?" + make_name(r) + "\n";
    case 9:
        return "            " + std::string(40 + r.below(20), '-') + "\n";
    case 10:
        return "* * * " + std::string(PICK(r, words)) + " * * * (" + std::to_string(r.below(60000)) + ")\n";
    default:
        return make_name(r) + "  " + PICK(r, segment_kinds) + "  " + hex(r, 4, false) + "H\n";
    }
}

// The realistic shape: about half of the lines are symbol records
// ("head ADDR 01A2H _name"); the rest are module headers, segment tables,
// separators, blank and indented lines, comments and lines that come close
// to a record without being one. Heads and names have 5 to 40 characters.
std::string module_header(Random &r, unsigned module) {
    std::string name = make_name(r);
    std::string out = "\nLINK MAP OF MODULE:  " + name + " (" + std::to_string(module) + ")\n\n";
    out += "            TYPE    BASE      LENGTH    RELOCATION   SEGMENT NAME\n";
    out += "            -----------------------------------------------------\n\n";
    unsigned segments = 3 + r.below(6);
    for (unsigned i = 0; i < segments; ++i)
        out += "            " + pad(PICK(r, segment_names), 8) + hex(r, 4, false) + "H     " + hex(r, 4, false) +
               "H     " + pad(PICK(r, segment_kinds), 13) + "?PR?" + make_name(r) + "\n";
    out += "\nSYMBOL TABLE OF MODULE:  " + name + "\n\n";
    out += "HEAD                    VALUE   NAME\n";
    out += "----------------------------------------------\n";
    return out;
}

// A name of `min` to `max` characters: a letter or underscore, then word
// characters.
std::string short_name(Random &r, unsigned min, unsigned max) {
    static const char first[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    static const char rest[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789";
    unsigned length = min + r.below(max - min + 1);
    std::string name(1, first[r.below(sizeof first - 1)]);
    while (name.size() < length) name += rest[r.below(sizeof rest - 1)];
    return name;
}

std::string short_address(Random &r) { return hex(r, 1 + r.below(4), r.percent(10)) + (r.percent(10) ? "h" : "H"); }

// mixed: short records of about 35 bytes and as many short other lines.
std::string mixed_record(Random &r) {
    return short_name(r, 4, 12) + " ADDR " + short_address(r) + " " + short_name(r, 8, 20) + "\n";
}

std::string mixed_other(Random &r) {
    switch (r.below(9)) {
    case 0:
    case 1:
        return "; " + short_name(r, 4, 20) + "\n";
    case 2:
    case 3:
        return "    CODE    " + hex(r, 4, false) + "H  " + short_name(r, 4, 12) + "\n";
    case 4:
    case 5:
        return std::string(20 + r.below(20), '-') + "\n";
    case 6:
    case 7:
        return short_name(r, 4, 12) + "  PUBLIC  " + hex(r, 4, false) + "H\n";
    default:
        return "\n";
    }
}

// dense: nothing but records, heads of one character, names of 2 to 9.
std::string dense_record(Random &r) {
    return short_name(r, 1, 1) + " ADDR " + short_address(r) + " " + short_name(r, 2, 9) + "\n";
}

// sparse: long other lines of 80 to 200 characters, one record in 20.
std::string sparse_other(Random &r) {
    std::size_t length = 80 + r.below(121);
    std::string line;
    switch (r.below(4)) {
    case 0:
        line = ";";
        break;
    case 1:
        line = "            ";
        break;
    case 2:
        line = make_name(r) + "  ";  // a word in column 1, and no keyword
        break;
    default:
        line = "  " + make_name(r) + " ADDR " + hex(r, 4, false) + "H ";  // indented: no record
        break;
    }
    while (line.size() < length) line += std::string(PICK(r, words)) + (r.percent(30) ? "  " : " ");
    line.resize(length);
    return line + "\n";
}

// long_names: heads and names of 200 to 400 characters.
std::string long_record(Random &r) {
    return short_name(r, 200, 400) + " ADDR " + short_address(r) + " " + short_name(r, 200, 400) + "\n";
}

std::string long_other(Random &r) {
    if (r.percent(50)) return short_name(r, 200, 400) + " ADDRESS " + short_name(r, 200, 400) + "\n";
    return "  " + short_name(r, 200, 400) + " ADDR 12H " + short_name(r, 200, 400) + "\n";
}

// column1: lines with a word in column 1 and no keyword, with a few records.
std::string column1_other(Random &r) {
    switch (r.below(3)) {
    case 0:
        return short_name(r, 3, 20) + "\n";
    case 1:
        return short_name(r, 3, 20) + "  " + short_name(r, 3, 10) + "  " + hex(r, 4, false) + "H\n";
    default:
        return short_name(r, 3, 20) + " " + short_name(r, 3, 20) + " " + short_name(r, 3, 20) + "\n";
    }
}

struct Shape {
    const char *name;
    unsigned record_percent;  // of the lines drawn, after any header
    std::string (*record)(Random &);
    std::string (*other)(Random &);
    bool crlf;
    bool module_headers;
};

const Shape shapes[] = {
    {"realistic", 52, record_line, other_line, false, true},
    {"mixed", 50, mixed_record, mixed_other, false, false},
    {"dense", 100, dense_record, nullptr, false, false},
    {"sparse", 5, record_line, sparse_other, false, false},
    {"crlf", 52, record_line, other_line, true, true},
    {"long_names", 50, long_record, long_other, false, false},
    {"column1", 10, mixed_record, column1_other, false, false},
};

enum class Part { all, records, others };

std::string to_crlf(const std::string &text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// One block of lines of the shape: a module's worth.
std::string make_block(Random &r, const Shape &shape, Part part, unsigned module) {
    std::string chunk;
    if (shape.module_headers && part != Part::records) chunk = module_header(r, module);
    unsigned lines = 200 + r.below(400);
    // The realistic header block holds about a dozen other lines, so records
    // are drawn a little more often to keep them at about half of all lines.
    for (unsigned i = 0; i < lines; ++i) {
        bool record = r.percent(shape.record_percent);
        std::string line = record ? shape.record(r) : shape.other(r);
        if (part == Part::all || (part == Part::records) == record) chunk += line;
    }
    return shape.crlf ? to_crlf(chunk) : chunk;
}

int usage(const char *program) {
    std::fprintf(stderr, "usage: %s [--shape SHAPE] [--part all|records|others] OUT_FILE SIZE_IN_BYTES [SEED]\nshapes:",
                 program);
    for (const Shape &shape : shapes) std::fprintf(stderr, " %s", shape.name);
    std::fprintf(stderr, "\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    const Shape *shape = &shapes[0];
    Part part = Part::all;
    int arg = 1;
    for (; arg + 1 < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; arg += 2) {
        const char *value = argv[arg + 1];
        if (std::strcmp(argv[arg], "--shape") == 0) {
            shape = nullptr;
            for (const Shape &s : shapes)
                if (std::strcmp(s.name, value) == 0) shape = &s;
            if (!shape) return usage(argv[0]);
        } else if (std::strcmp(argv[arg], "--part") == 0) {
            if (std::strcmp(value, "all") == 0)
                part = Part::all;
            else if (std::strcmp(value, "records") == 0)
                part = Part::records;
            else if (std::strcmp(value, "others") == 0)
                part = Part::others;
            else
                return usage(argv[0]);
        } else {
            return usage(argv[0]);
        }
    }
    if (argc - arg < 2) return usage(argv[0]);
    if ((part == Part::records && shape->record_percent == 0) ||
        (part == Part::others && shape->record_percent == 100 && !shape->module_headers)) {
        std::fprintf(stderr, "%s: shape %s has no such lines\n", argv[0], shape->name);
        return 2;
    }
    const char *path = argv[arg];
    std::uint64_t size = std::strtoull(argv[arg + 1], nullptr, 10);
    Random r{argc > arg + 2 ? std::strtoull(argv[arg + 2], nullptr, 10) : 1};
    std::FILE *out = std::fopen(path, "wb");
    if (!out) {
        std::perror(path);
        return 1;
    }
    std::uint64_t written = 0;
    unsigned module = 0;
    std::string chunk;
    const std::string line_end = shape->crlf ? "\r\n" : "\n";
    while (written < size) {
        chunk = make_block(r, *shape, part, ++module);
        if (written + chunk.size() > size) {
            // Cut at a line end and fill up with one comment line, so the
            // file has the exact size and ends with a line end.
            std::size_t room = static_cast<std::size_t>(size - written);
            std::size_t cut = chunk.rfind('\n', room - 1);
            cut = cut == std::string::npos ? 0 : cut + 1;
            chunk.resize(cut);
            std::size_t left = room - cut;
            if (left >= line_end.size() + 1)
                chunk += ';' + std::string(left - line_end.size() - 1, ' ') + line_end;
            else
                chunk += std::string(left, '\n');
        }
        std::fwrite(chunk.data(), 1, chunk.size(), out);
        written += chunk.size();
    }
    if (std::fclose(out) != 0) {
        std::perror(path);
        return 1;
    }
    return 0;
}
