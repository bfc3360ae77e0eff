"""The .deb files as files: lintian's verdict and the library package's
symbols file."""

import re

from commands import run


def test_lintian_reports_no_errors_or_warnings(debs):
    result = run(["lintian", "--tag-display-limit", "0", *debs], ok=False)
    report = (result.stdout + result.stderr).decode()
    shown = [line for line in report.splitlines() if "running with root privileges" not in line]
    assert not re.search(r"^[EW]:", report, re.M), "lintian reports errors or warnings:\n" + "\n".join(shown)


def test_symbols_file_lists_the_exports(debs, deb_root):
    symbols = run(["dpkg-deb", "-I", debs[0], "symbols"]).stdout.decode()
    listed = sorted(match[1] for line in symbols.splitlines()
                    if (match := re.fullmatch(r" ([A-Za-z]*)@Base .*", line)))
    library = next(path for path in deb_root.rglob("libtamrix_map.so.*.*"))
    exported = run(["nm", "-D", "--defined-only", library]).stdout.decode()
    exports = sorted((line.split() + ["", "", ""])[2] for line in exported.splitlines())
    assert listed == exports, f"the symbols file of libtamrix-map1 lists {listed}, the library exports {exports}"
