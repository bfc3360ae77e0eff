"""tamrix_map over the shared library named by TAMRIX_MAP_LIBRARY; its
SymbolTable against the mapdump named by MAPDUMP."""

import os
import pickle
import shutil
import subprocess
import sys
import tempfile
import unittest

import tamrix_map

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.environ.get("SAMPLE_MAP", os.path.join(HERE, "..", "examples", "sample.map"))
OLD, NEW = (os.path.join(HERE, "..", "tests", "hosts", "data", name) for name in ("old.map", "new.map"))
MIXED = os.path.join(HERE, "..", "tests", "data", "mixed.map")
MAPDUMP = os.environ.get("MAPDUMP")

# Map files and addresses to look up in them: below the first symbol, on
# one, between two, where several share an address (1B24H in SAMPLE; 1000H
# and 8000H in OLD and SAMPLE, so file order decides), past the last. With
# several files the symbol's file is named: OLD and NEW interleave, share
# 1000H and 1200H, and a file given twice is named all the same.
LOOKUPS = [
    ([SAMPLE], [0x0, 0x3, 0x1A00, 0x1A8F, 0x1B24, 0x1B30, 0x2C7F, 0xFFFE, 0x12000, 0xFFFFFFFF]),
    ([OLD], [0x0, 0xFFF, 0x1000, 0x1100, 0x11FF, 0x8000, 0x7FFFFFFF]),
    ([OLD, SAMPLE], [0x3, 0x1000, 0x1A00, 0x8000, 0x8001]),
    ([SAMPLE, OLD], [0x1000, 0x8000, 0x8001]),
    ([MIXED, NEW], [0xFF, 0x100, 0x1044, 0x10000]),
    ([OLD, NEW], [0xFFF, 0x1000, 0x1042, 0x1044, 0x1101, 0x1190, 0x1200, 0x1240]),
    ([NEW, NEW], [0x1044]),
]
# Names found once, in several places (across files, or a file given
# twice), and nowhere.
FINDS = [([SAMPLE], ["_start", "_idle_hook", "_default_hook", "nowhere"]),
         ([OLD, NEW, OLD], ["_main", "_legacy_init", "_crc32"])]


def mapdump_lines(*arguments):
    result = subprocess.run([MAPDUMP, *arguments], capture_output=True, check=False)
    return result.stdout.decode("latin-1").splitlines()


class Parse(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory()
        self.addCleanup(self.directory.cleanup)

    def write(self, name, content):
        path = os.path.join(self.directory.name, name)
        with open(path, "wb") as file:
            file.write(content)
        return path

    def test_records_in_file_order(self):
        records = tamrix_map.parse(SAMPLE)
        self.assertEqual(len(records), 28)
        self.assertEqual(records[:3], [("__vector_reset", 0), ("__vector_nmi", 4), ("_start", 0x1A00)])
        self.assertIn(("_memcpy", 0x2A00), records)  # from the CRLF lines
        self.assertEqual(records[-1], ("__stack_top", 0xFFFE))

    def test_each_call_returns_only_its_own_records(self):
        other = self.write("other.map", b"code ADDR 10H only\n")
        self.assertEqual(len(tamrix_map.parse(SAMPLE)), 28)
        self.assertEqual(tamrix_map.parse(other), [("only", 0x10)])
        self.assertEqual(tamrix_map._binding._get_library().GetRecordCount(), 0)

    def test_failure_raises_with_the_library_message_and_frees(self):
        unfinished = self.write("unfinished.map", b"code ADDR 10H kept\ncode ADDR 20H last")
        with self.assertRaises(tamrix_map.MapParseError) as raised:
            tamrix_map.parse(unfinished)
        message = unfinished + ':2: syntax error. "" is invalid.'
        self.assertEqual((str(raised.exception), raised.exception.message), (message, message + "\n"))
        copy = pickle.loads(pickle.dumps(raised.exception))
        self.assertEqual((str(copy), copy.message), (message, message + "\n"))
        self.assertEqual(tamrix_map._binding._get_library().GetRecordCount(), 0)

    def test_bytes_of_a_path_survive_into_the_message(self):
        path = os.path.join(os.fsencode(self.directory.name), b"caf\xe9.map")
        with self.assertRaises(tamrix_map.MapParseError) as raised:
            tamrix_map.parse(path)
        self.assertEqual(str(raised.exception), "can't open file " + path.decode("latin-1"))

    def test_a_message_cut_without_its_line_feed_keeps_its_text(self):
        path = os.path.join(self.directory.name, "p" * 250)
        with self.assertRaises(tamrix_map.MapParseError) as raised:
            tamrix_map.parse(path)
        cut = ("can't open file " + path)[:255]
        self.assertEqual((str(raised.exception), raised.exception.message), (cut, cut))

    def test_version(self):
        self.assertEqual(tamrix_map.version(), "tamrix_mal.dll Ver.1.0")

    def test_the_namespace_holds_the_public_names_only(self):
        # What completion and dir() show: no typing helpers or imports.
        self.assertEqual({name for name in dir(tamrix_map) if not name.startswith("_")}, set(tamrix_map.__all__))


@unittest.skipUnless(MAPDUMP, "MAPDUMP names no mapdump to compare with")
class SymbolTableAsMapdump(unittest.TestCase):
    def test_lookups_give_what_mapdump_lookup_prints(self):
        for paths, addresses in LOOKUPS:
            with self.subTest(paths=[os.path.basename(path) for path in paths]):
                table = tamrix_map.SymbolTable.from_files(*paths)
                records = [record for path in paths for record in tamrix_map.parse(path)]
                self.assertEqual((list(table), len(table)), (records, len(records)))
                mine = [f"0x{address:X} {found}" if found else f"0x{address:X}: no symbol at or below"
                        for address, found in ((address, table.lookup(address)) for address in addresses)]
                lookups = [argument for address in addresses for argument in ("--lookup", f"0x{address:X}")]
                self.assertEqual(mine, mapdump_lines(*lookups, *paths))

    def test_addresses_of_a_name_are_what_mapdump_find_prints(self):
        for paths, names in FINDS:
            table = tamrix_map.SymbolTable.from_files(*paths)
            for name in names:
                with self.subTest(name=name):
                    printed = mapdump_lines("--find", name, *paths)  # "[FILE:]0000ADDR NAME"
                    self.assertEqual(table.addresses(name), [int(line.rsplit(" ", 1)[0][-8:], 16) for line in printed])

    def test_diff_gives_what_mapdump_diff_prints(self):
        with tempfile.TemporaryDirectory() as directory:
            repeats = []  # a name three times: matched occurrence by occurrence
            for name, content in (("a.map", b"c ADDR 10H dup\nc ADDR 20H dup\nc ADDR 30H x\nc ADDR 40H dup\n"),
                                  ("b.map", b"c ADDR 10H dup\nc ADDR 24H dup\nc ADDR 30H y\n")):
                repeats.append(os.path.join(directory, name))
                with open(repeats[-1], "wb") as file:
                    file.write(content)
            for old, new in [(OLD, NEW), (NEW, OLD), (SAMPLE, MIXED), repeats, repeats[::-1]]:
                with self.subTest(old=os.path.basename(old), new=os.path.basename(new)):
                    changes = tamrix_map.SymbolTable.from_files(old).diff(tamrix_map.SymbolTable.from_files(new))
                    self.assertEqual([str(change) for change in changes], mapdump_lines("diff", old, new))


class Loading(unittest.TestCase):
    def run_python(self, directory, library_variable):
        environment = dict(os.environ)
        environment.pop("TAMRIX_MAP_LIBRARY")
        if library_variable is not None:
            environment["TAMRIX_MAP_LIBRARY"] = library_variable
        code = "import tamrix_map, sys; print(len(tamrix_map.parse(sys.argv[1])))"
        return subprocess.run([sys.executable, "-c", code, SAMPLE], cwd=directory, env=environment,
                              capture_output=True, text=True, check=False)

    def test_library_next_to_the_module(self):
        with tempfile.TemporaryDirectory() as directory:
            package = shutil.copytree(os.path.dirname(tamrix_map.__file__), os.path.join(directory, "tamrix_map"))
            shutil.copy(os.environ["TAMRIX_MAP_LIBRARY"], os.path.join(package, tamrix_map._binding._LIBRARY_FILES[0]))
            result = self.run_python(directory, None)
            self.assertEqual((result.returncode, result.stdout), (0, "28\n"), result.stderr)

    def test_a_wrong_path_in_the_variable_is_not_replaced_by_another_library(self):
        with tempfile.TemporaryDirectory() as directory:
            package = shutil.copytree(os.path.dirname(tamrix_map.__file__), os.path.join(directory, "tamrix_map"))
            shutil.copy(os.environ["TAMRIX_MAP_LIBRARY"], os.path.join(package, tamrix_map._binding._LIBRARY_FILES[0]))
            result = self.run_python(directory, os.path.join(directory, "missing.so"))
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("cannot load the tamrix_map library", result.stderr)


if __name__ == "__main__":
    unittest.main()
