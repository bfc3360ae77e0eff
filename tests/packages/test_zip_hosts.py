"""Hosts built against each unpacked Windows zip: the MinGW way against
lib/libtamrix_map.dll.a, the MSVC way (clang-cl, lld-link) against
lib/tamrix_map.lib, through the zip's CMake package with find_package alone
(MinGW-w64 and clang-cl toolchains, each linking its own import library;
the other architecture's toolchain refused) and through its pkg-config
file; all of them and the zip's mapdump.exe run under wine, in one session
per zip, and compared with the Linux build's output."""

import pytest

from commands import assert_same_output, run
from package_paths import ROOT, ZIP_PLATFORMS
from zip_hosts import CONSUMERS, PROGRAMS, build_hosts, programs, run_in_wine

LAUNCHERS = {"win64": "wine64", "win32": "wine"}


@pytest.fixture(scope="module", params=ZIP_PLATFORMS)
def hosts(request):
    return build_hosts(request.param)


@pytest.fixture(scope="module")
def wine_outputs(hosts):
    return run_in_wine(hosts)


def test_mingw_host_links_against_dll_a(hosts):
    hosts.built("host-mingw")


def test_msvc_host_links_against_lib(hosts):
    """clang-cl and lld-link /nodefaultlib against lib/tamrix_map.lib."""
    hosts.built("msvc-host")


@pytest.mark.parametrize("consumer", CONSUMERS)
def test_find_package_builds(hosts, consumer):
    hosts.built(consumer)


@pytest.mark.parametrize("consumer", CONSUMERS)
def test_find_package_links_its_import_library(hosts, consumer):
    """The link command, with the response file of its libraries where the
    generator writes one, names the toolchain's import library."""
    _, program, import_library = CONSUMERS[consumer]
    link_files = [hosts.work / consumer / f"CMakeFiles/{program}.dir" / name for name in ("link.txt", "linkLibs.rsp")]
    linked = "".join(path.read_text() for path in link_files if path.is_file())
    assert f"{hosts.folder}/lib/{import_library}" in linked, f"{consumer} does not link lib/{import_library}: {linked}"


@pytest.mark.parametrize("consumer", CONSUMERS)
def test_find_package_copies_the_dll_beside_it(hosts, consumer):
    copy = hosts.work / consumer / "tamrix_map.dll"
    assert copy.is_file() and copy.read_bytes() == (hosts.folder / "bin/tamrix_map.dll").read_bytes(), (
        f"{consumer}: its build put no copy of bin/tamrix_map.dll beside it")


def test_other_architecture_refuses_the_zip(hosts):
    """A 32-bit toolchain takes no 64-bit folder, and the other way round."""
    other = "x86_64" if hosts.arch == "i686" else "i686"
    configure = run(["cmake", "-S", ROOT / "tests/hosts/consumer", "-B", hosts.work / f"consumer-{other}",
                     f"-DCMAKE_PREFIX_PATH={hosts.folder}", f"-DCMAKE_TOOLCHAIN_FILE={ROOT}/cmake/mingw-{other}.cmake"],
                    ok=False)
    log = (configure.stdout + configure.stderr).decode()
    assert configure.returncode != 0, f"find_package(tamrix_map) for {other} took the {hosts.platform} zip"
    assert "not accepted" in log, f"the {other} configure failed, but not on the package's version file:\n{log}"


def test_pkg_config_finds_the_zip(hosts):
    hosts.built("pkg-config")


def test_mingw_host_through_pkg_config(hosts):
    hosts.built("pkg-config")
    hosts.built("host-pkg-config")


@pytest.mark.parametrize("name", PROGRAMS)
def test_program_under_wine_prints_what_linux_prints(request, hosts, wine_outputs, name):
    assert name in wine_outputs, f"{name} was not built"
    status, output = wine_outputs[name]
    launcher = LAUNCHERS[hosts.platform]
    assert status == 0, f"{hosts.platform} {name} exited with {status} under {launcher}"
    expected = request.getfixturevalue("expected_" + programs(hosts)[name][1])
    assert_same_output(f"{hosts.platform} {name} under {launcher}", expected, output)
