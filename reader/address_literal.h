// Address literals: hex digits with a "0X" prefix (0x1A2B) or an "H"
// suffix (1A2Bh), converted to a 32-bit value.
#pragma once

#include <cstdint>

namespace tamrix {

enum : int {
    CONV_OK = 0,
    CONV_ERR_LENGTH = 0x1001,  // 256+ characters, or no digit beside the prefix/suffix
    CONV_ERR_FORMAT = 0x1002,  // neither form, or a non-digit in the digit part
    CONV_ERR_RANGE = 0x1003,   // more than eight digits
};

// Converts `text` (at most 255 characters, surrounding white space allowed,
// either case). Writes `value` only when the result is CONV_OK; `text` is
// never modified.
int ConvertHexAddress(const char *text, std::uint32_t &value);

// In-place helpers on a text of at most 255 characters; a longer text is
// left unchanged and gives CONV_ERR_LENGTH. Otherwise they return 0.
int NormalizeText(char *text);  // TrimLeft, TrimRight, UppercaseText
int TrimLeft(char *text);
int TrimRight(char *text);
int UppercaseText(char *text);

}  // namespace tamrix
