// Closes the target that target_begin.h opened.
#if !defined(TAMRIX_MAP_TARGET_OPEN)
#error "target_end.h without target_begin.h"
#endif

}  // namespace TAMRIX_MAP_TARGET
}  // namespace tamrix

#if defined(__ELF__)
#pragma GCC visibility pop
#endif

#if defined(TAMRIX_MAP_TARGET_PRAGMA_PUSHED)
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#undef TAMRIX_MAP_TARGET_PRAGMA_PUSHED
#endif
#undef TAMRIX_MAP_TARGET_OPEN
