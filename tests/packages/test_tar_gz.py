"""The tar.gz, unpacked into an empty folder and moved: a host built through
pkg-config and through find_package, and its mapdump."""

import re

from commands import assert_same_output, cmake_build, run
from package_paths import MISSING_MAP, OUT, ROOT, SAMPLE, VERSION_TEXT


def test_pkg_config_host_reads_the_sample(expected_host):
    last = expected_host.decode().splitlines()[-1:]
    assert re.search(rb"^28 records$", expected_host, re.M), f"the host read {last}"


def test_msvc_host_source_names_a_missing_file(expected_msvc_host):
    message = f"message: can't open file {MISSING_MAP}".encode()
    assert message in expected_msvc_host.splitlines(), (
        "the MSVC-ABI host's Linux build gave no message for a missing file:\n" + expected_msvc_host.decode())


def test_find_package_host(tree, expected_host):
    build = OUT / "consumer-tree"
    cmake_build(ROOT / "tests/hosts/consumer", build, f"-DCMAKE_PREFIX_PATH={tree}", "-DCMAKE_BUILD_TYPE=Release")
    assert_same_output("find_package host", expected_host, run([build / "consumer", SAMPLE]).stdout)


def test_mapdump_from_the_moved_tree(tree, expected_mapdump):
    """mapdump finds the library beside it, wherever the tree is: it read
    the sample (expected_mapdump) and says its version."""
    version = run([tree / "bin" / "mapdump", "--version"]).stdout.decode().rstrip("\n")
    assert version == VERSION_TEXT, f"mapdump --version: {version}"
