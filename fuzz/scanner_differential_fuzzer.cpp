// libFuzzer target: the library's scanner against the flex oracle, token by
// token (code, text, value, line count, start condition, fatal message),
// and the library's parse against the grammar model on the oracle (result,
// line, text, records). Aborts on the first difference.
//
// An input is taken byte for byte, except that 0xFF followed by two bytes
// hi, lo stands for a run of (hi * 256 + lo) % 16400 copies of one of
// "aZ7_-", so that short inputs reach the token limit and the refills.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scanner_differential.h"

namespace {

constexpr std::size_t longest_input = 1 << 17;

std::string expand(const std::uint8_t *data, std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size && bytes.size() < longest_input; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            std::size_t length = (static_cast<std::size_t>(data[i + 1]) << 8 | data[i + 2]) % 16400;
            bytes.append(length, "aZ7_-"[data[i + 2] % 5]);
            i += 2;
        } else {
            bytes += static_cast<char>(data[i]);
        }
    }
    return bytes;
}

std::string scan_bytes(const scanner_differential::Scanner &scanner, std::string &bytes, bool parse) {
    std::FILE *stream = bytes.empty() ? std::fopen("/dev/null", "r") : fmemopen(bytes.data(), bytes.size(), "r");
    if (!stream) std::abort();
    std::string out = parse ? scanner_differential::parse_stream(scanner, stream)
                            : scanner_differential::scan_stream(scanner, stream);
    std::fclose(stream);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string bytes = expand(data, size);
    for (bool parse : {false, true}) {
        std::string expected = scan_bytes(scanner_differential::oracle, bytes, parse);
        std::string actual = scan_bytes(scanner_differential::library, bytes, parse);
        if (expected != actual) {
            std::fprintf(stderr, "%s differ on %zu bytes\n--- flex\n%s--- library\n%s",
                         parse ? "parses" : "scanners", bytes.size(), expected.c_str(), actual.c_str());
            std::abort();
        }
    }
    return 0;
}
