"""mapdump --format elf (MAPDUMP) read by eu-elflint, readelf, nm, gdb, addr2line
and ld: each gives the names, addresses and offsets that mapdump gives."""

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
    SAMPLE = [("sample.map", sample_file.read())]


def run(*command):
    return subprocess.run(command, capture_output=True, check=False, env=dict(os.environ, LC_ALL="C"))


def lines(*records):
    return b"".join(b"code ADDR %04XH %s\n" % record for record in records)


# Each row: maps (name and contents, in the order given), --machine, the
# output file, the name a C call is linked against. A byte of 0x80 or above
# ends a name for the library, which looks for a name after it.
ROWS = [
    ("sample", SAMPLE, "i386", b"sample.elf", b"_uart_putc"),
    ("edges", [("edges.map", lines((0xFFFF, b"top"), (0x100, b"alias_b"), (0x100, b"alias_a"), (0x200, b"twice"),
                                   (0x300, b"twice"), (0x400, b"_" + b"x" * 299), (0, b"zero"))
                + b"code ADDR 0500H caf\xc3\xa9\ncode ADDR 0600H \xe9t\xe9\n")], "i386", b"edges.elf", b"twice"),
    ("two maps", [("one.map", lines((0x1000, b"shared"), (0x1100, b"one_end"))),
                  ("caf\xe9 two.map", lines((0x1080, b"between"), (0x2000, b"shared")))],
     "i386", b"sym\xe9.elf", b"shared"),
    ("empty", [("empty.map", b"PUBLIC SYMBOLS\nnone\n")], "i386", b"empty.elf", None),
    ("arm", SAMPLE, "arm", b"arm.elf", None),
    ("avr", SAMPLE, "avr", b"avr.elf", None),
    ("z80", SAMPLE, "z80", b"z80.elf", None),
]
ELFLINT_SAYS = {"z80": [b"unknown machine type 220"]}  # elfutils 0.188 knows no Z80


class ElfSymbolFile(unittest.TestCase):
    def test_tools_answer_what_mapdump_answers(self):
        for label, maps, machine, output, call in ROWS:
            with self.subTest(label), tempfile.TemporaryDirectory() as directory:
                self.directory = os.fsencode(directory)
                paths = [os.path.join(self.directory, os.fsencode(name)) for name, _ in maps]
                for path, (_, content) in zip(paths, maps):
                    with open(path, "wb") as file:
                        file.write(content)
                self.check(paths, machine, os.path.join(self.directory, output), call)

    def check(self, maps, machine, elf, call):
        made = run(MAPDUMP, "--format", "elf", "--machine", machine, "--output", elf, *maps)
        self.assertEqual((made.returncode, made.stderr), (0, b""))
        self.assertEqual([name for name in os.listdir(self.directory) if name.endswith(b".tmp")], [])

        rows = csv.reader(io.StringIO(run(MAPDUMP, "--format", "csv", *maps).stdout.decode("latin-1"), newline=""))
        records = [(int(address, 16), name.encode("latin-1")) for _, name, address in list(rows)[1:]]
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
        listed = [(int(address, 16), int(size, 16), name) for address, size, _, name in
                  (line.split(b" ", 3) for line in run("nm", "-n", "-S", elf).stdout.splitlines())]
        self.assertEqual([(address, size) for address, size, _ in listed],
                         sorted((address, ends[address] - address) for address, _ in records))
        self.assertEqual(sorted((address, name) for address, _, name in listed), sorted(records))

        # Each symbol's start and middle, the byte before it, the last address.
        probes = sorted({0xFFFF} | {probe for address in addresses for probe in
                                    (address, (address + ends[address]) // 2, max(address - 1, 0))})
        looked_up = run(MAPDUMP, *[argument for probe in probes for argument in ("--lookup", hex(probe))], *maps)
        expected = [found and (found[1], int(found[2], 16)) for found in
                    (re.match(rb"0x[0-9A-F]+ (\S+)\+0x([0-9A-F]+)", line) for line in looked_up.stdout.splitlines())]
        self.assertEqual(len(expected), len(probes))

        # Where symbols share an address, gdb and addr2line may name another
        # of them than --lookup, which names the first in file order.
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

        if call:  # a C call, linked against the ELF file, goes to the name's first record
            source = os.path.join(self.directory, b"caller.c")
            with open(source, "wb") as file:
                file.write(b'extern void target(void) __asm__("%s");\nvoid caller(void) { target(); }\n' % call)
            compiled = run("gcc", "-m32", "-O0", "-fno-pic", "-c", source, "-o", source + b".o")
            ld = run("ld", "-m", "elf_i386", "-e", "caller", b"--just-symbols=" + elf, source + b".o",
                     "-o", source + b".out")
            self.assertEqual([(compiled.returncode, compiled.stderr), (ld.returncode, ld.stderr)], [(0, b"")] * 2)
            calls = re.findall(rb"\scall\s+([0-9a-f]+) <([^>]*)>", run("objdump", "-d", source + b".out").stdout)
            self.assertEqual(calls, [(b"%x" % next(address for address, name in records if name == call), call)])


if __name__ == "__main__":
    unittest.main()
