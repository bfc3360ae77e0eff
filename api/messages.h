// The error message buffer and the version text, both static.
#pragma once

namespace tamrix {

constexpr int error_message_size = 256;

// The last failure's message, "" until one happens.
const char *error_message();

// Replaces the message; cut to 255 characters and always terminated.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void set_error_message(const char *format, ...);

const char *version_text();

}  // namespace tamrix
