#!/usr/bin/env python3
"""Prints the manylinux platform tag (PEP 600) of an x86-64 shared library:
manylinux_2_X_x86_64, where 2.X is the highest glibc version its symbols
need, with its older name where it has one (PEP 599's
manylinux_2_17_x86_64.manylinux2014_x86_64, which older pip knows). Fails, naming what is wrong, when the library needs a library
outside the manylinux set, or libstdc++ or libgcc_s versions newer than
the distributions of that glibc ship. On stderr: the versions it needs and
the symbols that need the highest of them.

    python3 scripts/manylinux-tag.py libtamrix_map.so.1

Read with objdump, from the library's version references and dynamic
symbols, as the loader will resolve them.
"""

import re
import subprocess
import sys

# The system libraries a manylinux wheel may take from the system it runs
# on; anything else has to travel in the wheel. The set's graphics and
# GLib libraries are left out: a new need of ours there should be thought
# about, not passed.
ALLOWED_LIBRARIES = {"libc.so.6", "libm.so.6", "libdl.so.2", "librt.so.1", "libpthread.so.0",
                     "libutil.so.1", "libresolv.so.2", "libgcc_s.so.1", "libstdc++.so.6",
                     "ld-linux-x86-64.so.2"}

# The newest libstdc++ (GLIBCXX, CXXABI) and libgcc_s (GCC) versions that the
# system compilers of the distributions behind each glibc ship: CentOS 7
# (2.17, GCC 4.8), Debian 9 (2.24, GCC 6), AlmaLinux 8 (2.28, GCC 8),
# Ubuntu 20.04 (2.31, GCC 10), AlmaLinux 9 (2.34, GCC 11). A glibc between
# two rows takes the lower row's: those systems may be that old.
TOOLCHAIN_LIMITS = [
    (17, {"GLIBCXX": (3, 4, 19), "CXXABI": (1, 3, 7), "GCC": (4, 8, 0)}),
    (24, {"GLIBCXX": (3, 4, 22), "CXXABI": (1, 3, 10), "GCC": (4, 8, 0)}),
    (28, {"GLIBCXX": (3, 4, 25), "CXXABI": (1, 3, 11), "GCC": (7, 0, 0)}),
    (31, {"GLIBCXX": (3, 4, 28), "CXXABI": (1, 3, 12), "GCC": (7, 0, 0)}),
    (34, {"GLIBCXX": (3, 4, 29), "CXXABI": (1, 3, 13), "GCC": (7, 0, 0)}),
]
# The names PEP 599 and older gave some of these glibc versions.
LEGACY_NAMES = {17: "manylinux2014"}
# Where each kind of version comes from.
VERSION_LIBRARY = {"GLIBC": {"libc.so.6", "libm.so.6", "libdl.so.2", "librt.so.1", "libpthread.so.0",
                             "libutil.so.1", "libresolv.so.2", "ld-linux-x86-64.so.2"},
                   "GLIBCXX": {"libstdc++.so.6"}, "CXXABI": {"libstdc++.so.6"}, "GCC": {"libgcc_s.so.1"}}


def objdump(option, path):
    return subprocess.run(["objdump", option, path], capture_output=True, text=True, check=True).stdout


def parse_version(text):
    """("GLIBC", (2, 33)) for GLIBC_2.33; None for a version of another form."""
    match = re.fullmatch(r"(GLIBC|GLIBCXX|CXXABI|GCC)_(\d+(?:\.\d+)*)", text)
    return (match[1], tuple(int(part) for part in match[2].split("."))) if match else None


def main(path):
    problems = []
    if "architecture: i386:x86-64," not in objdump("-f", path):
        return [f"{path}: not an x86-64 library"], None
    headers = objdump("-p", path)
    needed = re.findall(r"^\s+NEEDED\s+(\S+)$", headers, re.M)
    problems += [f"needs {library}, which is not among the manylinux system libraries"
                 for library in needed if library not in ALLOWED_LIBRARIES]

    # "required from libc.so.6:" then one line per version: "0x... 0x00 06 GLIBC_2.33".
    required = {}  # version text -> the library it is required from
    library = None
    for line in headers[headers.find("Version References:"):].splitlines()[1:]:
        if match := re.fullmatch(r"\s+required from (\S+):", line):
            library = match[1]
        elif match := re.fullmatch(r"\s+0x\S+ 0x\S+ \d+ (\S+)", line):
            required[match[1]] = library
        elif line.strip() == "" and required:
            break
    versions = {}
    for text, library in required.items():
        parsed = parse_version(text)
        if parsed is None or library not in VERSION_LIBRARY[parsed[0]]:
            problems.append(f"needs {text} from {library}, not a version of the manylinux system libraries")
        else:
            versions[text] = parsed

    glibc = max((number for kind, number in versions.values() if kind == "GLIBC"), default=None)
    if glibc is None or glibc[0] != 2:
        return problems + ["needs no GLIBC_2.X version: not a glibc library"], None
    # A library that needs an older glibc is tagged 2.17 all the same: the
    # oldest row, and it runs there.
    minor = max(glibc[1], TOOLCHAIN_LIMITS[0][0])
    limits = [limits for row, limits in TOOLCHAIN_LIMITS if row <= minor][-1]
    for text, (kind, number) in sorted(versions.items()):
        if kind in limits and number > limits[kind]:
            newest = ".".join(map(str, limits[kind]))
            problems.append(f"needs {text}, newer than the {kind}_{newest} of glibc 2.{minor}'s distributions")

    tag = f"manylinux_2_{minor}_x86_64"
    if minor in LEGACY_NAMES:
        tag += f".{LEGACY_NAMES[minor]}_x86_64"
    # Which symbols need each version, for the report.
    users = {}
    for line in objdump("-T", path).splitlines():
        if match := re.search(r"\*UND\*\s+\S+\s+\(?([A-Z]+_[0-9.]+)\)?\s+(\S+)$", line):
            users.setdefault(match[1], []).append(match[2])
    highest = "GLIBC_" + ".".join(map(str, glibc))
    others = [text for text in sorted(versions, key=lambda text: versions[text]) if text != highest]
    print(f"{path}: {tag}: {highest} ({', '.join(sorted(users.get(highest, [])))}); "
          f"also {', '.join(others) or 'nothing'}; needs {', '.join(needed)}", file=sys.stderr)
    return problems, tag


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: manylinux-tag.py LIBRARY")
    found_problems, found_tag = main(sys.argv[1])
    for problem in found_problems:
        print(f"manylinux-tag.py: {sys.argv[1]}: {problem}", file=sys.stderr)
    if found_problems or found_tag is None:
        sys.exit(1)
    print(found_tag)
