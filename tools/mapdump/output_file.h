// mapdump --output: the dump written to a new file beside the target and
// renamed over it when complete, so that the target is never seen half
// written and a run that fails leaves it as it was.
#pragma once

#include <cstdio>
#include <string>

namespace mapdump {

struct OutputFile {
    std::string target;
    std::string temporary;  // beside the target: the rename stays in one directory
    std::FILE *stream = nullptr;
};

// Creates the temporary file for `target` and opens it for writing bytes.
// Returns the empty text, or what went wrong.
std::string open_output_file(const std::string &target, OutputFile &file);

// Closes the temporary file and renames it over the target. Returns the
// empty text, or what went wrong (the temporary file is removed then).
std::string commit_output_file(OutputFile &file);

// Closes and removes the temporary file.
void discard_output_file(OutputFile &file);

bool is_terminal(std::FILE *stream);

}  // namespace mapdump
