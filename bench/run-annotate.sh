#!/usr/bin/env bash
# Builds mapdump and times `mapdump annotate` on a generated 64 MiB log
# against wc -l (bench/annotate_bench.py); see the README's mapdump section.
#
#   bash bench/run-annotate.sh                 the whole benchmark (a minute or two)
#   bash bench/run-annotate.sh --smoke         1 MiB, one run, no target
#   bash bench/run-annotate.sh --build-dir DIR reuse a configured build tree
# Any other option goes to bench/annotate_bench.py (--mib 16 --runs 3 ...).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build_dir=build/bench
args=()
while (($#)); do
  case "$1" in
    --build-dir) build_dir=$2; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" -j 2 --target mapdump >/dev/null
python3 bench/annotate_bench.py --build-dir "$build_dir" --data-dir build/bench-data "${args[@]}"
