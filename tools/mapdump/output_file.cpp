#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace mapdump {
namespace {

constexpr int attempts = 100;  // names tried before giving up on a crowded directory

std::string failure(const std::string &path) { return path + ": " + std::strerror(errno); }

long process_id() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<long>(getpid());
#endif
}

// A new file that nothing else has open, or -1 with errno set (EEXIST when
// the name is taken).
int create_new(const std::string &path) {
#ifdef _WIN32
    return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

std::FILE *stream_of(int descriptor) {
#ifdef _WIN32
    return _fdopen(descriptor, "wb");
#else
    return fdopen(descriptor, "wb");
#endif
}

void close_descriptor(int descriptor) {
#ifdef _WIN32
    _close(descriptor);
#else
    close(descriptor);
#endif
}

// Replaces `target` by `temporary`. Returns the empty text or what went wrong.
std::string replace(const std::string &temporary, const std::string &target) {
#ifdef _WIN32
    // rename() refuses an existing target on Windows.
    if (MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return "";
    return target + ": cannot be replaced (Windows error " + std::to_string(GetLastError()) + ")";
#else
    if (std::rename(temporary.c_str(), target.c_str()) == 0) return "";
    return failure(target);
#endif
}

}  // namespace

std::string open_output_file(const std::string &target, OutputFile &file) {
    file.target = target;
    std::string prefix = target + '.' + std::to_string(process_id()) + '-';
    for (int attempt = 0; attempt < attempts; ++attempt) {
        file.temporary = prefix + std::to_string(attempt) + ".tmp";
        int descriptor = create_new(file.temporary);
        if (descriptor == -1 && errno == EEXIST) continue;
        // Named by the target: the temporary file is no name the user gave.
        if (descriptor == -1) return failure(target);
        file.stream = stream_of(descriptor);
        if (file.stream) return "";
        std::string problem = failure(target);
        close_descriptor(descriptor);
        std::remove(file.temporary.c_str());
        return problem;
    }
    return failure(target);
}

std::string commit_output_file(OutputFile &file) {
    bool closed = std::fclose(file.stream) == 0;
    file.stream = nullptr;
    std::string problem = closed ? replace(file.temporary, file.target) : failure(file.target);
    if (!problem.empty()) std::remove(file.temporary.c_str());
    return problem;
}

void discard_output_file(OutputFile &file) {
    if (file.stream) std::fclose(file.stream);
    file.stream = nullptr;
    std::remove(file.temporary.c_str());
}

bool is_terminal(std::FILE *stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

}  // namespace mapdump
