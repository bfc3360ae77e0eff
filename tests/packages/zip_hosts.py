"""The hosts built against one unpacked Windows zip, each build's result
kept so that one failed build fails its own checks only, and the zip's
programs run in one wine session."""

import json
import shutil
from dataclasses import dataclass, field
from pathlib import Path

from commands import cmake_build, environment, new_folder, pkg_config_flags, run, unpack
from package_paths import HOST_SOURCE, MISSING_MAP, ROOT, SAMPLE, VERSION, zip_path

ARCHES = {"win64": "x86_64", "win32": "i686"}
# The find_package consumers: their source, program and the import library each must link.
CONSUMERS = {"consumer-mingw": ("tests/hosts/consumer", "consumer", "libtamrix_map.dll.a"),
             "consumer-msvc": ("tests/windows/msvc_consumer", "msvc_host", "tamrix_map.lib")}


@dataclass
class ZipHosts:
    platform: str
    folder: Path  # the unpacked tamrix_map-VERSION-PLATFORM/
    work: Path  # the hosts, beside a copy of the DLL, as README.txt says
    failed: dict = field(default_factory=dict)  # build name -> what went wrong
    pc_flags: list = field(default_factory=list)  # what lib/pkgconfig/tamrix_map.pc gives

    @property
    def arch(self):
        return ARCHES[self.platform]

    def build(self, name, action):
        """Runs one build; an AssertionError is kept as its failure."""
        try:
            action()
        except AssertionError as error:
            self.failed[name] = str(error)

    def built(self, name):
        assert name not in self.failed, self.failed.get(name)


def mingw_gcc(hosts, output, *arguments):
    run([f"{hosts.arch}-w64-mingw32-gcc", "-std=c99", "-Wall", "-Wextra", "-Werror", "-static",
         "-o", hosts.work / output, HOST_SOURCE, *arguments])


def consumer(hosts, name):
    source, _, _ = CONSUMERS[name]
    if name == "consumer-mingw":
        toolchain = [f"-DCMAKE_TOOLCHAIN_FILE={ROOT}/cmake/mingw-{hosts.arch}.cmake"]
    else:
        toolchain = [f"-DCMAKE_TOOLCHAIN_FILE={ROOT}/tests/windows/msvc_consumer/clang-cl.cmake",
                     f"-DCMAKE_C_COMPILER_TARGET={hosts.arch}-pc-windows-msvc",
                     f"-DKERNEL32_LIBRARY={hosts.work}/kernel32.lib"]
    cmake_build(ROOT / source, hosts.work / name, *toolchain, f"-DCMAKE_PREFIX_PATH={hosts.folder}",
                "-DCMAKE_BUILD_TYPE=Release")


def build_hosts(platform):
    """Unpacks the zip and builds every host against it."""
    top = unpack(zip_path(platform))
    hosts = ZipHosts(platform, top / f"tamrix_map-{VERSION}-{platform}", new_folder(f"hosts-{platform}"))
    shutil.copy(hosts.folder / "bin/tamrix_map.dll", hosts.work)
    hosts.build("host-mingw", lambda: mingw_gcc(hosts, "host-mingw.exe", f"-I{hosts.folder}/include",
                                                hosts.folder / "lib/libtamrix_map.dll.a"))
    hosts.build("msvc-host", lambda: run(["bash", ROOT / "tests/windows/build_msvc_host.sh", hosts.arch,
                                          hosts.folder / "include", hosts.folder / "lib", hosts.work]))
    for name in CONSUMERS:  # consumer-msvc takes the kernel32.lib that build_msvc_host.sh made
        hosts.build(name, lambda name=name: consumer(hosts, name))

    def read_pc_file():  # where the folder was unpacked
        env = environment(remove={"PKG_CONFIG_PATH"}, PKG_CONFIG_LIBDIR=hosts.folder / "lib/pkgconfig")
        hosts.pc_flags = pkg_config_flags(env)
    hosts.build("pkg-config", read_pc_file)
    if "pkg-config" not in hosts.failed:
        hosts.build("host-pkg-config", lambda: mingw_gcc(hosts, "host-pkg-config.exe", *hosts.pc_flags))
    return hosts


PROGRAMS = ("host-mingw", "msvc-host", "host-pkg-config", "consumer-mingw", "consumer-msvc", "mapdump")


def programs(hosts):
    """The zip's programs, their arguments and the Linux output each must equal."""
    return {"host-mingw": ([hosts.work / "host-mingw.exe", SAMPLE], "host"),
            "msvc-host": ([hosts.work / "msvc_host.exe", SAMPLE, MISSING_MAP], "msvc_host"),
            "host-pkg-config": ([hosts.work / "host-pkg-config.exe", SAMPLE], "host"),
            "consumer-mingw": ([hosts.work / "consumer-mingw/consumer.exe", SAMPLE], "host"),
            "consumer-msvc": ([hosts.work / "consumer-msvc/msvc_host.exe", SAMPLE, MISSING_MAP], "msvc_host"),
            "mapdump": ([hosts.folder / "bin/mapdump.exe", SAMPLE], "mapdump")}


def run_in_wine(hosts):
    """Runs the programs that were built in one wine session of their own
    (the win32 one through run-32bit.sh, in a qemu guest where this kernel
    runs no 32-bit code, with the prefix scripts/test-windows.sh saved);
    returns each one's exit status and output, by name."""
    listed = {name: [str(part) for part in command] for name, (command, _) in programs(hosts).items()
              if Path(command[0]).is_file()}
    (hosts.work / "programs.json").write_text(json.dumps(listed))
    command = ["bash", "scripts/wine-session.sh", hosts.platform, "/usr/bin/python3",
               "tests/packages/run_wine_programs.py", hosts.work]
    if hosts.platform == "win32":
        command = ["env", f"WINE_SESSION_SAVED={ROOT}/build/wineprefix-win32.tar",
                   "RUN_32BIT_ENV=WINE_SESSION_SAVED", "bash", "scripts/run-32bit.sh", *command]
    session = run(command, ok=False)
    (hosts.work / "wine-session.log").write_bytes(session.stdout + session.stderr)
    assert session.returncode == 0, (f"the {hosts.platform} zip's wine session failed "
                                     f"(exit {session.returncode}):\n{(session.stdout + session.stderr).decode()}")
    return {name: (int((hosts.work / f"{name}.status").read_text()), (hosts.work / f"{name}.out").read_bytes())
            for name in listed}
