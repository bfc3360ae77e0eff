#include "address_literal.h"

#include <cstddef>
#include <cstring>

namespace tamrix {
namespace {

constexpr std::size_t max_text = 255;

// Fixed byte classes: no locale, and bytes 0x80..0xFF are never white
// space or digits.
bool is_white(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

int hex_digit_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Length, or max_text + 1 for anything longer (without reading further).
std::size_t bounded_length(const char *text) {
    std::size_t n = 0;
    while (n <= max_text && text[n] != '\0') ++n;
    return n;
}

// Checks and converts digits[0..count): non-digit first, then the count
// of digits, as the scan "%8X%X" decides (nine digits fail even when their
// value fits).
int convert_digits(const char *digits, std::size_t count, std::uint32_t &value) {
    for (std::size_t i = 0; i < count; ++i)
        if (hex_digit_value(static_cast<unsigned char>(digits[i])) < 0) return CONV_ERR_FORMAT;
    if (count > 8) return CONV_ERR_RANGE;
    std::uint32_t result = 0;
    for (std::size_t i = 0; i < count; ++i)
        result = (result << 4) | static_cast<std::uint32_t>(hex_digit_value(static_cast<unsigned char>(digits[i])));
    value = result;
    return CONV_OK;
}

}  // namespace

int TrimLeft(char *text) {
    std::size_t n = bounded_length(text);
    if (n > max_text) return CONV_ERR_LENGTH;
    std::size_t first = 0;
    while (first < n && is_white(static_cast<unsigned char>(text[first]))) ++first;
    std::memmove(text, text + first, n - first + 1);
    return 0;
}

int TrimRight(char *text) {
    std::size_t n = bounded_length(text);
    if (n > max_text) return CONV_ERR_LENGTH;
    while (n > 0 && is_white(static_cast<unsigned char>(text[n - 1]))) --n;
    text[n] = '\0';
    return 0;
}

int UppercaseText(char *text) {
    std::size_t n = bounded_length(text);
    if (n > max_text) return CONV_ERR_LENGTH;
    for (std::size_t i = 0; i < n; ++i)
        if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
    return 0;
}

int NormalizeText(char *text) {
    TrimLeft(text);
    TrimRight(text);
    return UppercaseText(text);
}

int ConvertHexAddress(const char *text, std::uint32_t &value) {
    std::size_t length = bounded_length(text);
    if (length > max_text) return CONV_ERR_LENGTH;
    char work[max_text + 1];
    std::memcpy(work, text, length + 1);
    NormalizeText(work);
    std::size_t n = std::strlen(work);

    if (n >= 2 && work[0] == '0' && work[1] == 'X') {
        if (n <= 2) return CONV_ERR_LENGTH;
        return convert_digits(work + 2, n - 2, value);
    }
    if (n == 0 || work[n - 1] != 'H') return CONV_ERR_FORMAT;
    if (n <= 1) return CONV_ERR_LENGTH;
    return convert_digits(work, n - 1, value);
}

}  // namespace tamrix
