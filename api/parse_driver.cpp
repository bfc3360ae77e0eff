#include "parse_driver.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "file_kind.h"
#include "messages.h"
#include "reader.h"

namespace tamrix {
namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// fopen succeeds on a directory on POSIX systems; reading it would then
// fail half-way, so treat it as a file that cannot be opened. (msvcrt
// refuses to open a directory in the first place.)
bool is_directory(std::FILE *file) { return file_kind(file) == FileKind::directory; }

// Binary on every platform: the text rules (CR bytes dropped, Ctrl-Z ends
// the input) are map_input.cpp's alone. A C runtime's text mode has rules
// of its own: msvcrt's hands over bytes behind a Ctrl-Z after a short read.
// A signal that interrupts the open, of a FIFO waiting for its writer say,
// is no reason to give up on the file (msvcrt never reports EINTR).
std::FILE *open_map_file(const char *path) {
    std::FILE *file;
    do {
        errno = 0;
        file = std::fopen(path, "rb");
    } while (!file && errno == EINTR);
    return file;
}

// A line number in decimal, for a %s: the counter is 64 bits wide, and not
// every C runtime a DLL may meet prints those with the same conversion.
struct LineText {
    char digits[24];
    explicit LineText(std::uint64_t line) { *std::to_chars(digits, digits + sizeof digits - 1, line).ptr = '\0'; }
};

}  // namespace

std::int32_t run_map_parse(const char *path) noexcept {
    OpenFile file(path ? open_map_file(path) : nullptr);
    if (!file || is_directory(file.get())) {
        set_error_message("can't open file %s\n", path ? path : "(null)");
        return -1;
    }
    // The message is written before the file closes.
    reader::ParseOutcome outcome = reader::parse(file.get());
    LineText line(outcome.line);
    switch (outcome.status) {
    case reader::ParseStatus::parsed:
        return 0;
    case reader::ParseStatus::syntax_error:
        set_error_message("%s:%s: syntax error. \"%s\" is invalid.\n", path, line.digits, outcome.text);
        break;
    case reader::ParseStatus::record_refused:
        set_error_message("%s:%s: out of dynamic memory in AddRecord()\n", path, line.digits);
        break;
    case reader::ParseStatus::fatal:
        set_error_message("%s:%s: %s\n", path, line.digits, outcome.fatal_message);
        break;
    }
    return -1;
}

}  // namespace tamrix
