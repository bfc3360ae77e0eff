"""The installed mapdump as a user runs it: formats, sorting, --lookup,
--find, diff, annotate, messages and exit status.

MAPDUMP names the installed program, SAMPLE_MAP the example map file.
"""

import csv
import io
import json
import os
import pty
import select
import subprocess
import sys
import tempfile
import unittest

MAPDUMP = os.environ["MAPDUMP"]
SAMPLE = os.environ["SAMPLE_MAP"]
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")


def mapdump(*arguments):
    return subprocess.run([MAPDUMP, *arguments], capture_output=True, check=False)


class MapFiles(unittest.TestCase):
    """A temporary directory to write map files into."""

    def setUp(self):
        self.directory = tempfile.TemporaryDirectory()
        self.addCleanup(self.directory.cleanup)

    def write(self, name, content):
        path = os.path.join(os.fsencode(self.directory.name), os.fsencode(name))
        with open(path, "wb") as file:
            file.write(content)
        return path


class Formats(MapFiles):
    def test_text_is_address_then_name(self):
        result = mapdump(SAMPLE)
        self.assertEqual(result.returncode, 0)
        lines = result.stdout.decode().splitlines()
        self.assertEqual(len(lines), 28)
        self.assertEqual(lines[:3], ["00000000 __vector_reset", "00000004 __vector_nmi", "00001A00 _start"])
        self.assertIn("00002A00 _memcpy", lines)  # from the CRLF lines
        self.assertEqual(result.stderr, b"")

    def test_text_names_the_file_when_there_are_several(self):
        old = os.path.join(DATA, "old.map")
        lines = mapdump(old, SAMPLE).stdout.decode().splitlines()
        self.assertEqual(lines[0], old + ":00001000 _start")
        self.assertEqual(lines[-1], SAMPLE + ":0000FFFE __stack_top")

    def test_csv_is_rfc_4180(self):
        path = self.write('odd, "quoted".map', b"code ADDR 1A2BH _start\n")
        result = mapdump("--format", "csv", path)
        self.assertEqual(result.stdout, b'file,name,address\r\n"' + path.replace(b'"', b'""')
                         + b'",_start,0x00001A2B\r\n')
        rows = list(csv.reader(io.StringIO(result.stdout.decode(), newline="")))
        self.assertEqual(rows, [["file", "name", "address"], [os.fsdecode(path), "_start", "0x00001A2B"]])

    def test_json_passes_json_tool(self):
        dumped = mapdump("--format", "json", SAMPLE)
        result = subprocess.run([sys.executable, "-m", "json.tool"], input=dumped.stdout, capture_output=True,
                                check=False)
        self.assertEqual(result.returncode, 0, result.stderr)
        records = json.loads(result.stdout)
        self.assertEqual(len(records), 28)
        self.assertEqual(records[2], {"file": SAMPLE, "name": "_start", "address": 0x1A00})

    def test_json_is_valid_for_any_path(self):
        # Control bytes, a quote, a backslash, valid UTF-8 and a Latin-1 byte.
        path = self.write(b'\x01tab\tquote"back\\caf\xc3\xa9 \xe9.map', b"code ADDR 10H x\n")
        result = mapdump("--format", "json", path)
        self.assertEqual(result.returncode, 0)
        records = json.loads(result.stdout.decode("utf-8"))
        expected_path = os.fsdecode(self.directory.name) + '/\x01tab\tquote"back\\café \xe9.map'
        self.assertEqual(records, [{"file": expected_path, "name": "x", "address": 16}])
        self.assertEqual(json.loads(mapdump("--format", "json", "--find", "none", path).stdout), [])


class Sorting(unittest.TestCase):
    def names(self, *arguments):
        return [line.split()[1] for line in mapdump(*arguments, SAMPLE).stdout.decode().splitlines()]

    def test_file_order_is_the_default(self):
        self.assertEqual(self.names("--sort", "file"), self.names())

    def test_address_sort_is_stable(self):
        lines = mapdump("--sort=address", SAMPLE).stdout.decode().splitlines()
        self.assertEqual(lines, sorted(lines, key=lambda line: int(line.split()[0], 16)))
        # Two names at 1B24H keep their file order.
        self.assertLess(lines.index("00001B24 _idle_hook"), lines.index("00001B24 _default_hook"))

    def test_name_sort(self):
        names = self.names("--sort", "name")
        self.assertEqual(names, sorted(names))
        self.assertEqual(len(names), 28)


class Lookup(MapFiles):
    def test_nearest_symbol_at_or_below(self):
        cases = [
            ("0x1A2B", "0x1A2B _start+0x2B"),
            ("1a2bh", "0x1A2B _start+0x2B"),
            ("0x1B24", "0x1B24 _idle_hook+0x0"),  # first of two at one address
            ("1B30H", "0x1B30 _idle_hook+0xC"),
            ("0x0", "0x0 __vector_reset+0x0"),
            ("FFFFFFFFH", "0xFFFFFFFF __stack_top+0xFFFF0001"),
        ]
        arguments = [argument for address, _ in cases for argument in ("--lookup", address)]
        result = mapdump(*arguments, SAMPLE)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout.decode().splitlines(), [line for _, line in cases])

    def test_nothing_at_or_below(self):
        path = self.write("high.map", b"code ADDR 1000H _start\n")
        result = mapdump("--lookup", "0xFFF", path)
        self.assertEqual((result.returncode, result.stdout), (0, b"0xFFF: no symbol at or below\n"))

    def test_bad_address_is_a_usage_error(self):
        for address in ("1A2B", "0x", "0x123456789", "12G4H"):
            result = mapdump("--lookup", address, SAMPLE)
            self.assertEqual(result.returncode, 2, address)
            self.assertIn(f"'{address}' is not an address".encode(), result.stderr)
            self.assertEqual(result.stdout, b"")


class Find(unittest.TestCase):
    def test_every_record_of_each_name(self):
        result = mapdump("--find", "_main", "--find", "_uart_getc", SAMPLE)
        self.assertEqual(result.stdout, b"00001A90 _main\n00001C88 _uart_getc\n")

    def test_in_any_format(self):
        records = json.loads(mapdump("--format", "json", "--find", "_banner", SAMPLE).stdout)
        self.assertEqual(records, [{"file": SAMPLE, "name": "_banner", "address": 0x2C80}])

    def test_a_missing_name_is_reported(self):
        result = mapdump("--find", "_nowhere", "--find", "_main", SAMPLE)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout, b"00001A90 _main\n")
        self.assertEqual(result.stderr, b"mapdump: no symbol named _nowhere\n")


class Diff(MapFiles):
    def test_removed_added_changed_in_that_order(self):
        result = mapdump("diff", os.path.join(DATA, "old.map"), os.path.join(DATA, "new.map"))
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout.decode().splitlines(), [
            "-00001100 _legacy_init",
            "+00001180 _watchdog_kick",
            "+00001230 _crc32",
            "~00001044 _main (was 00001040)",
        ])

    def test_same_map_gives_nothing(self):
        self.assertEqual(mapdump("diff", SAMPLE, SAMPLE).stdout, b"")

    def test_a_map_that_fails(self):
        missing = os.path.join(self.directory.name, "missing.map")
        result = mapdump("diff", SAMPLE, missing)
        self.assertEqual((result.returncode, result.stdout), (1, b""))
        self.assertEqual(result.stderr, f"can't open file {missing}\n".encode())


class Annotate(MapFiles):
    def read_line(self, stream):
        """What `stream` gives until a line feed, or within ten seconds."""
        line = b""
        while not line.endswith(b"\n") and select.select([stream], [], [], 10)[0]:
            chunk = os.read(stream.fileno(), 4096)
            if not chunk:
                break
            line += chunk
        return line

    def test_each_line_comes_back_while_the_input_is_still_open(self):
        log = self.write("crash.log", b"PC=0x1A2B\n")
        with subprocess.Popen([MAPDUMP, "annotate", SAMPLE, log, "-"], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, bufsize=0) as filter_process:
            self.assertEqual(self.read_line(filter_process.stdout), b"PC=0x1A2B <_start+0x2B>\n")
            filter_process.stdin.write(b"LR=0X1b24 SP=0x0\n")
            self.assertEqual(self.read_line(filter_process.stdout), b"LR=0X1b24 <_idle_hook> SP=0x0 <__vector_reset>\n")
            filter_process.stdin.close()
            self.assertEqual(filter_process.stdout.read(), b"")
            self.assertEqual(filter_process.wait(), 0)


class ExitStatus(MapFiles):
    def test_failed_file_gives_the_library_message_and_the_rest_still_prints(self):
        missing = os.path.join(self.directory.name, "missing.map")
        unfinished = self.write("unfinished.map", b"code ADDR 10H kept\ncode ADDR 20H last")
        result = mapdump(missing, unfinished, os.path.join(DATA, "old.map"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, f"can't open file {missing}\n".encode()
                         + unfinished + b':2: syntax error. "" is invalid.\n')
        # A failed file adds nothing, not even the records before its error.
        lines = result.stdout.decode().splitlines()
        self.assertEqual(len(lines), 5)
        self.assertTrue(all("old.map:" in line for line in lines))

    def test_over_long_token_is_an_error_not_an_exit(self):
        path = self.write("long.map", b"x" * 9000 + b"\ncode ADDR 10H x\n")
        result = mapdump(path, SAMPLE)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, path + b":1: token too large, exceeds YYLMAX\n")
        self.assertEqual(len(result.stdout.splitlines()), 28)

    def test_a_failed_map_leaves_the_output_file_as_it_was(self):
        missing = os.path.join(self.directory.name, "missing.map")
        target = self.write("out.txt", b"before\n")
        for arguments in (["--output", target], ["--format", "elf", "--output", target], ["--format", "elf"]):
            result = mapdump(*arguments, SAMPLE, missing)
            self.assertEqual((result.returncode, result.stdout), (1, b""), arguments)
            self.assertEqual(result.stderr, f"can't open file {missing}\n".encode())
            with open(target, "rb") as file:
                self.assertEqual(file.read(), b"before\n")
        self.assertEqual(os.listdir(self.directory.name), ["out.txt"])
        self.assertEqual(mapdump("--output", target, "--find", "_main", SAMPLE).returncode, 0)
        with open(target, "rb") as file:
            self.assertEqual(file.read(), b"00001A90 _main\n")

    def test_no_elf_file_to_a_terminal(self):
        leader, terminal = pty.openpty()
        result = subprocess.run([MAPDUMP, "--format", "elf", SAMPLE], stdout=terminal, stderr=subprocess.PIPE)
        for descriptor in (terminal, leader):
            os.close(descriptor)
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"an ELF file is not written to a terminal", result.stderr)

    def test_usage_errors(self):
        for arguments in ([], ["--format"], ["--format", "xml", SAMPLE], ["--sort", "size", SAMPLE],
                          ["--bogus", SAMPLE], ["--lookup", "0x10", "--format", "json", SAMPLE],
                          ["diff", SAMPLE], ["annotate"], ["annotate", "--max-offset", "12G4H", SAMPLE],
                          ["annotate", "--format", "json", SAMPLE]):
            result = mapdump(*arguments)
            self.assertEqual(result.returncode, 2, arguments)
            self.assertTrue(result.stderr.startswith(b"mapdump: "), arguments)
            self.assertIn(b"Try 'mapdump --help'.", result.stderr)

    def test_version_and_help(self):
        self.assertEqual(mapdump("--version").stdout, b"tamrix_mal.dll Ver.1.0\n")
        result = mapdump("--help")
        self.assertEqual(result.returncode, 0)
        self.assertTrue(result.stdout.startswith(b"Usage: mapdump [OPTIONS] FILE...\n"))


if __name__ == "__main__":
    unittest.main()
