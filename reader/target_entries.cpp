// yyparse and yylex, and the other entry points of the reader's targets:
// those of the target in use.
#include "target_entries.h"

#include "map_reader.h"
#include "targets.h"

namespace tamrix {

namespace portable {
extern const TargetEntries entries;
}
#if TAMRIX_MAP_X86_TARGETS
namespace sse2 {
extern const TargetEntries entries;
}
namespace avx2 {
extern const TargetEntries entries;
}
#endif

namespace {

// By Target; null where this build holds no such target.
#if TAMRIX_MAP_X86_TARGETS
const TargetEntries *const table[target_count] = {&portable::entries, &sse2::entries, &avx2::entries};
#else
const TargetEntries *const table[target_count] = {&portable::entries, nullptr, nullptr};
#endif

}  // namespace

const TargetEntries &target_entries() { return *table[static_cast<int>(target_in_use())]; }

}  // namespace tamrix

int yyparse() { return tamrix::target_entries().parse(); }

int yylex() { return tamrix::target_entries().lex(); }
