"""The .deb files installed with dpkg -i: the example host built through
pkg-config and find_package against the system's files, run with mapdump,
and the packages purged again, also when a check fails. These run after
every other check (conftest.py), the purge last."""

import re
import subprocess
import time
from pathlib import Path

import pytest

from commands import assert_same_output, cmake_build, pkg_config_flags, run
from package_paths import DEB_PACKAGES, HOST_SOURCE, OUT, ROOT, SAMPLE


def package_state(package):
    result = run(["dpkg-query", "-W", "-f=${db:Status-Abbrev}", package], ok=False)
    return result.stdout.decode() if result.returncode == 0 else ""


def dpkg(log, *arguments):
    """Runs dpkg to its end, its output in OUT/LOG; an interrupt meanwhile
    is raised only after it, so that no dpkg is stopped halfway or still
    holds its lock when the packages are purged. Returns the exit status
    and the output."""
    with open(OUT / log, "wb") as output:
        process = subprocess.Popen(["dpkg", *arguments], stdin=subprocess.DEVNULL, stdout=output,
                                   stderr=subprocess.STDOUT)
    interrupt = None
    while process.returncode is None:
        try:
            process.wait()
        except KeyboardInterrupt as error:
            interrupt = error
    if interrupt:
        raise interrupt
    return process.returncode, (OUT / log).read_text(errors="replace")


def purge():
    return dpkg("dpkg-remove.log", "--purge", *DEB_PACKAGES)


@pytest.fixture(scope="module")
def installed(debs):
    """dpkg -i's result; the packages are purged when the module ends unless
    the purge check did it. Removed with --purge, so that no state of them
    is left behind."""
    for package in DEB_PACKAGES:
        if re.match("[ih]", package_state(package)):
            pytest.fail(f"{package} is installed already; this check installs and removes it itself")
    state = {"purged": False, "at": time.monotonic()}
    try:
        state["install"] = dpkg("dpkg-install.log", "-i", *debs)
        yield state
    finally:
        if not state["purged"]:
            purge()


def test_dpkg_installs_the_packages(installed):
    status, output = installed["install"]
    assert status == 0, "dpkg -i:\n" + output


@pytest.fixture(scope="module")
def system_host(installed):
    program = OUT / "host-system"
    run(["cc", "-std=c99", "-Wall", "-Wextra", "-Werror", "-o", program, HOST_SOURCE, *pkg_config_flags()])
    return program


def test_pkg_config_host_on_the_installed_packages(system_host, expected_host):
    assert_same_output("pkg-config host on the installed packages", expected_host, run([system_host, SAMPLE]).stdout)


def test_host_loads_the_packaged_library(system_host):
    loaded = [line.split()[2] for line in run(["ldd", system_host]).stdout.decode().splitlines()
              if "libtamrix_map" in line and len(line.split()) > 2]
    assert len(loaded) == 1 and re.fullmatch(r"(/usr)?/lib/.*/libtamrix_map\.so\.1", loaded[0]), (
        f"the host loads {loaded}, not the packaged library")


@pytest.fixture(scope="module")
def system_consumer(installed):
    build = OUT / "consumer-system"
    cmake_build(ROOT / "tests/hosts/consumer", build, "-DCMAKE_BUILD_TYPE=Release")
    return build


def test_find_package_finds_the_installed_package(system_consumer):
    cache = (system_consumer / "CMakeCache.txt").read_text()
    assert "tamrix_map_DIR:PATH=/usr/lib/" in cache, (
        f"find_package found {[line for line in cache.splitlines() if 'tamrix_map_DIR' in line]}")


def test_find_package_host_on_the_installed_packages(system_consumer, expected_host):
    output = run([system_consumer / "consumer", SAMPLE]).stdout
    assert_same_output("find_package host on the installed packages", expected_host, output)


def test_installed_mapdump(installed, expected_mapdump):
    assert_same_output("the installed mapdump", expected_mapdump, run(["mapdump", SAMPLE]).stdout)


def test_man_finds_the_installed_pages(installed):
    found = run(["man", "-w", "mapdump", "tamrix_map"], ok=False).stdout.decode().split("\n")
    assert " ".join(filter(None, found)) == "/usr/share/man/man1/mapdump.1.gz /usr/share/man/man3/tamrix_map.3.gz", (
        f"man -w finds: {found}")


def test_dpkg_purge_leaves_nothing_behind(installed):
    status, output = purge()
    installed["purged"] = True
    assert status == 0, "dpkg --purge:\n" + output
    left = {package: state for package in DEB_PACKAGES if (state := package_state(package)) and not state.startswith("un ")}
    assert not left, f"left in these states: {left}"
    assert not Path("/usr/include/tamrix_map.h").exists(), "/usr/include/tamrix_map.h is left behind"
    print(f"the packages were installed for {time.monotonic() - installed['at']:.0f} s")
