#!/usr/bin/env bash
# Builds everything and runs every test. CI runs exactly this.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

jobs=$(nproc)
echo "== Linux build and tests"
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build/linux -j "$jobs"
bash bench/run.sh --smoke --build-dir build/linux  # the benchmark's 1 MiB smoke run, no timing asserts
bash bench/run.sh --annotate --smoke --build-dir build/linux  # mapdump annotate on 1 MiB, checked against Python re
ctest --test-dir build/linux -j "$jobs" --output-on-failure
bash scripts/test-windows.sh
bash scripts/test-hardening.sh
bash scripts/package.sh        # the release artifacts in dist/
bash scripts/test-packages.sh  # each of them checked from its contents alone
