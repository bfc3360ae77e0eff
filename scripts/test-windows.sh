#!/usr/bin/env bash
# The Windows stage. What runs where:
#   i686   tamrix_map.dll, the one users ship: built with MinGW-w64 and
#          checked statically (export table, imports, SSE2 code only
#          behind cpuid, how each export returns); then every test of its tree runs under wine32 in a
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
#          bytes as their Linux build.
# test-windows.sh --wine32-tests is the part that runs in the win32 session.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=$(nproc)
started=$SECONDS
i686_build=build/mingw-i686
x86_64_build=build/mingw-x86_64
i686_portable_build=build/mingw-i686-portable  # the i686 DLL held to its portable target
linux_build=build/linux
compare_dir=build/windows-compare
replay_corpus=$linux_build/tests/replay/corpus

source scripts/wine.sh

# --- Runs ----------------------------------------------------------------
# same_run WHAT ARCH LOADER DIR ARG...: mapdump and its Windows build run in
# DIR with the same arguments must write the same standard output, the
# same standard error (read with LF line ends: Windows writes CR LF to a
# text-mode stderr) and exit with the same status.
same_run() {
    local what=$1 arch=$2 loader=$3 dir=$4 out=$root/$compare_dir/$arch/$1
    shift 4
    (cd "$dir" && "$root/$linux_build/tools/mapdump/mapdump" "$@" >"$out.linux" 2>"$out.linux.err" &&
        echo "exit 0" || echo "exit $?") >>"$out.linux"
    (cd "$dir" && "$loader" "$root/build/mingw-$arch/bin/mapdump.exe" "$@" >"$out.windows" 2>"$out.windows.err" \
        </dev/null && echo "exit 0" || echo "exit $?") >>"$out.windows"
    sed -i 's/\r$//' "$out.windows.err"
    cmp -s "$out.linux" "$out.windows" && cmp -s "$out.linux.err" "$out.windows.err" && return 0
    echo "FAIL: mapdump for $arch prints other bytes than on Linux for $what" >&2
    cmp "$out.linux" "$out.windows" >&2 || true
    cmp "$out.linux.err" "$out.windows.err" >&2 || true
    return 1
}

# compare ARCH LOADER: mapdump and the MSVC-ABI host of one Windows build
# against their Linux builds, run from the repository's root so that the
# paths they print are the same.
compare() {
    local arch=$1 loader=$2 map paths=() differing=0 runs=0 runs_differing=0 i
    local maps=($(find tests examples -name '*.map' | sort) "$compare_dir/generated-16MiB.map")
    for map in "${maps[@]}"; do
        same_run "$(echo "$map" | tr '/' '_')" "$arch" "$loader" . "$map" || differing=$((differing + 1))
    done
    echo "$arch mapdump.exe: the same bytes as Linux for ${#maps[@]} map files ($((${#maps[@]} - differing)) of ${#maps[@]})"
    # The replay corpus, 500 paths a run, those of printable ASCII only: a
    # command line hands other bytes on in the code page of the day. (No
    # process substitution: the 32-bit guest has no /dev/fd.)
    grep -a -E '^[ -~]+$' "$replay_corpus/paths.txt" >"$compare_dir/$arch/corpus-paths"
    mapfile -t paths <"$compare_dir/$arch/corpus-paths"
    if ((${#paths[@]} < 1000)); then
        echo "FAIL: only ${#paths[@]} paths of the replay corpus for mapdump" >&2
        differing=$((differing + 1))
    fi
    for ((i = 0; i < ${#paths[@]}; i += 500, runs += 1)); do
        same_run "replay-corpus-$i" "$arch" "$loader" "$replay_corpus" "${paths[@]:i:500}" ||
            runs_differing=$((runs_differing + 1))
    done
    echo "$arch mapdump.exe over the replay corpus: ${#paths[@]} files in $runs runs, the same output, errors" \
        "and exit status as Linux in $((runs - runs_differing)) of $runs"
    differing=$((differing + runs_differing))
    local host_args=(tests/data/mixed.map examples/sample.map tests/data/no-such.map)
    "$compare_dir/msvc_host" "${host_args[@]}" >"$compare_dir/msvc_host.linux"
    "$loader" "$compare_dir/$arch/msvc_host.exe" "${host_args[@]}" >"$compare_dir/$arch/msvc_host.out" </dev/null
    echo "$arch MSVC-ABI host (clang-cl, lld-link, tamrix_map.lib) says:"
    sed -n '1,5p; /^MapParse tests.data.no-such/,$p' "$compare_dir/$arch/msvc_host.out" | sed 's/^/    /'
    if ! cmp "$compare_dir/msvc_host.linux" "$compare_dir/$arch/msvc_host.out"; then
        echo "FAIL: the $arch MSVC-ABI host prints other bytes than on Linux" >&2
        differing=$((differing + 1))
    fi
    return $((differing != 0))
}

# replay NAME LOADER BUILD: the replay corpus through the build's DLL, in
# one process; its last line says how many files it replayed and how many
# differ.
replay() {
    local name=$1 loader=$2 build=$3 started=$SECONDS status=0
    echo "$name replay through tamrix_map.dll:"
    "$loader" "$build/bin/replay_host.exe" "$replay_corpus" </dev/null || status=$?
    echo "$name replay took $((SECONDS - started)) s"
    return $status
}

# run_tests ARCH LOADER BUILD [CTEST_OPTION...]: the comparisons and ctest
# of the build, with the prefix's server running.
run_tests() {
    local arch=$1 loader=$2 build=$3 status=0
    shift 3
    replay "$arch" "$loader" "$build" || status=1
    # The portable target, which processors without SSE2 run.
    if [ "$arch" = i686 ]; then
        replay "i686 portable-target" "$loader" "$i686_portable_build" || status=1
    fi
    compare "$arch" "$loader" || status=1
    ctest --test-dir "$build" --output-on-failure --timeout 1500 "$@" || status=1
    return $status
}

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
echo "== Windows i686: tamrix_map.dll and its tests"
cmake -S . -B "$i686_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$i686_build" -j "$jobs"
bash scripts/check-win32-dll.sh "$i686_build/bin/tamrix_map.dll"
# The same DLL held to its portable target, for the replay.
cmake -S . -B "$i686_portable_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_WARNINGS_AS_ERRORS=ON -DTAMRIX_MAP_TARGETS=portable >/dev/null
cmake --build "$i686_portable_build" -j "$jobs" --target replay_host >/dev/null

echo "== Windows x86_64: tamrix_map.dll and its tests"
cmake -S . -B "$x86_64_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$x86_64_build" -j "$jobs"
bash scripts/check-dll-imports.sh "$x86_64_build/bin/tamrix_map.dll"

# The Linux side of the comparisons: mapdump, the library, gen_map, the
# replay corpus with its expected results and the MSVC-ABI host's source
# built with the C library.
if [ ! -f "$linux_build/CMakeCache.txt" ]; then
    cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_BUILD_BENCH=ON \
        -DTAMRIX_MAP_BUILD_MAPDUMP=ON >/dev/null
fi
cmake --build "$linux_build" -j "$jobs" --target mapdump gen_map replay_corpus >/dev/null
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

failed=0
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
    RUN_32BIT_ENV="windows_guest_started_at WINE_SESSION_SAVED" RUN_32BIT_TIMEOUT=3000 \
    bash scripts/run-32bit.sh bash scripts/wine-session.sh win32 bash scripts/test-windows.sh --wine32-tests ||
    failed=1
echo "i686 runs: $((SECONDS - i686_started)) s"
echo "Windows stage: $((SECONDS - started)) s"
exit $failed
