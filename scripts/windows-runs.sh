# The Windows stage's runs, sourced by scripts/test-windows.sh: the replay,
# mapdump.exe and the MSVC-ABI host against their Linux builds, and the
# ctest of a build, each with a prefix's server running.
source "$root/scripts/results.sh"

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
    check "replay-$arch" replay "$arch" "$loader" "$build" || status=1
    # The portable target, which processors without SSE2 run.
    if [ "$arch" = i686 ]; then
        check replay-i686-portable replay "i686 portable-target" "$loader" "$i686_portable_build" || status=1
    fi
    check "mapdump-exe-$arch" compare "$arch" "$loader" || status=1
    # The static checks ran before: they need no wine.
    # shellcheck disable=SC2046 # the option and its value are two words
    ctest --preset "mingw-$arch" -LE static $(ctest_results "ctest-$arch") "$@" || status=1
    return $status
}
