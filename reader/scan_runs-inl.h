// The byte classes' run readers that the scanner (map_scanner-inl.h) and
// the parser's token source (map_token_source-inl.h) cut lines with.
// Compiled once per target (target_begin.h).
#if !defined(TAMRIX_MAP_TARGET_OPEN)
#error "scan_runs-inl.h is compiled once per target: include it between target_begin.h and target_end.h"
#endif
#pragma once

inline std::uint8_t class_of(char c) { return char_class[static_cast<unsigned char>(c)]; }

#if TAMRIX_MAP_TARGET_SSE2
// Bit i set where the byte at p + i is not of the class `wanted`.
template <std::uint8_t wanted>
[[gnu::always_inline]] inline unsigned outside_of(const char *p) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    // Unsigned range tests as signed ones: move the range to -128 up.
    __m128i digit = _mm_cmplt_epi8(_mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(0x80 - '0'))),
                                   _mm_set1_epi8(static_cast<char>(0x80 + 10)));
    __m128i folded = _mm_or_si128(x, _mm_set1_epi8(0x20));  // A-Z onto a-z, nothing else
    __m128i letter = _mm_cmplt_epi8(_mm_add_epi8(folded, _mm_set1_epi8(static_cast<char>(0x80 - 'a'))),
                                    _mm_set1_epi8(static_cast<char>(0x80 + 26)));
    __m128i in = _mm_or_si128(_mm_or_si128(digit, letter), _mm_cmpeq_epi8(x, _mm_set1_epi8('_')));
    if (wanted == WORD) in = _mm_or_si128(in, _mm_cmpeq_epi8(x, _mm_set1_epi8('-')));
    return ~static_cast<unsigned>(_mm_movemask_epi8(in)) & 0xFFFFu;
}

// skip_run behind a first 16 bytes of the class, 16 bytes at a time while
// they lie within the held characters.
template <std::uint8_t wanted>
[[gnu::noinline]] const char *skip_long_run(const char *p, const char *end);
#endif

// The first byte from p on that is not of the class `wanted` (NAME or
// WORD). The zero bytes behind the held characters stop it at `end`.
template <std::uint8_t wanted>
[[gnu::always_inline]] inline const char *skip_run(const char *p, const char *end) {
#if TAMRIX_MAP_TARGET_SSE2
    // Most runs end within 16 bytes. Longer ones are followed out of line:
    // the loop's constants, held in registers, would not all fit in 32-bit
    // x86's eight beside the values of the caller's loop.
    if (end - p >= 16) {
        if (unsigned outside = outside_of<wanted>(p)) return p + __builtin_ctz(outside);
        return skip_long_run<wanted>(p + 16, end);
    }
#else
    (void)end;
#endif
    while (class_of(*p) & wanted) ++p;
    return p;
}

#if TAMRIX_MAP_TARGET_SSE2
template <std::uint8_t wanted>
const char *skip_long_run(const char *p, const char *end) {
    for (; end - p >= 16; p += 16)
        if (unsigned outside = outside_of<wanted>(p)) return p + __builtin_ctz(outside);
    while (class_of(*p) & wanted) ++p;
    return p;
}
#endif

inline const char *skip_blanks(const char *p) {
    while (class_of(*p) & SKIP) ++p;
    return p;
}

// The address whose run begins at p: one to four hex digits and an H,
// either case, with no word character behind. Returns the end of the run,
// or nullptr when the run is no address; `value` is written only for an
// address. It reads no further than the byte behind the run.
inline const char *take_address(const char *p, std::uint32_t &value) {
    std::uint32_t digits = hex_value[static_cast<unsigned char>(*p)];
    if (digits > 15) return nullptr;
    const char *q = p + 1;
#pragma GCC unroll 3
    for (int more = 0; more < 3; ++more, ++q) {
        unsigned digit = hex_value[static_cast<unsigned char>(*q)];
        if (digit > 15) break;
        digits = digits << 4 | digit;
    }
    if ((*q | 0x20) != 'h' || (class_of(q[1]) & WORD)) return nullptr;
    value = digits;
    return q + 1;
}

// The first "ADDR" in [p, lf) that begins a match and has a blank or tab
// behind it. p is where a match begins; elsewhere a match begins exactly
// where a word run does, behind a byte that is no word character.
[[gnu::noinline]] inline const char *find_keyword(const char *p, const char *lf) {
    // Mostly it stands right behind the blanks that follow the head, and
    // so behind no word character.
    const char *q = skip_blanks(p);
    if (lf - q >= 5 && std::memcmp(q, "ADDR", 4) == 0 && (q[4] == ' ' || q[4] == '\t')) return q;
    for (q = find_pair(p, lf, 'A', 'D'); q && lf - q >= 5; q = find_pair(q + 1, lf, 'A', 'D')) {
        if (std::memcmp(q, "ADDR", 4) == 0 && (q == p || !(class_of(q[-1]) & WORD)) && (q[4] == ' ' || q[4] == '\t'))
            return q;
    }
    return nullptr;
}
