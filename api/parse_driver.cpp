#include "parse_driver.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "map_reader.h"
#include "messages.h"

namespace tamrix {
namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// fopen succeeds on a directory on POSIX systems; reading it would then
// fail half-way, so treat it as a file that cannot be opened. (msvcrt
// refuses to open a directory in the first place.)
bool is_directory(std::FILE *file) {
    struct stat info;
    return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

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
    try {
        yy_reset_input(file.get());
        if (yyparse() == 0) return 0;
        // Written before the file closes: the line and text are those at
        // the moment the parser gave up.
        if (record_refused)  // its line end is counted: the record stood one line up
            set_error_message("%s:%s: out of dynamic memory in AddRecord()\n", path, LineText(yylineno - 1).digits);
        else
            set_error_message("%s:%s: syntax error. \"%s\" is invalid.\n", path, LineText(yylineno).digits, yytext);
    } catch (const ScannerFatal &fatal) {
        set_error_message("%s:%s: %s\n", path, LineText(yylineno).digits, fatal.message);
    } catch (...) {
        set_error_message("%s:%s: unexpected failure\n", path, LineText(yylineno).digits);
    }
    return -1;
}

}  // namespace tamrix
