#!/usr/bin/env bash
# Installs what is missing, builds mapdump and runs it: on
# examples/sample.map when it is given no arguments, else with the
# arguments as they are (bash scripts/run-example.sh --help lists them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Only what mapdump needs: no wine, clang, valgrind or GoogleTest.
bash scripts/install-deps.sh --example

# The example preset's build of its own, without tests, so that the test
# command's build keeps its options.
build=build/example
log=$build/run-example.log
mkdir -p "$build"
echo "== building mapdump (log: $log)" >&2
if ! { cmake --preset example && cmake --build --preset example -j "$(nproc)"; } >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi

(($# > 0)) || set -- examples/sample.map
echo "== $build/tools/mapdump/mapdump $*" >&2
exec "$build/tools/mapdump/mapdump" "$@"
