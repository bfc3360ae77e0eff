# A 32-bit Linux build with the 32-bit DLL's code generation, for the
# benchmark's instruction counts: GCC's own default processor (no -msse2;
# the library finds SSE2 at run time) and no position-independent code,
# which on i686 holds a register for the address of the data: a PE DLL is
# relocated by its loader instead. Its shared library therefore has text
# relocations and is for measuring only. Needs g++-multilib; 32-bit
# programs run through scripts/run-32bit.sh.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -fno-pic")
set(CMAKE_CXX_FLAGS_INIT "-m32 -fno-pic")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -no-pie")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32 -Wl,-z,notext")
set(TAMRIX_MAP_POSITION_INDEPENDENT OFF)
