// The one allocator of the library. Every heap block the library takes
// (record storage, the scanner's buffer, anything flex or bison allocate)
// comes from here, so that tests can count live blocks and make any
// allocation fail.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tamrix {

void *heap_alloc(std::size_t size);              // nullptr when refused
void *heap_realloc(void *block, std::size_t size); // nullptr when refused
void heap_free(void *block);                     // nullptr is ignored

// Test hook: allocation number `n` (1-based, counted from this call) is
// refused; with `from_then_on` every later one is refused as well.
// n == 0 switches failures off.
void heap_fail_at(std::uint64_t n, bool from_then_on);
std::uint64_t heap_allocations_made(); // since the last heap_fail_at
std::int64_t heap_live_blocks();

}  // namespace tamrix
