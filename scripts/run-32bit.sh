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
root=$(cd "$(dirname "$0")/.." && pwd)

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
    cc -o "$work/ia32_probe" "$root/scripts/guest/ia32_probe.c"
    # The subshell waits for the probe, so a fault's report is silenced too.
    (ulimit -c 0; "$work/ia32_probe"; exit $?) 2>/dev/null
}

if [ "${RUN_32BIT_GUEST:-0}" != 1 ] && kernel_runs_32bit_code; then
    rm -rf "$work"
    trap - EXIT
    exec timeout -k 10 "$timeout_seconds" "$@"
fi

# --- The guest's kernel and initramfs --------------------------------------
guest_files=$(bash "$root/scripts/guest/make-guest-files.sh") || exit 125

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
