#!/usr/bin/env bash
# Static checks of the 32-bit tamrix_map.dll, which hold even where wine32
# cannot run: its export table (name, ordinal base, the names of
# api/exports.txt with their ordinals and nothing else), its imports
# (KERNEL32 and msvcrt only, and of KERNEL32 only what Windows XP SP3 has:
# scripts/check-dll-imports.sh), its SSE2 code only where cpuid leads
# (scripts/check-sse2-split.sh), and how each export returns: a stdcall
# function removes its arguments, so one that takes 4 bytes of them ends in
# "ret $0x4", and one without arguments in a plain "ret".
#
# usage: check-win32-dll.sh path/to/tamrix_map.dll
set -euo pipefail

dll=${1:?usage: check-win32-dll.sh path/to/tamrix_map.dll}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
export_table=$(dirname "$0")/../api/exports.txt

# ordinal, name, how the function returns
expected_exports=$(awk '!/^#/ && NF {printf "%s %s %s\n", $1, $2, $3 == 0 ? "ret" : sprintf("ret $0x%x", $3)}' \
    "$export_table")
[ -n "$expected_exports" ] || { echo "FAIL: no exports in $export_table"; exit 1; }
export_count=$(wc -l <<<"$expected_exports")

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

headers=$("$objdump" -p "$dll")
"$objdump" -f "$dll" | grep -q 'file format pei-i386' || fail "$dll is not a 32-bit x86 PE file"

# The export table as objdump prints it.
exports=$(sed -n '/^The Export Tables/,/^PE File Base Relocations/p' <<<"$headers")
grep -Eq '^Name[[:space:]]+[0-9a-f]+ tamrix_map\.dll$' <<<"$exports" ||
    fail "export table does not name tamrix_map.dll"
base=$(awk '/^Ordinal Base/ {print $3}' <<<"$exports")
[ "$base" = 1 ] || fail "ordinal base is '$base', not 1"
base=${base:-1}

# Export Address Table lines: "[   0] +base[   1] 14b0 Export RVA".
# Name table lines: "[   0] MapParse", the index counted from the base.
rva_of_ordinal=$(awk -v base="$base" '
    /^Export Address Table -- Ordinal Base/ { table = 1; next }
    /^\[Ordinal\/Name Pointer\] Table/ { table = 0 }
    table && /Export RVA/ { gsub(/[][]/, " "); print $1 + base, $4 }' <<<"$exports")
name_of_ordinal=$(awk -v base="$base" '
    /^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
    table && NF == 0 { table = 0 }
    table { gsub(/[][]/, " "); if ($2 == "+base") print $3, $NF; else print $1 + base, $NF }' \
    <<<"$exports" | sort -n)
expected_names=$(awk '{print $1, $2}' <<<"$expected_exports")
if [ "$name_of_ordinal" != "$expected_names" ]; then
    fail "exported names and ordinals differ:"
    diff <(echo "$expected_names") <(echo "$name_of_ordinal") | sed 's/^/    /' || true
fi
[ "$(wc -l <<<"$rva_of_ordinal")" = "$export_count" ] ||
    fail "export address table has $(wc -l <<<"$rva_of_ordinal") entries, not $export_count"

bash "$(dirname "$0")/check-dll-imports.sh" "$dll" || failures=$((failures + 1))
bash "$(dirname "$0")/check-sse2-split.sh" "$dll" "$objdump" || failures=$((failures + 1))

# How each export returns: the ret instructions of its own code and of the
# functions it ends in with a tail jump.
image_base=$(awk '/^ImageBase/ {print $2}' <<<"$headers")
disassembly=$(mktemp)
trap 'rm -f "$disassembly"' EXIT
"$objdump" -d --no-show-raw-insn "$dll" >"$disassembly"

returns_of() {
    awk -v start="$1" '
        function key(address) { sub(/^0+/, "", address); return address }
        /^[0-9a-f]+ <.*>:$/ { current = key($1); starts[current] = 1; next }
        /^ *[0-9a-f]+:\t/ && current != "" {
            line[current, ++count[current]] = $0
        }
        END {
            todo[1] = key(start); n = 1
            while (n > 0) {
                function_start = todo[n--]
                if (function_start in seen) continue
                seen[function_start] = 1
                for (i = 1; i <= count[function_start]; ++i) {
                    split(line[function_start, i], field, "\t")
                    instruction = field[2]
                    gsub(/ +/, " ", instruction)
                    sub(/ $/, "", instruction)
                    if (instruction ~ /^ret/) found[instruction] = 1
                    # A jump to the start of another function (no +offset
                    # in its label) hands that function the return.
                    if (instruction ~ /^j[a-z]* [0-9a-f]+ <[^+>]*>$/) {
                        split(instruction, part, " ")
                        target = key(part[2])
                        if (target in starts && target != function_start) todo[++n] = target
                    }
                }
            }
            for (r in found) print r
        }' "$disassembly" | sort -u
}

while read -r ordinal name want; do
    rva=$(awk -v o="$ordinal" '$1 == o {print $2}' <<<"$rva_of_ordinal")
    if [ -z "$rva" ]; then
        fail "$name: no address for ordinal $ordinal"
        continue
    fi
    address=$(printf '%08x' $((0x$image_base + 0x$rva)))
    label=$(grep -m1 "^$address <" "$disassembly" | sed 's/^[0-9a-f]* //; s/:$//' || true)
    if [ -z "$label" ]; then
        fail "$name: no symbol at $address (was the DLL stripped?)"
        continue
    fi
    got=$(returns_of "$address" | paste -sd '|' -)
    if [ "$got" = "$want" ]; then
        echo "ok   $ordinal $name at $address $label returns with: $got"
    else
        fail "$name at $address $label returns with '${got:-nothing found}', expected '$want'"
    fi
done <<<"$expected_exports"

if ((failures)); then
    echo "$dll: $failures check(s) failed"
    exit 1
fi
echo "$dll: export table, imports and calling convention as expected"
