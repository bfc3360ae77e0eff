"""tamrix_map.parse over the shared library named by TAMRIX_MAP_LIBRARY."""

import os
import pickle
import shutil
import subprocess
import sys
import tempfile
import unittest

import tamrix_map

SAMPLE = os.environ.get("SAMPLE_MAP",
                        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "sample.map"))


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
