#!/usr/bin/env bash
# Runs one scenario script as root inside a fresh qemu guest with a real ALSA sequencer, and
# passes on its output and its exit status.
#
# Usage: guest_runner.sh SCENARIO [ARG...]
#
# The guest runs Debian's kernel (linux-image-amd64) on this machine's own root filesystem,
# read-only over 9p with a tmpfs taking its writes, so the scenario sees the built program, the
# test tools and the installed packages at the same paths as here. In the guest, before the
# scenario starts: the ALSA sequencer with its dummy card (Midi Through) and two virtual raw
# MIDI cards of one port each; /proc, /sys, /dev (devtmpfs), /tmp and /dev/shm. The scenario
# runs with bash, stdin closed; what it writes to $KALVORA_GUEST_RESULTS (a folder shared with
# this host) is kept in the folder named by KALVORA_GUEST_KEEP, when set.
#
# Environment:
#   KALVORA_VM_KERNEL   the kernel to boot (default: the newest /boot/vmlinuz-* whose modules
#                       are installed)
#   KALVORA_VM_TIMEOUT  seconds the whole guest may take (default 170; a loaded machine
#                       under TCG is slow)
#   KALVORA_GUEST_KEEP  a folder to copy the results share into
# Fails, never skips, when qemu or the kernel is missing.
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 SCENARIO [ARG...]" >&2
  exit 2
fi
here=$(dirname "$(realpath "$0")")
scenario=$(realpath "$1")
shift
timeout_s=${KALVORA_VM_TIMEOUT:-170}

fail() {
  echo "FAIL: $*"
  exit 1
}

command -v qemu-system-x86_64 >/dev/null ||
  fail "qemu-system-x86_64 is missing (scripts/install-deps.sh --tests installs qemu-system-x86)"
# The initramfs holds busybox alone, so it must need no libraries.
[ -x /bin/busybox ] && ! ldd /bin/busybox >/dev/null 2>&1 ||
  fail "a static /bin/busybox is missing (scripts/install-deps.sh --tests installs busybox-static)"
command -v cpio >/dev/null || fail "cpio is missing (scripts/install-deps.sh --tests installs it)"

kernel=${KALVORA_VM_KERNEL:-}
if [ -z "$kernel" ]; then
  for candidate in $(ls -v /boot/vmlinuz-* 2>/dev/null | sort -rV); do
    if [ -d "/lib/modules/${candidate#/boot/vmlinuz-}/kernel" ]; then
      kernel=$candidate
      break
    fi
  done
fi
[ -n "$kernel" ] && [ -r "$kernel" ] ||
  fail "no readable kernel with its modules in /boot and /lib/modules (scripts/install-deps.sh --tests" \
    "installs linux-image-amd64)"
version=${kernel##*/vmlinuz-}
cache=${KALVORA_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kalvora-vm}

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvora-guest.XXXXXX")
qemu_pid=''
cleanup() {
  if [ -n "$qemu_pid" ]; then
    kill -KILL "$qemu_pid" 2>/dev/null
    wait "$qemu_pid" 2>/dev/null
  fi
  [ -n "${KALVORA_GUEST_KEEP:-}" ] && mkdir -p "$KALVORA_GUEST_KEEP" &&
    cp -a "$work/share/." "$KALVORA_GUEST_KEEP/" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- The kernel, uncompressed ------------------------------------------------------------------
# Under TCG the kernel's own decompressor takes about 9 s; booted as an ELF image through its PVH
# entry the guest skips it and the firmware's real-mode start. The image is made once per
# kernel (about 1 s) and kept; where it cannot be made the compressed kernel boots as it is.
uncompressed() {
  local image=$cache/vmlinux-$version-$(stat -c %s-%Y "$kernel") magic offset
  if [ ! -s "$image" ]; then
    mkdir -p "$cache" || return 1
    for magic in '\xFD\x37\x7A\x58\x5A\x00 xz' '\x28\xB5\x2F\xFD zstd' '\x1F\x8B\x08 gzip'; do
      offset=$(LC_ALL=C grep -obUaP "${magic% *}" "$kernel" | head -n 1 | cut -d: -f1)
      [ -n "$offset" ] || continue
      # The stream is followed by the decompressor's own data, which the tool calls corrupt.
      tail -c +$((offset + 1)) "$kernel" | "${magic#* }" -dc >"$image.$$" 2>/dev/null
      if [ "$(head -c 4 "$image.$$" 2>/dev/null)" = $'\x7FELF' ]; then
        mv -f "$image.$$" "$image"
        break
      fi
      rm -f "$image.$$"
    done
  fi
  [ -s "$image" ] && echo "$image"
}
boot_image=$(uncompressed) || boot_image=$kernel

# --- The initramfs: busybox, the modules that reach the root, and the first process -----------
mkdir -p "$work/initramfs/bin" "$work/share"
cp /bin/busybox "$work/initramfs/bin/busybox"
cp "$here/guest_init.sh" "$work/initramfs/init"
: >"$work/initramfs/modules.order"
for module in virtio_pci 9pnet_virtio 9p overlay; do
  depends=$(modprobe -S "$version" --show-depends "$module" 2>&1) ||
    fail "module $module of kernel $version cannot be found: $depends"
  while read -r command path _; do
    # Built into the kernel, or already listed: nothing to load.
    [ "$command" = insmod ] || continue
    grep -qxF "/modules/${path##*/}" "$work/initramfs/modules.order" && continue
    mkdir -p "$work/initramfs/modules"
    cp "$path" "$work/initramfs/modules/"
    echo "/modules/${path##*/}" >>"$work/initramfs/modules.order"
  done <<<"$depends"
done
(cd "$work/initramfs" && find . | cpio -o -H newc --quiet) >"$work/initramfs.cpio" ||
  fail "cannot pack the initramfs"

# The session script and the scenario, at their paths on this host (the guest's root is ours).
# The sanitizers' settings of this run (a sanitizer build's suite) hold in the guest too.
{
  echo '#!/bin/bash'
  for variable in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
    [ -n "${!variable:-}" ] && printf 'export %s=%q\n' "$variable" "${!variable}"
  done
  printf 'exec /bin/bash %q /kalvora-results %q' "$here/guest_session.sh" "$scenario"
  printf ' %q' "$@"
  echo
} >"$work/share/session"

# --- The guest --------------------------------------------------------------------------------
# TCG: this machine is itself virtualised, without KVM. One CPU is as fast here as two, and
# leaves the other core to whatever else runs.
qemu-system-x86_64 -accel tcg -m 1536 -smp 1 -nodefaults -no-user-config -display none \
  -no-reboot -serial "file:$work/console.log" \
  -kernel "$boot_image" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 quiet loglevel=4 panic=-1 mitigations=off" \
  -fsdev local,id=rootfs,path=/,security_model=none,readonly=on,multidevs=remap \
  -device virtio-9p-pci,fsdev=rootfs,mount_tag=rootfs \
  -fsdev local,id=results,path="$work/share",security_model=none \
  -device virtio-9p-pci,fsdev=results,mount_tag=results \
  >"$work/qemu.log" 2>&1 &
qemu_pid=$!

deadline=$((SECONDS + timeout_s))
while kill -0 "$qemu_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
if kill -0 "$qemu_pid" 2>/dev/null; then
  timed_out=1
else
  timed_out=0
  wait "$qemu_pid"
  qemu_pid=''
fi

[ -f "$work/share/output" ] && cat "$work/share/output"
if [ ! -s "$work/share/status" ]; then
  echo "----- qemu" && cat "$work/qemu.log"
  echo "----- guest console" && tail -n 40 "$work/console.log"
  [ "$timed_out" -eq 1 ] && fail "the guest did not finish within $timeout_s s"
  fail "the guest ended without the scenario's status"
fi
exit "$(cat "$work/share/status")"
