#!/usr/bin/env bash
# Builds the library and the benchmark programs, then times MapParse + walk
# + FreeAllRecords against wc -l, cat, mawk and Python's re on generated map
# files of seven shapes in 1, 16, 64 and 256 MiB, and counts instructions
# under callgrind. With --annotate it times `mapdump annotate` on a
# generated 64 MiB log against wc -l instead (bench/annotate_bench.py).
#
#   bash bench/run.sh                 the whole benchmark (a quarter of an hour or more)
#   bash bench/run.sh --smoke         1 MiB of each shape, one run, no targets (CI)
#   bash bench/run.sh --annotate      mapdump annotate (a minute or two; --smoke works too)
#   bash bench/run.sh --build-dir DIR reuse a configured build tree
# Any other option goes to bench/bench.py or bench/annotate_bench.py
# (--sizes 1,16 --runs 3 ..., --mib 16 --runs 3 ...).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build_dir=build/bench
script=bench/bench.py
targets=(gen_map parse_map count_tokens)
args=()
while (($#)); do
  case "$1" in
    --build-dir) build_dir=$2; shift 2 ;;
    --annotate) script=bench/annotate_bench.py; targets=(mapdump); shift ;;
    *) args+=("$1"); shift ;;
  esac
done

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" -j 2 --target "${targets[@]}" >/dev/null
python3 "$script" --build-dir "$build_dir" --data-dir build/bench-data "${args[@]}"
