#!/usr/bin/env bash
# Builds everything and runs every test, stage by stage: the Linux build
# and its tests, the Windows stage, hardening, the release packages and
# their checks. Stops at the first stage that fails and ends with one
# summary line a stage (scripts/stage-summary.py). CI runs exactly this.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

jobs=$(nproc)
results=$root/build/results
rm -rf "$results"
mkdir -p "$results"
source scripts/results.sh
trap 'python3 scripts/stage-summary.py "$results"' EXIT

# run_stage NAME COMMAND [ARG...]: a stage, its results in build/results/NAME.
run_stage() {
    local name=$1 started=$SECONDS status=0
    shift
    echo "== stage $name"
    export TAMRIX_MAP_RESULTS=$results/$name
    mkdir -p "$TAMRIX_MAP_RESULTS"
    # A subshell of its own, so that the stage's first failing command ends it.
    set +e
    (set -e; "$@")
    status=$?
    set -e
    unset TAMRIX_MAP_RESULTS
    echo "$name $((SECONDS - started)) $status" >>"$results/stages.txt"
    return "$status"
}

linux_stage() {
    cmake --preset linux >/dev/null
    cmake --build --preset linux -j "$jobs"
    # The benchmark's 1 MiB smoke run (no timing asserts), and mapdump
    # annotate on 1 MiB checked against Python's re.
    check bench-smoke bash bench/run.sh --smoke --build-dir build/linux
    check annotate-smoke bash bench/run.sh --annotate --smoke --build-dir build/linux
    # shellcheck disable=SC2046 # the option and its value are two words
    ctest --preset linux -j "$jobs" $(ctest_results linux)
}

packages_stage() {
    check package bash scripts/package.sh  # the release artifacts in dist/
    bash scripts/test-packages.sh          # each of them checked from its contents alone
}

run_stage linux linux_stage
run_stage windows bash scripts/test-windows.sh
run_stage hardening bash scripts/test-hardening.sh
run_stage packages packages_stage
