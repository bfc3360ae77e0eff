#include "heap.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14 on; older C libraries lack the name
#endif
#endif

namespace tamrix {
namespace {

std::uint64_t allocations_made = 0;
std::uint64_t fail_from = 0;  // 0: never
bool fail_persistent = false;
std::int64_t live_blocks = 0;

bool refuse_this_one() {
    ++allocations_made;
    if (fail_from == 0 || allocations_made < fail_from) return false;
    return fail_persistent || allocations_made == fail_from;
}

}  // namespace

// Never 0 bytes: C runtimes differ on whether malloc(0) gives a block or
// null, and a null must always mean that the heap refused.
void *heap_alloc(std::size_t size) {
    if (refuse_this_one()) return nullptr;
    void *block = std::malloc(size == 0 ? 1 : size);
    if (block) ++live_blocks;
    return block;
}

void *heap_alloc_bulk(std::size_t size) {
#if defined(__linux__)
    if (refuse_this_one()) return nullptr;
    void *block = std::aligned_alloc(heap_bulk_unit, size);
    if (!block) return nullptr;
    ++live_blocks;
    // Both are hints: a kernel without them says no and the block is
    // faulted in page by page as it is written.
#if defined(MADV_HUGEPAGE)
    madvise(block, size, MADV_HUGEPAGE);
#endif
    madvise(block, size, MADV_POPULATE_WRITE);
    return block;
#else
    return heap_alloc(size);
#endif
}

void *heap_realloc(void *block, std::size_t size) {
    if (!block) return heap_alloc(size);
    if (refuse_this_one()) return nullptr;
    return std::realloc(block, size == 0 ? 1 : size);
}

void heap_free(void *block) {
    if (!block) return;
    --live_blocks;
    std::free(block);
}

void heap_fail_at(std::uint64_t n, bool from_then_on) {
    allocations_made = 0;
    fail_from = n;
    fail_persistent = from_then_on;
}

std::uint64_t heap_allocations_made() { return allocations_made; }

std::int64_t heap_live_blocks() { return live_blocks; }

}  // namespace tamrix
