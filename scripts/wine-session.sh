#!/usr/bin/env bash
# wine-session.sh ARCH COMMAND [ARG...]: runs COMMAND with wine ready for
# ARCH (win32 or win64): a prefix made afresh under /tmp, its path in
# WINEPREFIX, the loader's in WINE, and one persistent server whose service
# processes are already running, so that none of them holds a pipe of
# COMMAND's. Afterwards the server is stopped and the prefix removed; the
# exit status is COMMAND's. Through scripts/run-32bit.sh, /tmp is the
# guest's memory: a prefix made on its 9p shares takes three times as long.
#
# WINE_SESSION_SAVED=FILE: a session that finds no FILE writes its prefix,
# freshly made, to FILE (a tar file); the next one takes it from there
# instead of making one, which in the 32-bit guest saves a minute or more.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine.sh"

arch=$1
shift
case $arch in
    win32) WINE=$wine_dir/wine ;;
    win64) WINE=$wine_dir/wine64 ;;
    *) echo "usage: wine-session.sh win32|win64 COMMAND [ARG...]" >&2; exit 2 ;;
esac
folder=$(mktemp -d /tmp/tamrix_map-wine-session.XXXXXX)
finish() {
    local status=$? prefix
    for prefix in "$folder"/wineprefix-*; do
        [ -d "$prefix" ] && stop_server "$prefix"
    done
    rm -rf "$folder"
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM

started=$SECONDS
saved=${WINE_SESSION_SAVED:-}
if [ -n "$saved" ] && [ -f "$saved" ]; then
    tar -xf "$saved" -C "$folder"
    WINEPREFIX=$(echo "$folder"/wineprefix-"$arch".*)
    how="taken from $saved"
else
    WINEPREFIX=$(boot_prefix "$arch" "$WINE" "$folder/wineboot.log" "$folder") || {
        echo "FAIL: wine could not make a $arch prefix" >&2
        exit 1
    }
    how="made in $((SECONDS - started)) s"
    if [ -n "$saved" ]; then
        tar -cf "$saved.new" -C "$folder" "${WINEPREFIX##*/}"
        mv "$saved.new" "$saved"
        how+=", saved to $saved"
    fi
fi
export WINE WINEPREFIX
"$wineserver" -p
"$WINE" cmd /c exit >/dev/null 2>&1 </dev/null
echo "$arch prefix $how, its server started: $((SECONDS - started)) s"
"$@"
