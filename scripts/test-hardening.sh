#!/usr/bin/env bash
# Hardening gates: the test suite under AddressSanitizer and UBSan and under
# valgrind, a warning-free clang build, the heap audit, the committed fuzz
# inputs and a fixed fuzzing budget per target, and a coverage floor.
#   TAMRIX_FUZZ_SECONDS  fuzzing budget per target (default 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

jobs=$(($(nproc) < 2 ? $(nproc) : 2))
fuzz_seconds=${TAMRIX_FUZZ_SECONDS:-60}
fuzz_targets=(map_parse_fuzzer allocation_failure_fuzzer scanner_differential_fuzzer)
# Coverage of our own sources must not drop below these (percent).
line_floor=98
branch_floor=91
out=build/hardening
mkdir -p "$out"
started=$SECONDS

stage() { echo "== $* ($((SECONDS - started)) s)"; }

# Runs a command with its output in $out/<name>.log; shows the end of the
# log when it fails, and the lines matching `summary` when it passes.
run_logged() {
    local name=$1 summary=$2
    shift 2
    if "$@" >"$out/$name.log" 2>&1; then
        [ -z "$summary" ] || grep -E "$summary" "$out/$name.log" || true
    else
        tail -n 60 "$out/$name.log"
        echo "FAILED: $name (log: $out/$name.log)"
        exit 1
    fi
}

configure_and_build() {  # name, then cmake options
    local name=$1
    shift
    run_logged "$name.configure" '' cmake -S . -B "$out/$name" -DTAMRIX_MAP_WARNINGS_AS_ERRORS=ON "$@"
    run_logged "$name.build" '' cmake --build "$out/$name" -j "$jobs"
}

stage "AddressSanitizer and UBSan, leak detection on (g++)"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
configure_and_build asan -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
    "-DCMAKE_C_FLAGS=$sanitize" "-DCMAKE_CXX_FLAGS=$sanitize" \
    "-DCMAKE_EXE_LINKER_FLAGS=$sanitize" "-DCMAKE_SHARED_LINKER_FLAGS=$sanitize"
# Hosts built outside this build (the installed-tree consumers) and the
# Python interpreter would load the instrumented library without the
# sanitizer runtime; they are left to the other builds.
run_logged asan.tests 'tests passed' env \
    ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$out/asan" -j "$jobs" --output-on-failure \
    -E '^(consumer_cmake_package|consumer_pkg_config|python_module)$'

stage "clang++ build, warnings as errors"
# Its tests run under valgrind, which reads DWARF 4.
valgrind="/usr/bin/valgrind;-q;--error-exitcode=1;--leak-check=full"
valgrind+=";--show-leak-kinds=definite,indirect,possible;--errors-for-leak-kinds=definite,indirect,possible"
configure_and_build clang -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS=-gdwarf-4 -DCMAKE_CXX_FLAGS=-gdwarf-4 \
    "-DCMAKE_CROSSCOMPILING_EMULATOR=$valgrind"
grep -q valgrind "$out/clang/tests/CTestTestfile.cmake" ||
    { echo "CMake did not put valgrind in front of the tests"; exit 1; }

stage "heap audit: only core/heap.cpp calls the C heap"
# The exception that carries a scanner error out of the parser is the C++
# runtime's; it falls back on the runtime's emergency pool.
audit_failed=0
while IFS= read -r object; do
    allowed='^$'
    case "$object" in
        */heap.cpp.o) allowed='^(malloc|aligned_alloc|realloc|free)$' ;;
        */scan_buffer.cpp.o) allowed='^__cxa_allocate_exception$' ;;
    esac
    for call in $(nm -u "$object" | awk '{print $2}'); do
        if grep -qE '^(malloc|calloc|realloc|free|strdup|strndup|aligned_alloc|posix_memalign|_Zn[wa]m.*|_Zd[la]Pv.*|__cxa_allocate_exception)$' <<<"$call" &&
            ! grep -qE "$allowed" <<<"$call"; then
            echo "$object calls $call"
            audit_failed=1
        fi
    done
done < <(find "$out"/clang/{core,records,reader,api}/CMakeFiles/tamrix_map_*.dir -name '*.o' | sort)
((audit_failed == 0)) || exit 1
echo "ok"

stage "valgrind memcheck over the test suite (clang build)"
run_logged valgrind.tests 'tests passed' ctest --test-dir "$out/clang" -j "$jobs" --output-on-failure

stage "fuzz targets (clang, libFuzzer): committed inputs"
configure_and_build fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTAMRIX_MAP_BUILD_FUZZERS=ON -DTAMRIX_MAP_BUILD_TESTS=OFF \
    -DTAMRIX_MAP_BUILD_MAPDUMP=OFF -DTAMRIX_MAP_BUILD_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
for target in "${fuzz_targets[@]}"; do
    inputs=(fuzz/corpus/"${target%_fuzzer}"/*)
    if [ -d fuzz/regressions/"${target%_fuzzer}" ]; then
        inputs+=(fuzz/regressions/"${target%_fuzzer}"/*)
    fi
    run_logged "$target.replay" '' "$out/fuzz/fuzz/$target" "${inputs[@]}"
    echo "$target: ${#inputs[@]} committed inputs replayed"
done

stage "fuzzing ${fuzz_seconds} s per target"
pids=()
for target in "${fuzz_targets[@]}"; do
    work=$out/fuzz/$target.work
    rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
    "$out/fuzz/fuzz/$target" "$work/corpus" fuzz/corpus/"${target%_fuzzer}" \
        -max_total_time="$fuzz_seconds" -max_len=24576 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$out/$target.log" 2>&1 &
    pids+=($!)
done
fuzz_failed=0
for i in "${!fuzz_targets[@]}"; do
    target=${fuzz_targets[$i]}
    if wait "${pids[$i]}"; then
        grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec)' \
            "$out/$target.log" | sed "s/^/$target: /" || true
    else
        tail -n 40 "$out/$target.log"
        echo "FAILED: $target; commit its input from $out/fuzz/$target.work/artifacts" \
             "to fuzz/regressions/${target%_fuzzer} with the fix"
        fuzz_failed=1
    fi
done
((fuzz_failed == 0)) || exit 1

stage "coverage of our own sources (g++ --coverage)"
configure_and_build coverage -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
    -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage
find "$out/coverage" -name '*.gcda' -delete
run_logged coverage.tests 'tests passed' ctest --test-dir "$out/coverage" -j "$jobs" --output-on-failure
# Our sources are the library's directories, with the grammar that bison
# reads; not the generated parser, the tests' flex oracle or GoogleTest.
# Branches that only exception handling adds are left out.
run_logged coverage.report '^(lines|branches):' \
    gcovr --root . --object-directory "$out/coverage" \
    --exclude-directories '.*/CMakeFiles/[0-9.]+$' \
    --filter 'core/' --filter 'records/' --filter 'reader/' --filter 'api/' \
    --exclude-throw-branches --exclude-unreachable-branches \
    --print-summary --txt "$out/coverage/lines.txt" \
    --fail-under-line "$line_floor" --fail-under-branch "$branch_floor"
cat "$out/coverage/lines.txt"

stage "hardening passed"
