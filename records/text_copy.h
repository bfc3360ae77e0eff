// A copy for short texts such as symbol names, shared by the scanner and
// the record list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tamrix {

// Copies n bytes, reading and writing nothing outside the two ranges. A
// name is a few dozen bytes, and for those a few overlapping moves beat
// both a call of memcpy and the rep movs the compiler makes of one.
inline void copy_text(char *to, const char *from, std::size_t n) {
    if (n >= 16) {
#if defined(__SSE2__)
        for (std::size_t i = 0; i + 16 < n; i += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i),
                             _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + n - 16),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + n - 16)));
#else
        std::memcpy(to, from, n);
#endif
    } else if (n >= 8) {
        std::uint64_t head, tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + n - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + n - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + n - 4, &tail, 4);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

}  // namespace tamrix
