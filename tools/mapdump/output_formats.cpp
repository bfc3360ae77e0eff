#include "output_formats.h"

#include <cstddef>
#include <cstdint>

namespace mapdump {
namespace {

constexpr char hex_digits[] = "0123456789abcdef";

bool in(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when
// there is none there: no overlong forms, no surrogates, nothing above
// U+10FFFF.
std::size_t utf8_sequence_length(std::string_view text) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(0);
    std::size_t length;
    unsigned char second_low = 0x80, second_high = 0xBF;
    if (in(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (in(lead, 0xE0, 0xEF)) {
        length = 3;
        if (lead == 0xE0) second_low = 0xA0;
        if (lead == 0xED) second_high = 0x9F;
    } else if (in(lead, 0xF0, 0xF4)) {
        length = 4;
        if (lead == 0xF0) second_low = 0x90;
        if (lead == 0xF4) second_high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || !in(byte(1), second_low, second_high)) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!in(byte(i), 0x80, 0xBF)) return 0;
    return length;
}

// The characters that JSON escapes with a backslash and one more character.
const char *short_escape(unsigned char c) {
    static constexpr struct {
        unsigned char c;
        const char *escape;
    } escapes[] = {{'"', "\\\""}, {'\\', "\\\\"}, {'\b', "\\b"}, {'\f', "\\f"},
                   {'\n', "\\n"}, {'\r', "\\r"},  {'\t', "\\t"}};
    for (const auto &entry : escapes)
        if (entry.c == c) return entry.escape;
    return nullptr;
}

void put_unicode_escape(OutputBuffer &out, unsigned char c) {
    char escape[] = {'\\', 'u', '0', '0', hex_digits[c >> 4], hex_digits[c & 0xF]};
    put(out, std::string_view(escape, sizeof escape));
}

void write_text(OutputBuffer &out, const std::vector<std::string> &files,
                const std::vector<SymbolRecord> &records) {
    bool name_files = files.size() > 1;
    for (const SymbolRecord &record : records) {
        if (name_files) {
            put(out, files[record.file]);
            put(out, ':');
        }
        put_hex8(out, record.address);
        put(out, ' ');
        put(out, record.name);
        put(out, '\n');
    }
}

void write_csv(OutputBuffer &out, const std::vector<std::string> &files,
               const std::vector<SymbolRecord> &records) {
    put(out, "file,name,address\r\n");
    for (const SymbolRecord &record : records) {
        put_csv_field(out, files[record.file]);
        put(out, ',');
        put_csv_field(out, record.name);
        put(out, ",0x");
        put_hex8(out, record.address);
        put(out, "\r\n");
    }
}

void write_json(OutputBuffer &out, const std::vector<std::string> &files,
                const std::vector<SymbolRecord> &records) {
    put(out, '[');
    const char *separator = "\n";
    for (const SymbolRecord &record : records) {
        put(out, separator);
        put(out, "{\"file\": ");
        put_json_string(out, files[record.file]);
        put(out, ", \"name\": ");
        put_json_string(out, record.name);
        put(out, ", \"address\": ");
        put_decimal(out, record.address);
        put(out, '}');
        separator = ",\n";
    }
    put(out, records.empty() ? "]\n" : "\n]\n");
}

}  // namespace

void write_records(OutputBuffer &out, OutputFormat format, const std::vector<std::string> &files,
                   const std::vector<SymbolRecord> &records) {
    switch (format) {
        case OutputFormat::text:
            write_text(out, files, records);
            break;
        case OutputFormat::csv:
            write_csv(out, files, records);
            break;
        case OutputFormat::json:
            write_json(out, files, records);
            break;
        case OutputFormat::elf:
            break;  // needs the machine: elf_symbol_file
    }
}

void put_json_string(OutputBuffer &out, std::string_view text) {
    put(out, '"');
    std::size_t i = 0;
    while (i < text.size()) {
        // Printable ASCII other than the quote and the backslash goes out in runs.
        std::size_t plain = i;
        while (plain < text.size() && text[plain] >= 0x20 && text[plain] < 0x7F && text[plain] != '"' &&
               text[plain] != '\\')
            ++plain;
        if (plain > i) {
            put(out, text.substr(i, plain - i));
            i = plain;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            std::size_t length = utf8_sequence_length(text.substr(i));
            if (length == 0) {
                put_unicode_escape(out, c);
                length = 1;
            } else {
                put(out, text.substr(i, length));
            }
            i += length;
            continue;
        }
        // What is left here is a control character, DEL, the quote or the backslash.
        if (const char *escape = short_escape(c))
            put(out, escape);
        else
            put_unicode_escape(out, c);
        ++i;
    }
    put(out, '"');
}

void put_csv_field(OutputBuffer &out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        put(out, text);
        return;
    }
    put(out, '"');
    for (char c : text) {
        if (c == '"') put(out, '"');
        put(out, c);
    }
    put(out, '"');
}

}  // namespace mapdump
