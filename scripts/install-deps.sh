#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if missing.
#   --example   only what building and running mapdump needs
#               (scripts/run-example.sh)
set -euo pipefail

example_packages=(cmake gcc g++ make bison)          # the library and mapdump
packages=(
  "${example_packages[@]}" flex libgtest-dev googletest # tests
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64     # Windows DLLs
  wine32:i386                                         # the 32-bit DLL run
  qemu-system-x86 linux-image-amd64 busybox-static    # ... where this kernel runs no 32-bit code
  clang-14 lld-14 llvm-14                             # hosts linked the MSVC way
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64   # objdump, dlltool
  clang libclang-rt-14-dev valgrind gcovr              # hardening
  mawk pkg-config python3 time g++-multilib            # tools, bench (the 32-bit counts)
  gdb-multiarch elfutils binutils gcc-multilib        # mapdump --format elf read by gdb, eu-elflint, nm, ld
  mypy                                                # the Python module's type hints
  python3-pytest                                      # the checks written with pytest
  dpkg-dev file lintian zip unzip                      # release packages
  help2man mandoc groff man-db bsdextrautils          # manual pages
  python3-build python3-setuptools python3-wheel python3-venv python3-pip  # wheels
)
case ${1:-} in
  --example) packages=("${example_packages[@]}") ;;
  "") ;;
  *) echo "usage: install-deps.sh [--example]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "run as root (or install these packages yourself)" >&2
    exit 1
  fi
  # wine32 is an i386 package.
  if [[ " ${missing[*]} " == *" wine32:i386 "* ]]; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails one list or another: go on with the rest.
  apt-get update -qq || echo "apt-get update reported errors; installing from the lists it has" >&2
  # --no-remove: installing wine32:i386 must not take away anything else.
  install=(apt-get install -y -qq --no-remove)
  if ! DEBIAN_FRONTEND=noninteractive "${install[@]}" "${missing[@]}" >/dev/null; then
    # i386 and amd64 libraries must have the same versions; when one
    # architecture's security list is missing, the release's own suite
    # gives both the same.
    . /etc/os-release
    echo "installing again from $VERSION_CODENAME's own suite" >&2
    DEBIAN_FRONTEND=noninteractive "${install[@]}" -t "$VERSION_CODENAME" "${missing[@]}" >/dev/null
  fi
fi
