"""Each Windows zip, unpacked into an empty folder: its files, its CR LF
text files, its binaries' architecture and version resources."""

import pytest

from commands import lines_without_cr_lf, run, unpack
from package_paths import VERSION, ZIP_PLATFORMS, zip_path

FILES = ("LICENSE.txt", "README.txt", "bin/mapdump.exe", "bin/tamrix_map.dll", "doc/mapdump.txt",
         "doc/tamrix_map.txt", "include/tamrix_map.h", "lib/cmake/tamrix_map/tamrix_map-config-version.cmake",
         "lib/cmake/tamrix_map/tamrix_map-config.cmake", "lib/libtamrix_map.dll.a",
         "lib/pkgconfig/tamrix_map.pc", "lib/tamrix_map.def", "lib/tamrix_map.lib")
# objdump's tool and the architecture it names.
ARCHITECTURES = {"win64": ("x86_64", "i386:x86-64"), "win32": ("i686", "i386")}
BINARIES = ("tamrix_map.dll", "mapdump.exe")


@pytest.fixture(scope="module", params=ZIP_PLATFORMS)
def zip_top(request):
    """The platform and the folder the zip was unpacked into."""
    return request.param, unpack(zip_path(request.param))


def folder_of(zip_top):
    platform, top = zip_top
    return top / f"tamrix_map-{VERSION}-{platform}"


def test_zip_holds_one_folder_with_thirteen_files(zip_top):
    platform, top = zip_top
    listing = sorted((str(path.relative_to(top)) for path in top.rglob("*") if path.is_file()),
                     key=lambda name: name.encode())  # as sort does in the C locale
    assert listing == [f"tamrix_map-{VERSION}-{platform}/{name}" for name in FILES], f"the zip holds {listing}"


@pytest.mark.parametrize("text", ["README.txt", "LICENSE.txt"])
def test_text_file_has_cr_lf(zip_top, text):
    bad = lines_without_cr_lf((folder_of(zip_top) / text).read_bytes())
    assert not bad, f"{text} has lines without CR LF: {bad[:3]}"


def test_readme_points_to_license(zip_top):
    assert b"LICENSE.txt" in (folder_of(zip_top) / "README.txt").read_bytes(), "README.txt does not point to LICENSE.txt"


@pytest.mark.parametrize("binary", BINARIES)
def test_binary_architecture(zip_top, binary):
    tool, wanted = ARCHITECTURES[zip_top[0]]
    headers = run([f"{tool}-w64-mingw32-objdump", "-f", folder_of(zip_top) / "bin" / binary]).stdout.decode()
    found = [line.split("architecture: ", 1)[1].split(",", 1)[0] for line in headers.splitlines()
             if "architecture: " in line and "," in line.split("architecture: ", 1)[1]]
    assert found == [wanted], f"{binary} is built for {found}"


@pytest.mark.parametrize("binary", BINARIES)
def test_version_resource(zip_top, binary):
    """The version resource as strings -el shows it: each name, then its value."""
    strings = run(["strings", "-el", folder_of(zip_top) / "bin" / binary]).stdout.decode().splitlines()
    wanted = {"FileVersion": f"{VERSION}.0", "ProductVersion": f"{VERSION}.0", "ProductName": "tamrix_map",
              "OriginalFilename": binary, "FileDescription": None, "LegalCopyright": None}
    wrong = []
    for key, expected in wanted.items():
        at = strings.index(key) if key in strings else None
        value = strings[at + 1] if at is not None and at + 1 < len(strings) else ""
        if not value or value != (value if expected is None else expected):
            wrong.append(f"{key} is '{value}', expected '{expected or 'a value'}'")
    assert not wrong, f"{binary}: version resource: " + "; ".join(wrong)
