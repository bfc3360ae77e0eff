// The long runs of the avx2 target's searches (avx2_long_runs.h). Only the
// functions marked AVX2 are compiled for it, whatever the build's baseline.
#if defined(__i386__) || defined(__x86_64__)

#include "avx2_long_runs.h"

#include <bit>
#include <cstdint>
#include <immintrin.h>

#define AVX2 [[gnu::target("avx2")]]

namespace tamrix::avx2::long_runs {
namespace {

AVX2 __m256i load32(const char *p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p)); }

AVX2 __m256i equal(__m256i x, char c) { return _mm256_cmpeq_epi8(x, _mm256_set1_epi8(c)); }

AVX2 std::uint64_t mask_of(__m256i low, __m256i high) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
           std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

// The first flagged byte of the 64 at p.
AVX2 const char *first_flagged(const char *p, __m256i low, __m256i high) {
    return p + std::countr_zero(mask_of(low, high));
}

}  // namespace

// p is at least 64 bytes from end. The last 64 bytes are read once more
// where end - p is no multiple of 64: nothing outside [p, end) is read.
AVX2 const char *find_byte(const char *p, const char *end, char c) {
    const char *last = end - 64;
    for (;; p += 64) {
        if (p > last) p = last;
        __m256i low = equal(load32(p), c), high = equal(load32(p + 32), c);
        if (!_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high)))
            return first_flagged(p, low, high);
        if (p == last) return nullptr;
    }
}

AVX2 const char *find_either(const char *p, const char *end, char a, char b) {
    // The first 128 bytes 64 at a time, where CR LF lines have their CR;
    // then, as over a block without CR, 128 bytes a test while they last.
    for (int step = 0; step < 2 && end - p >= 64; ++step, p += 64) {
        __m256i first = load32(p), second = load32(p + 32);
        __m256i low = _mm256_or_si256(equal(first, a), equal(first, b));
        __m256i high = _mm256_or_si256(equal(second, a), equal(second, b));
        if (!_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high)))
            return first_flagged(p, low, high);
    }
    if (p == end) return nullptr;
    for (; end - p >= 128; p += 128) {
        __m256i w = load32(p), x = load32(p + 32), y = load32(p + 64), z = load32(p + 96);
        __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_or_si256(equal(w, a), equal(w, b)),
                                                      _mm256_or_si256(equal(x, a), equal(x, b))),
                                      _mm256_or_si256(_mm256_or_si256(equal(y, a), equal(y, b)),
                                                      _mm256_or_si256(equal(z, a), equal(z, b))));
        if (!_mm256_testz_si256(any, any)) break;
    }
    if (end - p < 64) p = end - 64;  // read again: nothing was found there
    const char *last = end - 64;
    for (;; p += 64) {
        if (p > last) p = last;
        __m256i x = load32(p), y = load32(p + 32);
        __m256i low = _mm256_or_si256(equal(x, a), equal(x, b)), high = _mm256_or_si256(equal(y, a), equal(y, b));
        if (!_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high)))
            return first_flagged(p, low, high);
        if (p == last) return nullptr;
    }
}

// p is at least 65 bytes from end; a pair is looked for at the first 64
// positions of every step, whose b lies within [p, end).
AVX2 const char *find_pair(const char *p, const char *end, char a, char b) {
    const char *last = end - 65;
    for (;; p += 64) {
        if (p > last) p = last;
        __m256i low = _mm256_and_si256(equal(load32(p), a), equal(load32(p + 1), b));
        __m256i high = _mm256_and_si256(equal(load32(p + 32), a), equal(load32(p + 33), b));
        if (!_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high)))
            return first_flagged(p, low, high);
        if (p == last) return nullptr;
    }
}

// As find_pair, the pairs are looked for at the first 64 positions of
// every step; the last byte, where no pair can begin, is looked at apart.
AVX2 const char *find_byte_noting_pair(const char *p, const char *end, char c, const char *pair, bool &pair_before) {
    const char *last = end - 65;
    for (;; p += 64) {
        if (p > last) p = last;
        __m256i low = load32(p), high = load32(p + 32);
        std::uint64_t found = mask_of(equal(low, c), equal(high, c));
        std::uint64_t pairs = mask_of(_mm256_and_si256(equal(low, pair[0]), equal(load32(p + 1), pair[1])),
                                      _mm256_and_si256(equal(high, pair[0]), equal(load32(p + 33), pair[1])));
        if (found) {
            pair_before = pair_before || (pairs & ((found & (0 - found)) - 1)) != 0;
            return p + std::countr_zero(found);
        }
        pair_before = pair_before || pairs != 0;
        if (p == last) return p[64] == c ? p + 64 : nullptr;
    }
}

}  // namespace tamrix::avx2::long_runs

#endif
