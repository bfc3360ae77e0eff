// What must hold after any MapParse, whatever the file held. A failed check
// aborts, so that libFuzzer keeps the input that broke it.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tamrix_map.h"

#define FUZZ_CHECK(condition)                                                           \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

namespace fuzz {

struct Record {
    std::string name;
    std::uint32_t value;
    bool operator==(const Record &) const = default;
};

// MapParse takes a path: every input goes into one file in memory, named
// through /proc, so that nothing is left behind on disk.
inline int map_descriptor() {
    static const int descriptor = memfd_create("map", 0);
    FUZZ_CHECK(descriptor >= 0);
    return descriptor;
}

inline const char *map_path() {
    static const std::string path = "/proc/self/fd/" + std::to_string(map_descriptor());
    return path.c_str();
}

inline void write_map_file(const std::uint8_t *data, std::size_t size) {
    FUZZ_CHECK(ftruncate(map_descriptor(), 0) == 0);
    for (std::size_t done = 0; done < size;) {
        ssize_t n = pwrite(map_descriptor(), data + done, size - done, static_cast<off_t>(done));
        FUZZ_CHECK(n > 0);
        done += static_cast<std::size_t>(n);
    }
}

inline bool is_letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool is_name_start(unsigned char c) { return c == '_' || is_letter(c); }
inline bool is_name_char(unsigned char c) { return is_name_start(c) || is_digit(c); }
inline bool is_word_char(unsigned char c) { return c == '-' || is_name_char(c); }

inline bool is_name(const std::string &text) {
    if (text.empty() || !is_name_start(static_cast<unsigned char>(text[0]))) return false;
    for (char c : text)
        if (!is_name_char(static_cast<unsigned char>(c))) return false;
    return true;
}

// The walk, the chain from GetRecordTop and the count agree, and every
// record is a name with an address of at most four hex digits.
inline std::vector<Record> checked_records() {
    std::vector<Record> walked;
    std::uint32_t value;
    const char *name;
    for (int more = GetFirstRecord(&value, &name); more == 0; more = GetNextRecord(&value, &name)) {
        FUZZ_CHECK(more == 0);
        walked.push_back({name, value});
    }
    std::size_t chained = 0;
    for (const MapRecord *node = GetRecordTop(); node; node = node->next, ++chained) {
        FUZZ_CHECK(chained < walked.size());
        FUZZ_CHECK(node->name == walked[chained].name);
        FUZZ_CHECK(node->value == walked[chained].value);
    }
    FUZZ_CHECK(chained == walked.size());
    FUZZ_CHECK(GetRecordCount() == static_cast<std::int32_t>(walked.size()));
    for (const Record &record : walked) {
        FUZZ_CHECK(is_name(record.name));
        FUZZ_CHECK(record.value <= 0xFFFF);
    }
    return walked;
}

inline std::string checked_message() {
    const char *message = GetErrorMessage();
    FUZZ_CHECK(std::memchr(message, '\0', 256) != nullptr);
    return message;
}

// What MapParse must make of a file, from the documented rules alone: the
// text rules (CR dropped, Ctrl-Z ends the input), then a file fails when it
// holds no line feed, or when its last line begins with a line head (a
// name in column 1 that does not run on into a hyphen) and has no line
// feed. A run of word characters of 8192 or more is an error of its own;
// one of exactly 8191 is one only where it meets the end of the buffered
// data, which depends on where the reads fall.
struct Expected {
    int result;
    int error_line;       // of the syntax error
    bool may_be_too_long; // a run of 8191
    bool must_be_too_long;
};

inline Expected expected_outcome(const std::uint8_t *data, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size && data[i] != 0x1A; ++i)
        if (data[i] != '\r') text += static_cast<char>(data[i]);

    std::size_t longest_run = 0, run = 0;
    int line_feeds = 0;
    for (char c : text) {
        run = is_word_char(static_cast<unsigned char>(c)) ? run + 1 : 0;
        if (run > longest_run) longest_run = run;
        if (c == '\n') ++line_feeds;
    }
    Expected expected{0, line_feeds + 1, longest_run >= 8191, longest_run >= 8192};

    std::size_t last_line = text.rfind('\n');
    last_line = last_line == std::string::npos ? 0 : last_line + 1;
    bool line_head = false;
    if (last_line < text.size()) {
        std::size_t end = last_line;
        if (is_name_start(static_cast<unsigned char>(text[end]))) {
            while (end < text.size() && is_name_char(static_cast<unsigned char>(text[end]))) ++end;
            line_head = end == text.size() || text[end] != '-';
        }
    }
    if (line_feeds == 0 || line_head) expected.result = -1;
    return expected;
}

inline bool starts_with(const std::string &text, const std::string &prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

inline bool ends_with(const std::string &text, const std::string &suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "PATH:LINE: " followed by `tail`, with LINE a decimal number.
inline bool is_located_message(const std::string &message, const std::string &tail) {
    std::string head = std::string(map_path()) + ":";
    if (!starts_with(message, head) || !ends_with(message, ": " + tail)) return false;
    std::size_t digits_end = message.size() - tail.size() - 2;
    if (digits_end <= head.size()) return false;
    for (std::size_t i = head.size(); i < digits_end; ++i)
        if (!is_digit(static_cast<unsigned char>(message[i]))) return false;
    return true;
}

inline std::string syntax_error_message(int line) {
    return std::string(map_path()) + ":" + std::to_string(line) + ": syntax error. \"\" is invalid.\n";
}

// Checks result and message of one MapParse of `data` (no allocation
// refused). `message_before` is the message as it stood before the call.
inline void check_outcome(const std::uint8_t *data, std::size_t size, int result,
                          const std::string &message_before) {
    std::string message = checked_message();
    FUZZ_CHECK(result == 0 || result == -1);
    Expected expected = expected_outcome(data, size);
    bool too_long = result == -1 && is_located_message(message, "token too large, exceeds YYLMAX\n");
    if (expected.must_be_too_long) FUZZ_CHECK(too_long);
    if (too_long) {
        FUZZ_CHECK(expected.may_be_too_long);
        return;
    }
    FUZZ_CHECK(result == expected.result);
    if (result == 0)
        FUZZ_CHECK(message == message_before);
    else
        FUZZ_CHECK(message == syntax_error_message(expected.error_line));
}

}  // namespace fuzz
