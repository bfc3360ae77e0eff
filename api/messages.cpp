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
    // Some C runtimes leave a cut text unterminated.
    message_buffer[sizeof message_buffer - 1] = '\0';
}

const char *version_text() { return version; }

}  // namespace tamrix
