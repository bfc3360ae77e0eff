// The long runs of the avx2 target's searches, 64 or 128 bytes a test
// (avx2_long_runs.cpp). Only these functions are compiled for AVX2; the
// avx2 target calls them where a run is long enough, and only that target
// is taken where the processor and the system have AVX2.
#pragma once

namespace tamrix::avx2::long_runs {

// The first c, or a or b, in [p, end) with p at least 64 bytes from end;
// nullptr when there is none.
const char *find_byte(const char *p, const char *end, char c);
const char *find_either(const char *p, const char *end, char a, char b);
// The first a directly followed by b; p is at least 65 bytes from end.
const char *find_pair(const char *p, const char *end, char a, char b);
// find_byte that also sets `pair_before` where pair[0] directly followed by
// pair[1] stands before the c found; p is at least 65 bytes from end.
const char *find_byte_noting_pair(const char *p, const char *end, char c, const char *pair, bool &pair_before);

}  // namespace tamrix::avx2::long_runs
