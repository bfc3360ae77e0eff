# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (the
# posix thread model, which GoogleTest needs). Test programs run under
# wine64. flex and bison run on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(tamrix_map_mingw_prefix x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Test programs are Windows executables: ctest starts them through wine.
find_program(TAMRIX_MAP_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TAMRIX_MAP_WINE64 NAMES wine64 wine)
if(TAMRIX_MAP_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAMRIX_MAP_WINE64})
endif()
