// The work behind MapParse: open the file, run the parser over it, close
// it, and leave a message when anything fails.
#pragma once

#include <cstdint>

namespace tamrix {

// Returns 0, or -1 with the error message set. Never throws.
std::int32_t run_map_parse(const char *path) noexcept;

}  // namespace tamrix
