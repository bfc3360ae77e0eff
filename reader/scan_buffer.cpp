// The scanner's state and its buffer: what stays the same whichever target
// runs the scanner (map_scanner-inl.h). The buffering is flex's, because
// it is visible through the token limit: a 16384-character buffer, refills
// of 8192 characters, an unfinished match moved to the front before a
// refill.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "heap.h"
#include "map_input.h"
#include "map_reader.h"
#include "map_tokens.h"
#include "scan_buffer.h"

char yytext[YYLMAX];
int yyleng = 0;
std::uint64_t yylineno = 1;
MapTokenValue yylval;
std::uint32_t tamrix::current_address = 0;
bool tamrix::record_refused = false;
std::uint64_t tamrix::first_line_number = 1;

namespace tamrix::scanning {

ScanBuffer *buffer = nullptr;
int start_condition = INITIAL;
char symbol_name[YYLMAX];
const char *held_end = nullptr;
const char *scan_position = nullptr;
const char *line_feed = nullptr;
const char *token_start = "";
std::size_t token_length = 0;

}  // namespace tamrix::scanning

using namespace tamrix::scanning;

namespace {

// msvcrt's _isatty is true for every character device (NUL, a port), not
// only a console: such a stream is then read a line at a time, which
// changes the reads but not the bytes.
bool is_terminal(std::FILE *stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) > 0;
#endif
}

ScanBuffer *yy_create_buffer(std::size_t size) {
    auto *created = static_cast<ScanBuffer *>(tamrix::heap_alloc(sizeof(ScanBuffer)));
    if (!created) tamrix::scanner_fatal("out of dynamic memory in yy_create_buffer()");
    created->chars = static_cast<char *>(tamrix::heap_alloc(size + 2));
    if (!created->chars) {
        tamrix::heap_free(created);
        tamrix::scanner_fatal("out of dynamic memory in yy_create_buffer()");
    }
    return created;
}

}  // namespace

void tamrix::scanning::token_too_large() { tamrix::scanner_fatal("token too large, exceeds YYLMAX"); }

[[noreturn]] void tamrix::scanner_fatal(const char *message) { throw ScannerFatal{message}; }

void tamrix::scanning::set_up_buffer(std::FILE *stream) {
    buffer->stream = stream;
    buffer->held = 0;
    held_end = buffer->chars;
    buffer->chars[0] = buffer->chars[1] = '\0';
    buffer->interactive = is_terminal(stream);
    buffer->at_line_start = true;
    buffer->end_of_file_pending = false;
    scan_position = buffer->chars;
    line_feed = nullptr;
}

std::size_t tamrix::scanning::refill(const char *keep) {
    char *chars = buffer->chars;
    std::size_t moved = static_cast<std::size_t>(chars + buffer->held - keep);
    std::memmove(chars, keep, moved);
    line_feed = nullptr;
    std::size_t got = 0;
    if (!buffer->end_of_file_pending) {
        std::size_t room = buffer_size - moved - 1;
        long n = tamrix::map_input_read(buffer->stream, chars + moved, room < read_size ? room : read_size,
                                        buffer->interactive);
        if (n < 0) tamrix::scanner_fatal("input in flex scanner failed");
        got = static_cast<std::size_t>(n);
        if (got == 0 && moved > 0) buffer->end_of_file_pending = true;
    }
    buffer->held = moved + got;
    held_end = chars + buffer->held;
    chars[buffer->held] = chars[buffer->held + 1] = '\0';
    return got;
}


void tamrix::scanning::keep_token_text() {
    std::memcpy(yytext, token_start, token_length);
    yytext[token_length] = '\0';
    yyleng = static_cast<int>(token_length);
}

void yy_reset_input(std::FILE *stream) {
    // Counted from 1 before anything can fail, so that a refused buffer
    // is reported at line 1 of this file, not at the last line of another.
    yylineno = tamrix::first_line_number;
    start_condition = INITIAL;
    if (!buffer) buffer = yy_create_buffer(buffer_size);
    tamrix::map_input_reset(stream);
    set_up_buffer(stream);
}

int yy_start_condition() { return start_condition; }

int yylex_destroy() {
    if (buffer) {
        tamrix::heap_free(buffer->chars);
        tamrix::heap_free(buffer);
        buffer = nullptr;
        held_end = nullptr;
    }
    return 0;
}

