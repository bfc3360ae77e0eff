"""Static checks of tamrix_map.dll, which hold even where wine cannot run
it, read from objdump's output:

- the PE header names the oldest Windows the DLL loads on (5.1, XP SP3, for
  32 bits; 5.2, XP x64, for 64), it imports from KERNEL32 and msvcrt only,
  and of KERNEL32 only what that Windows has (windows-xp-kernel32.txt);
- the 32-bit DLL: its export table names tamrix_map.dll, starts at ordinal
  1 and holds the exports of api/exports.txt under their ordinals and
  nothing else; each export returns as stdcall does, removing its
  arguments ("ret $0x4" for 4 bytes of them, a plain "ret" for none); its
  vector code lies only in the sse2 and avx2 targets, which the library
  enters where cpuid shows SSE2 (and AVX2), and it holds a portable target.

    TAMRIX_MAP_DLL=bin/tamrix_map.dll TAMRIX_MAP_OBJDUMP=i686-w64-mingw32-objdump \\
    TAMRIX_MAP_EXPORT_TABLE=api/exports.txt pytest tests/windows/test_dll_static.py

CTest runs each test as one of its own (tests/windows/CMakeLists.txt).
"""

import functools
import os
import re
import subprocess
from typing import Dict, List, Set, Tuple

import pytest

from export_table import Export, read_export_table

DLL = os.environ.get("TAMRIX_MAP_DLL", "")
OBJDUMP = os.environ.get("TAMRIX_MAP_OBJDUMP", "objdump")
HERE = os.path.dirname(os.path.abspath(__file__))


def objdump(*options: str) -> str:
    return subprocess.run([OBJDUMP, *options, DLL], capture_output=True, text=True, check=True).stdout


@functools.lru_cache(maxsize=None)
def headers() -> str:
    return objdump("-p")


@functools.lru_cache(maxsize=None)
def disassembly() -> str:
    return objdump("-d", "--no-show-raw-insn")


def bits() -> int:
    magic = re.search(r"^Magic\s+(\S+)", headers(), re.M)
    assert magic and magic[1] in ("010b", "020b"), f"{DLL} is no PE32 or PE32+ file"
    return 32 if magic[1] == "010b" else 64


def oldest_windows() -> str:
    return "5.1" if bits() == 32 else "5.2"


thirty_two_bit_only = pytest.mark.skipif(DLL != "" and bits() != 32, reason="a check of the 32-bit DLL")


def imports() -> List[Tuple[str, str]]:
    """(DLL, function) for each import: "DLL Name: X" opens X's list of
    "<rva> <hint> <name>" lines, which an empty line closes."""
    found, library = [], None
    for line in headers().splitlines():
        if match := re.search(r"DLL Name: (\S+)", line):
            library = match[1]
        elif library and not line.strip():
            library = None
        elif library and (fields := line.split()) and len(fields) == 3 and re.fullmatch(r"[0-9a-f]+", fields[0]):
            found.append((library, fields[2]))
    return found


def test_pe_header_names_the_oldest_windows() -> None:
    for field in ("OSystem", "Subsystem"):
        major = re.search(rf"^Major{field}Version\s+(\d+)", headers(), re.M)
        minor = re.search(rf"^Minor{field}Version\s+(\d+)", headers(), re.M)
        assert major and minor and f"{major[1]}.{minor[1]}" == oldest_windows(), \
            f"{field} version {major and major[1]}.{minor and minor[1]} in the PE header, not {oldest_windows()}"


def test_imports_only_kernel32_and_msvcrt() -> None:
    libraries = {library for library, _ in imports()}
    assert libraries and libraries <= {"KERNEL32.dll", "msvcrt.dll"}, f"depends on {sorted(libraries)}"


def test_kernel32_imports_are_the_oldest_windows_own() -> None:
    known = set()
    with open(os.path.join(HERE, "windows-xp-kernel32.txt")) as names:
        for line in names:
            fields = line.split()
            if not fields or fields[0].startswith("#"):
                continue
            if fields[0] == "x64":
                if bits() == 64:
                    known.add(fields[1])
            else:
                known.add(fields[0])
    unknown = sorted({name for library, name in imports() if library == "KERNEL32.dll"} - known)
    assert not unknown, f"imports KERNEL32 functions that Windows {oldest_windows()} lacks: {unknown}"


def export_section() -> str:
    text = headers()
    start = text.find("The Export Tables")
    assert start >= 0, f"{DLL} has no export table"
    end = text.find("PE File Base Relocations", start)
    return text[start:end if end >= 0 else len(text)]


def ordinal_base() -> int:
    base = re.search(r"^Ordinal Base\s+(\d+)", export_section(), re.M)
    assert base, "no ordinal base"
    return int(base[1])


def export_addresses() -> Dict[int, int]:
    """Ordinal -> RVA, from lines "[   0] +base[   1] 14b0 Export RVA"."""
    rvas, base = {}, ordinal_base()
    table = export_section().split("Export Address Table -- Ordinal Base", 1)[-1]
    for line in table.split("[Ordinal/Name Pointer] Table", 1)[0].splitlines():
        if match := re.search(r"\[\s*(\d+)\]\s+\+base\[\s*\d+\]\s+([0-9a-f]+) Export RVA", line):
            rvas[int(match[1]) + base] = int(match[2], 16)
    return rvas


def export_names() -> Dict[int, str]:
    """Ordinal -> name, from lines "[   0] MapParse" (counted from the base)
    or "[   0] +base[   1] MapParse"."""
    names, base = {}, ordinal_base()
    table = export_section().split("[Ordinal/Name Pointer] Table", 1)[-1]
    for line in table.split("\n\n", 1)[0].splitlines():
        if match := re.search(r"\[\s*(\d+)\]\s+\+base\[\s*(\d+)\]\s+(\S+)$", line):
            names[int(match[2])] = match[3]
        elif match := re.search(r"\[\s*(\d+)\]\s+(\S+)$", line):
            names[int(match[1]) + base] = match[2]
    return names


def expected_exports() -> List[Export]:
    return read_export_table(os.environ["TAMRIX_MAP_EXPORT_TABLE"])


@thirty_two_bit_only
def test_export_table_names_the_dll_from_ordinal_1() -> None:
    assert re.search(r"^Name\s+[0-9a-f]+ tamrix_map\.dll$", export_section(), re.M), \
        "the export table does not name tamrix_map.dll"
    assert ordinal_base() == 1, f"ordinal base {ordinal_base()}, not 1"


@thirty_two_bit_only
def test_exports_are_the_tables_under_their_ordinals() -> None:
    expected = {export.ordinal: export.name for export in expected_exports()}
    assert export_names() == expected
    assert len(export_addresses()) == len(expected), \
        f"the export address table has {len(export_addresses())} entries, not {len(expected)}"


def functions() -> Dict[int, List[str]]:
    """Each function's start -> its instructions, blanks folded."""
    listing: Dict[int, List[str]] = {}
    current = None
    for line in disassembly().splitlines():
        if match := re.fullmatch(r"([0-9a-f]+) <.*>:", line):
            current = int(match[1], 16)
            listing[current] = []
        elif current is not None and (match := re.match(r"\s*[0-9a-f]+:\t(.*)", line)):
            listing[current].append(re.sub(r" +", " ", match[1]).strip())
    return listing


def returns_of(start: int, listing: Dict[int, List[str]]) -> Set[str]:
    """The ret instructions of the function at `start` and of the functions
    it hands the return to with a jump to their start (a label without an
    offset)."""
    found, todo, seen = set(), [start], set()
    while todo:
        function = todo.pop()
        if function in seen:
            continue
        seen.add(function)
        for instruction in listing.get(function, []):
            if instruction.startswith("ret"):
                found.add(instruction)
            if match := re.fullmatch(r"j[a-z]* ([0-9a-f]+) <[^+>]*>", instruction):
                target = int(match[1], 16)
                if target in listing and target != function:
                    todo.append(target)
    return found


@thirty_two_bit_only
@pytest.mark.parametrize("export", expected_exports() if os.environ.get("TAMRIX_MAP_EXPORT_TABLE") else [],
                         ids=lambda export: export.name)
def test_export_returns_as_stdcall(export: Export) -> None:
    rva = export_addresses().get(export.ordinal)
    assert rva is not None, f"no address for ordinal {export.ordinal}"
    image_base = int(re.search(r"^ImageBase\s+([0-9a-f]+)", headers(), re.M)[1], 16)  # type: ignore[index]
    listing = functions()
    assert image_base + rva in listing, f"no symbol at {image_base + rva:08x} (was the DLL stripped?)"
    want = "ret" if export.argument_bytes == 0 else f"ret ${export.argument_bytes:#x}"
    assert returns_of(image_base + rva, listing) == {want}


def vector_functions() -> List[str]:
    """The symbol of each function that uses an XMM or YMM register."""
    found, name = [], None
    for line in disassembly().splitlines():
        if match := re.fullmatch(r"[0-9a-f]+ <(.*)>:", line):
            name = match[1]
        elif name and re.search(r"%[xy]mm[0-9]", line):
            found.append(name)
            name = None
    return found


@thirty_two_bit_only
def test_vector_code_only_in_the_x86_targets() -> None:
    outside = [name for name in vector_functions() if not re.search(r"6tamrix4(sse2|avx2)", name)]
    assert not outside, f"vector instructions outside the sse2 and avx2 targets: {outside}"


@thirty_two_bit_only
def test_vector_code_present() -> None:
    assert vector_functions(), f"{DLL} has no SSE2 code"


@thirty_two_bit_only
def test_portable_target_present() -> None:
    assert "6tamrix8portable" in objdump("-t"), f"{DLL} has no portable target"
