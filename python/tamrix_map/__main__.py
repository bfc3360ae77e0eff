"""python -m tamrix_map FILE...: the records of each map file, printed as
mapdump prints them by default, with mapdump's exit statuses."""

from __future__ import annotations

import argparse
import os
import sys
from typing import List, Optional

from . import MapParseError, parse, version

EXIT_PARSED, EXIT_PARSE_FAILED, EXIT_USAGE = 0, 1, 2


def _arguments(argv: Optional[List[str]]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog="python -m tamrix_map",
        description="Prints the symbol records of linker map files, read by the tamrix_map library: "
        "the address as eight hex digits, a blank and the name; with several files each line "
        "starts with the file and a colon.",
        epilog="A file that cannot be parsed adds no records; the library's message goes to stderr "
        "and the other files are still read. Exit status: 0 when every file parsed, 1 when one "
        "failed, 2 on a usage error.")
    parser.add_argument("--version", action="store_true", help="print the library's version text")
    parser.add_argument("files", nargs="*", metavar="FILE", help="a map file")
    arguments = parser.parse_args(argv)
    if not arguments.version and not arguments.files:
        parser.error("no map file given")  # exits with status 2
    return arguments


def main(argv: Optional[List[str]] = None) -> int:
    arguments = _arguments(argv)
    # Paths, names and messages are bytes to mapdump: written back as the
    # same bytes, whatever the locale.
    out, err = sys.stdout.buffer, sys.stderr.buffer
    try:
        if arguments.version:
            out.write(version().encode("latin-1") + b"\n")
            out.flush()
            return EXIT_PARSED
        status = EXIT_PARSED
        lines: List[bytes] = []
        several = len(arguments.files) > 1
        for path in arguments.files:
            try:
                records = parse(path)
            except MapParseError as error:
                err.write(error.message.encode("latin-1"))
                err.flush()
                status = EXIT_PARSE_FAILED
                continue
            prefix = os.fsencode(path) + b":" if several else b""
            lines.extend(b"%s%08X %s\n" % (prefix, address, name.encode("latin-1")) for name, address in records)
        out.write(b"".join(lines))
        out.flush()
        return status
    except OSError as error:  # no library to load, or output that cannot be written
        print(f"python -m tamrix_map: {error}", file=sys.stderr)
        return EXIT_PARSE_FAILED


if __name__ == "__main__":
    sys.exit(main())
