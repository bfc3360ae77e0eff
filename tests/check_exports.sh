#!/bin/sh
# The dynamic symbol table of the shared library holds the names of the
# export table and nothing else.
#   check_exports.sh LIBRARY EXPORT_TABLE
set -eu
library=$1
expected=$(awk '!/^#/ && NF {print $2}' "$2" | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $NF}' | sort)
if [ -z "$expected" ] || [ "$actual" != "$expected" ]; then
    echo "dynamic symbols of $library differ from the exports of $2 (- expected, + found):"
    for name in $expected; do echo "$actual" | grep -qx "$name" || echo "-$name"; done
    for name in $actual; do echo "$expected" | grep -qx "$name" || echo "+$name"; done
    exit 1
fi
echo "exports of $library: $(echo $actual)"
