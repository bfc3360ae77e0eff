#!/usr/bin/env bash
# Installs what is missing, builds mapdump and runs it: on
# examples/sample.map when no map file is given, else with the arguments
# as they are (see: bash scripts/run-example.sh --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Only what mapdump needs: no wine, clang, valgrind or GoogleTest.
bash scripts/install-deps.sh --example

# A build of its own without tests, so that the test command's build
# keeps its options.
build=build/example
log=$build/run-example.log
mkdir -p "$build"
echo "== building mapdump (log: $log)" >&2
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_WARNINGS_AS_ERRORS=ON \
           -DTAMRIX_MAP_BUILD_TESTS=OFF -DTAMRIX_MAP_BUILD_BENCH=OFF &&
       cmake --build "$build" --target mapdump -j "$(nproc)"; } >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi

# Does the command line name a map file already?
names_file=no
if (($# > 0)); then
  case $1 in diff) names_file=yes ;; esac
fi
expect_value=no
for argument in "$@"; do
  if [ "$expect_value" = yes ]; then expect_value=no; continue; fi
  case $argument in
    --format | --sort | --lookup | --find) expect_value=yes ;;
    --help | -h | --version) names_file=yes ;;
    -?*) ;;
    *) names_file=yes ;;
  esac
done
if [ "$names_file" = no ]; then
  set -- "$@" examples/sample.map
fi

echo "== $build/tools/mapdump/mapdump $*" >&2
exec "$build/tools/mapdump/mapdump" "$@"
