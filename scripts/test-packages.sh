#!/usr/bin/env bash
# Checks the artifacts of scripts/package.sh from their contents alone:
# - the tar.gz, unpacked into an empty folder and moved: a host built
#   through pkg-config and through find_package, and its mapdump;
# - lintian on the three .deb files: no errors, no warnings;
# - the manual pages: in their packages, silent under groff and mandoc,
#   mapdump(1) holding every line of mapdump --help, as text in the zips;
# - the three wheels: files, tags, RECORD hashes, the library's machine;
#   the Linux one's manylinux tag read again from its library, the wheel
#   installed with pip into a fresh venv, its module and
#   python -m tamrix_map compared with mapdump, and uninstalled;
# - each Windows zip, unpacked into an empty folder: its files, CR LF text,
#   the version resources; a host built the MinGW way against
#   lib/libtamrix_map.dll.a and the MSVC way (clang-cl, lld-link) against
#   lib/tamrix_map.lib; hosts built through the zip's CMake package with
#   find_package alone (MinGW-w64 and clang-cl toolchains, each linking its
#   own import library; the other architecture's toolchain refused) and
#   through its pkg-config file; all of them run under wine with the zip's
#   mapdump.exe (the win32 ones through scripts/run-32bit.sh);
# - the .deb files installed with dpkg -i: the example host built through
#   pkg-config and find_package against the system's files, run with
#   mapdump, and the packages removed again (purged), also when a check
#   fails.
# Every output is compared with what the Linux build gives.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

version=$(sed -n 's/^project(tamrix_map VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
dist=$root/dist
out=$root/build/package-test
sample=$root/examples/sample.map
host_source=$root/examples/host.c
version_text="tamrix_mal.dll Ver.1.0"
deb_packages=(libtamrix-map1 libtamrix-map-dev tamrix-map-tools)
rm -rf "$out"
mkdir -p "$out"
started=$SECONDS

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok   $*"; }
stage() { echo "== $* ($((SECONDS - started)) s)"; }

# Compares a program's output (CR LF or LF) with the expected file.
same_output() {  # what, expected file, actual file
    if ! diff "$2" <(tr -d '\r' <"$3") >"$out/diff.txt"; then
        head -n 20 "$out/diff.txt" >&2
        fail "$1 differs from the Linux build's output"
    fi
    pass "$1: $(wc -l <"$2") lines as on Linux"
}

# Unpacks an archive into a fresh, empty folder and prints the folder.
unpack() {  # archive
    local folder
    folder=$(mktemp -d "$out/unpacked.XXXXXX")
    case $1 in
        *.zip) unzip -q "$1" -d "$folder" ;;
        *.tar.gz) tar -xzf "$1" -C "$folder" ;;
    esac
    echo "$folder"
}

cleanup_actions=()
cleanup() {
    local action
    for action in "${cleanup_actions[@]}"; do eval "$action" || true; done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

for file in "tamrix_map-$version-win32.zip" "tamrix_map-$version-win64.zip" \
            "tamrix_map-$version-Linux-x86_64.tar.gz"; do
    [ -f "$dist/$file" ] || fail "dist/$file is missing: run scripts/package.sh first"
done
debs=()
for package in "${deb_packages[@]}"; do
    deb=$(ls "$dist/${package}_${version}_"*.deb 2>/dev/null || true)
    [ -f "$deb" ] || fail "dist/${package}_${version}_ARCH.deb is missing"
    debs+=("$deb")
done

stage "tar.gz: unpacked, moved, used through pkg-config and find_package"
tree=$(unpack "$dist/tamrix_map-$version-Linux-x86_64.tar.gz")/tamrix_map-$version-Linux-x86_64
mv "$tree" "$out/moved-tree"
tree=$out/moved-tree
pc_dir=$(dirname "$(find "$tree" -name tamrix_map.pc)")
lib_dir=$(dirname "$pc_dir")
# shellcheck disable=SC2046 # the flags are meant to split
cc -std=c99 -Wall -Wextra -Werror -o "$out/host-tree" "$host_source" \
    $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs tamrix_map)
LD_LIBRARY_PATH=$lib_dir "$out/host-tree" "$sample" >"$out/expected-host.txt"
grep -q "^28 records$" "$out/expected-host.txt" || fail "the host read $(tail -n 1 "$out/expected-host.txt")"
pass "pkg-config host: $(tail -n 1 "$out/expected-host.txt")"
# The MSVC-ABI host's source, built for Linux: the records by walk and by
# node chain, a failure's message and the version text.
missing_map=$out/no-such.map
# shellcheck disable=SC2046 # the flags are meant to split
cc -std=c99 -Wall -Wextra -Werror -o "$out/msvc-host-tree" tests/windows/msvc_host.c \
    $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs tamrix_map)
LD_LIBRARY_PATH=$lib_dir "$out/msvc-host-tree" "$sample" "$missing_map" >"$out/expected-msvc-host.txt"
grep -q "^message: can't open file $missing_map$" "$out/expected-msvc-host.txt" ||
    fail "the MSVC-ABI host's Linux build gave no message for a missing file"
cmake -S tests/hosts/consumer -B "$out/consumer-tree" -DCMAKE_PREFIX_PATH="$tree" \
    -DCMAKE_BUILD_TYPE=Release >"$out/consumer-tree.log" 2>&1 &&
    cmake --build "$out/consumer-tree" >>"$out/consumer-tree.log" 2>&1 ||
    { cat "$out/consumer-tree.log" >&2; fail "find_package(tamrix_map) against the tar.gz"; }
"$out/consumer-tree/consumer" "$sample" >"$out/consumer-tree.txt"
same_output "find_package host" "$out/expected-host.txt" "$out/consumer-tree.txt"
# mapdump finds the library beside it, wherever the tree is.
"$tree/bin/mapdump" "$sample" >"$out/expected-mapdump.txt"
"$tree/bin/mapdump" --version >"$out/mapdump-version.txt"
[ "$(cat "$out/mapdump-version.txt")" = "$version_text" ] || fail "mapdump --version: $(cat "$out/mapdump-version.txt")"
pass "mapdump from the moved tree: $(wc -l <"$out/expected-mapdump.txt") records, --version $version_text"

stage "lintian on the Debian packages"
lintian --tag-display-limit 0 "${debs[@]}" >"$out/lintian.txt" 2>&1 || true
grep -v "running with root privileges" "$out/lintian.txt" || true
if grep -q "^[EW]:" "$out/lintian.txt"; then fail "lintian reports errors or warnings"; fi
pass "lintian: no errors, no warnings"

# --- Manual pages -----------------------------------------------------

stage "manual pages: packaged, clean for groff and mandoc, in step with mapdump --help, as text in the zips"
pages=$out/pages
mkdir -p "$pages/root"
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$pages/root"; done
dpkg-deb -c "${debs[2]}" | grep -q " ./usr/share/man/man1/mapdump.1.gz$" || fail "tamrix-map-tools has no mapdump(1)"
dpkg-deb -c "${debs[1]}" | grep -q " ./usr/share/man/man3/tamrix_map.3.gz$" || fail "libtamrix-map-dev has no tamrix_map(3)"
for page in mapdump.1 tamrix_map.3; do
    zcat "$pages/root/usr/share/man/man${page##*.}/$page.gz" >"$pages/$page"
    complaints=$(groff -ww -z -man "$pages/$page" 2>&1; mandoc -T lint "$pages/$page" 2>&1)
    [ -z "$complaints" ] || { echo "$complaints" >&2; fail "$page: groff -ww -z or mandoc -T lint complains"; }
    text=doc/${page%.*}.txt
    for platform in win32 win64; do
        unzip -p "$dist/tamrix_map-$version-$platform.zip" "tamrix_map-$version-$platform/$text" \
            >"$pages/$platform.txt" || fail "the $platform zip has no $text"
        if grep -q $'[^\r]$\|^$' "$pages/$platform.txt"; then fail "$platform zip: $text has a line without CR LF"; fi
        cmp -s <(tr -d '\r' <"$pages/$platform.txt") <(mandoc -T ascii "$pages/$page" | col -bx) ||
            fail "$platform zip: $text is not $page as text"
    done
    pass "$page: in its package, silent under groff -ww -z and mandoc -T lint, $text in both zips"
done
# Each line of mapdump --help stands in the page, however the page wraps it.
mandoc -T ascii -O width=1000 "$pages/mapdump.1" | col -bx | tr -s ' \n' '  ' >"$pages/mapdump-words.txt"
help_lines=0
while IFS= read -r line; do
    line=$(printf '%s' "$line" | tr -s ' ' | sed 's/^ //')
    [ -n "$line" ] || continue
    grep -qF -- "$line" "$pages/mapdump-words.txt" || fail "mapdump(1) lacks this line of mapdump --help: $line"
    help_lines=$((help_lines + 1))
done < <("$tree/bin/mapdump" --help | sed 's/^Usage://; s/^ *or://')
pass "mapdump(1) holds all $help_lines lines of mapdump --help"
# The symbols file names exactly what the library exports.
cmp -s <(dpkg-deb -I "${debs[0]}" symbols | sed -n 's/^ \([A-Za-z]*\)@Base .*/\1/p' | sort) \
    <(nm -D --defined-only "$(find "$pages/root" -name 'libtamrix_map.so.*.*')" | awk '{print $3}' | sort) ||
    fail "the symbols file of libtamrix-map1 does not list the library's exports"
pass "libtamrix-map1's symbols file lists the eight exports"

# --- Wheels -----------------------------------------------------------

stage "wheels: files, tags, RECORD hashes, libraries; the Linux one installed with pip"
linux_wheels=("$dist/tamrix_map-$version-py3-none-manylinux_2_"*_x86_64.whl)
[ ${#linux_wheels[@]} = 1 ] && [ -f "${linux_wheels[0]}" ] ||
    fail "dist/ holds not one tamrix_map-$version-py3-none-manylinux_2_X_x86_64.whl: ${linux_wheels[*]##*/}"
linux_platform=$(basename "${linux_wheels[0]}" .whl)
linux_platform=${linux_platform#"tamrix_map-$version-py3-none-"}
declare -A wheel_library=([$linux_platform]=libtamrix_map.so.1 [win32]=tamrix_map.dll [win_amd64]=tamrix_map.dll)
declare -A wheel_machine=([$linux_platform]="ELF 64-bit LSB shared object, x86-64"
                          [win32]="PE32 executable (DLL) (console) Intel 80386"
                          [win_amd64]="PE32+ executable (DLL) (console) x86-64")
for platform in "$linux_platform" win32 win_amd64; do
    wheel=$dist/tamrix_map-$version-py3-none-$platform.whl
    library=${wheel_library[$platform]}
    [ -f "$wheel" ] || fail "dist/${wheel##*/} is missing"
    /usr/bin/python3 - "$wheel" "$version" "$platform" "$library" <<'EOF' || fail "${wheel##*/}"
import base64, hashlib, sys, zipfile
wheel, version, platform, library = sys.argv[1:]
info = f"tamrix_map-{version}.dist-info/"
with zipfile.ZipFile(wheel) as archive:
    names = sorted(archive.namelist())
    modules = ("__init__.py", "__main__.py", "_binding.py", "_symbol_table.py")
    wanted = sorted([f"tamrix_map/{name}" for name in (*modules, "py.typed", library)]
                    + [info + name for name in ("LICENSE", "METADATA", "RECORD", "WHEEL", "top_level.txt")])
    assert names == wanted, f"holds {names}"
    tags = [line for line in archive.read(info + "WHEEL").decode().splitlines() if line.startswith("Tag: ")]
    assert tags == [f"Tag: py3-none-{tag}" for tag in platform.split(".")], f"tags {tags}"
    metadata = archive.read(info + "METADATA").decode()
    assert f"Name: tamrix-map\nVersion: {version}\n" in metadata, metadata
    recorded = set()
    for line in archive.read(info + "RECORD").decode().splitlines():
        name, digest, size = line.rsplit(",", 2)
        recorded.add(name)
        if name != info + "RECORD":
            data = archive.read(name)
            hashed = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
            assert (digest, size) == ("sha256=" + hashed, str(len(data))), f"RECORD is wrong for {name}"
    assert recorded == set(names), f"RECORD lists {sorted(recorded)}"
EOF
    unzip -p "$wheel" "tamrix_map/$library" >"$out/wheel-$library"
    case $(file -b "$out/wheel-$library") in
        "${wheel_machine[$platform]}"*) ;;
        *) fail "${wheel##*/}: tamrix_map/$library is $(file -b "$out/wheel-$library")" ;;
    esac
    if [ "$platform" = "$linux_platform" ]; then
        tag=$(/usr/bin/python3 scripts/manylinux-tag.py "$out/wheel-$library" 2>"$out/manylinux-tag.txt") ||
            { cat "$out/manylinux-tag.txt" >&2; fail "${wheel##*/}: its library fits no manylinux tag"; }
        [ "$tag" = "$platform" ] || fail "${wheel##*/}: its library needs $tag"
        pass "${wheel##*/}: $(sed 's|^[^:]*: ||' "$out/manylinux-tag.txt")"
    else
        zip=$dist/tamrix_map-$version-${platform/win_amd64/win64}.zip
        unzip -p "$zip" "$(basename "$zip" .zip)/bin/tamrix_map.dll" | cmp -s - "$out/wheel-$library" ||
            fail "${wheel##*/}: its DLL is not the one in ${zip##*/}"
    fi
    pass "${wheel##*/}: its files, tag py3-none-$platform, RECORD hashes, ${wheel_machine[$platform]}"
done
venv=$out/venv
/usr/bin/python3 -m venv "$venv"
pip=("$venv/bin/python" -m pip --disable-pip-version-check -q)
"${pip[@]}" install --no-index "${linux_wheels[0]}" || fail "pip install"
for platform in win32 win_amd64; do
    if "${pip[@]}" install --no-index "$dist/tamrix_map-$version-py3-none-$platform.whl" 2>/dev/null; then
        fail "pip installs the $platform wheel on Linux"
    fi
done
pass "pip install --no-index: the $linux_platform wheel into a fresh venv; the Windows wheels refused"
# Outside the source tree and without TAMRIX_MAP_LIBRARY: the wheel alone.
in_venv() { (cd "$out" && env -u TAMRIX_MAP_LIBRARY "$venv/bin/python" "$@"); }
in_venv -c 'import sys, tamrix_map
for name, address in tamrix_map.parse(sys.argv[1]): print(f"{address:08X} {name}")
print(tamrix_map._binding._library._name, file=sys.stderr)' "$sample" >"$out/wheel-module.txt" 2>"$out/wheel-library.txt"
same_output "the wheel's tamrix_map.parse" "$out/expected-mapdump.txt" "$out/wheel-module.txt"
case $(cat "$out/wheel-library.txt") in
    "$venv"/lib/python3*/site-packages/tamrix_map/libtamrix_map.so.1) ;;
    *) fail "the module loaded $(cat "$out/wheel-library.txt"), not the wheel's library" ;;
esac
# python -m tamrix_map against mapdump: output, errors, exit status.
same_as_mapdump() {  # arguments
    local status=0 python_status=0
    "$tree/bin/mapdump" "$@" >"$out/mapdump.out" 2>"$out/mapdump.err" || status=$?
    in_venv -m tamrix_map "$@" >"$out/python.out" 2>"$out/python.err" || python_status=$?
    cmp -s "$out/mapdump.out" "$out/python.out" && [ "$status" = "$python_status" ] &&
        { [ "$status" = 2 ] || cmp -s "$out/mapdump.err" "$out/python.err"; } ||
        fail "python -m tamrix_map $* is not mapdump $* (exit $python_status, mapdump $status)"
}
maps=("$root"/examples/*.map)
for map in "${maps[@]}"; do same_as_mapdump "$map"; done
same_as_mapdump "${maps[@]}" "$missing_map" "${maps[0]}"
same_as_mapdump
pass "python -m tamrix_map prints what mapdump prints, byte for byte: ${#maps[@]} map(s), several with a missing one, none"
"${pip[@]}" uninstall -y tamrix-map || fail "pip uninstall"
left=$(find "$venv" -name 'tamrix_map*')
[ -z "$left" ] || fail "pip uninstall left $left"
pass "pip uninstall leaves nothing of tamrix_map behind"
echo "note: the win32 and win_amd64 wheels are checked from their contents, not imported: no Windows Python on this machine (Debian packages none, python.org and PyPI are out of reach)"

# --- Windows zips -----------------------------------------------------

# The version resource as strings -el shows it: each name is followed by
# its value.
check_version_resource() {  # binary, file name
    local key value expected
    strings -el "$1" >"$out/resource.txt"
    for key in FileVersion ProductVersion ProductName OriginalFilename FileDescription LegalCopyright; do
        value=$(grep -A1 -x "$key" "$out/resource.txt" | sed -n 2p)
        case $key in
            FileVersion | ProductVersion) expected=$version.0 ;;
            ProductName) expected=tamrix_map ;;
            OriginalFilename) expected=$2 ;;
            *) expected=$value ;;
        esac
        [ -n "$value" ] && [ "$value" = "$expected" ] ||
            fail "$2: version resource $key is '$value', expected '$expected'"
    done
    pass "$2: version resource FileVersion $version.0, ProductName tamrix_map, OriginalFilename $2"
}

for target in win64:x86_64:i386:wine64 win32:i686:i386:wine; do
    IFS=: read -r platform arch machine launcher <<<"$target"
    [ "$platform" = win64 ] && machine=i386:x86-64
    name=tamrix_map-$version-$platform
    stage "$name.zip: from its contents alone"
    top=$(unpack "$dist/$name.zip")
    listing=$(cd "$top" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | paste -sd ' ' -)
    wanted="$name/LICENSE.txt $name/README.txt $name/bin/mapdump.exe $name/bin/tamrix_map.dll"
    wanted+=" $name/doc/mapdump.txt $name/doc/tamrix_map.txt $name/include/tamrix_map.h"
    wanted+=" $name/lib/cmake/tamrix_map/tamrix_map-config-version.cmake"
    wanted+=" $name/lib/cmake/tamrix_map/tamrix_map-config.cmake"
    wanted+=" $name/lib/libtamrix_map.dll.a $name/lib/pkgconfig/tamrix_map.pc $name/lib/tamrix_map.def"
    wanted+=" $name/lib/tamrix_map.lib"
    [ "$listing" = "$wanted" ] || fail "$name.zip holds: $listing"
    pass "one folder $name/ with the thirteen files"
    folder=$top/$name
    for text in README.txt LICENSE.txt; do
        if grep -q $'[^\r]$\|^$' "$folder/$text"; then fail "$text has a line without CR LF"; fi
    done
    grep -q "LICENSE.txt" "$folder/README.txt" || fail "README.txt does not point to LICENSE.txt"
    pass "README.txt and LICENSE.txt with CR LF line ends"
    for binary in tamrix_map.dll mapdump.exe; do
        objdump_format=$($arch-w64-mingw32-objdump -f "$folder/bin/$binary" | sed -n 's/.*architecture: \([^,]*\),.*/\1/p')
        [ "$objdump_format" = "$machine" ] || fail "$binary is built for $objdump_format"
        check_version_resource "$folder/bin/$binary" "$binary"
    done

    work=$out/hosts-$platform
    mkdir -p "$work"
    cp "$folder/bin/tamrix_map.dll" "$work/"  # beside the hosts, as README.txt says
    "$arch-w64-mingw32-gcc" -std=c99 -Wall -Wextra -Werror -static -I"$folder/include" \
        -o "$work/host-mingw.exe" "$host_source" "$folder/lib/libtamrix_map.dll.a"
    pass "MinGW host linked against lib/libtamrix_map.dll.a"
    bash tests/windows/build_msvc_host.sh "$arch" "$folder/include" "$folder/lib" "$work" \
        >"$work/msvc-build.log" 2>&1 || { cat "$work/msvc-build.log" >&2; fail "MSVC-ABI host"; }
    pass "MSVC-ABI host (clang-cl, lld-link /nodefaultlib) linked against lib/tamrix_map.lib"
    # The CMake package, found through CMAKE_PREFIX_PATH alone by each kind
    # of toolchain: each program must link its toolchain's import library,
    # and its build copies the DLL from the imported target beside it.
    declare -A consumer_import=([consumer-mingw]=libtamrix_map.dll.a [consumer-msvc]=tamrix_map.lib)
    for consumer in consumer-mingw consumer-msvc; do
        if [ "$consumer" = consumer-mingw ]; then
            source_dir=tests/hosts/consumer program=consumer
            toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake")
        else
            source_dir=tests/windows/msvc_consumer program=msvc_host
            toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/tests/windows/msvc_consumer/clang-cl.cmake"
                       -DCMAKE_C_COMPILER_TARGET="$arch-pc-windows-msvc" -DKERNEL32_LIBRARY="$work/kernel32.lib")
        fi
        cmake -S "$source_dir" -B "$work/$consumer" "${toolchain[@]}" -DCMAKE_PREFIX_PATH="$folder" \
            -DCMAKE_BUILD_TYPE=Release >"$work/$consumer.log" 2>&1 &&
            cmake --build "$work/$consumer" >>"$work/$consumer.log" 2>&1 ||
            { cat "$work/$consumer.log" >&2; fail "find_package(tamrix_map) against the $platform zip: $consumer"; }
        # The link command, with the response file of its libraries where the generator writes one.
        link_files=("$work/$consumer/CMakeFiles/$program.dir/"{link.txt,linkLibs.rsp})
        grep -qsF "$folder/lib/${consumer_import[$consumer]}" "${link_files[@]}" ||
            fail "$consumer does not link lib/${consumer_import[$consumer]}: $(cat "${link_files[@]}" 2>/dev/null)"
        cmp -s "$folder/bin/tamrix_map.dll" "$work/$consumer/tamrix_map.dll" ||
            fail "$consumer: its build put no copy of bin/tamrix_map.dll beside it"
        pass "$consumer: find_package(tamrix_map) from ${toolchain[0]##*/}, linked against lib/${consumer_import[$consumer]}"
    done
    # A 32-bit toolchain takes no 64-bit folder, and the other way round.
    other_arch=$([ "$arch" = i686 ] && echo x86_64 || echo i686)
    if cmake -S tests/hosts/consumer -B "$work/consumer-$other_arch" -DCMAKE_PREFIX_PATH="$folder" \
           -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$other_arch.cmake" >"$work/consumer-$other_arch.log" 2>&1; then
        fail "find_package(tamrix_map) for $other_arch took the $platform zip"
    fi
    grep -q "not accepted" "$work/consumer-$other_arch.log" ||
        { cat "$work/consumer-$other_arch.log" >&2; fail "the $other_arch configure failed, but not on the package's version file"; }
    pass "find_package(tamrix_map) for $other_arch refuses the $platform zip"
    # The pkg-config file, read where the folder was unpacked.
    pc_flags=$(env -u PKG_CONFIG_PATH PKG_CONFIG_LIBDIR="$folder/lib/pkgconfig" pkg-config --cflags --libs tamrix_map) ||
        fail "pkg-config finds no tamrix_map in the $platform zip"
    # shellcheck disable=SC2086 # the flags are meant to split
    "$arch-w64-mingw32-gcc" -std=c99 -Wall -Wextra -Werror -static -o "$work/host-pkg-config.exe" "$host_source" \
        $pc_flags || fail "MinGW host through pkg-config ($pc_flags)"
    pass "MinGW host through lib/pkgconfig/tamrix_map.pc: ${pc_flags//"$folder"/FOLDER}"

    # The zip's programs in one wine session of their own; the win32 one
    # through run-32bit.sh, in a qemu guest where this kernel runs no
    # 32-bit code, with the prefix scripts/test-windows.sh saved.
    runner=()
    [ "$platform" = win32 ] && runner=(env WINE_SESSION_SAVED="$root/build/wineprefix-win32.tar"
        RUN_32BIT_ENV=WINE_SESSION_SAVED bash scripts/run-32bit.sh)
    "${runner[@]}" bash scripts/wine-session.sh "$platform" bash -c '
        "$WINE" "$1/host-mingw.exe" "$2" >"$1/host-mingw.txt" &&
        "$WINE" "$1/msvc_host.exe" "$2" "$3" >"$1/msvc-host.txt" &&
        "$WINE" "$1/host-pkg-config.exe" "$2" >"$1/host-pkg-config.txt" &&
        "$WINE" "$1/consumer-mingw/consumer.exe" "$2" >"$1/consumer-mingw.txt" &&
        "$WINE" "$1/consumer-msvc/msvc_host.exe" "$2" "$3" >"$1/consumer-msvc.txt" &&
        "$WINE" "$4/bin/mapdump.exe" "$2" >"$1/mapdump.txt"' programs "$work" "$sample" "$missing_map" "$folder" \
        </dev/null || fail "the $platform zip's programs under $launcher"
    same_output "$platform MinGW host under $launcher" "$out/expected-host.txt" "$work/host-mingw.txt"
    same_output "$platform MSVC-ABI host under $launcher" "$out/expected-msvc-host.txt" "$work/msvc-host.txt"
    same_output "$platform pkg-config host under $launcher" "$out/expected-host.txt" "$work/host-pkg-config.txt"
    same_output "$platform find_package host (MinGW-w64) under $launcher" "$out/expected-host.txt" "$work/consumer-mingw.txt"
    same_output "$platform find_package host (clang-cl) under $launcher" "$out/expected-msvc-host.txt" "$work/consumer-msvc.txt"
    same_output "$platform bin/mapdump.exe under $launcher" "$out/expected-mapdump.txt" "$work/mapdump.txt"
done

# --- Debian packages, installed for as short a time as possible ---------

stage "Debian packages: dpkg -i, hosts against the system's files, dpkg --purge"
for package in "${deb_packages[@]}"; do
    if dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q '^[ih]'; then
        fail "$package is installed already; this check installs and removes it itself"
    fi
done
# The consumer's build folder is configured after the install; its
# sources and the compiler checks cost nothing while the packages are in.
# Removed with --purge, so that no state of them is left behind.
cleanup_actions+=("dpkg --purge ${deb_packages[*]} >'$out/dpkg-remove.log' 2>&1")
dpkg -i "${debs[@]}" >"$out/dpkg-install.log" 2>&1 || { cat "$out/dpkg-install.log" >&2; fail "dpkg -i"; }
installed_at=$SECONDS
pass "dpkg -i ${deb_packages[*]}"
# shellcheck disable=SC2046 # the flags are meant to split
cc -std=c99 -Wall -Wextra -Werror -o "$out/host-system" "$host_source" $(pkg-config --cflags --libs tamrix_map)
"$out/host-system" "$sample" >"$out/host-system.txt"
same_output "pkg-config host on the installed packages" "$out/expected-host.txt" "$out/host-system.txt"
loaded=$(ldd "$out/host-system" | awk '/libtamrix_map/ {print $3}')
case $loaded in
    /usr/lib/*/libtamrix_map.so.1 | /lib/*/libtamrix_map.so.1) pass "it loads $loaded" ;;
    *) fail "the host loads '$loaded', not the packaged library" ;;
esac
cmake -S tests/hosts/consumer -B "$out/consumer-system" -DCMAKE_BUILD_TYPE=Release \
    >"$out/consumer-system.log" 2>&1 &&
    cmake --build "$out/consumer-system" >>"$out/consumer-system.log" 2>&1 ||
    { cat "$out/consumer-system.log" >&2; fail "find_package(tamrix_map) against the installed packages"; }
grep -q "tamrix_map_DIR:PATH=/usr/lib/" "$out/consumer-system/CMakeCache.txt" ||
    fail "find_package found $(grep tamrix_map_DIR "$out/consumer-system/CMakeCache.txt")"
"$out/consumer-system/consumer" "$sample" >"$out/consumer-system.txt"
same_output "find_package host on the installed packages" "$out/expected-host.txt" "$out/consumer-system.txt"
mapdump "$sample" >"$out/mapdump-system.txt"
same_output "$(command -v mapdump)" "$out/expected-mapdump.txt" "$out/mapdump-system.txt"
found=$(man -w mapdump tamrix_map | paste -sd ' ')
[ "$found" = "/usr/share/man/man1/mapdump.1.gz /usr/share/man/man3/tamrix_map.3.gz" ] || fail "man -w finds: $found"
pass "man mapdump and man tamrix_map find the installed pages"
dpkg --purge "${deb_packages[@]}" >"$out/dpkg-remove.log" 2>&1 ||
    { cat "$out/dpkg-remove.log" >&2; fail "dpkg --purge"; }
unset 'cleanup_actions[-1]'
for package in "${deb_packages[@]}"; do
    state=$(dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null || true)
    case $state in "" | "un "*) ;; *) fail "$package is left in state '$state'" ;; esac
done
[ ! -e /usr/include/tamrix_map.h ] || fail "/usr/include/tamrix_map.h is left behind"
pass "dpkg --purge: the packages were installed for $((SECONDS - installed_at)) s and are gone"

stage "all package checks passed"
