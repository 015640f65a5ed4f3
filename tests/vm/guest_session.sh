#!/bin/bash
# Runs as the guest's first process on the real root: the rest of the system a scenario needs
# (proc, sys, /dev/fd, the ALSA sequencer with its dummy and virtual raw MIDI cards), then the
# scenario itself, its output and status into the results share; then the guest powers off.
#
# Usage (written by guest_runner.sh): guest_session.sh RESULTS SCENARIO [ARG...]
results=$1
shift
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
export KALVORA_GUEST_RESULTS=$results

power_off() {
  sync
  echo o >/proc/sysrq-trigger
  sleep 10
}

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t tmpfs tmpfs /run
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
ln -sfn /proc/self/fd /dev/fd
ln -sfn /proc/self/fd/0 /dev/stdin
ln -sfn /proc/self/fd/1 /dev/stdout
ln -sfn /proc/self/fd/2 /dev/stderr
hostname kalvora-guest

{
  # Two virtual raw MIDI cards of one port each: a card can be unplugged while the other stays.
  if ! modprobe -a snd-seq snd-seq-dummy || ! modprobe snd-virmidi enable=1,1 midi_devs=1,1; then
    echo "FAIL: the guest cannot load the ALSA sequencer modules"
    echo 1 >"$results/status"
    power_off
  fi
  status=0
  bash "$@" || status=$?
  echo "$status" >"$results/status"
} >"$results/output" 2>&1 </dev/null
power_off
