// Output collected in memory and written in large blocks: a million records
// must not cost a million writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace mapdump {

struct OutputBuffer {
    std::FILE *stream;
    std::string pending;
    bool failed = false;
};

void put(OutputBuffer &out, std::string_view text);
void put(OutputBuffer &out, char c);

// Appends `value` as exactly eight upper-case hex digits.
void put_hex8(OutputBuffer &out, std::uint32_t value);
// Appends `value` as "0x" and upper-case hex digits without leading zeros.
void put_hex(OutputBuffer &out, std::uint32_t value);
void put_decimal(OutputBuffer &out, std::uint32_t value);

// Writes what is pending. Returns false if this or an earlier write failed.
bool flush(OutputBuffer &out);

}  // namespace mapdump
