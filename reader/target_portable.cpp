// The reader for every processor: plain C++, a machine word at a time.
#include "reader_target_shared.h"
#define TAMRIX_MAP_TARGET portable
#include "target_begin.h"
#include "reader-inl.h"
#include "target_end.h"
