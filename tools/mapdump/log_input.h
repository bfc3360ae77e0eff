// The logs mapdump annotate reads, and the test whether its output is
// watched live. Logs are read with the system's own reads, which return
// what a pipe holds at the moment instead of waiting for a full block as
// fread does: that is what lets lines stream through.
#pragma once

#include <cstddef>
#include <cstdio>

namespace mapdump {

// Opens `path` for reading bytes as they are ("-" is standard input).
// Returns a descriptor, or -1 with errno set.
int open_log(const char *path);

// Reads at most `size` bytes, waiting only until some are there. Returns
// how many, 0 at the end of the log, -1 with errno set on an error.
long read_log(int log, char *buffer, std::size_t size);

// Closes a log that open_log opened; standard input stays open.
void close_log(int log);

// True when `stream` is a terminal or a pipe, where a reader waits for
// each line; false for a file.
bool is_live(std::FILE *stream);

}  // namespace mapdump
