#include "record_pool.h"

#include "heap.h"

namespace tamrix {

std::size_t pool_chunk_bytes = 64 * 1024;

void *pool_take_from_new_chunk(RecordPool &pool, std::size_t size) {
    constexpr std::size_t bulk_capacity = heap_bulk_unit - pool_data_offset;
    std::size_t capacity;
    PoolChunk *chunk;
    if (pool.chunk_bytes >= pool_bulk_from && size <= bulk_capacity) {
        capacity = bulk_capacity;
        chunk = static_cast<PoolChunk *>(heap_alloc_bulk(heap_bulk_unit));
    } else {
        capacity = size > pool_chunk_bytes ? size : pool_chunk_bytes;
        if (capacity > static_cast<std::size_t>(-1) - pool_data_offset) return nullptr;
        chunk = static_cast<PoolChunk *>(heap_alloc(pool_data_offset + capacity));
    }
    if (!chunk) return nullptr;
    chunk->previous = pool.newest;
    chunk->capacity = capacity;
    chunk->used = size;
    pool.newest = chunk;
    pool.chunk_bytes += capacity;
    return reinterpret_cast<unsigned char *>(chunk) + pool_data_offset;
}

void pool_rewind(RecordPool &pool, PoolMark mark) {
    while (pool.newest && pool.newest != mark.chunk) {
        PoolChunk *previous = pool.newest->previous;
        pool.chunk_bytes -= pool.newest->capacity;
        heap_free(pool.newest);
        pool.newest = previous;
    }
    if (pool.newest) pool.newest->used = mark.used;
}

void pool_release(RecordPool &pool) {
    // Oldest first: the chunks were mostly carved from the heap in order,
    // and freed from the bottom up they merge into free space below the
    // top. Newest first, every free would meet the top of the heap, and
    // the C library would hand memory back to the system chunk by chunk.
    PoolChunk *oldest = nullptr;
    pool.chunk_bytes = 0;
    while (PoolChunk *chunk = pool.newest) {
        pool.newest = chunk->previous;
        chunk->previous = oldest;
        oldest = chunk;
    }
    while (oldest) {
        PoolChunk *newer = oldest->previous;
        heap_free(oldest);
        oldest = newer;
    }
}

}  // namespace tamrix
