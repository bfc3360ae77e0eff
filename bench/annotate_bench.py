"""Times `mapdump annotate` on a generated log, written to a file, beside
`wc -l` on the same log, and counts the instructions of both under
callgrind. Called by bench/run.sh --annotate, which builds mapdump first.

The runs of the two are interleaved, so that load from elsewhere hits both
alike; wall times on a shared machine still move from run to run, the
instruction counts do not. Before timing, the output on a 1 MiB log is
compared with a slow reference written with Python's re.
"""
import argparse
import bisect
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

MIB = 1024 * 1024
HERE = os.path.dirname(os.path.abspath(__file__))
MAX_RATIO_TO_WC = 15.0
MAX_OFFSET = 0x1000

ADDRESS = re.compile(rb"(?<![0-9A-Za-z_])0[xX]([0-9A-Fa-f]{1,8})(?![0-9A-Za-z_])")
MAP_RECORD = re.compile(rb"^code ADDR ([0-9A-F]{1,4})H (\w+)$", re.MULTILINE)


def generate(data_dir, mib):
    """The map and a log of `mib` MiB, made once and kept."""
    map_path = os.path.join(data_dir, "annotate.map")
    log_path = os.path.join(data_dir, "annotate_%dMiB.log" % mib)
    if not (os.path.exists(map_path) and os.path.exists(log_path) and os.path.getsize(log_path) == mib * MIB):
        subprocess.run([sys.executable, os.path.join(HERE, "gen_annotate_log.py"), map_path, log_path,
                        str(mib * MIB)], check=True)
    return map_path, log_path


def reference(map_path, log_path):
    with open(map_path, "rb") as file:
        records = [(int(address, 16), name) for address, name in MAP_RECORD.findall(file.read())]
    addresses = [address for address, _ in records]

    def annotated(match):
        value = int(match[1], 16)
        i = bisect.bisect_right(addresses, value) - 1
        if i < 0 or value - addresses[i] >= MAX_OFFSET:
            return match[0]
        offset = value - addresses[i]
        return match[0] + b" <" + records[i][1] + (b"+0x%X" % offset if offset else b"") + b">"

    with open(log_path, "rb") as file:
        return ADDRESS.sub(annotated, file.read())


def run(argv, out_path):
    with open(out_path, "wb") as out:
        start = time.perf_counter()
        subprocess.run(argv, stdout=out, check=True)
        return time.perf_counter() - start


def instructions(argv, data_dir):
    out_file = os.path.join(data_dir, "annotate.callgrind")
    subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out_file] + argv,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    with open(out_file) as file:
        totals = [line for line in file if line.startswith(("summary:", "totals:"))]
    os.remove(out_file)
    return int(totals[-1].split()[1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--data-dir", required=True)
    parser.add_argument("--mib", type=int, default=64)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--callgrind-mib", type=int, default=8, help="0 leaves callgrind out")
    parser.add_argument("--smoke", action="store_true", help="1 MiB, one run, no callgrind, no target")
    args = parser.parse_args()
    if args.smoke:
        args.mib, args.runs, args.callgrind_mib = 1, 1, 0
    os.makedirs(args.data_dir, exist_ok=True)
    mapdump = os.path.join(args.build_dir, "tools", "mapdump", "mapdump")
    wc = shutil.which("wc")
    out_path = os.path.join(args.data_dir, "annotate.out")

    map_path, check_log = generate(args.data_dir, 1)
    run([mapdump, "annotate", map_path, check_log], out_path)
    with open(out_path, "rb") as file:
        if file.read() != reference(map_path, check_log):
            sys.exit("mapdump annotate and the reference differ on " + check_log)

    map_path, log_path = generate(args.data_dir, args.mib)
    annotate = [mapdump, "annotate", map_path, log_path]
    count = [wc, "-l", log_path]
    run(annotate, out_path)  # warm the page cache
    run(count, os.devnull)
    annotate_times, count_times = [], []
    for _ in range(args.runs):
        annotate_times.append(run(annotate, out_path))
        count_times.append(run(count, os.devnull))
    annotate_median, count_median = statistics.median(annotate_times), statistics.median(count_times)
    ratio = annotate_median / count_median
    size = os.path.getsize(log_path)
    print("%d MiB log, one address in one line of ten, output to a file; medians of %d runs "
          "(wall clock, disturbed by other load)" % (args.mib, args.runs))
    print("  %-18s %9s %9s %8s" % ("", "seconds", "MB/s", "x wc -l"))
    for name, seconds in (("wc -l", count_median), ("mapdump annotate", annotate_median)):
        print("  %-18s %9.4f %9.0f %8.1f" % (name, seconds, size / seconds / 1e6, seconds / count_median))
    print("  runs: annotate %s; wc -l %s" % (" ".join("%.3f" % t for t in annotate_times),
                                            " ".join("%.4f" % t for t in count_times)))

    if args.callgrind_mib:
        map_path, cg_log = generate(args.data_dir, args.callgrind_mib)
        per_byte = [instructions(argv, args.data_dir) / (args.callgrind_mib * MIB)
                    for argv in ([mapdump, "annotate", "--", map_path, cg_log], [wc, "-l", cg_log])]
        print("instructions per log byte under callgrind, %d MiB log, whole process: "
              "mapdump annotate %.2f, wc -l %.2f (x%.1f)" % (args.callgrind_mib, per_byte[0], per_byte[1],
                                                           per_byte[0] / per_byte[1]))

    if not args.smoke:
        verdict = "met" if ratio <= MAX_RATIO_TO_WC else "MISSED"
        print("target: mapdump annotate at most %.0f x wc -l: %.1f x, %s" % (MAX_RATIO_TO_WC, ratio, verdict))
        if ratio > MAX_RATIO_TO_WC:
            sys.exit(1)


if __name__ == "__main__":
    main()
