// Writes a realistic linker map file of an exact size, the same bytes for
// the same size and seed on every machine:
//
//   gen_map OUT_FILE SIZE_IN_BYTES [SEED]
//
// About half of the lines are symbol records ("head ADDR 01A2H _name");
// the rest are module headers, segment tables, separators, blank and
// indented lines, comments and lines that come close to a record without
// being one. Heads and names have 5 to 40 characters.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// splitmix64: small, fast and identical everywhere.
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
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

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT_FILE SIZE_IN_BYTES [SEED]\n", argv[0]);
        return 2;
    }
    std::uint64_t size = std::strtoull(argv[2], nullptr, 10);
    Random r{argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1};
    std::FILE *out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::uint64_t written = 0;
    unsigned module = 0;
    std::string chunk;
    while (written < size) {
        chunk = module_header(r, ++module);
        unsigned lines = 200 + r.below(400);
        // The header block holds about a dozen other lines, so records are
        // drawn a little more often to keep them at about half of all lines.
        for (unsigned i = 0; i < lines; ++i) chunk += r.percent(52) ? record_line(r) : other_line(r);
        if (written + chunk.size() > size) {
            // Cut at a line end and fill up with one comment line, so the
            // file has the exact size and ends with a line feed.
            std::size_t room = static_cast<std::size_t>(size - written);
            std::size_t cut = chunk.rfind('\n', room - 1);
            cut = cut == std::string::npos ? 0 : cut + 1;
            chunk.resize(cut);
            if (room - cut == 1)
                chunk += '\n';
            else if (room > cut)
                chunk += ';' + std::string(room - cut - 2, ' ') + '\n';
        }
        std::fwrite(chunk.data(), 1, chunk.size(), out);
        written += chunk.size();
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
