// A copy for short texts such as symbol names: the scanner's copy of a
// name and the copy into its record. Compiled once per target
// (target_begin.h).
#if !defined(TAMRIX_MAP_TARGET_OPEN)
#error "text_copy-inl.h is compiled once per target: include it between target_begin.h and target_end.h"
#endif
#pragma once

// Copies the first and the last sizeof(Word) bytes of n (sizeof(Word) to
// 2 * sizeof(Word)), overlapping in the middle.
template <typename Word>
inline void copy_ends(char *to, const char *from, std::size_t n) {
    Word head, tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

// Copies n bytes, reading and writing nothing outside the two ranges. A
// name is a few dozen bytes, and for those a few overlapping moves beat
// both a call of memcpy and the rep movs the compiler makes of one; and
// no copy is left to the C runtime.
inline void copy_text(char *to, const char *from, std::size_t n) {
    if (n >= 16) {
#if TAMRIX_MAP_TARGET_SSE2
        for (std::size_t i = 0; i + 16 < n; i += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i),
                             _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + n - 16),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + n - 16)));
#else
        for (std::size_t i = 0; i + 8 < n; i += 8) copy_ends<std::uint64_t>(to + i, from + i, 8);
        copy_ends<std::uint64_t>(to + n - 8, from + n - 8, 8);
#endif
    } else if (n >= 8) {
        copy_ends<std::uint64_t>(to, from, n);
    } else if (n >= 4) {
        copy_ends<std::uint32_t>(to, from, n);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}
