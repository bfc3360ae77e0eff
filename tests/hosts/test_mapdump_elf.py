"""mapdump --format elf read by gdb, nm, addr2line, ld, readelf and eu-elflint:
each gives the names, addresses and offsets that mapdump itself gives.

MAPDUMP names the program, SAMPLE_MAP the example map file.
"""

import csv
import io
import os
import re
import shutil
import subprocess
import tempfile
import unittest

MAPDUMP = os.environ["MAPDUMP"]
with open(os.environ["SAMPLE_MAP"], "rb") as sample_file:
    SAMPLE = sample_file.read()
TOOLS = ["gdb-multiarch", "nm", "addr2line", "readelf", "eu-elflint", "gcc", "ld", "objdump"]


def run(*command):
    return subprocess.run(command, capture_output=True, check=False, env=dict(os.environ, LC_ALL="C"))


def lines(*records):
    return b"".join(b"code ADDR %04XH %s\n" % record for record in records)


# Each row: maps (file name and contents, in the order given), --machine,
# the output file's name, and the map name a C call is linked against. A
# name is [A-Za-z_][A-Za-z0-9_]* to the library: a byte of 0x80 or above
# ends it, and a name is looked for after one.
ROWS = [
    ("sample", [("sample.map", SAMPLE)], "i386", b"sample.elf", b"_uart_putc"),
    ("edges", [("edges.map", lines((0xFFFF, b"top"), (0x100, b"alias_b"), (0x100, b"alias_a"), (0x200, b"twice"),
                                   (0x300, b"twice"), (0x400, b"_" + b"x" * 299), (0, b"zero"))
                + b"code ADDR 0500H caf\xc3\xa9\ncode ADDR 0600H \xe9t\xe9\n")],
     "i386", b"edges.elf", b"twice"),
    ("two maps", [("one.map", lines((0x1000, b"shared"), (0x1100, b"one_end"))),
                  ("caf\xe9 two.map", lines((0x1080, b"between"), (0x2000, b"shared")))],
     "i386", b"sym\xe9.elf", b"shared"),
    ("empty", [("empty.map", b"PUBLIC SYMBOLS\nnone\n")], "i386", b"empty.elf", None),
    ("arm", [("sample.map", SAMPLE)], "arm", b"arm.elf", None),
    ("avr", [("sample.map", SAMPLE)], "avr", b"avr.elf", None),
    ("z80", [("sample.map", SAMPLE)], "z80", b"z80.elf", None),
]
ELFLINT_SAYS = {"z80": [b"unknown machine type 220"]}  # elfutils 0.188 knows no Z80


class ElfSymbolFile(unittest.TestCase):
    def setUp(self):
        missing = [tool for tool in TOOLS if not shutil.which(tool)]
        self.assertEqual(missing, [], "scripts/install-deps.sh installs them")
        self.directory = os.fsencode(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, self.directory)

    def test_tools_answer_what_mapdump_answers(self):
        for label, maps, machine, output, call in ROWS:
            with self.subTest(label):
                paths = []
                for name, content in maps:
                    paths.append(os.path.join(self.directory, os.fsencode(name)))
                    with open(paths[-1], "wb") as file:
                        file.write(content)
                self.check(paths, machine, os.path.join(self.directory, output), call)

    def check(self, maps, machine, elf, call):
        made = run(MAPDUMP, "--format", "elf", "--machine", machine, "--output", elf, *maps)
        self.assertEqual((made.returncode, made.stderr), (0, b""))
        self.assertEqual([name for name in os.listdir(self.directory) if name.endswith(b".tmp")], [])

        records = [(int(address, 16), name.encode("latin-1")) for _, name, address in
                   list(csv.reader(io.StringIO(run(MAPDUMP, "--format", "csv", *maps).stdout.decode("latin-1"),
                                               newline="")))[1:]]
        by_address = sorted(records, key=lambda record: record[0])
        names_at = {}
        for address, name in records:
            names_at.setdefault(address, []).append(name)
        addresses = sorted(names_at)
        ends = dict(zip(addresses, addresses[1:] + [0x10000]))

        linted = run("eu-elflint", elf)
        self.assertEqual(linted.stdout.splitlines(), ELFLINT_SAYS.get(machine, [b"No errors"]), linted.stderr)
        read = run("readelf", "-a", "-W", elf)
        self.assertEqual((read.returncode, read.stderr), (0, b""))
        self.assertNotIn(b"warning", read.stdout.lower())

        # nm orders the names at one address by name, mapdump by file order.
        listed = [line.split(b" ", 3) for line in run("nm", "-n", "-S", elf).stdout.splitlines()]
        self.assertEqual([int(address, 16) for address, *_ in listed], [address for address, _ in by_address])
        self.assertEqual(sorted((int(address, 16), name) for address, _, _, name in listed), sorted(records))
        self.assertEqual([int(size, 16) for _, size, _, _ in listed],
                         [ends[address] - address for address, _ in by_address])

        # Each symbol's start and middle, the byte before it, the last address.
        probes = sorted({0xFFFF} | {probe for address in addresses for probe in
                                    (address, (address + ends[address]) // 2, max(address - 1, 0))})
        looked_up = run(MAPDUMP, *[argument for probe in probes for argument in ("--lookup", hex(probe))], *maps)
        expected = []
        for line in looked_up.stdout.splitlines():
            found = re.match(rb"0x[0-9A-F]+ (\S+)\+0x([0-9A-F]+)", line)
            expected.append(found and (found[1], int(found[2], 16)))
        self.assertEqual(len(expected), len(probes))

        # At an address several symbols share, gdb and addr2line may name
        # another of them than --lookup, which names the first in file order.
        def covering(probe, wanted):
            return names_at[probe - wanted[1]] if wanted else [None]

        gdb = run("gdb-multiarch", "-batch", "-nx", "-ex", "set width 0", "-ex", b"symbol-file " + elf,
                  *[argument for probe in probes for argument in ("-ex", f"info symbol {probe:#x}")])
        self.assertNotIn(b"warning", (gdb.stdout + gdb.stderr).lower())
        answers = re.findall(rb"^(?:(\S+)(?: \+ (\d+))? in section \.map|No symbol matches .*)$", gdb.stdout, re.M)
        self.assertEqual(len(answers), len(probes), gdb.stdout)
        for probe, wanted, (name, offset) in zip(probes, expected, answers):
            self.assertIn(name or None, covering(probe, wanted), hex(probe))
            self.assertEqual(wanted and int(offset or 0), wanted and wanted[1], hex(probe))

        named = run("addr2line", "-f", "-e", elf, *[hex(probe) for probe in probes]).stdout.splitlines()[::2]
        self.assertEqual(len(named), len(probes))
        for probe, wanted, name in zip(probes, expected, named):
            self.assertIn(None if name == b"??" else name, covering(probe, wanted), hex(probe))

        if call:
            self.check_link(elf, call, next(address for address, name in records if name == call))

    def check_link(self, elf, name, address):
        """A C call to `name`, linked against the ELF file, goes to `address`."""
        source = os.path.join(self.directory, b"caller.c")
        with open(source, "wb") as file:
            file.write(b'extern void target(void) __asm__("%s");\nvoid caller(void) { target(); }\n' % name)
        caller, linked = source[:-1] + b"o", source[:-2]
        compiled = run("gcc", "-m32", "-O0", "-fno-pic", "-c", source, "-o", caller)
        self.assertEqual(compiled.returncode, 0, compiled.stderr)
        ld = run("ld", "-m", "elf_i386", "-e", "caller", b"--just-symbols=" + elf, caller, "-o", linked)
        self.assertEqual((ld.returncode, ld.stderr), (0, b""))
        calls = re.findall(rb"\scall\s+([0-9a-f]+) <([^>]*)>", run("objdump", "-d", linked).stdout)
        self.assertEqual(calls, [(b"%x" % address, name)])


if __name__ == "__main__":
    unittest.main()
