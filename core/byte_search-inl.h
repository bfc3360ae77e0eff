// Byte searches over the held characters, and the moves of the text
// layer, the library's own on every target rather than the C runtime's:
// 16 to 64 bytes at a time with SSE2 (and long runs 64 or 128 at a time
// with AVX2), four machine words a test on the portable target. Compiled
// once per target (target_begin.h).
#if !defined(TAMRIX_MAP_TARGET_OPEN)
#error "byte_search-inl.h is compiled once per target: include it between target_begin.h and target_end.h"
#endif
#pragma once

using Word = std::uintptr_t;

inline Word load_word(const char *p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

#if TAMRIX_MAP_TARGET_SSE2
inline __m128i load16(const char *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }

inline __m128i equal(__m128i x, char c) { return _mm_cmpeq_epi8(x, _mm_set1_epi8(c)); }

inline unsigned mask_of(__m128i flags) { return static_cast<unsigned>(_mm_movemask_epi8(flags)); }
#else
constexpr Word low_bits = ~Word{0} / 0xFF;  // 0x01 in every byte
constexpr Word high_bits = low_bits * 0x80;
constexpr std::ptrdiff_t block = 4 * sizeof(Word);

// The high bit of the first (lowest-addressed) byte of `w` equal to the
// byte repeated in `pattern` is set; bytes behind it may be flagged
// wrongly, bytes before it never are. Zero when no byte is equal.
inline Word equal_bytes(Word w, Word pattern) {
    Word x = w ^ pattern;
    return (x - low_bits) & ~x & high_bits;
}

inline const char *first_flagged(const char *p, Word flags) { return p + std::countr_zero(flags) / 8; }
#endif

// The first c in [p, end), or nullptr. With SSE2 the first 16 * short_steps
// bytes are searched 16 at a time (most lines end within 64 bytes), the
// rest of a long run 64 at a time.
template <int short_steps = 4>
inline const char *find_byte(const char *p, const char *end, char c) {
#if TAMRIX_MAP_TARGET_SSE2
    for (int step = 0; step < short_steps && end - p >= 16; ++step, p += 16)
        if (unsigned hits = mask_of(equal(load16(p), c))) return p + std::countr_zero(hits);
    if (end - p >= 64) {
        if (TAMRIX_MAP_TARGET_AVX2) return avx2::long_runs::find_byte(p, end, c);
        for (; end - p >= 64; p += 64) {
            __m128i any = _mm_or_si128(_mm_or_si128(equal(load16(p), c), equal(load16(p + 16), c)),
                                       _mm_or_si128(equal(load16(p + 32), c), equal(load16(p + 48), c)));
            if (mask_of(any)) break;
        }
    }
    for (; end - p >= 16; p += 16)
        if (unsigned hits = mask_of(equal(load16(p), c))) return p + std::countr_zero(hits);
#else
    // Four words at a time, by a test that misses no c but also takes
    // bytes of 0x81 and up; the words it takes are looked at one by one.
    const Word pattern = low_bits * static_cast<unsigned char>(c);
    for (; end - p >= block; p += block) {
        Word any = ((load_word(p) ^ pattern) - low_bits) | ((load_word(p + sizeof(Word)) ^ pattern) - low_bits) |
                   ((load_word(p + 2 * sizeof(Word)) ^ pattern) - low_bits) |
                   ((load_word(p + 3 * sizeof(Word)) ^ pattern) - low_bits);
        if (!(any & high_bits)) continue;
        for (const char *q = p; q < p + block; q += sizeof(Word))
            if (Word hits = equal_bytes(load_word(q), pattern)) return first_flagged(q, hits);
    }
    for (; end - p >= static_cast<std::ptrdiff_t>(sizeof(Word)); p += sizeof(Word))
        if (Word hits = equal_bytes(load_word(p), pattern)) return first_flagged(p, hits);
#endif
    for (; p < end; ++p)
        if (*p == c) return p;
    return nullptr;
}

// The first a directly followed by b in [p, end), or nullptr.
inline const char *find_pair(const char *p, const char *end, char a, char b) {
#if TAMRIX_MAP_TARGET_SSE2
    for (int step = 0; end - p >= 17; ++step, p += 16) {
        if (TAMRIX_MAP_TARGET_AVX2 && step == 2 && end - p >= 65) return avx2::long_runs::find_pair(p, end, a, b);
        if (unsigned hits = mask_of(_mm_and_si128(equal(load16(p), a), equal(load16(p + 1), b))))
            return p + std::countr_zero(hits);
    }
#endif
    for (p = find_byte(p, end, a); p && end - p >= 2; p = find_byte(p + 1, end, a))
        if (p[1] == b) return p;
    return nullptr;
}

// The first a or b in [p, end), or nullptr; searched as find_byte searches.
inline const char *find_either(const char *p, const char *end, char a, char b) {
#if TAMRIX_MAP_TARGET_SSE2
    // AVX2 takes the whole search: its 64 bytes cost less than the first
    // 16-byte step and a call. Without it, 16 bytes at a time at first.
    if (TAMRIX_MAP_TARGET_AVX2 && end - p >= 64) return avx2::long_runs::find_either(p, end, a, b);
    auto either = [a, b](__m128i x) { return _mm_or_si128(equal(x, a), equal(x, b)); };
    for (int step = 0; step < 4 && end - p >= 16; ++step, p += 16)
        if (unsigned hits = mask_of(either(load16(p)))) return p + std::countr_zero(hits);
    for (; end - p >= 64; p += 64) {
        __m128i any = _mm_or_si128(_mm_or_si128(either(load16(p)), either(load16(p + 16))),
                                   _mm_or_si128(either(load16(p + 32)), either(load16(p + 48))));
        if (mask_of(any)) break;
    }
    for (; end - p >= 16; p += 16)
        if (unsigned hits = mask_of(either(load16(p)))) return p + std::countr_zero(hits);
#else
    const Word pattern_a = low_bits * static_cast<unsigned char>(a);
    const Word pattern_b = low_bits * static_cast<unsigned char>(b);
    // Both are control characters here (CR, Ctrl-Z): four words at a time
    // by a test that misses no byte below the greater of them but also
    // takes line feeds, tabs and bytes of 0x80 and up; the words it takes
    // are looked at one by one.
    const unsigned above = static_cast<unsigned char>(a > b ? a : b) + 1u;
    const Word below = low_bits * above;
    for (; end - p >= block; p += block) {
        if (above <= 0x80) {
            Word any = (load_word(p) - below) | (load_word(p + sizeof(Word)) - below) |
                       (load_word(p + 2 * sizeof(Word)) - below) | (load_word(p + 3 * sizeof(Word)) - below);
            if (!(any & high_bits)) continue;
        }
        for (const char *q = p; q < p + block; q += sizeof(Word)) {
            Word w = load_word(q);
            if (Word hits = equal_bytes(w, pattern_a) | equal_bytes(w, pattern_b)) return first_flagged(q, hits);
        }
    }
#endif
    for (; p < end; ++p)
        if (*p == a || *p == b) return p;
    return nullptr;
}

// Moves n bytes down from `from` to `to`, to < from, front to back: each
// piece is read before anything at or behind it is written, and the last
// piece, which may overlap the one before, is read first.
inline void move_down(char *to, const char *from, std::size_t n) {
#if TAMRIX_MAP_TARGET_SSE2
    if (n >= 16) {
        __m128i last = load16(from + n - 16);
        for (std::size_t i = 0; i + 16 < n; i += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i), load16(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + n - 16), last);
        return;
    }
#endif
    if (n >= sizeof(Word)) {
        Word last = load_word(from + n - sizeof(Word));
        for (std::size_t i = 0; i + sizeof(Word) < n; i += sizeof(Word)) {
            Word w = load_word(from + i);
            std::memcpy(to + i, &w, sizeof w);
        }
        std::memcpy(to + n - sizeof(Word), &last, sizeof last);
        return;
    }
    for (; n > 0; --n) *to++ = *from++;
}

// Removes every `dropped` byte from data[0..count) and cuts it at the first
// `stop` byte, setting `stopped`; returns the count left. With dropped the
// same as stop, it only cuts.
inline std::size_t drop_and_cut(char *data, std::size_t count, char dropped, char stop, bool &stopped) {
    const char *end = data + count;
    const char *in = find_either(data, end, dropped, stop);
    if (!in) return count;
    char *out = data + (in - data);
    while (*in != stop) {  // at a dropped byte
        ++in;
        const char *next = find_either(in, end, dropped, stop);
        const char *run_end = next ? next : end;
        move_down(out, in, static_cast<std::size_t>(run_end - in));
        out += run_end - in;
        in = run_end;
        if (!next) return static_cast<std::size_t>(out - data);
    }
    stopped = true;
    return static_cast<std::size_t>(out - data);
}

