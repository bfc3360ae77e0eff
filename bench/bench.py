"""Times MapParse + walk + FreeAllRecords against its peers on generated
map files, side by side, and prints one table. Called by bench/run.sh,
which builds the programs first; see the README for the command.

Every process is timed from spawn to exit, so all rows pay their own start
up; the library's row also reports the time spent in the parse itself
("in-process"), which is what the per-MiB flatness check uses. Runs of the
different tools are interleaved, so a burst of load from elsewhere hits
all of them alike.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

MIB = 1024 * 1024
HERE = os.path.dirname(os.path.abspath(__file__))

# Targets checked on the 64 MiB file (or the largest one measured).
MAX_RATIO_TO_WC = 15.0
MIN_SPEEDUP_OVER_MAWK = 4.0
MAX_INSTRUCTIONS_PER_BYTE = 25.0
MAX_BYTES_PER_RECORD = 80.0
FIXED_MEMORY_KIB = 4 * 1024
MAX_FLATNESS = 1.20


def parse_summary(text):
    return {key: value for key, value in re.findall(r"(\w+)=(\S+)", text)}


def generate(gen_map, path, size):
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    subprocess.run([gen_map, path, str(size)], check=True)


def tools(build_dir, path):
    """The rows of the table: name, argv."""
    return [
        ("tamrix_map", [os.path.join(build_dir, "bench", "parse_map"), path]),
        ("wc -l", [shutil.which("wc"), "-l", path]),
        ("cat", [shutil.which("cat"), path]),
        ("mawk", [shutil.which("mawk"), "-f", os.path.join(HERE, "extract_records.awk"), path]),
        ("python re", [sys.executable, os.path.join(HERE, "extract_records.py"), path]),
    ]


def timed_run(argv, capture=False):
    """Runs argv once; returns its wall seconds and its output."""
    if capture:
        read_end, write_end = os.pipe()
        actions = [(os.POSIX_SPAWN_DUP2, write_end, 1), (os.POSIX_SPAWN_CLOSE, read_end)]
    else:
        actions = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)]
    start = time.perf_counter_ns()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions)
    output = b""
    if capture:
        os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            output = pipe.read()
    _, status = os.waitpid(pid, 0)
    seconds = (time.perf_counter_ns() - start) / 1e9
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s" % " ".join(argv))
    return seconds, output.decode()


def peak_rss_kib(argv):
    """Peak resident size of one run, from /usr/bin/time, which forks from
    a small process image (a child spawned from this Python process would
    report Python's own peak)."""
    if not os.path.exists("/usr/bin/time"):
        return -1
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, check=True)
    return int(result.stderr.strip().splitlines()[-1])


def verify(rows, size_label):
    """The peers must find the records the library finds."""
    found = {}
    for name, argv in rows:
        if name in ("tamrix_map", "mawk", "python re"):
            found[name] = parse_summary(timed_run(argv, capture=True)[1])
    lib = found["tamrix_map"]
    ok = found["mawk"]["records"] == lib["records"]
    py = found["python re"]
    ok = ok and all(py[k] == lib[k] for k in ("records", "address_sum", "name_bytes"))
    print("%-8s records: tamrix_map %s, mawk %s, python re %s (python checksums %s)"
          % (size_label, lib["records"], found["mawk"]["records"], py["records"],
             "agree" if all(py[k] == lib[k] for k in ("address_sum", "name_bytes")) else "DIFFER"))
    if not ok:
        sys.exit("the peers do not extract the same records as the library")
    return int(lib["records"])


def callgrind(build_dir, path, out_dir):
    out_file = os.path.join(out_dir, "callgrind.out")
    subprocess.run(
        ["valgrind", "--tool=callgrind", "--toggle-collect=parse_walk_free",
         "--callgrind-out-file=" + out_file, os.path.join(build_dir, "bench", "parse_map"), path],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(out_file) as f:
        for line in f:
            if line.startswith("summary:") or line.startswith("totals:"):
                return int(line.split()[1])
    sys.exit("no totals in " + out_file)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--data-dir", required=True)
    parser.add_argument("--sizes", default="1,16,64,256", help="file sizes in MiB")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--callgrind-mib", type=int, default=8)
    parser.add_argument("--smoke", action="store_true", help="1 MiB, one run, no targets")
    args = parser.parse_args()
    if args.smoke:
        args.sizes, args.runs, args.callgrind_mib = "1", 1, 1
    sizes = [int(s) for s in args.sizes.split(",")]
    os.makedirs(args.data_dir, exist_ok=True)
    gen_map = os.path.join(args.build_dir, "bench", "gen_map")

    results = {}  # size -> tool -> dict
    for size in sizes:
        path = os.path.join(args.data_dir, "map_%dMiB.map" % size)
        generate(gen_map, path, size * MIB)
        rows = tools(args.build_dir, path)
        records = verify(rows, "%d MiB" % size)
        for _, argv in rows:  # warm the page cache and the binaries
            timed_run(argv)
        samples = {name: [] for name, _ in rows}
        inner, rss = [], []
        for _ in range(args.runs):
            for name, argv in rows:
                seconds, output = timed_run(argv, capture=(name == "tamrix_map"))
                samples[name].append(seconds)
                if name == "tamrix_map":
                    summary = parse_summary(output)
                    inner.append(float(summary["seconds"]))
                    rss.append(int(summary["rss_peak_kib"]))
        results[size] = {"records": records, "inner": statistics.median(inner)}
        for name, argv in rows:
            results[size][name] = {
                "seconds": statistics.median(samples[name]),
                "rss": max(rss) if name == "tamrix_map" else peak_rss_kib(argv),
            }

    print()
    print("Medians of %d run(s), whole processes, files from bench/gen_map.cpp" % args.runs)
    print("%-8s %-11s %10s %9s %8s %8s %10s" % ("file", "tool", "seconds", "MB/s", "x wc -l", "x mawk", "peak RSS"))
    for size in sizes:
        r = results[size]
        for name in ("tamrix_map", "wc -l", "cat", "mawk", "python re"):
            t = r[name]["seconds"]
            print("%-8s %-11s %10.4f %9.1f %8.2f %8.3f %7d KiB"
                  % ("%d MiB" % size, name, t, size * MIB / 1e6 / t, t / r["wc -l"]["seconds"],
                     t / r["mawk"]["seconds"], r[name]["rss"]))
    print()
    print("%-8s %10s %12s %14s %16s" % ("file", "records", "in-process", "ms per MiB", "bytes/record*"))
    for size in sizes:
        r = results[size]
        extra = (r["tamrix_map"]["rss"] - FIXED_MEMORY_KIB) * 1024 / r["records"]
        print("%-8s %10d %11.4fs %14.3f %16.1f"
              % ("%d MiB" % size, r["records"], r["inner"], r["inner"] * 1000 / size, extra))
    print("* peak RSS of the parse_map process beyond a fixed 4 MiB, per record")

    cg_path = os.path.join(args.data_dir, "map_%dMiB.map" % args.callgrind_mib)
    generate(gen_map, cg_path, args.callgrind_mib * MIB)
    instructions = callgrind(args.build_dir, cg_path, args.data_dir)
    per_byte = instructions / (args.callgrind_mib * MIB)
    print()
    print("callgrind, %d MiB file: %d instructions in parse_walk_free, %.2f per input byte"
          % (args.callgrind_mib, instructions, per_byte))

    if args.smoke:
        print("smoke run: no targets checked")
        return
    target = 64 if 64 in sizes else max(sizes)
    r = results[target]
    lib = r["tamrix_map"]
    inner_per_mib = [results[s]["inner"] / s for s in sizes]
    checks = [
        ("time / wc -l (%d MiB)" % target, lib["seconds"] / r["wc -l"]["seconds"], "<=", MAX_RATIO_TO_WC),
        ("mawk / time (%d MiB)" % target, r["mawk"]["seconds"] / lib["seconds"], ">=", MIN_SPEEDUP_OVER_MAWK),
        ("instructions per byte", per_byte, "<=", MAX_INSTRUCTIONS_PER_BYTE),
        ("bytes per record beyond 4 MiB (%d MiB)" % target,
         (lib["rss"] - FIXED_MEMORY_KIB) * 1024 / r["records"], "<=", MAX_BYTES_PER_RECORD),
        ("slowest / fastest ms per MiB", max(inner_per_mib) / min(inner_per_mib), "<=", MAX_FLATNESS),
    ]
    print()
    print("Targets")
    for label, value, op, limit in checks:
        met = value <= limit if op == "<=" else value >= limit
        print("  %-40s %8.2f  (%s %.2f)  %s" % (label, value, op, limit, "met" if met else "NOT MET"))


if __name__ == "__main__":
    main()
