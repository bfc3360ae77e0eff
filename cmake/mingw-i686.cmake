# Cross build for 32-bit Windows with Debian's MinGW-w64 compilers (the
# posix thread model, which GoogleTest needs). flex and bison run on the
# build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(tamrix_map_mingw_prefix i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Test programs are Windows executables: ctest starts them through the
# 32-bit wine loader (scripts/test-windows.sh prepares a win32 prefix).
find_program(TAMRIX_MAP_WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(TAMRIX_MAP_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAMRIX_MAP_WINE32})
endif()
