// What an open stream reads, as far as the library cares: a directory is a
// file it cannot read, and a pipe or a device may hold back bytes for as
// long as its writer likes.
#pragma once

#include <cstdio>

namespace tamrix {

enum class FileKind { other, directory, pipe_or_device };

// `other` also when the system cannot tell.
FileKind file_kind(std::FILE *stream);

}  // namespace tamrix
