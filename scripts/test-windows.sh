#!/usr/bin/env bash
# The Windows stage. What runs where:
#   i686   tamrix_map.dll, the one users ship: built with MinGW-w64 and
#          checked statically (the CTest tests labelled static: export
#          table, imports, SSE2 code only behind cpuid, how each export
#          returns); then every other test of its tree runs under wine32 in a
#          fresh win32 prefix (the GoogleTest suites, the C hosts, the
#          Windows host, mapdump's unit tests, the stack contract, 1,000
#          loads and unloads), and so does the host linked the MSVC way.
#          These runs go through scripts/run-32bit.sh: where this kernel
#          runs no 32-bit code, all of them run in one boot of a qemu
#          guest with one prefix.
#   x86_64 the same tests under wine64 in a fresh win64 prefix, and its
#          host linked the MSVC way.
#   both   the replay: the corpus the Linux build writes (several thousand
#          map files and paths, with what the Linux library makes of each)
#          read through the DLL by replay_host.exe, which names every file
#          where the DLL sees something else (on i686 also through a build
#          held to the portable target, which processors without SSE2 run); mapdump.exe prints the same
#          bytes, standard error and exit status as the Linux mapdump for
#          every map file under tests/ and examples/, for a generated 16 MiB
#          map and over the replay corpus; the MSVC-ABI hosts print the same
#          bytes as their Linux build (scripts/windows-runs.sh).
# test-windows.sh --wine32-tests is the part that runs in the win32 session.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=$(nproc)
started=$SECONDS
# The builds are the presets' of the same names (CMakePresets.json).
i686_build=build/mingw-i686
x86_64_build=build/mingw-x86_64
i686_portable_build=build/mingw-i686-portable  # the i686 DLL held to its portable target
linux_build=build/linux
compare_dir=build/windows-compare
replay_corpus=$linux_build/tests/replay/corpus

source scripts/wine.sh
source scripts/windows-runs.sh

# The 32-bit runs, inside scripts/wine-session.sh win32 (through
# scripts/run-32bit.sh). Both of the guest's processors are used: its
# longest programs, the three parts of unit_tests and load_unload_test,
# run side by side.
if [ "${1:-}" = --wine32-tests ]; then
    [ -z "${windows_guest_started_at:-}" ] ||
        echo "i686 session: ready $(($(date +%s) - windows_guest_started_at)) s after the guest was started"
    run_tests i686 "$WINE" "$i686_build" -j "$(nproc)"
    exit
fi

mkdir -p build "$compare_dir"
remove_prefixes "$root/build"
# The win32 prefix this run makes is saved here for scripts/test-packages.sh.
win32_prefix_saved=$root/build/wineprefix-win32.tar
rm -f "$win32_prefix_saved"
prefixes=()
boot64=
# Whatever happens: no boot left running, no server left for this run's
# prefixes (the folders stay for a look at them until the next run).
stop_all() {
    local prefix
    [ -z "$boot64" ] || kill "$boot64" 2>/dev/null || true
    for prefix in "$root"/build/wineprefix-*.??????; do
        [ -d "$prefix" ] && stop_server "$prefix"
    done
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# The slow boots run while the trees build.
boot_started=$SECONDS
boot_prefix win64 "$wine_dir/wine64" build/wineboot-win64.log "$root/build" >build/wineprefix-win64.path &
boot64=$!

# wait_for_prefix PID PATH_FILE: the prefix's path once its boot is done.
wait_for_prefix() {
    if ! wait "$1"; then
        echo "FAIL: no wine prefix could be set up" >&2
        exit 1
    fi
    prefixes+=("$(cat "$2")")
}

# --- Builds and static checks ----------------------------------------------
# build_and_check PRESET: builds it (or ends the stage) and runs its static
# checks, which need no wine; there must be some.
build_and_check() {
    { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"; } || exit 1
    [ "$(ctest --preset "$1" -N -L static | grep -c 'Test #')" -gt 0 ] ||
        { echo "FAIL: $1 has no static checks (python3-pytest missing?)" >&2; return 1; }
    # shellcheck disable=SC2046 # the option and its value are two words
    ctest --preset "$1" -L static $(ctest_results "static-$1")
}
failed=0
echo "== Windows i686: tamrix_map.dll and its tests"
build_and_check mingw-i686 || failed=1
# The same DLL held to its portable target, for the replay.
cmake --preset mingw-i686-portable >/dev/null
cmake --build --preset mingw-i686-portable -j "$jobs" >/dev/null

echo "== Windows x86_64: tamrix_map.dll and its tests"
build_and_check mingw-x86_64 || failed=1

# The Linux side of the comparisons: mapdump, the library, gen_map, the
# replay corpus with its expected results and the MSVC-ABI host's source
# built with the C library.
[ -f "$linux_build/CMakeCache.txt" ] || cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs" --target mapdump gen_map replay_corpus >/dev/null
linux_lib_dir=$(dirname "$(find "$linux_build" -maxdepth 3 -name 'libtamrix_map.so' -print -quit)")
cc -O2 -Wall -Wextra -Werror -Iinclude tests/windows/msvc_host.c -o "$compare_dir/msvc_host" \
    -L"$linux_lib_dir" -ltamrix_map -Wl,-rpath,"$root/$linux_lib_dir"
for arch in i686 x86_64; do
    build=build/mingw-$arch
    bash tests/windows/build_msvc_host.sh "$arch" include "$build" "$compare_dir/$arch"
    cp "$build/bin/tamrix_map.dll" "$compare_dir/$arch/"
done
"$linux_build/bench/gen_map" "$compare_dir/generated-16MiB.map" 16777216 >/dev/null
echo "builds done: $((SECONDS - started)) s"

wait_for_prefix "$boot64" build/wineprefix-win64.path
echo "== x86_64 under wine64 (prefix ready $((SECONDS - boot_started)) s after its boot began)"
export WINEPREFIX=${prefixes[-1]}
# Wine's own service processes start with the first program of a session
# and outlive it; started here, they hold no pipe of ctest's.
"$wineserver" -p
"$wine_dir/wine64" cmd /c exit >/dev/null 2>&1 </dev/null
run_tests x86_64 "$wine_dir/wine64" "$x86_64_build" || failed=1
stop_server "$WINEPREFIX"

echo "== i686 under wine32, through scripts/run-32bit.sh"
# First a short check that the runner hands back output and exit status.
check_started=$SECONDS
passed_through=$(bash scripts/run-32bit.sh sh -c 'echo out; echo err >&2; exit 3' 2>"$compare_dir/run-32bit.err") &&
    status=0 || status=$?
if [ "$status" != 3 ] || [ "$passed_through" != out ] || [ "$(cat "$compare_dir/run-32bit.err")" != err ]; then
    echo "FAIL: run-32bit.sh gave exit status $status, output '$passed_through' and" \
        "'$(cat "$compare_dir/run-32bit.err")', not 3, out and err" >&2
    exit 1
fi
echo "run-32bit.sh: exit status and output passed through ($((SECONDS - check_started)) s)"
i686_started=$SECONDS
windows_guest_started_at=$(date +%s) WINE_SESSION_SAVED=$win32_prefix_saved \
    RUN_32BIT_ENV="windows_guest_started_at WINE_SESSION_SAVED TAMRIX_MAP_RESULTS" RUN_32BIT_TIMEOUT=3000 \
    bash scripts/run-32bit.sh bash scripts/wine-session.sh win32 bash scripts/test-windows.sh --wine32-tests ||
    failed=1
echo "i686 runs: $((SECONDS - i686_started)) s"
echo "Windows stage: $((SECONDS - started)) s"
exit $failed
