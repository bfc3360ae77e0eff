// The reader for x86 processors with SSE2: 16 bytes a step.
#if defined(__i386__) || defined(__x86_64__)
#include "reader_target_shared.h"
#define TAMRIX_MAP_TARGET sse2
#include "target_begin.h"
#include "reader-inl.h"
#include "target_end.h"
#endif
