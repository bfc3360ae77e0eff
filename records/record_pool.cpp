#include "record_pool.h"

#include "heap.h"

namespace tamrix {

std::size_t pool_chunk_bytes = 64 * 1024;

void *pool_take_from_new_chunk(RecordPool &pool, std::size_t size) {
    std::size_t capacity = size > pool_chunk_bytes ? size : pool_chunk_bytes;
    if (capacity > static_cast<std::size_t>(-1) - pool_data_offset) return nullptr;
    auto *chunk = static_cast<PoolChunk *>(heap_alloc(pool_data_offset + capacity));
    if (!chunk) return nullptr;
    chunk->previous = pool.newest;
    chunk->capacity = capacity;
    chunk->used = size;
    pool.newest = chunk;
    return reinterpret_cast<unsigned char *>(chunk) + pool_data_offset;
}

void pool_rewind(RecordPool &pool, PoolMark mark) {
    while (pool.newest && pool.newest != mark.chunk) {
        PoolChunk *previous = pool.newest->previous;
        heap_free(pool.newest);
        pool.newest = previous;
    }
    if (pool.newest) pool.newest->used = mark.used;
}

void pool_release(RecordPool &pool) { pool_rewind(pool, {nullptr, 0}); }

}  // namespace tamrix
