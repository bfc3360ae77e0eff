#include "map_input.h"

#include <cerrno>
#include <cstring>

#include "file_kind.h"
#include "target_entries.h"

namespace tamrix {
namespace {

constexpr char ctrl_z = 0x1A;
bool ctrl_z_seen = false;
bool keep_carriage_returns = false;
bool by_character = false;  // the stream may wait for a writer

// A pipe or a device may hold back bytes for as long as its writer likes.
// fread asks for a whole block and would wait for bytes past a Ctrl-Z,
// which the input never uses; a regular file answers at once. Only the
// pace of reading depends on it, not the bytes read.
bool may_wait_for_writer(std::FILE *stream) { return file_kind(stream) == FileKind::pipe_or_device; }

// Applies the text rules to data[0..count) in place, in one pass over it;
// returns the new count. Without CR dropping only a Ctrl-Z is looked for.
std::size_t filter_text(char *data, std::size_t count) {
    return target_entries().filter_bytes(data, count, keep_carriage_returns ? ctrl_z : '\r', ctrl_z, ctrl_z_seen);
}

// getc, without taking the stream's lock for every character where the C
// library allows it: the stream is this parse's own, no other thread has it.
inline int next_character(std::FILE *stream) {
#ifdef _WIN32
    return std::getc(stream);
#else
    return getc_unlocked(stream);
#endif
}

// One character at a time, up to a line feed if `one_line`: nothing is
// asked of the stream past the character that ends the read.
long read_characters(std::FILE *stream, char *buffer, std::size_t wanted, bool one_line) {
    std::size_t got = 0;
    while (got < wanted) {
        errno = 0;
        int c = next_character(stream);
        if (c == EOF) {
            if (!std::ferror(stream)) break;
            if (errno != EINTR) return -1;
            std::clearerr(stream);  // a signal is no read error
            continue;
        }
        if (c == ctrl_z) {
            ctrl_z_seen = true;
            break;
        }
        if (c == '\r' && !keep_carriage_returns) continue;
        buffer[got++] = static_cast<char>(c);
        if (c == '\n' && one_line) break;
    }
    return static_cast<long>(got);
}

// The stream is binary on every platform (see the parse driver), so the C
// runtime hands over the file's bytes and the rules above are the only
// ones applied. msvcrt never reports EINTR: there the retries never run.
long read_block(std::FILE *stream, char *buffer, std::size_t wanted) {
    std::size_t got = 0;
    while (got < wanted && !ctrl_z_seen) {
        errno = 0;
        std::size_t asked = wanted - got;
        std::size_t n = std::fread(buffer + got, 1, asked, stream);
        got += filter_text(buffer + got, n);
        if (n == asked) continue;
        if (!std::ferror(stream)) break;  // end of file
        // A signal may cut a read short after some bytes; an error
        // indicator left standing would fail the read that meets the end.
        if (errno != EINTR) return got > 0 ? static_cast<long>(got) : -1;
        std::clearerr(stream);
    }
    return static_cast<long>(got);
}

}  // namespace

void map_input_reset(std::FILE *stream) {
    ctrl_z_seen = false;
    by_character = may_wait_for_writer(stream);
}

void map_input_keep_carriage_returns(bool keep) { keep_carriage_returns = keep; }

long map_input_read(std::FILE *stream, char *buffer, std::size_t wanted, bool interactive) {
    if (ctrl_z_seen) return 0;
    if (interactive || by_character) return read_characters(stream, buffer, wanted, interactive);
    return read_block(stream, buffer, wanted);
}

}  // namespace tamrix
