// Which search set a file of the reader is compiled for. The scanner and
// the parser are compiled once per set (searches_portable.cpp,
// searches_sse2.cpp) and search_dispatch.cpp picks one per process. Inline
// code goes into a namespace named after the set, so that the linker never
// hands one set's copy of an inline function to the other: an SSE2 copy
// would fault on a processor without SSE2.
#pragma once

// searches_sse2.cpp defines TAMRIX_MAP_SSE2_SEARCHES where SSE2 is enabled
// by a pragma, which leaves __SSE2__ undefined.
#if (defined(__SSE2__) || defined(TAMRIX_MAP_SSE2_SEARCHES)) && !defined(TAMRIX_MAP_PORTABLE_SEARCHES)
#define TAMRIX_SEARCHES_USE_SSE2 1
#define TAMRIX_SEARCH_SET sse2
#include <emmintrin.h>
#else
#define TAMRIX_SEARCHES_USE_SSE2 0
#define TAMRIX_SEARCH_SET portable
#endif

// name_set: `name` with the set's name appended, for the few names that
// cannot live in a namespace (the generated parser's).
#define TAMRIX_SET_NAME_JOIN(name, set) name##_##set
#define TAMRIX_SET_NAME_EXPAND(name, set) TAMRIX_SET_NAME_JOIN(name, set)
#define TAMRIX_SET_NAME(name) TAMRIX_SET_NAME_EXPAND(name, TAMRIX_SEARCH_SET)
