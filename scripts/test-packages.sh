#!/usr/bin/env bash
# Checks the artifacts of scripts/package.sh in dist/ from their contents
# alone: runs the pytest checks of tests/packages/ (one test per check,
# every failure reported), as root. What they cover:
# - the tar.gz, unpacked and moved: hosts through pkg-config and
#   find_package, its mapdump (test_tar_gz.py);
# - lintian on the .deb files, the symbols file (test_debian_contents.py);
# - the manual pages in the packages and the zips (test_manual_pages.py);
# - the wheels' files, tags, RECORD and libraries (test_wheel_contents.py);
#   the Linux one installed with pip into a fresh venv, compared with
#   mapdump and uninstalled (test_wheel_install.py);
# - each Windows zip's files (test_zip_contents.py), and hosts built
#   against it, run under wine in one session per zip with its mapdump.exe
#   (test_zip_hosts.py; the win32 ones through scripts/run-32bit.sh, with
#   the prefix saved as build/wineprefix-win32.tar);
# - the .deb files installed with dpkg -i, last: hosts against the
#   system's files, mapdump, and the packages purged again, also when a
#   check fails (test_debian_install.py).
# Every output is compared with what the Linux build gives. Their files
# are in build/package-test/.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ $# -ne 0 ]; then
    echo "usage: test-packages.sh (to run some checks: python3 -m pytest tests/packages -k NAME)" >&2
    exit 2
fi
started=$SECONDS
source scripts/results.sh

# shellcheck disable=SC2046 # the option is one word or none
/usr/bin/python3 -m pytest -v tests/packages $(pytest_results packages)
status=$?
echo "note: the win32 and win_amd64 wheels are checked from their contents, not imported: no Windows Python on this machine (Debian packages none, python.org and PyPI are out of reach)"
if [ "$status" -ne 0 ]; then
    echo "FAILED: package checks (pytest exit status $status; the failed checks are listed above)" >&2
    exit 1
fi
echo "== all package checks passed ($((SECONDS - started)) s)"
