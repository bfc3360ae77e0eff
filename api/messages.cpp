#include "messages.h"

#include <cstdarg>
#include <cstdio>

namespace tamrix {
namespace {

char message_buffer[error_message_size];
const char version[] = "tamrix_mal.dll Ver.1.0";

}  // namespace

const char *error_message() { return message_buffer; }

void set_error_message(const char *format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message_buffer, sizeof message_buffer, format, arguments);
    va_end(arguments);
    // msvcrt's _vsnprintf leaves a cut text unterminated. MinGW-w64 links
    // its own C99 vsnprintf into the DLL instead, but the zero costs nothing.
    message_buffer[sizeof message_buffer - 1] = '\0';
}

const char *version_text() { return version; }

}  // namespace tamrix
