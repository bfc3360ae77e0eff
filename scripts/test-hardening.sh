#!/usr/bin/env bash
# Hardening gates: the test suite under AddressSanitizer and UBSan and under
# valgrind, a warning-free clang build, the heap audit, the committed fuzz
# inputs and a fixed fuzzing budget per target, and a coverage floor. Each
# build is the CMake preset of its name (asan, clang, fuzz, coverage).
#   TAMRIX_MAP_FUZZ_SECONDS  fuzzing budget per target (default 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

jobs=$(($(nproc) < 2 ? $(nproc) : 2))
fuzz_seconds=${TAMRIX_MAP_FUZZ_SECONDS:-60}
fuzz_targets=(map_parse_fuzzer allocation_failure_fuzzer scanner_differential_fuzzer)
# Coverage of our own sources must not drop below these (percent).
line_floor=98
branch_floor=91
out=build/hardening  # the presets' build trees are here too
mkdir -p "$out"
started=$SECONDS
source scripts/results.sh

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

configure_and_build() {  # preset
    run_logged "$1.configure" '' cmake --preset "$1"
    run_logged "$1.build" '' cmake --build --preset "$1" -j "$jobs"
}

# ctest of a preset, its results recorded for the stage summary.
run_ctest() {  # preset
    # shellcheck disable=SC2046 # the option and its value are two words
    run_logged "$1.tests" 'tests passed' ctest --preset "$1" -j "$jobs" $(ctest_results "$1")
}

stage "AddressSanitizer and UBSan, leak detection on (g++)"
configure_and_build asan
run_ctest asan

stage "clang++ build, warnings as errors; the heap audit (the static check heap_audit)"
configure_and_build clang
grep -q valgrind "$out/clang/tests/CTestTestfile.cmake" ||
    { echo "CMake did not put valgrind in front of the tests"; exit 1; }
# shellcheck disable=SC2046
run_logged heap_audit '' ctest --preset clang -L static -R '^heap_audit$' $(ctest_results heap-audit)

stage "valgrind memcheck over the test suite (clang build)"
# shellcheck disable=SC2046
run_logged valgrind.tests 'tests passed' ctest --preset clang -LE static -j "$jobs" $(ctest_results valgrind)

stage "fuzz targets (clang, libFuzzer): committed inputs"
configure_and_build fuzz
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
for target in "${fuzz_targets[@]}"; do
    inputs=(fuzz/corpus/"${target%_fuzzer}"/*)
    if [ -d fuzz/regressions/"${target%_fuzzer}" ]; then
        inputs+=(fuzz/regressions/"${target%_fuzzer}"/*)
    fi
    check "$target-inputs" run_logged "$target.replay" '' "$out/fuzz/fuzz/$target" "${inputs[@]}"
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
    if check "$target-fuzzing" wait "${pids[$i]}"; then
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
configure_and_build coverage
find "$out/coverage" -name '*.gcda' -delete
run_ctest coverage
# Our sources are the library's directories, with the grammar that bison
# reads; not the generated parser, the tests' flex oracle or GoogleTest.
# Branches that only exception handling adds are left out.
check coverage-floor run_logged coverage.report '^(lines|branches):' \
    gcovr --root . --object-directory "$out/coverage" \
    --exclude-directories '.*/CMakeFiles/[0-9.]+$' \
    --filter 'core/' --filter 'records/' --filter 'reader/' --filter 'api/' \
    --exclude-throw-branches --exclude-unreachable-branches \
    --print-summary --txt "$out/coverage/lines.txt" \
    --fail-under-line "$line_floor" --fail-under-branch "$branch_floor"
cat "$out/coverage/lines.txt"

stage "hardening passed"
