# Cross builds the MSVC way: clang-cl and lld-link for the target given
# as CMAKE_C_COMPILER_TARGET (i686-pc-windows-msvc, x86_64-pc-windows-msvc).
# Without a C runtime to link, the compiler checks make static libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER clang-cl-14)
set(CMAKE_LINKER lld-link-14)
set(CMAKE_AR llvm-lib-14)
set(CMAKE_RC_COMPILER llvm-rc-14)
set(CMAKE_MT llvm-mt-14)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
