// Byte searches over the held characters, the library's own on every
// build rather than the C runtime's: 16 to 64 bytes at a time with SSE2
// (and long runs 64 at a time with AVX2 where the processor has it), two
// machine words at a time elsewhere.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "search_set.h"

namespace tamrix::scanning {
inline namespace TAMRIX_SEARCH_SET {

#if TAMRIX_SEARCHES_USE_SSE2
inline __m128i load16(const char *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }

inline __m128i equal(__m128i x, char c) { return _mm_cmpeq_epi8(x, _mm_set1_epi8(c)); }

inline unsigned mask_of(__m128i flags) { return static_cast<unsigned>(_mm_movemask_epi8(flags)); }

// The first c, or a or b, in [p, end) with p at least 64 bytes from end:
// for processors with AVX2 (searches_avx2.cpp), taken when
// avx2_searches says so.
namespace avx2 {
const char *find_byte(const char *p, const char *end, char c);
const char *find_either(const char *p, const char *end, char a, char b);
const char *find_pair(const char *p, const char *end, char a, char b);  // a directly followed by b
// find_byte that also sets `pair_before` where pair[0] directly followed by
// pair[1] stands before the c found; p is at least 65 bytes from end.
const char *find_byte_noting_pair(const char *p, const char *end, char c, const char *pair, bool &pair_before);
}  // namespace avx2
extern bool avx2_searches;
#else
using Word = std::uintptr_t;
constexpr Word low_bits = ~Word{0} / 0xFF;  // 0x01 in every byte
constexpr Word high_bits = low_bits * 0x80;

inline Word load_word(const char *p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The high bit of the first (lowest-addressed) byte of `w` equal to the
// byte repeated in `pattern` is set; bytes behind it may be flagged
// wrongly, bytes before it never are. Zero when no byte is equal.
inline Word equal_bytes(Word w, Word pattern) {
    Word x = w ^ pattern;
    return (x - low_bits) & ~x & high_bits;
}

inline const char *first_flagged(const char *p, Word flags) {
    int bit = std::endian::native == std::endian::little ? std::countr_zero(flags) : std::countl_zero(flags);
    return p + bit / 8;
}
#endif

// The first c in [p, end), or nullptr. With SSE2 the first 16 * short_steps
// bytes are searched 16 at a time (most lines end within 64 bytes), the
// rest of a long run 64 at a time.
template <int short_steps = 4>
inline const char *find_byte(const char *p, const char *end, char c) {
#if TAMRIX_SEARCHES_USE_SSE2
    for (int step = 0; step < short_steps && end - p >= 16; ++step, p += 16)
        if (unsigned hits = mask_of(equal(load16(p), c))) return p + std::countr_zero(hits);
    if (end - p >= 64) {
        if (avx2_searches) return avx2::find_byte(p, end, c);
        for (; end - p >= 64; p += 64) {
            __m128i any = _mm_or_si128(_mm_or_si128(equal(load16(p), c), equal(load16(p + 16), c)),
                                       _mm_or_si128(equal(load16(p + 32), c), equal(load16(p + 48), c)));
            if (mask_of(any)) break;
        }
    }
    for (; end - p >= 16; p += 16)
        if (unsigned hits = mask_of(equal(load16(p), c))) return p + std::countr_zero(hits);
#else
    const Word pattern = low_bits * static_cast<unsigned char>(c);
    for (; end - p >= static_cast<std::ptrdiff_t>(2 * sizeof(Word)); p += 2 * sizeof(Word)) {
        Word first = equal_bytes(load_word(p), pattern), second = equal_bytes(load_word(p + sizeof(Word)), pattern);
        if (first | second) return first ? first_flagged(p, first) : first_flagged(p + sizeof(Word), second);
    }
#endif
    for (; p < end; ++p)
        if (*p == c) return p;
    return nullptr;
}

// The first a directly followed by b in [p, end), or nullptr.
inline const char *find_pair(const char *p, const char *end, char a, char b) {
#if TAMRIX_SEARCHES_USE_SSE2
    for (int step = 0; end - p >= 17; ++step, p += 16) {
        if (step == 2 && avx2_searches && end - p >= 65) return avx2::find_pair(p, end, a, b);
        if (unsigned hits = mask_of(_mm_and_si128(equal(load16(p), a), equal(load16(p + 1), b))))
            return p + std::countr_zero(hits);
    }
#endif
    for (p = find_byte(p, end, a); p && end - p >= 2; p = find_byte(p + 1, end, a))
        if (p[1] == b) return p;
    return nullptr;
}

// The first a or b in [p, end), or nullptr.
inline const char *find_either(const char *p, const char *end, char a, char b) {
#if TAMRIX_SEARCHES_USE_SSE2
    if (end - p >= 64) {
        if (avx2_searches) return avx2::find_either(p, end, a, b);
        for (; end - p >= 64; p += 64) {
            __m128i x = load16(p), y = load16(p + 16), z = load16(p + 32), w = load16(p + 48);
            __m128i any = _mm_or_si128(_mm_or_si128(_mm_or_si128(equal(x, a), equal(x, b)),
                                                    _mm_or_si128(equal(y, a), equal(y, b))),
                                       _mm_or_si128(_mm_or_si128(equal(z, a), equal(z, b)),
                                                    _mm_or_si128(equal(w, a), equal(w, b))));
            if (mask_of(any)) break;
        }
    }
    for (; end - p >= 16; p += 16) {
        __m128i x = load16(p);
        if (unsigned hits = mask_of(_mm_or_si128(equal(x, a), equal(x, b)))) return p + std::countr_zero(hits);
    }
#else
    const Word pattern_a = low_bits * static_cast<unsigned char>(a);
    const Word pattern_b = low_bits * static_cast<unsigned char>(b);
    // Both are control characters here (CR, Ctrl-Z): two words without
    // any byte below the greater of them are passed over in one test, and
    // only the others are looked at byte by byte.
    const unsigned above = static_cast<unsigned char>(a > b ? a : b) + 1u;
    const Word below = low_bits * above;
    const std::ptrdiff_t pair = 2 * sizeof(Word);
    while (end - p >= pair) {
        if (above <= 0x80) {
            for (; end - p >= pair; p += pair) {
                Word first = load_word(p), second = load_word(p + sizeof(Word));
                if ((((first - below) & ~first) | ((second - below) & ~second)) & high_bits) break;
            }
            if (end - p < pair) break;
        }
        for (int word = 0; word < 2; ++word, p += sizeof(Word)) {
            Word w = load_word(p);
            if (Word hits = equal_bytes(w, pattern_a) | equal_bytes(w, pattern_b)) return first_flagged(p, hits);
        }
    }
#endif
    for (; p < end; ++p)
        if (*p == a || *p == b) return p;
    return nullptr;
}

}  // namespace TAMRIX_SEARCH_SET
}  // namespace tamrix::scanning
