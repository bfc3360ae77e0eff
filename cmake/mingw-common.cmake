# The parts the two MinGW-w64 toolchain files share; they set
# tamrix_map_mingw_prefix first.
set(CMAKE_C_COMPILER ${tamrix_map_mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tamrix_map_mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${tamrix_map_mingw_prefix}-windres)

# The prefixes named in CMAKE_PREFIX_PATH hold Windows files too (such as
# an unzipped tamrix_map folder): roots of their own, so that they are
# searched where they are rather than below the MinGW-w64 root.
set(CMAKE_FIND_ROOT_PATH /usr/${tamrix_map_mingw_prefix} ${CMAKE_PREFIX_PATH})
# Programs (flex, bison) from the build machine; libraries and headers
# from the target's root only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs with the GCC runtime, the C++ library and winpthread linked in,
# so that no MinGW runtime DLL has to sit beside them (windows_dll.cmake
# does the same for the DLL).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
