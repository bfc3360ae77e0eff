#include "record_list.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "record_pool.h"

// Hosts read nodes directly, so the layout is part of the interface.
static_assert(offsetof(MapRecord, name) == 0);
static_assert(offsetof(MapRecord, value) == sizeof(void *));
static_assert(offsetof(MapRecord, next) == 2 * sizeof(void *));
// The 32-bit Windows DLL's hosts read 12-byte nodes: name, value, next.
static_assert(sizeof(void *) != 4 ||
              (sizeof(MapRecord) == 12 && offsetof(MapRecord, value) == 4 && offsetof(MapRecord, next) == 8));

namespace tamrix {
namespace {

RecordPool pool;
MapRecord *head = nullptr;
MapRecord *tail = nullptr;
const MapRecord *cursor = nullptr;
std::int32_t count = 0;

}  // namespace

namespace {

// Puts the node, with its name's storage, at the tail.
inline void append(MapRecord *node, char *copy, std::size_t length, std::uint32_t value) {
    copy[length] = '\0';
    node->name = copy;
    node->value = value;
    node->next = nullptr;
    if (head)
        tail->next = node;
    else
        head = node;
    tail = node;
    ++count;
}

// append_record when the newest chunk cannot hold both: two takes, and
// the first given back when the second is refused. Kept apart so that the
// common case saves no registers.
[[gnu::noinline]] char *append_record_in_new_chunk(std::size_t length, std::uint32_t value) {
    PoolMark before = pool_mark(pool);
    auto *node = static_cast<MapRecord *>(pool_take(pool, sizeof(MapRecord), alignof(MapRecord)));
    if (!node) return nullptr;
    auto *copy = static_cast<char *>(pool_take(pool, length + 1, 1));
    if (!copy) {
        pool_rewind(pool, before);
        return nullptr;
    }
    append(node, copy, length, value);
    return copy;
}

}  // namespace

char *append_record(std::size_t length, std::uint32_t value) {
    if (count == INT32_MAX) return nullptr;
    // Mostly the node and its name both fit the newest chunk: one test for
    // the two, the name right behind the node as two takes would put it.
    auto *at = static_cast<unsigned char *>(
        pool_take_from_newest(pool, sizeof(MapRecord) + length + 1, alignof(MapRecord)));
    if (!at) return append_record_in_new_chunk(length, value);
    auto *copy = reinterpret_cast<char *>(at + sizeof(MapRecord));
    append(reinterpret_cast<MapRecord *>(at), copy, length, value);
    return copy;
}

int add_record(const char *name, std::size_t length, std::uint32_t value) {
    char *copy = append_record(length, value);
    if (!copy) return -1;
    std::memcpy(copy, name, length);
    return 0;
}

int AddRecord(const char *name, std::uint32_t value) { return add_record(name, std::strlen(name), value); }

std::int32_t record_count() { return count; }

const MapRecord *record_top() { return head; }

std::int32_t first_record(std::uint32_t *value_out, const char **name_out) {
    cursor = head;
    return next_record(value_out, name_out);
}

std::int32_t next_record(std::uint32_t *value_out, const char **name_out) {
    if (!cursor) return 1;
    if (value_out) *value_out = cursor->value;
    if (name_out) *name_out = cursor->name;
    cursor = cursor->next;
    return 0;
}

void free_all_records() {
    pool_release(pool);
    head = tail = nullptr;
    cursor = nullptr;
    count = 0;
}

}  // namespace tamrix
