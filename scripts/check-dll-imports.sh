#!/usr/bin/env bash
# check-dll-imports.sh path/to/tamrix_map.dll: whether the DLL loads on the
# oldest Windows it claims, XP SP3 for 32 bits and XP x64 for 64: its PE
# header's OS and subsystem versions are 5.1 (5.2), it imports from
# KERNEL32.dll and msvcrt.dll only, and every KERNEL32 function it imports
# is one that Windows has (scripts/windows-xp-kernel32.txt).
set -euo pipefail

dll=${1:?usage: check-dll-imports.sh path/to/tamrix_map.dll}
here=$(cd "$(dirname "$0")" && pwd)
headers=$(x86_64-w64-mingw32-objdump -p "$dll")  # reads PE32 and PE32+ alike

case $(awk '/^Magic/ {print $2}' <<<"$headers") in
    010b) bits=32 version=5.1 ;;
    020b) bits=64 version=5.2 ;;
    *) echo "FAIL: $dll is no PE32 or PE32+ file"; exit 1 ;;
esac
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

for field in OSystem Subsystem; do
    got=$(awk -v major="Major${field}Version" -v minor="Minor${field}Version" \
        '$1 == major {m = $2} $1 == minor {n = $2} END {print m "." n}' <<<"$headers")
    [ "$got" = "$version" ] || fail "$field version $got in the PE header, not $version"
done

# "DLL Name: X" opens the list of X's imports: "<rva> <hint> <name>" lines.
imports=$(awk '/DLL Name:/ {dll = $3; next} dll != "" && NF == 0 {dll = ""}
               dll != "" && $1 ~ /^[0-9a-f]+$/ && NF == 3 {print dll, $3}' <<<"$headers")
for dll_name in $(awk '{print $1}' <<<"$imports" | sort -u); do
    [[ $dll_name == KERNEL32.dll || $dll_name == msvcrt.dll ]] || fail "depends on $dll_name"
done
known=$(awk -v bits="$bits" '/^#/ || NF == 0 {next} $1 == "x64" {if (bits == 64) print $2; next} {print $1}' \
    "$here/windows-xp-kernel32.txt")
kernel32=$(awk '$1 == "KERNEL32.dll" {print $2}' <<<"$imports" | sort -u)
unknown=$(comm -23 <(echo "$kernel32") <(sort -u <<<"$known"))
[ -z "$unknown" ] || fail "imports KERNEL32 functions that Windows $version lacks:" $unknown

if ((failures)); then
    echo "$dll: $failures import check(s) failed"
    exit 1
fi
echo "$dll: Windows $version in the PE header; imports from $(awk '{print $1}' <<<"$imports" | sort -u |
    paste -sd ' ' -), $(wc -l <<<"$kernel32") KERNEL32 functions, all of Windows $version"
