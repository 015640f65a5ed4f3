#!/usr/bin/env bash
# Peak memory of the program's first start on the built-in synth: no settings file (a fresh
# home), a private PulseAudio with a null sink as the sound server, no JACK server, in a virtual
# X server. startup_probe spawns the program, waits for its window and reads VmHWM 300 ms after
# the map.
#
# Usage: bench/synth_first_start.sh [BUILD_DIR] [RUNS] [FONT]   (defaults: build, 5, none)
# FONT, when given, is put among the user's own SoundFonts (~/.local/share/soundfonts).
# Needs, in BUILD_DIR: kalvora and bench/startup_probe; and Xvfb, pulseaudio, FluidR3's fonts.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/support/session_lib.sh
source "$root/tests/support/session_lib.sh"
build=$(realpath "${1:-$root/build}")
runs=${2:-5}
font=${3:-}
for file in kalvora bench/startup_probe; do
  [ -x "$build/$file" ] || fail "missing $build/$file: cmake --build $build --target kalvora startup_probe"
done
need Xvfb pulseaudio
session_begin synth-first-start

mkdir -p "$work/pulse"
start pulseaudio env HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse" \
  PULSE_RUNTIME_PATH="$work/pulse/runtime" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no --disable-shm=yes --log-target=stderr \
  -L "module-null-sink sink_name=null rate=48000" \
  -L "module-native-protocol-unix socket=$work/native auth-anonymous=1"
socket_up() { [ -S "$work/native" ]; }
wait_until "$START_DEADLINE_MS" "the PulseAudio socket" socket_up
export PULSE_SERVER=unix:$work/native JACK_NO_START_SERVER=1
start_xvfb

peaks=()
for run in $(seq "$runs"); do
  rm -rf "$work/home" && mkdir -p "$work/home/.local/share/soundfonts"
  [ -z "$font" ] || cp --sparse=always "$font" "$work/home/.local/share/soundfonts/"
  line=$(HOME=$work/home "$build/bench/startup_probe" -- "$build/kalvora" | tail -1)
  [[ $line =~ hwm_kb=([0-9]+) ]] || fail "run $run: no figure from the probe: $line"
  peaks+=("${BASH_REMATCH[1]}")
  echo "run $run: $line"
done
median=$(printf '%s\n' "${peaks[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
awk -v kb="$median" 'BEGIN {printf "peak memory at a first start on the synth, median: %.1f MB\n", kb / 1024}'
failed=0
