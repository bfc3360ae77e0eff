#!/usr/bin/env bash
# The 32-bit library must run on a processor without SSE2: its SSE2 and
# AVX2 code lives only in the processor targets named sse2 and avx2
# (namespaces tamrix::sse2 and tamrix::avx2), which the library enters only
# where cpuid shows SSE2 (and AVX2). Fails when any other function of the
# library uses an XMM or YMM register, or when there is no SSE2 code or no
# portable target at all.
#
# usage: check-sse2-split.sh LIBRARY [OBJDUMP]
set -euo pipefail

library=${1:?usage: check-sse2-split.sh LIBRARY [OBJDUMP]}
objdump=${2:-objdump}

# One line per function that uses a vector register: its symbol.
vector_functions=$("$objdump" -d --no-show-raw-insn "$library" | awk '
    /^[0-9a-f]+ <.*>:$/ { name = $2; next }
    /%[xy]mm[0-9]/ && name != "" { print name; name = "" }')
outside=$(grep -Ev '6tamrix4(sse2|avx2)' <<<"$vector_functions" || true)
symbols=$("$objdump" -t "$library")
failed=0
if [ -n "$outside" ]; then
    echo "FAIL: vector instructions outside the sse2 and avx2 targets in $library:"
    sed 's/^/    /' <<<"$outside"
    failed=1
fi
if ! grep -q . <<<"$vector_functions"; then
    echo "FAIL: $library has no SSE2 code"
    failed=1
fi
if ! grep -q '6tamrix8portable' <<<"$symbols"; then
    echo "FAIL: $library has no portable target"
    failed=1
fi
((failed == 0)) || exit 1
echo "$library: vector code in $(wc -l <<<"$vector_functions") functions, all of the sse2 and avx2 targets"
