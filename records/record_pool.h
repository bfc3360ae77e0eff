// Bump storage for record nodes and name copies: large chunks from the
// heap instead of two small heap blocks per record, released all at once.
#pragma once

#include <cstddef>

namespace tamrix {

struct PoolChunk {
    PoolChunk *previous;
    std::size_t capacity;
    std::size_t used;
};

struct RecordPool {
    PoolChunk *newest = nullptr;
    std::size_t chunk_bytes = 0;  // the storage of all chunks
};

// Where the pool stood; pool_rewind returns to it.
struct PoolMark {
    PoolChunk *chunk;
    std::size_t used;
};

// Size of a fresh chunk; larger requests get a chunk of their own size.
// Tests shrink it so that every record needs a new chunk.
extern std::size_t pool_chunk_bytes;
// Once the pool holds this much, fresh chunks are bulk blocks
// (heap_alloc_bulk): a large map's records then cost few page faults and
// TLB misses, while a small map's pool stays one small chunk.
inline constexpr std::size_t pool_bulk_from = 64 * 1024;

// Where a chunk's storage begins.
inline constexpr std::size_t pool_data_offset =
    (sizeof(PoolChunk) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);

// pool_take when the newest chunk has no room.
void *pool_take_from_new_chunk(RecordPool &pool, std::size_t size);

// Returns `size` bytes aligned to `align` (a power of two no larger than
// alignof(std::max_align_t)) from the newest chunk, or nullptr when it has
// no room; nothing is allocated.
inline void *pool_take_from_newest(RecordPool &pool, std::size_t size, std::size_t align) {
    PoolChunk *chunk = pool.newest;
    if (!chunk) return nullptr;
    std::size_t start = (chunk->used + align - 1) & ~(align - 1);
    if (start > chunk->capacity || size > chunk->capacity - start) return nullptr;
    chunk->used = start + size;
    return reinterpret_cast<unsigned char *>(chunk) + pool_data_offset + start;
}

// As pool_take_from_newest, taking a new chunk when the newest has no
// room; nullptr when the heap refuses it. Inline because it runs for
// every record.
inline void *pool_take(RecordPool &pool, std::size_t size, std::size_t align) {
    if (void *taken = pool_take_from_newest(pool, size, align)) return taken;
    return pool_take_from_new_chunk(pool, size);
}
inline PoolMark pool_mark(const RecordPool &pool) {
    return {pool.newest, pool.newest ? pool.newest->used : 0};
}
// Gives back everything taken since `mark`, chunks included.
void pool_rewind(RecordPool &pool, PoolMark mark);
void pool_release(RecordPool &pool);

}  // namespace tamrix
