"""The shared library's dynamic symbol table holds the names of the export
table and nothing else (nm -D).

    TAMRIX_MAP_LIBRARY=lib.so TAMRIX_MAP_EXPORT_TABLE=api/exports.txt pytest tests/test_dynamic_symbols.py
"""

import os
import subprocess

from export_table import read_export_table


def test_dynamic_symbols_are_the_exports() -> None:
    library = os.environ["TAMRIX_MAP_LIBRARY"]
    expected = {export.name for export in read_export_table(os.environ["TAMRIX_MAP_EXPORT_TABLE"])}
    listing = subprocess.run(["nm", "-D", "--defined-only", library], capture_output=True, text=True,
                             check=True).stdout
    defined = {line.split()[-1] for line in listing.splitlines() if line.strip()}
    assert defined == expected, f"missing {sorted(expected - defined)}, not exported {sorted(defined - expected)}"
