"""Reads linker map files through the tamrix_map shared library.

    import tamrix_map
    for name, address in tamrix_map.parse("firmware.map"):
        print(f"{address:08X} {name}")

The library is looked for, in this order, at the path in the environment
variable TAMRIX_MAP_LIBRARY, next to this file, and through the system's
loader. Names and messages are 8-bit text, decoded as Latin-1 so that no
byte is lost. The library keeps one record list per process: call parse()
from one thread at a time.

`python -m tamrix_map FILE...` prints the records as mapdump does.
"""

from ._binding import MapParseError, parse, version

__all__ = ["MapParseError", "parse", "version"]

# Named tamrix_map.X in reprs, tracebacks, pickles and help(): where users
# import them from.
for _public in (MapParseError,):
    _public.__module__ = __name__
del _public
