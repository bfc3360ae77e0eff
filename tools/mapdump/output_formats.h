// The three ways mapdump prints records: text (like nm), CSV and JSON.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "output_buffer.h"
#include "symbol_records.h"

namespace mapdump {

// elf is written by elf_symbol_file (elf_symbol_file.h).
enum class OutputFormat { text, csv, json, elf };

// text: "0000ABCD name" a line; with `files` holding more than one path,
//       each line starts with "PATH:", as nm -A does.
// csv:  RFC 4180 with CRLF line ends and the header file,name,address;
//       the address as 0x and eight hex digits.
// json: one array of {"file": PATH, "name": NAME, "address": NUMBER},
//       one object a line.
// elf is not written here, as it needs a machine: see elf_symbol_file.
void write_records(OutputBuffer &out, OutputFormat format, const std::vector<std::string> &files,
                   const std::vector<SymbolRecord> &records);

// Appends `text` as a JSON string, quotes included. Paths and names are
// 8-bit text of no declared encoding: valid UTF-8 sequences are kept as
// they are, control characters, the quote, the backslash and DEL are
// escaped, and every other byte of 0x80 or above is written as \u00XX,
// that is, read as Latin-1. Any input gives valid JSON.
void put_json_string(OutputBuffer &out, std::string_view text);

// Appends `text` as one CSV field, quoted (with quotes doubled) when it
// holds a comma, a quote, CR or LF.
void put_csv_field(OutputBuffer &out, std::string_view text);

}  // namespace mapdump
