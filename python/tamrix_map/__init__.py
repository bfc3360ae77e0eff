"""Reads linker map files through the tamrix_map shared library.

    import tamrix_map
    for name, address in tamrix_map.parse("firmware.map"):
        print(f"{address:08X} {name}")

    table = tamrix_map.SymbolTable.from_files("firmware.map")
    print(table.lookup(0x1A2B))         # _start+0x2B, or None below every symbol
    print(table.addresses("_main"))     # [6800]
    for change in tamrix_map.SymbolTable.from_files("old.map").diff(table):
        print(change)                   # as mapdump diff OLD NEW prints it

The library is looked for, in this order, at the path in the environment
variable TAMRIX_MAP_LIBRARY, next to this file, and through the system's
loader. Names and messages are 8-bit text, decoded as Latin-1 so that no
byte is lost. The library keeps one record list per process: call parse()
from one thread at a time.

`python -m tamrix_map FILE...` prints the records as mapdump does.
"""

from ._binding import MapParseError, parse, version
from ._symbol_table import Change, SymbolOffset, SymbolTable

__all__ = ["Change", "MapParseError", "SymbolOffset", "SymbolTable", "parse", "version"]

# Named tamrix_map.X in reprs, tracebacks, pickles and help(): where users
# import them from.
for _public in (Change, MapParseError, SymbolOffset, SymbolTable):
    _public.__module__ = __name__
del _public
