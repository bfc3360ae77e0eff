#include "record_pool.h"

#include "heap.h"

namespace tamrix {

struct PoolChunk {
    PoolChunk *previous;
    std::size_t capacity;
    std::size_t used;
};

namespace {

constexpr std::size_t data_offset =
    (sizeof(PoolChunk) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);

unsigned char *chunk_data(PoolChunk *chunk) {
    return reinterpret_cast<unsigned char *>(chunk) + data_offset;
}

std::size_t align_up(std::size_t offset, std::size_t align) {
    return (offset + align - 1) & ~(align - 1);
}

}  // namespace

std::size_t pool_chunk_bytes = 64 * 1024;

void *pool_take(RecordPool &pool, std::size_t size, std::size_t align) {
    PoolChunk *chunk = pool.newest;
    if (chunk) {
        std::size_t start = align_up(chunk->used, align);
        if (start <= chunk->capacity && size <= chunk->capacity - start) {
            chunk->used = start + size;
            return chunk_data(chunk) + start;
        }
    }
    std::size_t capacity = size > pool_chunk_bytes ? size : pool_chunk_bytes;
    if (capacity > static_cast<std::size_t>(-1) - data_offset) return nullptr;
    chunk = static_cast<PoolChunk *>(heap_alloc(data_offset + capacity));
    if (!chunk) return nullptr;
    chunk->previous = pool.newest;
    chunk->capacity = capacity;
    chunk->used = size;
    pool.newest = chunk;
    return chunk_data(chunk);
}

PoolMark pool_mark(const RecordPool &pool) {
    return {pool.newest, pool.newest ? pool.newest->used : 0};
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
