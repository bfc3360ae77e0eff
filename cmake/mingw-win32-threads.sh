#!/bin/sh
# mingw-win32-threads.sh COMPILER ARG...: runs a MinGW-w64 compile or link
# with the win32 thread model's compiler in place of the posix one
# (i686-w64-mingw32-g++-posix becomes i686-w64-mingw32-g++-win32), for the
# targets windows_dll.cmake sets it on.
compiler=$1
shift
case $compiler in
    *-posix) exec "${compiler%-posix}-win32" "$@" ;;
    *) echo "mingw-win32-threads.sh: $compiler is no posix thread model compiler" >&2; exit 1 ;;
esac
