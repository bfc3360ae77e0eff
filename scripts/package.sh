#!/usr/bin/env bash
# Builds the release artifacts from fresh build folders into dist/:
#   tamrix_map-VERSION-win32.zip, tamrix_map-VERSION-win64.zip
#   libtamrix-map1_VERSION_ARCH.deb, libtamrix-map-dev_..., tamrix-map-tools_...
#   tamrix_map-VERSION-Linux-x86_64.tar.gz (the installed tree, relocatable)
# and prints what it made. scripts/test-packages.sh checks them.
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

# The release builds: optimized like the tested ones, no tests, no bench.
release_options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMRIX_MAP_WARNINGS_AS_ERRORS=ON
                 -DTAMRIX_MAP_BUILD_TESTS=OFF -DTAMRIX_MAP_BUILD_BENCH=OFF)

echo "== Linux: Debian packages and tar.gz"
# Debian's hardening flags, as a Debian package build would use them.
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
run_logged linux.configure cmake -S . -B "$out/linux" "${release_options[@]}" \
    -DCMAKE_INSTALL_PREFIX=/usr "-DCMAKE_C_FLAGS=$cflags" "-DCMAKE_CXX_FLAGS=$cxxflags" \
    "-DCMAKE_SHARED_LINKER_FLAGS=$ldflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags"
run_logged linux.build cmake --build "$out/linux" -j "$jobs"
run_logged linux.cpack cpack --config "$out/linux/CPackConfig.cmake" -G "DEB;TGZ" -B "$root/$out/linux/cpack"
mv "$out"/linux/cpack/*.deb "$out"/linux/cpack/*.tar.gz "$dist/"

# A Windows release folder holds exactly these files.
windows_files=(bin/tamrix_map.dll bin/mapdump.exe include/tamrix_map.h
               lib/tamrix_map.lib lib/libtamrix_map.dll.a lib/tamrix_map.def
               README.txt LICENSE.txt)
for target in i686:win32 x86_64:win64; do
    arch=${target%%:*} platform=${target#*:}
    name=tamrix_map-$version-$platform
    echo "== Windows $arch: $name.zip"
    build=$out/mingw-$arch
    run_logged "$platform.configure" cmake -S . -B "$build" "${release_options[@]}" \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake
    run_logged "$platform.build" cmake --build "$build" -j "$jobs"
    run_logged "$platform.install" cmake --install "$build" --prefix "$out/install-$platform" --strip
    folder=$out/zip-$platform/$name
    for file in "${windows_files[@]}"; do
        if [ ! -f "$out/install-$platform/$file" ]; then
            echo "FAILED: the $arch install has no $file" >&2
            exit 1
        fi
        mkdir -p "$folder/$(dirname "$file")"
        cp "$out/install-$platform/$file" "$folder/$file"
    done
    (cd "$out/zip-$platform" && zip -q -X -r "$dist/$name.zip" "$name")
done

(cd "$dist" && sha256sum -- *.zip *.deb *.tar.gz >SHA256SUMS)
echo "== dist/ ($((SECONDS - started)) s)"
(cd "$dist" && for file in *; do printf '%8d  dist/%s\n' "$(stat -c %s "$file")" "$file"; done)
