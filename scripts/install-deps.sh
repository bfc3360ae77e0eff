#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if missing.
set -euo pipefail

packages=(
  cmake g++ make flex bison libgtest-dev googletest   # library and tests
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64     # Windows DLLs
  wine32:i386 qemu-user-static                        # the 32-bit DLL run
  clang-14 lld-14 llvm-14                             # hosts linked the MSVC way
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64   # objdump, dlltool
  clang libclang-rt-14-dev valgrind gcovr              # hardening
  mawk pkg-config python3 time                         # tools, bench
)

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
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  # --no-remove: installing wine32:i386 must not take away anything else.
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-remove "${missing[@]}" >/dev/null
fi
