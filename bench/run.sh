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
#   bash bench/run.sh --32bit         instructions of the 32-bit build made as the DLL
#                                     is made (and held to its portable target)
#                                     beside the x86_64 build's, every shape (minutes)
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
    --32bit) script=32bit; shift ;;
    *) args+=("$1"); shift ;;
  esac
done

# The builds are the presets' of the same names (CMakePresets.json); a
# --build-dir tree is used as it is configured.
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  [ "$build_dir" = build/bench ] || { echo "bench/run.sh: $build_dir is no configured build tree" >&2; exit 2; }
  cmake --preset bench >/dev/null
fi
if [ "$script" = 32bit ]; then
  for preset in bench-i686 bench-i686-portable; do
    [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j 2 >/dev/null
  done
  cmake --build "$build_dir" -j 2 --target gen_map parse_map >/dev/null
  gcc -m32 -O2 -shared -fPIC bench/byte_loop_memchr.c -o "$build_dir/byte_loop_memchr.so"
  exec python3 bench/product_counts.py --x86-64-build "$build_dir" --i686-build build/bench-i686 \
    --i686-portable-build build/bench-i686-portable --preload "$root/$build_dir/byte_loop_memchr.so" \
    --data-dir build/bench-data "${args[@]}"
fi

cmake --build "$build_dir" -j 2 --target "${targets[@]}" >/dev/null
python3 "$script" --build-dir "$build_dir" --data-dir build/bench-data "${args[@]}"
