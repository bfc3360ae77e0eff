"""Set-up shared by the package checks: a fresh build/package-test, the
artifacts present, the Debian install checks last, and the Linux build's
outputs (from the tar.gz, unpacked and moved) that the other builds'
outputs are compared with."""

import shutil
import signal

import pytest

from commands import pkg_config_flags, run, environment, unpack
from package_paths import (DEB_PACKAGES, HOST_SOURCE, MISSING_MAP, MSVC_HOST_SOURCE, OUT,
                           SAMPLE, TAR_GZ, ZIP_PLATFORMS, deb_path, zip_path)


def pytest_sessionstart(session):
    # A TERM runs the teardowns as an interrupt does, so that installed
    # packages are purged again.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    shutil.rmtree(OUT, ignore_errors=True)
    OUT.mkdir(parents=True)
    for path in [zip_path(platform) for platform in ZIP_PLATFORMS] + [TAR_GZ]:
        if not path.is_file():
            pytest.exit(f"dist/{path.name} is missing: run scripts/package.sh first", returncode=1)
    for package in DEB_PACKAGES:
        if deb_path(package) is None:
            pytest.exit(f"dist/ holds not one {package}_VERSION_ARCH.deb: run scripts/package.sh first",
                        returncode=1)


@pytest.hookimpl(trylast=True)
def pytest_collection_modifyitems(items):
    """The .deb files are installed last, after every other check, for as
    short a time as possible: nothing else may find the system's files."""
    items.sort(key=lambda item: item.module.__name__ == "test_debian_install")


@pytest.fixture(scope="session")
def debs():
    return [deb_path(package) for package in DEB_PACKAGES]


@pytest.fixture(scope="session")
def deb_root(debs):
    """The three .deb files unpacked into one folder."""
    folder = OUT / "pages" / "root"
    folder.mkdir(parents=True)
    for deb in debs:
        run(["dpkg-deb", "-x", deb, folder])
    return folder


@pytest.fixture(scope="session")
def tree():
    """The tar.gz unpacked into an empty folder and moved elsewhere."""
    unpacked = unpack(TAR_GZ) / TAR_GZ.name.removesuffix(".tar.gz")
    return unpacked.rename(OUT / "moved-tree")


@pytest.fixture(scope="session")
def tree_pkg_config(tree):
    """The tree's pkg-config folder and the flags it gives."""
    pc_dir = next(tree.rglob("tamrix_map.pc")).parent
    return pc_dir, pkg_config_flags(environment(PKG_CONFIG_PATH=pc_dir))


def linux_host(source, name, tree_pkg_config, *arguments):
    """A host built against the tree through pkg-config, run with the library
    beside its pkg-config folder; what it prints."""
    pc_dir, flags = tree_pkg_config
    program = OUT / name
    run(["cc", "-std=c99", "-Wall", "-Wextra", "-Werror", "-o", program, source, *flags])
    return run([program, *arguments], env=environment(LD_LIBRARY_PATH=pc_dir.parent)).stdout


@pytest.fixture(scope="session")
def expected_host(tree_pkg_config):
    """examples/host.c's output for the sample."""
    return linux_host(HOST_SOURCE, "host-tree", tree_pkg_config, SAMPLE)


@pytest.fixture(scope="session")
def expected_msvc_host(tree_pkg_config):
    """The MSVC-ABI host's source, built for Linux: the records by walk and
    by node chain, a failure's message and the version text."""
    return linux_host(MSVC_HOST_SOURCE, "msvc-host-tree", tree_pkg_config, SAMPLE, MISSING_MAP)


@pytest.fixture(scope="session")
def expected_mapdump(tree):
    """mapdump's output for the sample, from the moved tree."""
    return run([tree / "bin" / "mapdump", SAMPLE]).stdout
