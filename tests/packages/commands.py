"""Running the tools the checks use, and comparing what programs print."""

import difflib
import os
import shlex
import subprocess
import tempfile
import zipfile
from pathlib import Path

from package_paths import OUT, ROOT


def run(command, *, ok=True, env=None, cwd=ROOT, **options):
    """Runs a command, its output kept as bytes. With ok, a failure is
    reported with the end of what it printed."""
    command = [str(part) for part in command]
    if "input" not in options:
        options["stdin"] = subprocess.DEVNULL
    result = subprocess.run(command, capture_output=True, env=env, cwd=cwd, check=False, **options)
    if ok:
        assert result.returncode == 0, (
            f"{shlex.join(command)} exited with {result.returncode}:\n{tail(result.stdout + result.stderr)}")
    return result


def tail(data, lines=40):
    return "\n".join(data.decode(errors="replace").splitlines()[-lines:])


def environment(remove=(), **added):
    """This process's environment less the names in remove, plus added."""
    env = {name: value for name, value in os.environ.items() if name not in remove}
    env.update({name: str(value) for name, value in added.items()})
    return env


def pkg_config_flags(env=None):
    """pkg-config --cflags --libs tamrix_map, split as a shell splits them."""
    return shlex.split(run(["pkg-config", "--cflags", "--libs", "tamrix_map"], env=env).stdout.decode())


def cmake_build(source, build, *options):
    """Configures and builds a CMake project; the log is in BUILD.log."""
    log = Path(f"{build}.log")
    configure = run(["cmake", "-S", source, "-B", build, *options], ok=False)
    log.write_bytes(configure.stdout + configure.stderr)
    assert configure.returncode == 0, f"cmake -S {source}: configure failed:\n{tail(log.read_bytes())}"
    compiled = run(["cmake", "--build", build], ok=False)
    with log.open("ab") as file:
        file.write(compiled.stdout + compiled.stderr)
    assert compiled.returncode == 0, f"cmake --build {build} failed:\n{tail(log.read_bytes())}"


def new_folder(name):
    """A new, empty folder under build/package-test."""
    OUT.mkdir(parents=True, exist_ok=True)
    return Path(tempfile.mkdtemp(prefix=f"{name}.", dir=OUT))


def unpack(archive):
    """Unpacks a .zip or .tar.gz into a new, empty folder and returns it."""
    folder = new_folder("unpacked")
    archive = str(archive)
    # unzip and tar keep the files' modes, which Python's zipfile does not.
    if archive.endswith(".zip"):
        run(["unzip", "-q", archive, "-d", folder])
    else:
        run(["tar", "-xzf", archive, "-C", folder])
    return folder


def zip_member(archive, name):
    """The bytes of one file of a zip; None when it has no such file."""
    with zipfile.ZipFile(archive) as opened:
        return opened.read(name) if name in opened.namelist() else None


def lines_without_cr_lf(data):
    """The lines of a text that do not end in CR LF, and the empty ones."""
    lines = data.split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    return [line for line in lines if not line.endswith(b"\r")]


def assert_same_output(what, expected, actual):
    """A program's output (LF or CR LF) is the expected one, byte for byte."""
    actual = actual.replace(b"\r", b"")
    if actual != expected:
        diff = difflib.unified_diff(expected.decode(errors="replace").splitlines(),
                                    actual.decode(errors="replace").splitlines(),
                                    "Linux build", what, lineterm="")
        raise AssertionError(f"{what} differs from the Linux build's output:\n"
                             + "\n".join(list(diff)[:20]))
