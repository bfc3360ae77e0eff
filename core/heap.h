// The one allocator of the library. Every heap block the library takes
// (record storage and the scanner's buffer) comes from here, so that tests
// can count live blocks and make any allocation fail; the tests' flex
// oracle of the scanner takes its blocks here too (heap_realloc is its).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tamrix {

void *heap_alloc(std::size_t size);              // nullptr when refused
void *heap_realloc(void *block, std::size_t size); // nullptr when refused
void heap_free(void *block);                     // nullptr is ignored
// A block of `size` bytes (a multiple of 2 MiB) for bulk storage that will
// be filled at once: on Linux aligned to 2 MiB, backed by huge pages where
// the system grants them, and faulted in with one call instead of a fault
// per page. Counted and refused like heap_alloc; freed by heap_free.
void *heap_alloc_bulk(std::size_t size);
inline constexpr std::size_t heap_bulk_unit = std::size_t{2} << 20;

// Test hook: allocation number `n` (1-based, counted from this call) is
// refused; with `from_then_on` every later one is refused as well.
// n == 0 switches failures off.
void heap_fail_at(std::uint64_t n, bool from_then_on);
std::uint64_t heap_allocations_made(); // since the last heap_fail_at
std::int64_t heap_live_blocks();

}  // namespace tamrix
