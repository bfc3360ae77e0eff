#!/usr/bin/env bash
# Builds the release artifacts from fresh build folders into dist/:
#   tamrix_map-VERSION-win32.zip, tamrix_map-VERSION-win64.zip
#   libtamrix-map1_VERSION_ARCH.deb, libtamrix-map-dev_..., tamrix-map-tools_...
#   tamrix_map-VERSION-Linux-x86_64.tar.gz (the installed tree, relocatable)
#   tamrix_map-VERSION-py3-none-PLATFORM.whl, for the manylinux tag set
#     scripts/manylinux-tag.py reads from the library (now
#     manylinux_2_17_x86_64.manylinux2014_x86_64), win32 and win_amd64:
#     the Python package with that platform's library
# and prints what it made. scripts/test-packages.sh checks them. The
# builds are CMakePresets.json's release-linux, release-win32 and
# release-win64, in build/package/<preset>.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

jobs=$(($(nproc) < 2 ? $(nproc) : 2))
version=$(sed -n 's/^project(tamrix_map VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=build/package
dist=$root/dist
started=$SECONDS
rm -rf "$out" "$dist"
mkdir -p "$out" "$dist"

# Runs a command with its output in $out/<name>.log, shown when it fails.
run_logged() {
    local name=$1
    shift
    if ! "$@" >"$out/$name.log" 2>&1; then
        tail -n 40 "$out/$name.log" >&2
        echo "FAILED: $name (log: $out/$name.log)" >&2
        exit 1
    fi
}

# A release preset configured and built, its logs named after it.
build_preset() {  # preset, then the environment of its first configure
    local preset=$1
    shift
    run_logged "$preset.configure" env "$@" cmake --preset "$preset"
    run_logged "$preset.build" cmake --build --preset "$preset" -j "$jobs"
}

echo "== Linux: Debian packages, tar.gz and wheel"
# Debian's hardening flags, as a Debian package build would use them, all
# of them (immediate binding too), CPPFLAGS folded into the compilers'
# flags; CMake takes CFLAGS, CXXFLAGS and LDFLAGS (for the shared library
# and the programs) from the environment of the first configure.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
linux=$out/release-linux
build_preset release-linux \
    "CFLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
    "CXXFLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    "LDFLAGS=$(dpkg-buildflags --get LDFLAGS)"
run_logged linux.cpack cpack --config "$linux/CPackConfig.cmake" -G "DEB;TGZ" -B "$root/$linux/cpack"
mv "$linux"/cpack/*.deb "$linux"/cpack/*.tar.gz "$dist/"
# The manual pages as plain text, with CR LF, for the Windows folders.
mkdir -p "$out/man-text"
for page in mapdump.1 tamrix_map.3; do
    [ -f "$linux/man/$page" ] || { echo "FAILED: the Linux build made no $page" >&2; exit 1; }
    mandoc -T ascii "$linux/man/$page" | col -bx | sed 's/$/\r/' >"$out/man-text/${page%.*}.txt"
done

# A wheel of python/ for one platform, that platform's library beside the
# module, built offline by Debian's setuptools from a copy of the folder
# with the version and the platform tag written in. A compressed tag set
# (manylinux_2_17_x86_64.manylinux2014_x86_64) is built under its first
# tag and then given the others: bdist_wheel takes one tag only.
build_wheel() {  # platform tag or tag set, library, its name in the package
    local stage=$out/wheel-$1 first=${1%%.*} tag
    mkdir -p "$stage/tamrix_map"
    cp python/pyproject.toml LICENSE "$stage/"
    cp python/tamrix_map/*.py python/tamrix_map/py.typed "$stage/tamrix_map/"
    cp "$2" "$stage/tamrix_map/$3"
    echo "$version" >"$stage/VERSION"
    printf '[bdist_wheel]\nplat_name = %s\n' "$first" >"$stage/setup.cfg"
    # Dated with the release, so that the same sources give the same wheel.
    export SOURCE_DATE_EPOCH
    SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l cmake/debian/changelog -S Timestamp)
    run_logged "wheel-$1" /usr/bin/python3 -m build --no-isolation --wheel --outdir "$stage/dist" "$stage"
    local wheel=$stage/dist/tamrix_map-$version-py3-none-$first.whl
    if [ "$first" != "$1" ]; then
        run_logged "wheel-$1.unpack" /usr/bin/python3 -m wheel unpack --dest "$stage/retag" "$wheel"
        # unpack leaves every file 0644: the library's mode as bdist_wheel packed it.
        chmod --reference="$stage/tamrix_map/$3" "$stage/retag/tamrix_map-$version/tamrix_map/$3"
        local info=$stage/retag/tamrix_map-$version/tamrix_map-$version.dist-info previous=$first
        # Each tag after the one before it, so that WHEEL lists them in the set's order.
        for tag in $(tr . ' ' <<<"${1#*.}"); do
            sed -i "/^Tag: py3-none-$previous\$/a Tag: py3-none-$tag" "$info/WHEEL"
            previous=$tag
        done
        # wheel pack names the file with the tags sorted; the mv below gives the set's order.
        mkdir -p "$stage/retagged"
        run_logged "wheel-$1.pack" /usr/bin/python3 -m wheel pack --dest-dir "$stage/retagged" \
            "$stage/retag/tamrix_map-$version"
        wheel=$(echo "$stage"/retagged/*.whl)
    fi
    mv "$wheel" "$dist/tamrix_map-$version-py3-none-$1.whl"
}
strip --strip-unneeded -o "$out/libtamrix_map.so.1" "$linux/libtamrix_map.so.$version"
# The Linux wheel's tag says which systems it runs on: the glibc its
# library's symbols need, checked to need nothing else a manylinux system
# may lack.
linux_platform=$(/usr/bin/python3 scripts/manylinux-tag.py "$out/libtamrix_map.so.1") ||
    { echo "FAILED: the Linux library fits no manylinux tag" >&2; exit 1; }
build_wheel "$linux_platform" "$out/libtamrix_map.so.1" libtamrix_map.so.1

# A Windows release folder holds exactly these files.
windows_files=(bin/tamrix_map.dll bin/mapdump.exe include/tamrix_map.h
               lib/tamrix_map.lib lib/libtamrix_map.dll.a lib/tamrix_map.def
               lib/cmake/tamrix_map/tamrix_map-config.cmake
               lib/cmake/tamrix_map/tamrix_map-config-version.cmake
               lib/pkgconfig/tamrix_map.pc README.txt LICENSE.txt)
declare -A wheel_platforms=([win32]=win32 [win64]=win_amd64)
for target in i686:win32 x86_64:win64; do
    arch=${target%%:*} platform=${target#*:}
    name=tamrix_map-$version-$platform
    echo "== Windows $arch: $name.zip and wheel"
    build_preset "release-$platform"
    run_logged "$platform.install" cmake --install "$out/release-$platform" --prefix "$out/install-$platform" --strip
    folder=$out/zip-$platform/$name
    for file in "${windows_files[@]}"; do
        if [ ! -f "$out/install-$platform/$file" ]; then
            echo "FAILED: the $arch install has no $file" >&2
            exit 1
        fi
        mkdir -p "$folder/$(dirname "$file")"
        cp "$out/install-$platform/$file" "$folder/$file"
    done
    mkdir -p "$folder/doc"
    cp "$out"/man-text/*.txt "$folder/doc/"
    (cd "$out/zip-$platform" && zip -q -X -r "$dist/$name.zip" "$name")
    build_wheel "${wheel_platforms[$platform]}" "$folder/bin/tamrix_map.dll" tamrix_map.dll
done

(cd "$dist" && sha256sum -- *.zip *.deb *.tar.gz *.whl >SHA256SUMS)
echo "== dist/ ($((SECONDS - started)) s)"
(cd "$dist" && for file in *; do printf '%8d  dist/%s\n' "$(stat -c %s "$file")" "$file"; done)
