"""SymbolTable: the records of map files, searched by address and by name
and compared, with the rules mapdump applies to --lookup and diff."""

from __future__ import annotations

import bisect
import itertools
import os
from typing import Dict, Iterable, Iterator, List, NamedTuple, Optional, Tuple

from ._binding import StrOrBytesPath, parse


class SymbolOffset(NamedTuple):
    """What SymbolTable.lookup found: the symbol at or below the address
    (its `name` and `address`), the looked-up address's `offset` from it
    and, in a table read from several map files, the `file` it came from
    (the path as given to from_files; None in a table of one file or of
    records given directly). str() gives NAME+0xOFFSET, then a blank and
    the file where there is one, as mapdump --lookup writes it."""

    name: str
    address: int
    offset: int
    file: Optional[str] = None

    def __str__(self) -> str:
        found = f"{self.name}+0x{self.offset:X}"
        return found if self.file is None else f"{found} {self.file}"


class Change(NamedTuple):
    """One difference SymbolTable.diff found. `mark` is "-" for a symbol
    only in the old table, "+" for one only in the new table, "~" for one
    whose address changed; the address a side lacks is None. str() gives
    the line mapdump diff prints."""

    mark: str
    name: str
    old_address: Optional[int]
    new_address: Optional[int]

    def __str__(self) -> str:
        if self.mark == "-":
            return f"-{self.old_address:08X} {self.name}"
        if self.mark == "+":
            return f"+{self.new_address:08X} {self.name}"
        return f"~{self.new_address:08X} {self.name} (was {self.old_address:08X})"


class SymbolTable:
    """The (name, address) records of one or more map files, in file order.

    Iterating gives the records in file order (the files in the order
    given), len() their number. lookup() finds the symbol that covers an
    address, addresses() where a name lies, diff() what changed between two
    tables, each as mapdump does for --lookup, --find and diff.
    """

    __slots__ = ("_records", "_files", "_file_ends", "_by_address", "_addresses", "_by_name")

    def __init__(self, records: Iterable[Tuple[str, int]] = ()) -> None:
        """Holds `records`, (name, address) pairs as parse() returns them,
        in the order given."""
        self._records: List[Tuple[str, int]] = list(records)
        # from_files' paths, when several, and the index of the record
        # after each file's last one.
        self._files: List[str] = []
        self._file_ends: List[int] = []
        # Indexes into _records by address. A stable sort: among equal
        # addresses, file order decides which one lookup() finds.
        self._by_address = sorted(range(len(self._records)), key=lambda index: self._records[index][1])
        self._addresses = [self._records[index][1] for index in self._by_address]
        self._by_name: Dict[str, List[int]] = {}
        for name, address in self._records:
            self._by_name.setdefault(name, []).append(address)

    @classmethod
    def from_files(cls, *paths: StrOrBytesPath) -> SymbolTable:
        """Parses each map file in turn and holds all of their records.
        Raises MapParseError, with the library's message, for the first file
        that cannot be read or parsed. With several paths (the same one
        twice counts as two, as in mapdump), lookup() names the file of
        the symbol it finds."""
        parsed = [parse(path) for path in paths]
        table = cls(record for records in parsed for record in records)
        if len(paths) > 1:
            table._files = [os.fsdecode(path) for path in paths]
            table._file_ends = list(itertools.accumulate(len(records) for records in parsed))
        return table

    def __iter__(self) -> Iterator[Tuple[str, int]]:
        return iter(self._records)

    def __len__(self) -> int:
        return len(self._records)

    def lookup(self, address: int) -> Optional[SymbolOffset]:
        """The symbol with the greatest address not above `address`, and
        the offset of `address` from it; among symbols at the same address,
        the first in file order. None when every symbol lies above
        `address` (or the table is empty)."""
        above = bisect.bisect_right(self._addresses, address)
        if above == 0:
            return None
        first = bisect.bisect_left(self._addresses, self._addresses[above - 1], 0, above)
        index = self._by_address[first]
        name, symbol_address = self._records[index]
        file = self._files[bisect.bisect_right(self._file_ends, index)] if self._files else None
        return SymbolOffset(name, symbol_address, address - symbol_address, file)

    def addresses(self, name: str) -> List[int]:
        """Every address of the symbols named `name`, in file order; empty
        when there is none."""
        return list(self._by_name.get(name, ()))

    def diff(self, new: SymbolTable) -> List[Change]:
        """What changed from this table to `new`, as mapdump diff OLD NEW
        reports it: the "-" changes, then the "+" ones, then the "~" ones.
        A name that occurs several times is matched occurrence by
        occurrence, the n-th in this table with the n-th in `new`. "-" and
        "~" follow this table's order, "+" the order of `new`."""
        removed: List[Change] = []
        added: List[Change] = []
        moved: List[Change] = []
        seen: Dict[str, int] = {}
        for name, address in self._records:
            n = seen[name] = seen.get(name, 0) + 1
            theirs = new._by_name.get(name, [])
            if n > len(theirs):
                removed.append(Change("-", name, address, None))
            elif theirs[n - 1] != address:
                moved.append(Change("~", name, address, theirs[n - 1]))
        seen.clear()
        for name, address in new._records:
            n = seen[name] = seen.get(name, 0) + 1
            if n > len(self._by_name.get(name, ())):
                added.append(Change("+", name, None, address))
        return removed + added + moved
