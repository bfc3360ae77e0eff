#!/usr/bin/env bash
# Builds msvc_host.exe the way MSVC would link it: clang-cl compiles it for
# the MSVC ABI, lld-link links it with no default libraries against the
# MSVC-style import libraries tamrix_map.lib and a kernel32.lib made here.
# Needs only the header, tamrix_map.lib and the files of this folder.
#
# usage: build_msvc_host.sh i686|x86_64 INCLUDE_DIR LIB_DIR OUTPUT_DIR
set -euo pipefail
arch=${1:?usage: build_msvc_host.sh i686|x86_64 INCLUDE_DIR LIB_DIR OUTPUT_DIR}
include_dir=$2 lib_dir=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
clang_cl=${CLANG_CL:-clang-cl-14}
lld_link=${LLD_LINK:-lld-link-14}
dlltool=${LLVM_DLLTOOL:-llvm-dlltool-14}

mkdir -p "$out"
case $arch in
    i686) target=i686-pc-windows-msvc machine=x86 dll_machine=i386 kill=-k
          sed 's/\r$//' "$here/kernel32.def" >"$out/kernel32.def" ;;
    x86_64) target=x86_64-pc-windows-msvc machine=x64 dll_machine=i386:x86-64 kill=
          sed 's/\r$//; s/@[0-9]*$//' "$here/kernel32.def" >"$out/kernel32.def" ;;
    *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac
"$dlltool" -m "$dll_machine" $kill -d "$out/kernel32.def" -l "$out/kernel32.lib"
"$clang_cl" --target="$target" /nologo /c /O1 /GS- /W4 /WX /I "$include_dir" \
    /Fo"$out/msvc_host.obj" -- "$here/msvc_host.c"
"$lld_link" /nologo /nodefaultlib /entry:host_entry /subsystem:console /machine:"$machine" \
    /out:"$out/msvc_host.exe" "$out/msvc_host.obj" "$lib_dir/tamrix_map.lib" "$out/kernel32.lib"
