// Map texts that reach every rule of the reader: edge cases, word runs
// around the token limit at the refill boundaries, dense maps and random
// text made of the pieces the rules care about. The differential test
// holds the scanner to the flex oracle on them; the replay corpus writes
// them out, so that the Windows DLLs read the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "splitmix64.h"

namespace map_samples {

using namespace std::string_literals;

struct Random : SplitMix64 {
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
};

// Random text built from the pieces the rules care about.
inline std::string random_input(Random &random, std::size_t pieces, bool long_runs) {
    static const std::vector<std::string> fragments = {
        "ADDR", "ADDR ", "ADDR\t", " ", " ", " ", "\t", "\n", "\n", "\n", "\r\n", "\r", "\f", "\v", "\0"s,
        "-", "_", "H", "h", "0", "7", "F", "a", "x", "Z", "12H", "0ffh", "1234H", "12345H", "name", "_main",
        ".", ":", "?", ";", "\xE9", "\xFF", "ADDRESS", "addr", "A ADDR 1H x\n", "\nB ADDR 2h y"};
    std::string out;
    for (std::size_t i = 0; i < pieces; ++i) {
        std::size_t pick = random.below(fragments.size() + 2);
        if (pick < fragments.size()) {
            out += fragments[pick];
        } else if (long_runs && random.below(pieces / 8 + 1) == 0) {
            // Mostly just under the limit, so that the scan goes on.
            std::size_t length = random.below(8) ? 8180 + random.below(11) : 8191 + random.below(3);
            out += std::string(length, "aB3_-"[random.below(5)]);
        } else {
            out += std::string(1 + random.below(12), "aB3_-"[random.below(5)]);
        }
    }
    if (random.below(50) == 0) out.insert(random.below(out.size() + 1), "\x1A");  // ends the input
    return out;
}

// Edge cases of every rule, read as MapParse reads them.
inline std::vector<std::string> edge_cases() {
    const std::string a8190(8190, 'a'), a8191(8191, 'a'), a8192(8192, 'a');
    return {
        "", "\n", "\r\n", "\r", "\r\r\n", "A", "A\n", "A ADDR 12H x\n", "FOO\tADDR\t0ffh\tx\r\n",
        "  FOO ADDR 1234H x\n", "ABC-1 ADDR 12H x\n", "A ADDRESS 12H x\n", "A addr 12H x\n",
        "A ADDR 12345H x\n", "A ADDR 0x12 x\n", "A ADDR\t\t12H x\n", "A ADDR \n", "A ADDR\f12H x\n",
        "A:ADDR 12H\n", "ADDR ADDR 12H x\n", "A ADDR 12H ?foo.bar\n", "A ADDR 12H foo-bar\n",
        "A ADDR 12H 9foo\n", "A ADDR 12H f\0oo\n"s, "A ADDR 01\0" "0H x\n"s, "A ADDR 12H foo",
        "\nA\n", "A ADDR 12H x\n\nB ADDR 34H y\n", "A\rB ADDR 1H x\n", "A ADDR 12H x\n\x1A" "B ADDR 34H y\n",
        "\xC3\xA9 A\n\xE9X ADDR 1H y\n", "A ADDR", "A ADDR ", "A ADDR 1", "A ADDR 1H", "A ADDR 1H ",
        "A ADDR hH x\n", "A ADDR H x\n", "A ADDR 12h_ x\n", "A ADDR -1H x\n", "A ADDR 1H _\n",
        "A ADDR 1H x y z\n", "A ADDR ADDR 1H x\n", "A ADDR 1H ADDR\n", "A B ADDR 1H x\n", "_ ADDR 1H _\n",
        "9 ADDR 1H x\n", "A-ADDR 1H x\n", "A.ADDR 1H x\n", "A ADDR.1H.x.\n", "A ADDR 1H x\r\r\n",
        "\0A ADDR 1H x\n"s, "A\0 ADDR 1H x\n"s, "A ADDR\0 1H x\n"s, "\x1A", "A\x1A", "A ADDR 1H x\x1A",
        "\v\f\t \n", "A ADDR FFFFh x\n", "A ADDR 0000H x\n", "a ADDR 1H s (data) 12H\n",
        a8190 + "\n", a8191 + "\n", a8192 + "\n", a8191, a8190, a8191 + "\0"s, a8190 + "\0"s,
        "\n" + a8191 + " x\n", "\n" + a8190 + " x\n", "A ADDR 1H " + a8191 + "\n",
        "A ADDR 1H _" + std::string(300, 'n') + "\n", "\n" + std::string(8000, 'a') + " " + std::string(8190, 'b') + "\n",
        std::string(8191, '-') + "\n", std::string(16382, 'z'), std::string(20000, ' ') + "A\n",
        std::string(9000, '.') + a8190 + "\n", "\n" + std::string(8190, '.') + "\r\nA\n",
        "\n" + std::string(8190, '.') + "\r",
        // After a first line the parser's reader passes over lines and takes
        // plain record lines whole; these fall back to the scanner part-way.
        "\n\nA\n  B ADDR 1H x\nC-D ADDR 1H x\nE ADDR 1H x-y z\nF ADDR 1H 9x y\nG ADDR ZZ 1H x\nH ADDR 1H\n",
        "\nA ADDR 12H x\nB:ADDR 3H y;z\nC ADDR 4-5H w\nD ADDR\tFH\tv\r\nE ADDR 6H u", "\nX Y ADDR 7H t\nZ\n\0A ADDR 1H x\n"s,
        "\n" + std::string(8190, 'q') + " ADDR 1H x\nA ADDR 2H y\n", "\nA ADDR 1H " + a8191 + "\nB ADDR 2H y\n",
        "\nA ADDR 9H\nB\n",
        "\nA ADDR 12345H x\nB ADDR 1234H5 y\nC ADDR H z\nD ADDR 0h w\nE ADDR fH-q v\nF ADDR 12H_ u\nG ADDR gH t\n"
        "H ADDR 1H-\nI ADDR AbCdH s\nJ ADDR 1Hx y\nK ADDR 12\0H x\n"s};
}

// Edge cases for CR bytes as they would come from a stream not read as
// text: a CR before LF belongs to the line end, any other CR is skipped on
// its own, also where a refill falls between CR and LF.
inline std::vector<std::string> carriage_return_cases() {
    return {
        "\r\n", "\r", "\r\r\n", "A\r\n", "A ADDR\r\n", "A ADDR 1H\r\n", "A ADDR 1H x\r\n",
        "A ADDR 1H x\r\r\n", "A\rB ADDR 1H x\n", "A ADDR\r1H x\n", "A ADDR 1H\rx\n", "\rA\n",
        "\n" + std::string(8190, '.') + "\r\nA\n", "\n" + std::string(8190, '.') + "\r",
        "A ADDR 1H x" + std::string(8180, ' ') + "\r\n", "\n" + std::string(8191, '\r') + "\n",
        "\nA ADDR 1H x\r\nB\rC ADDR 2H y\r\nD ADDR 3H\rz\r\n"};
}

inline std::string with_crlf(const std::string &text) {
    std::string with_cr;
    for (char c : text) with_cr += c == '\n' ? "\r\n" : std::string(1, c);
    return with_cr;
}

// Calls visit(text) for each word run of 8189 to 8193 characters whose
// last character falls two before to two after the end of the first or
// second refill, in every start condition, followed by a blank, a line
// feed, a NUL or nothing; with LF and CR LF line ends before it. Returns
// the count.
template <typename Visit>
std::size_t runs_at_refill_boundaries(Visit visit) {
    const std::vector<std::string> before_run = {"", "A ", "A ADDR ", "A ADDR 1H ", "A ADDR 1H x ", "  "};
    const std::vector<std::string> after_run = {" x\n", "\n", "\0\n"s, ""};
    const std::string filler_line = "f ADDR 1H y\n";
    std::size_t cases = 0;
    for (bool crlf : {false, true})
        for (std::size_t refill = 1; refill <= 2; ++refill)
            for (std::size_t length = 8189; length <= 8193; ++length)
                for (int shift = -2; shift <= 2; ++shift)
                    for (const std::string &before : before_run)
                        for (const std::string &after : after_run) {
                            // The run ends (exclusive) at refill * 8192 + shift in the
                            // filtered text; a filler of whole lines comes first.
                            long run_start = static_cast<long>(refill * 8192) + shift - static_cast<long>(length);
                            long filler = run_start - static_cast<long>(before.size());
                            if (filler < 0) continue;
                            std::string text;
                            while (text.size() + 1 < static_cast<std::size_t>(filler)) text += filler_line;
                            text.resize(filler > 0 ? static_cast<std::size_t>(filler - 1) : 0);
                            if (filler > 0) text += '\n';
                            if (crlf) text = with_crlf(text);  // CR bytes vanish before the buffer fills
                            char letter = "aZ7_-"[cases % 5];
                            visit(text + before + std::string(length, letter) + after);
                            ++cases;
                        }
    return cases;
}

// Record lines after record lines across many refills, as the parser's
// token source takes them whole: one-character heads, short and 255- to
// 300-character names, tabs, near misses; every third without its last
// line end, every third with CR LF line ends.
inline std::string dense_map(Random &random, int round) {
    static const char *const gaps[] = {" ", " ", " ", "\t", "  ", ":", " \f"};
    std::string text;
    while (text.size() < 40000) {
        std::size_t name_length = random.below(40) ? 2 + random.below(8) : 250 + random.below(50);
        text += std::string(1 + random.below(3) / 2, "aZ_"[random.below(3)]) + gaps[random.below(7)] +
                (random.below(30) ? "ADDR" : "ADDRX") + gaps[random.below(7) % 4] +
                std::string(1 + random.below(5), "0F9a"[random.below(4)]) + "hH"[random.below(2)] +
                gaps[random.below(7)] + std::string(name_length, "nQ_7"[random.below(4)]) +
                (random.below(20) ? "" : " rest") + "\n";
    }
    if (round % 3 == 1) text.pop_back();
    if (round % 3 == 2) text = with_crlf(text);
    return text;
}

}  // namespace map_samples
