"""Where the artifacts of scripts/package.sh are, what they are called, and
where the checks of tests/packages/ put what they make."""

import re
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DIST = ROOT / "dist"
# Beside the sources, not under /tmp: in the qemu guest of run-32bit.sh
# only the working directory's tree is written back.
OUT = ROOT / "build" / "package-test"

VERSION = re.search(r"^project\(tamrix_map VERSION ([0-9.]*)",
                    (ROOT / "CMakeLists.txt").read_text(), re.M)[1]
VERSION_TEXT = "tamrix_mal.dll Ver.1.0"  # what the library's version function says

SAMPLE = ROOT / "examples" / "sample.map"
HOST_SOURCE = ROOT / "examples" / "host.c"
MSVC_HOST_SOURCE = ROOT / "tests" / "windows" / "msvc_host.c"
MISSING_MAP = OUT / "no-such.map"

TAR_GZ = DIST / f"tamrix_map-{VERSION}-Linux-x86_64.tar.gz"
ZIP_PLATFORMS = ("win64", "win32")
DEB_PACKAGES = ("libtamrix-map1", "libtamrix-map-dev", "tamrix-map-tools")


def zip_path(platform):
    return DIST / f"tamrix_map-{VERSION}-{platform}.zip"


def deb_path(package):
    """The one dist/PACKAGE_VERSION_ARCH.deb; None when there is not exactly one."""
    found = sorted(DIST.glob(f"{package}_{VERSION}_*.deb"))
    return found[0] if len(found) == 1 else None


def wheel_path(platform):
    return DIST / f"tamrix_map-{VERSION}-py3-none-{platform}.whl"


def linux_wheels():
    return sorted(DIST.glob(f"tamrix_map-{VERSION}-py3-none-manylinux_2_*_x86_64.whl"))
