// The reader for x86 processors and systems with AVX2: the sse2 target's
// code, with long runs searched by AVX2 (core/avx2_long_runs.cpp).
#if defined(__i386__) || defined(__x86_64__)
#include "reader_target_shared.h"
#define TAMRIX_MAP_TARGET avx2
#include "target_begin.h"
#include "reader-inl.h"
#include "target_end.h"
#endif
