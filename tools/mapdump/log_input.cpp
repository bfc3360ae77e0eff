#include "log_input.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace mapdump {
namespace {

constexpr int standard_input = 0;

}  // namespace

int open_log(const char *path) {
#ifdef _WIN32
    // Binary mode: a text-mode read would drop CR bytes and stop at Ctrl-Z.
    if (std::strcmp(path, "-") == 0) return _setmode(standard_input, _O_BINARY) == -1 ? -1 : standard_input;
    return _open(path, _O_RDONLY | _O_BINARY);
#else
    if (std::strcmp(path, "-") == 0) return standard_input;
    int log;
    do log = open(path, O_RDONLY);
    while (log == -1 && errno == EINTR);
    return log;
#endif
}

long read_log(int log, char *buffer, std::size_t size) {
#ifdef _WIN32
    return _read(log, buffer, size > INT_MAX ? INT_MAX : static_cast<unsigned>(size));
#else
    ssize_t got;
    do got = read(log, buffer, size);
    while (got == -1 && errno == EINTR);
    return static_cast<long>(got);
#endif
}

void close_log(int log) {
    if (log == standard_input) return;
#ifdef _WIN32
    _close(log);
#else
    close(log);
#endif
}

bool is_live(std::FILE *stream) {
#ifdef _WIN32
    int descriptor = _fileno(stream);
    struct _stat status;
    return _isatty(descriptor) ||
           (_fstat(descriptor, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFIFO);
#else
    int descriptor = fileno(stream);
    struct stat status;
    return isatty(descriptor) ||
           (fstat(descriptor, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)));
#endif
}

}  // namespace mapdump
