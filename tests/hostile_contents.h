// Files that are no map files: megabytes of NUL, CR or punctuation, words
// and names far past the token limit, every byte from 0x80 up. The hostile
// files test checks what MapParse makes of them; the replay corpus writes
// them out for the Windows DLLs.
#pragma once

#include <cstddef>
#include <string>

namespace hostile_contents {

inline constexpr std::size_t mebibyte = 1 << 20;

inline std::string only_nul_bytes() { return std::string(mebibyte, '\0'); }
inline std::string nul_bytes_and_line_ends() {
    std::string text;
    for (int i = 0; i < 4096; ++i) text += std::string(255, '\0') + "\n";
    return text + "a ADDR 1H x\n";
}
inline std::string ctrl_z_first() { return "\x1A" "a ADDR 1H x\n"; }
inline std::string cr_only() { return std::string(mebibyte, '\r'); }
inline std::string punctuation_line() {
    static const char punctuation[] = "!\"#$%&'()*+,./:;<=>?@[\\]^`{|}~";
    std::string text;
    while (text.size() < mebibyte) text += punctuation;
    return text + "\na ADDR 1H x\n";
}
inline std::string megabyte_word() { return "a ADDR 1H x\n" + std::string(mebibyte, 'w') + "\nb ADDR 2H y\n"; }
inline std::string megabyte_name() { return "\n\na ADDR 1H " + std::string(mebibyte, 'n') + "\n"; }
inline std::string megabyte_of_hyphens() { return "a-" + std::string(mebibyte, '-') + "\n"; }
inline std::string high_bytes_everywhere() {
    std::string high;
    for (int byte = 0x80; byte <= 0xFF; ++byte) high += static_cast<char>(byte);
    std::string text;
    for (int i = 0; i < 4096; ++i) text += high;
    text += "\n"
            "\x80" "a ADDR 1H x\n"             // no line head in column 1
            "b\xA0 ADDR 2H y\xFF\xFE\n"        // skipped before the keyword and after the name
            "c ADDR 3H \xE9z\n"                // skipped before the name
            "d ADDR\xA0" "4H w\n"              // not the keyword's blank
            "e ADDR 5\xB5H v\n"                // splits the address
            + high + high + "\n";
    return text;
}
inline std::string empty() { return ""; }

struct Content {
    const char *name;
    std::string (*make)();
};

inline constexpr Content all[] = {
    {"only_nul_bytes", only_nul_bytes},     {"nul_bytes_and_line_ends", nul_bytes_and_line_ends},
    {"ctrl_z_first", ctrl_z_first},         {"cr_only", cr_only},
    {"punctuation_line", punctuation_line}, {"megabyte_word", megabyte_word},
    {"megabyte_name", megabyte_name},       {"megabyte_of_hyphens", megabyte_of_hyphens},
    {"high_bytes_everywhere", high_bytes_everywhere}, {"empty", empty}};

}  // namespace hostile_contents
