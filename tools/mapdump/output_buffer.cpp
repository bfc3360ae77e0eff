#include "output_buffer.h"

namespace mapdump {
namespace {

constexpr std::size_t flush_threshold = 1 << 16;
constexpr char hex_digits[] = "0123456789ABCDEF";

void flush_if_full(OutputBuffer &out) {
    if (out.pending.size() >= flush_threshold) flush(out);
}

}  // namespace

void put(OutputBuffer &out, std::string_view text) {
    out.pending.append(text);
    flush_if_full(out);
}

void put(OutputBuffer &out, char c) {
    out.pending.push_back(c);
    flush_if_full(out);
}

void put_hex8(OutputBuffer &out, std::uint32_t value) {
    char digits[8];
    for (int i = 7; i >= 0; --i, value >>= 4) digits[i] = hex_digits[value & 0xF];
    put(out, std::string_view(digits, sizeof digits));
}

void put_hex(OutputBuffer &out, std::uint32_t value) {
    char digits[10];
    int first = sizeof digits;
    do {
        digits[--first] = hex_digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    digits[--first] = 'x';
    digits[--first] = '0';
    put(out, std::string_view(digits + first, sizeof digits - first));
}

void put_decimal(OutputBuffer &out, std::uint32_t value) {
    char digits[10];
    int first = sizeof digits;
    do {
        digits[--first] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    put(out, std::string_view(digits + first, sizeof digits - first));
}

bool flush(OutputBuffer &out) {
    if (!out.pending.empty() && !out.failed) {
        if (std::fwrite(out.pending.data(), 1, out.pending.size(), out.stream) != out.pending.size())
            out.failed = true;
    }
    out.pending.clear();
    if (!out.failed && std::fflush(out.stream) != 0) out.failed = true;
    return !out.failed;
}

}  // namespace mapdump
