"""The ctypes binding: loads the tamrix_map library and reads a map file's
records through it. The package's __init__ re-exports its public names."""

from __future__ import annotations

import ctypes
import os
import sys
from typing import List, Optional, Tuple, Type, Union

StrOrBytesPath = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

_LIBRARY_FILES = {
    "win32": ["tamrix_map.dll"],
    "darwin": ["libtamrix_map.1.dylib", "libtamrix_map.dylib"],
}.get(sys.platform, ["libtamrix_map.so.1", "libtamrix_map.so"])

_library: Optional[ctypes.CDLL] = None


class MapParseError(Exception):
    """MapParse returned -1. The text is the library's message without its
    trailing line feed; `message` holds it exactly as the library wrote it."""

    def __init__(self, message: str) -> None:
        super().__init__(message.removesuffix("\n"))
        self.message = message

    def __reduce__(self) -> Tuple[Type[MapParseError], Tuple[str]]:  # pickled with the whole message
        return (type(self), (self.message,))


def _load(path: str) -> ctypes.CDLL:
    # The 32-bit Windows DLL uses stdcall; WinDLL is right for 64-bit too.
    # (An if statement: type checkers know WinDLL on Windows only.)
    if sys.platform == "win32":
        library: ctypes.CDLL = ctypes.WinDLL(path)
    else:
        library = ctypes.CDLL(path)
    library.MapParse.argtypes = [ctypes.c_char_p]
    library.MapParse.restype = ctypes.c_int32
    library.GetRecordCount.restype = ctypes.c_int32
    for walk in (library.GetFirstRecord, library.GetNextRecord):
        walk.argtypes = [ctypes.POINTER(ctypes.c_uint32), ctypes.POINTER(ctypes.c_char_p)]
        walk.restype = ctypes.c_int32
    library.FreeAllRecords.restype = None
    library.GetErrorMessage.restype = ctypes.c_char_p
    library.GetMapDllVersion.restype = ctypes.c_char_p
    return library


def _candidates() -> List[str]:
    configured = os.environ.get("TAMRIX_MAP_LIBRARY")
    if configured:
        return [configured]  # asked for by path: no other library will do
    here = os.path.dirname(os.path.abspath(__file__))
    beside = [os.path.join(here, name) for name in _LIBRARY_FILES]
    # Bare file names go to the system's loader and its search path.
    return [path for path in beside if os.path.exists(path)] + _LIBRARY_FILES


def _get_library() -> ctypes.CDLL:
    global _library
    if _library is None:
        errors = []
        for candidate in _candidates():
            try:
                _library = _load(candidate)
                break
            except OSError as error:
                errors.append(str(error))
        else:
            raise OSError("cannot load the tamrix_map library (set TAMRIX_MAP_LIBRARY to its path): "
                          + "; ".join(errors))
    return _library


def _text(value: Optional[bytes]) -> str:
    # A name or text of the library as Latin-1; ctypes gives None for a
    # NULL pointer, which the library never hands out.
    return (value or b"").decode("latin-1")


def parse(path: StrOrBytesPath) -> List[Tuple[str, int]]:
    """Returns the records of the map file at `path` as a list of
    (name, address) tuples in file order. Raises MapParseError with the
    library's message when the file cannot be read or parsed."""
    library = _get_library()
    # MapParse appends to whatever the list holds: start empty, leave empty.
    library.FreeAllRecords()
    try:
        if library.MapParse(os.fsencode(path)) != 0:
            raise MapParseError(_text(library.GetErrorMessage()))
        records: List[Tuple[str, int]] = []
        address = ctypes.c_uint32()
        name = ctypes.c_char_p()
        more = library.GetFirstRecord(ctypes.byref(address), ctypes.byref(name))
        while more == 0:
            records.append((_text(name.value), address.value))
            more = library.GetNextRecord(ctypes.byref(address), ctypes.byref(name))
        return records
    finally:
        library.FreeAllRecords()


def version() -> str:
    """The library's version text."""
    return _text(_get_library().GetMapDllVersion())
