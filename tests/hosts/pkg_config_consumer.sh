#!/bin/sh
# Builds a C host against an installed tree the pkg-config way and runs it
# on a map file.
set -eu
prefix=$1 libdir=$2 compiler=$3 source=$4 map=$5 work=$6 version=$7

export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
found=$(pkg-config --modversion tamrix_map)
if [ "$found" != "$version" ]; then
    echo "pkg-config found tamrix_map $found, expected $version" >&2
    exit 1
fi
mkdir -p "$work"
# shellcheck disable=SC2046 # the flags are meant to split
"$compiler" -std=c99 -Wall -Wextra -Werror -o "$work/host" "$source" $(pkg-config --cflags --libs tamrix_map)
LD_LIBRARY_PATH="$prefix/$libdir" "$work/host" "$map"
