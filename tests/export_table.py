"""The library's export table, api/exports.txt, for the checks that read it."""

from typing import List, NamedTuple


class Export(NamedTuple):
    ordinal: int
    name: str
    argument_bytes: int  # what the 32-bit DLL's stdcall function takes off the stack


def read_export_table(path: str) -> List[Export]:
    exports = []
    with open(path) as table:
        for line in table:
            if line.strip() and not line.startswith("#"):
                ordinal, name, argument_bytes = line.split()
                exports.append(Export(int(ordinal), name, int(argument_bytes)))
    assert exports, f"{path} lists no exports"
    return exports
