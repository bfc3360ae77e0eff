#!/usr/bin/env bash
# Builds tamrix_map.dll for 32- and 64-bit Windows with the MinGW-w64 cross
# compilers, checks the 32-bit DLL statically (these machines cannot run
# 32-bit programs), and runs the 64-bit build's tests under wine64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=$(nproc)
started=$SECONDS
i686_build=build/mingw-i686
x86_64_build=build/mingw-x86_64

echo "== Windows i686: tamrix_map.dll, static checks"
cmake -S . -B "$i686_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_WARNINGS_AS_ERRORS=ON >/dev/null
# The DLL, the two C hosts and mapdump, compiled against the header's __stdcall
# prototypes (one links through the import library); nothing here runs.
cmake --build "$i686_build" -j "$jobs" --target tamrix_map c_host_test win_host_test mapdump
bash scripts/check-win32-dll.sh "$i686_build/bin/tamrix_map.dll"

echo "== Windows x86_64: tamrix_map.dll, tests under wine64"
cmake -S . -B "$x86_64_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$x86_64_build" -j "$jobs"
imports=$(x86_64-w64-mingw32-objdump -p "$x86_64_build/bin/tamrix_map.dll" |
    awk '/DLL Name:/ {print $3}' | sort | paste -sd ' ' -)
echo "x86_64 tamrix_map.dll imports: $imports"
if [ "$imports" != "KERNEL32.dll msvcrt.dll" ]; then
    echo "FAIL: the x86_64 DLL depends on more than KERNEL32.dll and msvcrt.dll" >&2
    exit 1
fi

# A prefix of its own, made afresh, with no display, no .NET or Gecko
# installers and no desktop menu entries written into $HOME.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$root/$x86_64_build/wineprefix
export WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
# A server left by an interrupted run would outlive its deleted prefix.
if [ -d "$WINEPREFIX" ]; then "$wineserver" -k 2>/dev/null || true; fi
rm -rf "$WINEPREFIX"
wine_log=$root/$x86_64_build/wineboot.log
if ! { "$wine" wineboot -i && "$wineserver" -w; } >"$wine_log" 2>&1 </dev/null; then
    cat "$wine_log" >&2
    exit 1
fi

# One persistent server for all tests, stopped whatever happens. Wine's
# own service processes start with the first program of a session and
# outlive it; started here, they hold no pipe of ctest's open.
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM
"$wine" cmd /c exit >>"$wine_log" 2>&1 </dev/null

# Timed here so that ctest's summary closes the output; its tests take
# about a second.
echo "Windows builds, static checks and wine prefix: $((SECONDS - started)) s"
ctest --test-dir "$x86_64_build" --output-on-failure --timeout 300
