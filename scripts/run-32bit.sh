#!/usr/bin/env bash
# run-32bit.sh COMMAND [ARG...]: runs COMMAND where 32-bit x86 programs
# (wine32 and the Windows programs it loads) can run, and exits with its
# exit status.
#
# Where this kernel runs 32-bit code, COMMAND runs here, as it is, with the
# whole environment. Elsewhere (kernels built or booted with their IA-32
# emulation off) it runs in a virtual machine: qemu-system-x86_64 boots
# Debian's own kernel (package linux-image-amd64) with a small busybox
# initramfs, which mounts this machine's / read-only over 9p with a tmpfs
# overlay on it, and chroots there. So COMMAND sees the same programs,
# files and paths, in the same working directory, and nothing is installed
# twice. In the guest:
# - the working directory and the folders in RUN_32BIT_WRITABLE are this
#   machine's own, read and written over 9p; every other write lands in the
#   guest's memory and is gone when COMMAND ends;
# - the environment holds PATH, HOME, LANG, LC_ALL, TZ and the variables
#   named in RUN_32BIT_ENV, nothing else;
# - standard input is /dev/null; standard output and error come back here
#   as they are written;
# - processes COMMAND leaves behind are killed when it ends;
# - a guest that fails by itself (no exit status came back) makes this
#   script print the guest's console and exit with 125.
# Both ways, COMMAND is stopped after RUN_32BIT_TIMEOUT seconds, and then
# the exit status is 124.
#
# Settings (environment):
#   RUN_32BIT_WRITABLE  host folders the guest may write to, separated by ':'
#   RUN_32BIT_ENV       names of further variables for COMMAND, separated by blanks
#   RUN_32BIT_TIMEOUT   seconds (3600)
#   RUN_32BIT_CPUS      the guest's processors (2: one thread each under TCG)
#   RUN_32BIT_MEMORY    the guest's memory in MiB (4096; its tmpfs takes half at most)
#   RUN_32BIT_GUEST=1   the guest even where this kernel runs 32-bit code
#   RUN_32BIT_CACHE     where the guest's kernel and initramfs are kept
#                       (/var/cache/tamrix_map-32bit, else ~/.cache/tamrix_map-32bit)
# The kernel and initramfs are made once per machine, from the installed
# kernel package, and made again when that package changes or this
# script's init does: a per-machine cache, so that every clone and build
# folder shares them.
set -euo pipefail

if [ $# -eq 0 ]; then
    echo "usage: run-32bit.sh COMMAND [ARG...]" >&2
    exit 2
fi
timeout_seconds=${RUN_32BIT_TIMEOUT:-3600}
work=$(mktemp -d "${TMPDIR:-/tmp}/run-32bit.XXXXXX")
guest_pid=
tails=()
finish() {
    local status=$?
    if [ -n "$guest_pid" ]; then
        kill "$guest_pid" 2>/dev/null || true
        wait "$guest_pid" 2>/dev/null || true
    fi
    for pid in "${tails[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM

# A 64-bit program asks for getpid through the 32-bit system call gate:
# kernels that run 32-bit code answer it, kernels whose IA-32 emulation is
# off make it fault.
kernel_runs_32bit_code() {
    cat >"$work/ia32_probe.c" <<'C'
#include <unistd.h>
int main(void) {
    long result = 20; /* getpid in the 32-bit system call table */
    __asm__ volatile("int $0x80" : "+a"(result) : : "memory");
    return result == (long)getpid() ? 0 : 1;
}
C
    cc -o "$work/ia32_probe" "$work/ia32_probe.c"
    # The subshell waits for the probe, so a fault's report is silenced too.
    (ulimit -c 0; "$work/ia32_probe"; exit $?) 2>/dev/null
}

if [ "${RUN_32BIT_GUEST:-0}" != 1 ] && kernel_runs_32bit_code; then
    rm -rf "$work"
    trap - EXIT
    exec timeout -k 10 "$timeout_seconds" "$@"
fi

# --- The guest's kernel and initramfs --------------------------------------

# The guest's /init: modules, the host's / read-only under a tmpfs overlay,
# the writable shares, then COMMAND in a chroot. Its output goes to the
# virtio ports named stdout and stderr, its status to the control share.
read -r -d '' guest_init <<'INIT' || true
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for module in $(cat /modules/order); do insmod "/modules/$module" || echo "init: insmod $module failed"; done
share() { mount -t 9p -o "trans=virtio,version=9p2000.L,cache=loose,msize=262144$3" "$1" "$2"; }
mkdir -p /lower /memory /root /control
share control /control "" &&
share host /lower ",ro" &&
mount -t tmpfs -o mode=0755 memory /memory &&
mkdir -p /memory/upper /memory/work &&
mount -t overlay -o lowerdir=/lower,upperdir=/memory/upper,workdir=/memory/work overlay /root &&
mount -t proc proc /root/proc &&
mount -t sysfs sys /root/sys &&
mount -t devtmpfs dev /root/dev &&
mkdir -p /root/dev/pts /root/dev/shm &&
mount -t devpts devpts /root/dev/pts &&
mount -t tmpfs shm /root/dev/shm || { echo "init: mounting the root failed"; poweroff -f; }
# Writable host folders, "TAG PATH" a line, outer folders first.
while read -r tag path; do
    mkdir -p "/root$path" && share "$tag" "/root$path" "" || { echo "init: mounting $path failed"; poweroff -f; }
done </control/mounts
for port in /sys/class/virtio-ports/*; do
    ln -s "/dev/${port##*/}" "/dev/guest-$(cat "$port/name")"
done
cp /control/command.sh /root/run/run-32bit-command.sh
chroot /root /bin/bash /run/run-32bit-command.sh </dev/null >/dev/guest-stdout 2>/dev/guest-stderr
echo $? >/control/status
sync
poweroff -f
INIT

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
    exit 125
fi
kernel_version=${kernel_package#linux-image-}
package_version=$(dpkg-query -W -f='${Version}' "$kernel_package")
init_hash=$(printf '%s\n%s\n' "$guest_init" "${modules_wanted[*]}" | sha256sum | cut -c 1-12)
guest_files=$cache_root/$kernel_version-$package_version-$init_hash

# make_guest_files FOLDER: the kernel and an initramfs with busybox, the
# init and the modules it loads, in the order their dependencies ask for.
make_guest_files() {
    local folder=$1 tree=$1.tree modules_dir=/lib/modules/$kernel_version
    mkdir -p "$tree/bin" "$tree/modules" "$tree/proc" "$tree/sys" "$tree/dev"
    cp /bin/busybox "$tree/bin/busybox"
    printf '%s\n' "$guest_init" >"$tree/init"
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

# --- The run -----------------------------------------------------------

share_dir=$work/control
mkdir -p "$share_dir"
: >"$share_dir/mounts"
qemu_shares=(-virtfs "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap"
             -virtfs "local,path=$share_dir,mount_tag=control,security_model=none,multidevs=remap")
writable=("$PWD")
IFS=: read -r -a extra <<<"${RUN_32BIT_WRITABLE:-}"
for folder in ${extra[@]+"${extra[@]}"}; do
    [ -n "$folder" ] || continue
    [ -d "$folder" ] || { echo "run-32bit.sh: no folder $folder (RUN_32BIT_WRITABLE)" >&2; exit 2; }
    writable+=("$(cd "$folder" && pwd -P)")
done
number=0
while read -r folder; do
    number=$((number + 1))
    qemu_shares+=(-virtfs "local,path=$folder,mount_tag=rw$number,security_model=none,multidevs=remap")
    echo "rw$number $folder" >>"$share_dir/mounts"
done < <(printf '%s\n' "${writable[@]}" | sort -u)

{
    for name in PATH HOME LANG LC_ALL TZ ${RUN_32BIT_ENV:-}; do
        [ -n "${!name+set}" ] && printf 'export %s=%q\n' "$name" "${!name}"
    done
    printf 'cd %q || exit 125\n' "$PWD"
    printf 'exec'
    printf ' %q' "$@"
    printf '\n'
} >"$share_dir/command.sh"

for stream in stdout stderr console; do : >"$work/$stream"; done
# q35 with virtio only; -cpu: the instruction sets the programs were built
# for; mitigations=off: no page table switch at every system call, of
# which wine makes many.
timeout -k 10 "$timeout_seconds" qemu-system-x86_64 \
    -nodefaults -no-user-config -display none -no-reboot \
    -machine q35,accel=tcg -cpu qemu64,+ssse3,+sse4.1,+sse4.2,+popcnt \
    -smp "${RUN_32BIT_CPUS:-2}" -m "${RUN_32BIT_MEMORY:-4096}" \
    -kernel "$guest_files/vmlinuz" -initrd "$guest_files/initramfs.img" \
    -append "console=ttyS0 panic=-1 quiet mitigations=off" \
    -chardev "file,id=console,path=$work/console,append=on" -serial chardev:console \
    -device virtio-serial-pci,id=ports \
    -chardev "file,id=stdout,path=$work/stdout,append=on" -device virtserialport,bus=ports.0,chardev=stdout,name=stdout \
    -chardev "file,id=stderr,path=$work/stderr,append=on" -device virtserialport,bus=ports.0,chardev=stderr,name=stderr \
    "${qemu_shares[@]}" </dev/null >>"$work/console" 2>&1 &
guest_pid=$!
tail -n +1 -s 0.2 -f --pid="$guest_pid" "$work/stdout" &
tails+=($!)
tail -n +1 -s 0.2 -f --pid="$guest_pid" "$work/stderr" >&2 &
tails+=($!)
guest_status=0
wait "$guest_pid" || guest_status=$?
guest_pid=
for pid in "${tails[@]}"; do wait "$pid" || true; done
tails=()

if [ -s "$share_dir/status" ]; then
    exit "$(cat "$share_dir/status")"
fi
if [ "$guest_status" = 124 ]; then
    echo "run-32bit.sh: stopped after $timeout_seconds s (RUN_32BIT_TIMEOUT); the guest's console:" >&2
else
    echo "run-32bit.sh: the guest ended without an exit status (qemu: $guest_status); its console:" >&2
fi
sed 's/^/    /' "$work/console" >&2
exit $((guest_status == 124 ? 124 : 125))
