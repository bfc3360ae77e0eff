// The process-wide record list: a chain of MapRecord nodes in the order the
// parser appended them, with a kept tail, a kept count and one read cursor
// shared by every caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tamrix_map.h"

namespace tamrix {

// Appends a record holding its own copy of `name`. Returns 0, or -1 when
// the heap refuses (the list is then unchanged and nothing is held).
int AddRecord(const char *name, std::uint32_t value);
int add_record(const char *name, std::size_t length, std::uint32_t value);

// Appends a record of `value` whose name is `name_length` bytes long, and
// returns the storage of that name: the caller copies the name there
// before anything else reads the list (its terminating zero is written
// already). Returns nullptr when the heap refuses, with the list unchanged.
// The reader copies names with its processor target's own copy.
char *append_record(std::size_t name_length, std::uint32_t value);

std::int32_t record_count();
const MapRecord *record_top();
std::int32_t first_record(std::uint32_t *value_out, const char **name_out);
std::int32_t next_record(std::uint32_t *value_out, const char **name_out);
void free_all_records();

}  // namespace tamrix
