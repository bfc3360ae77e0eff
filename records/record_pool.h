// Bump storage for record nodes and name copies: large chunks from the
// heap instead of two small heap blocks per record, released all at once.
#pragma once

#include <cstddef>

namespace tamrix {

struct PoolChunk;

struct RecordPool {
    PoolChunk *newest = nullptr;
};

// Where the pool stood; pool_rewind returns to it.
struct PoolMark {
    PoolChunk *chunk;
    std::size_t used;
};

// Size of a fresh chunk; larger requests get a chunk of their own size.
// Tests shrink it so that every record needs a new chunk.
extern std::size_t pool_chunk_bytes;

// Returns `size` bytes aligned to `align` (a power of two no larger than
// alignof(std::max_align_t)), or nullptr when the heap refuses a chunk.
void *pool_take(RecordPool &pool, std::size_t size, std::size_t align);
PoolMark pool_mark(const RecordPool &pool);
// Gives back everything taken since `mark`, chunks included.
void pool_rewind(RecordPool &pool, PoolMark mark);
void pool_release(RecordPool &pool);

}  // namespace tamrix
