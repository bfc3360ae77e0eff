#!/usr/bin/env bash
# make-guest-files.sh: the kernel and initramfs of scripts/run-32bit.sh's
# guest, made once per kernel, init and module list and kept in a cache;
# prints their folder. The initramfs holds busybox, the init (guest/init:
# modules, the host's / read-only under a tmpfs overlay, the writable
# shares, then the command in a chroot, its output on the virtio ports
# named stdout and stderr, its status on the control share) and the
# modules it loads.
#   RUN_32BIT_CACHE  where they are kept (/var/cache/tamrix_map-32bit, else
#                    ~/.cache/tamrix_map-32bit)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

cache_root=${RUN_32BIT_CACHE:-}
if [ -z "$cache_root" ]; then
    cache_root=/var/cache/tamrix_map-32bit
    mkdir -p "$cache_root" 2>/dev/null && [ -w "$cache_root" ] || cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/tamrix_map-32bit
fi
modules_wanted=(virtio_pci virtio_console 9pnet_virtio 9p overlay)

# The kernel package linux-image-amd64 depends on, e.g. linux-image-6.1.0-57-amd64.
kernel_package=$(dpkg-query -W -f='${Depends}' linux-image-amd64 2>/dev/null | grep -o 'linux-image-[^ ,]*' | head -n 1) || true
if [ -z "$kernel_package" ]; then
    echo "run-32bit.sh: the guest needs linux-image-amd64, qemu-system-x86 and busybox-static (bash scripts/install-deps.sh)" >&2
    exit 1
fi
kernel_version=${kernel_package#linux-image-}
package_version=$(dpkg-query -W -f='${Version}' "$kernel_package")
init_hash=$({ cat "$here/init"; echo "${modules_wanted[*]}"; } | sha256sum | cut -c 1-12)
guest_files=$cache_root/$kernel_version-$package_version-$init_hash

# make_guest_files FOLDER: the kernel and an initramfs with busybox, the
# init and the modules it loads, in the order their dependencies ask for.
make_guest_files() {
    local folder=$1 tree=$1.tree modules_dir=/lib/modules/$kernel_version
    mkdir -p "$tree/bin" "$tree/modules" "$tree/proc" "$tree/sys" "$tree/dev"
    cp /bin/busybox "$tree/bin/busybox"
    cp "$here/init" "$tree/init"
    chmod 755 "$tree/init"
    local ordered=() module
    add_module() {
        local path dependency
        path=$(awk -F: -v name="$1" '{ base = $1; sub(/.*\//, "", base); sub(/\.ko.*/, "", base); gsub(/-/, "_", base) }
            base == name { print; exit }' "$modules_dir/modules.dep")
        [ -n "$path" ] || { echo "run-32bit.sh: no module $1 in $modules_dir" >&2; return 1; }
        for dependency in ${path#*:}; do
            dependency=${dependency##*/}
            dependency=${dependency%%.ko*}
            add_module "${dependency//-/_}"
        done
        path=${path%%:*}
        [[ " ${ordered[*]} " == *" ${path##*/} "* ]] && return 0
        case $path in
            *.ko.xz) xz -dc "$modules_dir/$path" >"$tree/modules/$(basename "$path" .xz)" ;;
            *.ko.zst) zstd -qdc "$modules_dir/$path" >"$tree/modules/$(basename "$path" .zst)" ;;
            *) cp "$modules_dir/$path" "$tree/modules/" ;;
        esac
        ordered+=("$(basename "${path%.xz}" .zst)")
    }
    for module in "${modules_wanted[@]}"; do add_module "$module"; done
    printf '%s\n' "${ordered[@]}" >"$tree/modules/order"
    (cd "$tree" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$folder/initramfs.img"
    cp "/boot/vmlinuz-$kernel_version" "$folder/vmlinuz"
    rm -rf "$tree"
}

if [ ! -f "$guest_files/initramfs.img" ]; then
    mkdir -p "$cache_root"
    new=$(mktemp -d "$cache_root/new.XXXXXX")
    make_guest_files "$new"
    chmod 755 "$new"
    # Another run may have made them meanwhile: the first one stays.
    mv -T "$new" "$guest_files" 2>/dev/null || rm -rf "$new"
    for old in "$cache_root"/*; do
        [ "$old" = "$guest_files" ] || [[ $old == */new.* ]] || rm -rf "$old"
    done
fi
echo "$guest_files"
