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

if [ "$script" = 32bit ]; then
  bench_options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_BUILD_TESTS=OFF -DTAMRIX_MAP_BUILD_MAPDUMP=OFF)
  for tree in "$build_dir-i686:auto" "$build_dir-i686-portable:portable"; do
    [ -f "${tree%:*}/CMakeCache.txt" ] ||
      cmake -S . -B "${tree%:*}" --toolchain cmake/linux-i686.cmake "${bench_options[@]}" \
        "-DTAMRIX_MAP_TARGETS=${tree#*:}" >/dev/null
    cmake --build "${tree%:*}" -j 2 --target parse_map >/dev/null
  done
  [ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build_dir" -j 2 --target gen_map parse_map >/dev/null
  gcc -m32 -O2 -shared -fPIC bench/byte_loop_memchr.c -o "$build_dir/byte_loop_memchr.so"
  exec python3 bench/product_counts.py --x86-64-build "$build_dir" --i686-build "$build_dir-i686" \
    --i686-portable-build "$build_dir-i686-portable" --preload "$root/$build_dir/byte_loop_memchr.so" \
    --data-dir build/bench-data "${args[@]}"
fi

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" -j 2 --target "${targets[@]}" >/dev/null
python3 "$script" --build-dir "$build_dir" --data-dir build/bench-data "${args[@]}"
