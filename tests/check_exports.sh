#!/bin/sh
# The dynamic symbol table of the shared library holds the eight exports
# and nothing else.
set -eu
library=$1
expected="FreeAllRecords
GetErrorMessage
GetFirstRecord
GetMapDllVersion
GetNextRecord
GetRecordCount
GetRecordTop
MapParse"
actual=$(nm -D --defined-only "$library" | awk '{print $NF}' | sort)
if [ "$actual" != "$expected" ]; then
    echo "dynamic symbols of $library differ from the eight exports:"
    echo "$actual" | diff -u /dev/stdin - <<EXPECTED || true
$expected
EXPECTED
    exit 1
fi
echo "exports of $library: $(echo $actual)"
