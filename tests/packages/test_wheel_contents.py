"""The three wheels as files: what they hold, their tags, RECORD, and the
library's machine; the Linux one's manylinux tag read again from its
library, the Windows ones' DLLs those of the zips."""

import base64
import hashlib
import zipfile

import pytest

from commands import new_folder, run, zip_member
from package_paths import ROOT, VERSION, linux_wheels, wheel_path, zip_path

INFO = f"tamrix_map-{VERSION}.dist-info/"
MODULES = ("__init__.py", "__main__.py", "_binding.py", "_symbol_table.py")
# The platform, its library and what file(1) says of it; the Linux
# platform is the tag set in the wheel's name.
WHEELS = {"linux": ("libtamrix_map.so.1", "ELF 64-bit LSB shared object, x86-64"),
          "win32": ("tamrix_map.dll", "PE32 executable (DLL) (console) Intel 80386"),
          "win_amd64": ("tamrix_map.dll", "PE32+ executable (DLL) (console) x86-64")}


def linux_platform():
    found = linux_wheels()
    assert len(found) == 1, (f"dist/ holds not one tamrix_map-{VERSION}-py3-none-manylinux_2_X_x86_64.whl: "
                             f"{[path.name for path in found]}")
    return found[0].name.removesuffix(".whl").removeprefix(f"tamrix_map-{VERSION}-py3-none-")


def test_dist_holds_one_linux_wheel():
    linux_platform()


@pytest.fixture(scope="module", params=list(WHEELS))
def wheel(request):
    """The wheel's platform tag (or tag set), its zip file, and its library's name."""
    platform = linux_platform() if request.param == "linux" else request.param
    path = wheel_path(platform)
    assert path.is_file(), f"dist/{path.name} is missing"
    with zipfile.ZipFile(path) as archive:
        yield platform, archive, WHEELS[request.param]


def test_wheel_files(wheel):
    _, archive, (library, _) = wheel
    wanted = sorted([f"tamrix_map/{name}" for name in (*MODULES, "py.typed", library)]
                    + [INFO + name for name in ("LICENSE", "METADATA", "RECORD", "WHEEL", "top_level.txt")])
    assert sorted(archive.namelist()) == wanted


def test_wheel_tags(wheel):
    platform, archive, _ = wheel
    tags = [line for line in archive.read(INFO + "WHEEL").decode().splitlines() if line.startswith("Tag: ")]
    assert tags == [f"Tag: py3-none-{tag}" for tag in platform.split(".")]


def test_wheel_metadata(wheel):
    metadata = wheel[1].read(INFO + "METADATA").decode()
    assert f"Name: tamrix-map\nVersion: {VERSION}\n" in metadata, metadata


def test_wheel_record_hashes(wheel):
    archive = wheel[1]
    wrong = []
    for line in archive.read(INFO + "RECORD").decode().splitlines():
        name, digest, size = line.rsplit(",", 2)
        if name != INFO + "RECORD":
            data = archive.read(name) if name in archive.namelist() else b""
            hashed = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
            if name not in archive.namelist() or (digest, size) != ("sha256=" + hashed, str(len(data))):
                wrong.append(name)
    assert not wrong, f"RECORD is wrong for {wrong}"


def test_wheel_record_lists_every_file(wheel):
    archive = wheel[1]
    recorded = {line.rsplit(",", 2)[0] for line in archive.read(INFO + "RECORD").decode().splitlines()}
    assert recorded == set(archive.namelist()), f"RECORD lists {sorted(recorded)}"


@pytest.fixture(scope="module")
def library_file(wheel):
    platform, archive, (library, _) = wheel
    path = new_folder(f"wheel-{platform}") / library
    path.write_bytes(archive.read(f"tamrix_map/{library}"))
    return path


def test_wheel_library_machine(wheel, library_file):
    machine = wheel[2][1]
    found = run(["file", "-b", library_file]).stdout.decode()
    assert found.startswith(machine), f"tamrix_map/{library_file.name} is {found}"


def test_wheel_tag_fits_its_library(wheel, library_file):
    """The Linux wheel's tag is the one scripts/manylinux-tag.py reads from
    its library; a Windows wheel's DLL is its zip's."""
    platform = wheel[0]
    if platform.startswith("manylinux"):
        result = run(["/usr/bin/python3", ROOT / "scripts/manylinux-tag.py", library_file], ok=False)
        assert result.returncode == 0, f"its library fits no manylinux tag: {result.stderr.decode()}"
        tag = result.stdout.decode().rstrip("\n")
        assert tag == platform, f"its library needs {tag}"
    else:
        zip_platform = platform.replace("win_amd64", "win64")
        dll = zip_member(zip_path(zip_platform), f"tamrix_map-{VERSION}-{zip_platform}/bin/tamrix_map.dll")
        assert dll == library_file.read_bytes(), f"its DLL is not the one in {zip_path(zip_platform).name}"
