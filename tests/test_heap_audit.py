"""Only core/heap.cpp calls the C heap: no other object of the library's
layers asks for malloc, free or their kin, nor for operator new or delete
(nm -u). The one exception the C++ runtime allocates is the scanner's
fatal error, thrown in reader/scan_buffer.cpp; it falls back on the
runtime's emergency pool.

    TAMRIX_MAP_BUILD_DIR=build/hardening/clang pytest tests/test_heap_audit.py
"""

import glob
import os
import re
import subprocess

HEAP_CALLS = re.compile(r"(malloc|calloc|realloc|free|strdup|strndup|aligned_alloc|posix_memalign"
                        r"|_Zn[wa]m.*|_Zd[la]Pv.*|__cxa_allocate_exception)")
ALLOWED = {"heap.cpp.o": {"malloc", "aligned_alloc", "realloc", "free"},
           "scan_buffer.cpp.o": {"__cxa_allocate_exception"}}


def test_only_the_heap_calls_the_c_heap() -> None:
    build = os.environ["TAMRIX_MAP_BUILD_DIR"]
    objects = sorted(glob.glob(os.path.join(build, "*", "CMakeFiles", "tamrix_map_*.dir", "*.o")))
    assert any(path.endswith("heap.cpp.o") for path in objects), f"no objects of the layers in {build}"
    calls = []
    for path in objects:
        undefined = subprocess.run(["nm", "-u", path], capture_output=True, text=True, check=True).stdout.split()
        allowed = ALLOWED.get(os.path.basename(path), set())
        calls += [f"{path} calls {name}" for name in undefined if HEAP_CALLS.fullmatch(name) and name not in allowed]
    assert not calls, "\n".join(calls)
