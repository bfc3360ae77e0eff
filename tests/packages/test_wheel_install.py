"""The Linux wheel installed with pip into a fresh venv, its module and
python -m tamrix_map compared with mapdump, and uninstalled. The tests run
in this order: the install first, the uninstall last."""

import fnmatch

import pytest

from commands import assert_same_output, environment, run
from package_paths import MISSING_MAP, OUT, ROOT, SAMPLE, linux_wheels, wheel_path

VENV = OUT / "venv"
PIP = [VENV / "bin/python", "-m", "pip", "--disable-pip-version-check", "-q"]
MAPS = sorted((ROOT / "examples").glob("*.map"))
# The module's records as mapdump prints them, and on stderr the library it loaded.
PRINT_RECORDS = """import sys, tamrix_map
for name, address in tamrix_map.parse(sys.argv[1]): print(f"{address:08X} {name}")
print(tamrix_map._binding._library._name, file=sys.stderr)"""


@pytest.fixture(scope="module")
def venv():
    run(["/usr/bin/python3", "-m", "venv", VENV])
    return VENV


def in_venv(*arguments):
    """The venv's python outside the source tree and without
    TAMRIX_MAP_LIBRARY: the wheel alone."""
    return run([VENV / "bin/python", *arguments], ok=False, cwd=OUT, env=environment(remove={"TAMRIX_MAP_LIBRARY"}))


def test_pip_installs_the_linux_wheel(venv):
    assert len(linux_wheels()) == 1, "dist/ holds not one Linux wheel"
    run([*PIP, "install", "--no-index", linux_wheels()[0]])


@pytest.mark.parametrize("platform", ["win32", "win_amd64"])
def test_pip_refuses_the_windows_wheel(venv, platform):
    result = run([*PIP, "install", "--no-index", wheel_path(platform)], ok=False)
    assert result.returncode != 0, f"pip installs the {platform} wheel on Linux"


@pytest.fixture(scope="module")
def module_run(venv):
    return in_venv("-c", PRINT_RECORDS, SAMPLE)


def test_module_parse_prints_what_mapdump_prints(module_run, expected_mapdump):
    assert module_run.returncode == 0, module_run.stderr.decode()
    assert_same_output("the wheel's tamrix_map.parse", expected_mapdump, module_run.stdout)


def test_module_loads_the_wheels_library(module_run):
    loaded = module_run.stderr.decode().rstrip("\n")
    wanted = f"{VENV}/lib/python3*/site-packages/tamrix_map/libtamrix_map.so.1"
    assert fnmatch.fnmatchcase(loaded, wanted), f"the module loaded {loaded}, not the wheel's library"


@pytest.mark.parametrize("arguments", [[path] for path in MAPS] + [[*MAPS, MISSING_MAP, MAPS[0]], []],
                         ids=[path.name for path in MAPS] + ["several with a missing one", "none"])
def test_python_m_prints_what_mapdump_prints(venv, tree, arguments):
    """Output, errors (but for a usage error's) and exit status, byte for byte."""
    mapdump = run([tree / "bin/mapdump", *arguments], ok=False)
    python = in_venv("-m", "tamrix_map", *arguments)
    assert (python.stdout, python.returncode) == (mapdump.stdout, mapdump.returncode), (
        f"python -m tamrix_map is not mapdump (exit {python.returncode}, mapdump {mapdump.returncode})")
    if mapdump.returncode != 2:
        assert python.stderr == mapdump.stderr, (
            f"python -m tamrix_map's errors: {python.stderr.decode()}\nmapdump's: {mapdump.stderr.decode()}")


def test_pip_uninstall_leaves_nothing_behind(venv):
    run([*PIP, "uninstall", "-y", "tamrix-map"])
    left = sorted(str(path) for path in VENV.rglob("tamrix_map*"))
    assert not left, f"pip uninstall left {left}"
