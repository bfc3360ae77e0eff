# Wine for the Windows stages, sourced by test-windows.sh and
# wine-session.sh: headless, quiet, in prefixes made afresh.

wine_dir=/usr/lib/wine
wineserver=$wine_dir/wineserver
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

# stop_server PREFIX: stops the prefix's server and waits until it is gone.
stop_server() {
    WINEPREFIX=$1 "$wineserver" -k 2>/dev/null || true
    WINEPREFIX=$1 "$wineserver" -w 2>/dev/null || true
}

# remove_prefixes FOLDER: stops the servers of the prefixes an earlier run
# left in FOLDER, then removes them, so that none meets a new prefix.
remove_prefixes() {
    local prefix
    for prefix in "$1"/wineprefix-*.??????; do
        [ -d "$prefix" ] || continue
        stop_server "$prefix"
        rm -rf "$prefix"
    done
}

# boot_prefix ARCH LOADER LOG FOLDER: makes a prefix under a new name in
# FOLDER and prints its path. wineboot's own status is not the test: its
# first process may give up waiting while the set-up goes on. The set-up is
# done when the server has no process left; the prefix works when a
# program runs in it. Its server has stopped when this returns. One more try, in another new folder, shows wine's
# own messages.
boot_prefix() {
    local arch=$1 loader=$2 log=$3 folder=$4 prefix try debug=-all
    for try in 1 2; do
        prefix=$(mktemp -d "$folder/wineprefix-$arch.XXXXXX")
        stop_server "$prefix"
        if {
            WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=$debug "$loader" wineboot -i || true
            WINEPREFIX=$prefix "$wineserver" -w
            WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=$debug "$loader" cmd /c exit
            WINEPREFIX=$prefix "$wineserver" -w  # no server left: the caller may start its own
        } >"$log.$try" 2>&1 </dev/null; then
            echo "$prefix"
            return 0
        fi
        echo "wineboot failed for $arch in $prefix (try $try):" >&2
        cat "$log.$try" >&2
        stop_server "$prefix"
        debug=
    done
    return 1
}
