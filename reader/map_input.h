// The byte source under the scanner. It reads a map file as text the same
// way on every platform: CR bytes are dropped and the first Ctrl-Z (0x1A)
// ends the input for good. Every other byte passes unchanged.
#pragma once

#include <cstddef>
#include <cstdio>

namespace tamrix {

// Starts on `stream`: forgets a Ctrl-Z met in an earlier input and notes
// whether the stream is a pipe or a device.
void map_input_reset(std::FILE *stream);

// For tests of the scanner: with `keep`, CR bytes reach it as they stand
// in the stream, as they would from a stream not read as text.
void map_input_keep_carriage_returns(bool keep);

// Fills `buffer` with up to `wanted` bytes of text. A block read delivers
// the full count unless the input ends first; an interactive read stops
// after a line feed. From a pipe or a device a block is read one character
// at a time, so that nothing past a Ctrl-Z is asked for: its writer may
// keep its end open. Returns the count (0 at the end), or -1 on a read
// error.
long map_input_read(std::FILE *stream, char *buffer, std::size_t wanted, bool interactive);

}  // namespace tamrix
