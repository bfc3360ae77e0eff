"""Times MapParse + walk + FreeAllRecords against its peers on generated
map files of several shapes, side by side, and prints one table per shape.
Called by bench/run.sh, which builds the programs first; see the README for
the command.

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

# The shapes bench/gen_map.cpp writes, in the order of the tables.
SHAPES = ["realistic", "mixed", "dense", "sparse", "crlf", "long_names", "column1"]

# Targets of every shape; times are checked on the 64 MiB file (or the
# largest one measured).
FIXED_MEMORY_KIB = 4 * 1024
MAX_BYTES_PER_RECORD = 64.0
MAX_FLATNESS = 1.20
# Targets of single shapes: (what, limit), with what one of
# "x wc", "x mawk" (a speed-up: at least), "per byte", "per record".
SHAPE_TARGETS = {
    "realistic": [("x wc", 15.0), ("x mawk", 4.0), ("per byte", 25.0)],
    "mixed": [("x wc", 6.0), ("x mawk", 5.0), ("per byte", 8.0)],
    "dense": [("x wc", 12.0), ("per record", 450.0)],
    "sparse": [("per byte", 2.5)],
}
# Names of 200 to 400 bytes cannot fit in 64 bytes a record: in that shape
# the memory target leaves out the bytes of the names themselves.
MEMORY_BEYOND_NAMES = {"long_names"}

# Where callgrind's instructions go, by the source file they come from.
SCANNER_FILES = {"map_scanner-inl.h", "map_token_source-inl.h", "scan_runs-inl.h", "scan_buffer.h", "scan_buffer.cpp",
                 "map_input.cpp", "byte_search-inl.h", "avx2_long_runs.cpp", "target_entries.cpp", "targets.cpp"}
PARSER_FILES = {"map_grammar_parser.generated.inc", "map_grammar-inl.h", "map_grammar.y"}
# The copy of a name into its record is text_copy-inl.h's.
RECORD_FILES = {"record_list.cpp", "record_pool.cpp", "record_pool.h", "heap.cpp", "text_copy-inl.h"}
DRIVER_FILES = {"exports.cpp", "parse_driver.cpp", "reader.cpp", "messages.cpp", "parse_map.c"}


def parse_summary(text):
    return {key: value for key, value in re.findall(r"(\w+)=(\S+)", text)}


def generate(gen_map, shape, path, size, part="all"):
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    subprocess.run([gen_map, "--shape", shape, "--part", part, path, str(size)], check=True)


def warm_up_map(data_dir):
    """A small map that parse_map parses, untimed, before the timed one."""
    path = os.path.join(data_dir, "warm_up.map")
    with open(path, "w") as out:
        out.write("SYMBOL TABLE OF MODULE:  warm_up\n\nwarm_up  ADDR 0100H   _main\n")
    return path


def tools(build_dir, path):
    """The rows of the table: name, argv. The library's row warms up on a
    small map first (see bench/parse_map.c), so that its in-process time
    holds no one-time cost of the process."""
    warm_up = warm_up_map(os.path.dirname(path))
    return [
        ("tamrix_map", [os.path.join(build_dir, "bench", "parse_map"), "--warm-up", warm_up, path]),
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


def callgrind(build_dir, path, out_dir, runner=(), env=None):
    """Instructions of parse_walk_free on `path`: the total and its shares
    (scanner, parser, records, driver). Lines inlined from elsewhere count
    where their source file belongs, so the scanner's code counts as the
    scanner's even where the compiler put it inside the parser; a function
    of the C library counts with its caller."""
    out_file = os.path.join(out_dir, "callgrind.out")
    subprocess.run(
        list(runner) + ["valgrind", "--tool=callgrind", "--toggle-collect=parse_walk_free",
                        "--callgrind-out-file=" + out_file, os.path.join(build_dir, "bench", "parse_map"), path],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    names = {}  # (kind, id) -> name, for callgrind's compressed names

    def name_of(kind, value):
        match = re.match(r"\((\d+)\)(?: (.*))?$", value)
        if not match:
            return value
        key = (kind, match.group(1))
        if match.group(2) is not None:
            names[key] = match.group(2)
        return names.get(key, "")

    def group_of(file_name, function_file):
        base = os.path.basename(file_name)
        for group, files in (("scanner", SCANNER_FILES), ("parser", PARSER_FILES),
                             ("records", RECORD_FILES), ("driver", DRIVER_FILES)):
            if base in files:
                return group
        # A header inlined into one of ours (intrinsics, string_view).
        return group_of(function_file, "") if function_file else None

    shares = {"scanner": 0, "parser": 0, "records": 0, "driver": 0}
    total = None
    fn_file = sub_file = ""
    object_name = callee_object = ""
    call_pending = False
    with open(out_file) as f:
        for line in f:
            if line.startswith(("summary:", "totals:")):
                total = int(line.split()[1])
            elif line.startswith("ob="):
                object_name = name_of("ob", line[3:].rstrip("\n"))
            elif line.startswith("fl="):
                fn_file = sub_file = name_of("fl", line[3:].rstrip("\n"))
            elif line.startswith(("fi=", "fe=")):
                sub_file = name_of("fl", line[3:].rstrip("\n"))
            elif line.startswith("fn="):
                sub_file = fn_file
            elif line.startswith("cob="):
                callee_object = name_of("ob", line[4:].rstrip("\n"))
            elif line.startswith(("cfi=", "cfl=")):
                name_of("fl", line[4:].rstrip("\n"))
            elif line.startswith("calls="):
                call_pending = True
            elif line[:1] in "0123456789+-*" and line.strip():
                fields = line.split()
                cost = int(fields[1]) if len(fields) > 1 else 0
                group = group_of(sub_file, fn_file)
                if call_pending:
                    # Inclusive cost of a call from our code into the C
                    # library (a system object); a call into the library or
                    # the program counts by the callee's own lines, whatever
                    # file callgrind names for it, and so does one through
                    # the dynamic loader's lazy binding (32-bit builds).
                    call_pending = False
                    callee = callee_object or object_name
                    if group and callee.startswith(("/lib", "/usr/lib")) and "/ld-linux" not in callee:
                        shares[group] += cost
                    callee_object = ""
                elif group:
                    shares[group] += cost
    if total is None:
        sys.exit("no totals in " + out_file)
    shares["other"] = total - sum(shares.values())
    return total, shares


def count_tokens(build_dir, path):
    result = subprocess.run([os.path.join(build_dir, "bench", "count_tokens"), path], check=True,
                            stdout=subprocess.PIPE, text=True)
    return {k: int(v) for k, v in parse_summary(result.stdout).items()}


def measure_shape(args, shape, sizes, gen_map):
    """Times and counts one shape; prints its table; returns the checks."""
    results = {}  # size -> tool -> dict
    for size in sizes:
        path = os.path.join(args.data_dir, "%s_%dMiB.map" % (shape, size))
        generate(gen_map, shape, path, size * MIB)
        rows = tools(args.build_dir, path)
        records = verify(rows, "%s %d MiB" % (shape, size))
        for _, argv in rows:  # warm the page cache and the binaries
            timed_run(argv)
        samples = {name: [] for name, _ in rows}
        inner, rss = [], []
        name_bytes = 0
        # The library's runs first and back to back, each after the same
        # predecessor: behind tools that churn hundreds of MB its record
        # storage faults in at another cost, and its time would depend on
        # what ran before it. The tools then run interleaved.
        library, peers = rows[:1], rows[1:]
        for group in (library, peers):
            for _ in range(args.runs):
                for name, argv in group:
                    seconds, output = timed_run(argv, capture=(name == "tamrix_map"))
                    samples[name].append(seconds)
                    if name == "tamrix_map":
                        summary = parse_summary(output)
                        inner.append(float(summary["seconds"]))
                        rss.append(int(summary["rss_peak_kib"]))
                        name_bytes = int(summary["name_bytes"])
        results[size] = {"records": records, "inner": statistics.median(inner), "name_bytes": name_bytes}
        for name, argv in rows:
            results[size][name] = {
                "seconds": statistics.median(samples[name]),
                "fastest": min(samples[name]),
                "rss": max(rss) if name == "tamrix_map" else peak_rss_kib(argv),
            }

    print()
    print("== shape %s: %d run(s), whole processes; medians, and the fastest run" % (shape, args.runs))
    print("%-8s %-11s %10s %10s %9s %8s %8s %8s %10s"
          % ("file", "tool", "median s", "fastest s", "MB/s", "x wc -l", "fastest", "x mawk", "peak RSS"))
    for size in sizes:
        r = results[size]
        for name in ("tamrix_map", "wc -l", "cat", "mawk", "python re"):
            t, fastest = r[name]["seconds"], r[name]["fastest"]
            print("%-8s %-11s %10.4f %10.4f %9.1f %8.2f %8.2f %8.3f %7d KiB"
                  % ("%d MiB" % size, name, t, fastest, size * MIB / 1e6 / t, t / r["wc -l"]["seconds"],
                     fastest / r["wc -l"]["fastest"], t / r["mawk"]["seconds"], r[name]["rss"]))
    print("%-8s %10s %12s %12s %14s %14s" % ("file", "records", "in-process", "ms per MiB", "bytes/record*",
                                           "beyond names"))

    def extra_per_record(r):
        beyond = (r["tamrix_map"]["rss"] - FIXED_MEMORY_KIB) * 1024
        return beyond / r["records"], (beyond - r["name_bytes"]) / r["records"]

    for size in sizes:
        r = results[size]
        extra, beyond_names = extra_per_record(r)
        print("%-8s %10d %11.4fs %12.3f %14.1f %14.1f"
              % ("%d MiB" % size, r["records"], r["inner"], r["inner"] * 1000 / size, extra, beyond_names))
    print("* peak RSS of the parse_map process beyond a fixed 4 MiB, per record")

    # Instructions: the whole file, and when the shape has both kinds of
    # line, a file of its record lines alone and one of its other lines.
    mib = args.callgrind_mib
    cg = {}
    parts = ["all"] if args.smoke else ["all", "records", "others"]
    for part in parts:
        path = os.path.join(args.data_dir, "%s_%s_%dMiB.map" % (shape, part, mib))
        if part == "all":
            path = os.path.join(args.data_dir, "%s_%dMiB.map" % (shape, mib))
        try:
            generate(gen_map, shape, path, mib * MIB, part)
        except subprocess.CalledProcessError:
            continue  # the shape has no lines of that kind
        total, shares = callgrind(args.build_dir, path, args.data_dir)
        cg[part] = (total, shares, count_tokens(args.build_dir, path))
    total, shares, counts = cg["all"]
    per_byte = total / (mib * MIB)
    per_token = lambda n: n / counts["tokens"] if counts["tokens"] else 0.0
    print("callgrind, %d MiB file: %d instructions in parse_walk_free, %.2f per input byte, "
          "%d tokens (%.3f per byte)" % (mib, total, per_byte, counts["tokens"], counts["tokens"] / (mib * MIB)))
    print("  per token: scanner %.1f, parser %.1f, records %.1f, driver and walk %.1f, unattributed %.1f"
          % tuple(per_token(shares[k]) for k in ("scanner", "parser", "records", "driver", "other")))
    if counts["records"]:
        print("  per record: %.0f (whole file / record count)" % (total / counts["records"]))
    kinds = []
    if "records" in cg:
        t, _, c = cg["records"]
        kinds.append("per record line %.0f" % (t / c["lines"]))
    if "others" in cg:
        t, _, c = cg["others"]
        kinds.append("per other line %.0f" % (t / c["lines"]))
    if kinds:
        print("  %s (files of the one kind of line alone)" % ", ".join(kinds))

    if args.smoke:
        return []
    target = 64 if 64 in sizes else max(sizes)
    r = results[target]
    lib = r["tamrix_map"]
    inner_per_mib = [results[s]["inner"] / s for s in sizes]
    extra, beyond_names = extra_per_record(r)
    checks = []
    for what, limit in SHAPE_TARGETS.get(shape, []):
        if what == "x wc":
            checks.append(("time / wc -l (%d MiB)" % target, lib["seconds"] / r["wc -l"]["seconds"], "<=", limit))
        elif what == "x mawk":
            checks.append(("mawk / time (%d MiB)" % target, r["mawk"]["seconds"] / lib["seconds"], ">=", limit))
        elif what == "per byte":
            checks.append(("instructions per byte", per_byte, "<=", limit))
        elif what == "per record":
            checks.append(("instructions per record", total / counts["records"], "<=", limit))
    if shape in MEMORY_BEYOND_NAMES:
        checks.append(("bytes per record beyond 4 MiB and names", beyond_names, "<=", MAX_BYTES_PER_RECORD))
    else:
        checks.append(("bytes per record beyond 4 MiB (%d MiB)" % target, extra, "<=", MAX_BYTES_PER_RECORD))
    if len(sizes) > 1:
        checks.append(("slowest / fastest ms per MiB", max(inner_per_mib) / min(inner_per_mib), "<=", MAX_FLATNESS))
    return [(shape, label, value, op, limit) for label, value, op, limit in checks]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--data-dir", required=True)
    parser.add_argument("--shapes", default=",".join(SHAPES), help="shapes to measure")
    parser.add_argument("--sizes", default="1,16,64,256", help="file sizes in MiB")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--callgrind-mib", type=int, default=8)
    parser.add_argument("--smoke", action="store_true", help="1 MiB, one run, no targets")
    args = parser.parse_args()
    if args.smoke:
        args.sizes, args.runs, args.callgrind_mib = "1", 1, 1
    sizes = [int(s) for s in args.sizes.split(",")]
    shapes = args.shapes.split(",")
    for shape in shapes:
        if shape not in SHAPES:
            sys.exit("unknown shape %s (shapes: %s)" % (shape, ", ".join(SHAPES)))
    os.makedirs(args.data_dir, exist_ok=True)
    gen_map = os.path.join(args.build_dir, "bench", "gen_map")

    checks = []
    for shape in shapes:
        checks += measure_shape(args, shape, sizes, gen_map)

    if args.smoke:
        print()
        print("smoke run: no targets checked")
        return
    print()
    print("Targets")
    for shape, label, value, op, limit in checks:
        met = value <= limit if op == "<=" else value >= limit
        print("  %-11s %-42s %8.2f  (%s %.2f)  %s" % (shape, label, value, op, limit, "met" if met else "NOT MET"))


if __name__ == "__main__":
    main()
