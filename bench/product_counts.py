"""Instructions of MapParse + walk + FreeAllRecords (parse_walk_free) per
input byte and per record, for the x86_64 build beside the 32-bit build
made as the DLL is made (and that build held to its portable target),
on every shape of bench/gen_map.cpp and of bench/gen_other_maps.py. The
32-bit counts run through scripts/run-32bit.sh with memchr a byte loop.
Called by `bench/run.sh --32bit`, which builds the three trees first.
"""
import argparse
import os
import subprocess
import sys

import bench

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OTHER_SHAPES = ["listing", "modules", "xref"]
MAX_RATIO = 1.35           # 32-bit / x86_64
MAX_PORTABLE_RATIO = 2.0   # 32-bit portable target / x86_64


def count(build_dir, path, data_dir, bits32, preload):
    runner = ["bash", os.path.join(ROOT, "scripts", "run-32bit.sh"), "env", "LD_PRELOAD=" + preload] if bits32 else []
    return bench.callgrind(build_dir, path, data_dir, runner=runner)


def records_of(build_dir, path):
    output = subprocess.run([os.path.join(build_dir, "bench", "parse_map"), path], check=True,
                            stdout=subprocess.PIPE, text=True).stdout
    return int(bench.parse_summary(output)["records"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--x86-64-build", required=True)
    parser.add_argument("--i686-build", required=True)
    parser.add_argument("--i686-portable-build", required=True)
    parser.add_argument("--preload", required=True, help="the 32-bit byte-loop memchr")
    parser.add_argument("--data-dir", required=True)
    parser.add_argument("--mib", type=int, default=8)
    args = parser.parse_args()
    os.makedirs(args.data_dir, exist_ok=True)
    builds = [("x86_64", args.x86_64_build, False), ("32-bit", args.i686_build, True),
              ("32-bit portable", args.i686_portable_build, True)]
    size = args.mib * bench.MIB
    gen_map = os.path.join(args.x86_64_build, "bench", "gen_map")
    failures = []
    print("instructions in parse_walk_free, %d MiB files; 32-bit with memchr a byte loop" % args.mib)
    print("%-22s %9s %9s %9s %9s %9s %9s %7s %7s" % ("shape", "x64 /B", "32 /B", "port /B", "x64 /rec", "32 /rec",
                                                    "port/rec", "32/x64", "port/x64"))
    for shape in bench.SHAPES + OTHER_SHAPES:
        path = os.path.join(args.data_dir, "%s_%dMiB.map" % (shape, args.mib))
        if not (os.path.exists(path) and os.path.getsize(path) == size):
            if shape in OTHER_SHAPES:
                subprocess.run([sys.executable, os.path.join(HERE, "gen_other_maps.py"), shape, path, str(size)],
                               check=True)
            else:
                bench.generate(gen_map, shape, path, size)
        records = records_of(args.x86_64_build, path)
        totals = {}
        for name, build, bits32 in builds:
            totals[name], _ = count(build, path, args.data_dir, bits32, args.preload)
        x64, b32, port = totals["x86_64"], totals["32-bit"], totals["32-bit portable"]
        label = shape + ("" if shape in bench.SHAPES else " (other)")
        per_record = lambda n: n / records if records else 0.0
        print("%-22s %9.2f %9.2f %9.2f %9.0f %9.0f %9.0f %7.2f %7.2f"
              % (label, x64 / size, b32 / size, port / size, per_record(x64), per_record(b32), per_record(port),
                 b32 / x64, port / x64))
        if b32 / x64 > MAX_RATIO:
            failures.append("%s: 32-bit / x86_64 %.2f > %.2f" % (shape, b32 / x64, MAX_RATIO))
        if port / x64 > MAX_PORTABLE_RATIO:
            failures.append("%s: portable / x86_64 %.2f > %.2f" % (shape, port / x64, MAX_PORTABLE_RATIO))
    # Where a dense record line's instructions go, from a file of record
    # lines alone.
    path = os.path.join(args.data_dir, "dense_records_%dMiB.map" % args.mib)
    if not (os.path.exists(path) and os.path.getsize(path) == size):
        bench.generate(gen_map, "dense", path, size, "records")
    lines = records_of(args.x86_64_build, path)
    print("a dense record line (a file of record lines alone): instructions, and their split")
    for name, build, bits32 in builds:
        total, shares = count(build, path, args.data_dir, bits32, args.preload)
        print("  %-16s %5.0f: scanner %.0f, parser %.0f, records %.0f, driver and walk %.0f, other %.0f"
              % ((name, total / lines) + tuple(shares[k] / lines for k in
                                               ("scanner", "parser", "records", "driver", "other"))))
    for failure in failures:
        print("NOT MET: " + failure)
    if not failures:
        print("all targets met")


if __name__ == "__main__":
    main()
