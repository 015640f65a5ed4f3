#!/usr/bin/env bash
# Idle CPU and peak memory on a JACK device, beside a bare JACK client and, when installed,
# jack-keyboard (a virtual MIDI keyboard on JACK): what the program costs while it waits for
# the next press.
#
# Usage: bench/jack_idle.sh [BUILD_DIR] [ROUNDS]      (defaults: build, 5)
# Needs, in BUILD_DIR: kalvora and tests/support/kalvora_e2e_receiver; Xvfb, xdotool, jackd,
# dbus-daemon and setpriv (scripts/install-deps.sh); jack-keyboard is optional.
#
# Method: a private JACK server (dummy driver, 48 kHz, 256 frames, its default port limit) with a
# receiver port as the program's device. Each round starts each program afresh, in turn (ABC
# ABC ...), with a session bus and, as root, without the right to lock memory, as on a desktop.
# After the window is up (or the client's port) and SETTLE_S more, the CPU time of all its
# threads (/proc/PID/task/*/schedstat, nanoseconds) is read, and again IDLE_S later; peak memory
# is VmHWM then. The program sits idle on its JACK device with its MIDI input port.
set -uo pipefail

readonly SETTLE_S=2 IDLE_S=5 PERIOD=256

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/support/session_lib.sh
source "$root/tests/support/session_lib.sh"
build=$(realpath "${1:-$root/build}")
rounds=${2:-5}
for file in kalvora tests/support/kalvora_e2e_receiver; do
  [ -x "$build/$file" ] || fail "missing $build/$file: cmake --build $build --target kalvora kalvora_e2e_receiver"
done
need Xvfb xdotool jackd jack_lsp dbus-daemon setpriv
session_begin jack-idle

bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || fail "no session bus"
DBUS_SESSION_BUS_ADDRESS=$(head -1 <<<"$bus")
track "the session bus" "$(sed -n 2p <<<"$bus")" unwatched
export DBUS_SESSION_BUS_ADDRESS
launcher=()
[ "$(id -u)" -eq 0 ] && launcher=("$(command -v setpriv)" --bounding-set=-ipc_lock)

start_xvfb
start_jackd "$PERIOD"
RECEIVER=$build/tests/support/kalvora_e2e_receiver
start_receiver receiver /dev/null
receiver_device
install_program "$build/kalvora"

cpu_ns() {
  local pid=$1 task total=0 ns
  for task in /proc/"$pid"/task/*; do
    read -r ns _ <"$task/schedstat" 2>/dev/null && total=$((total + ns))
  done
  echo "$total"
}
hwm_kb() { awk '$1 == "VmHWM:" { print $2 }' "/proc/$1/status"; }
port_up() { jack_lsp 2>/dev/null | grep -q "^$1"; }

# measure NAME READY...: the last started process, once READY succeeds; prints "cpu_ms hwm_kb".
measure() {
  local pid=$last_pid before after hwm
  shift
  wait_until "$START_DEADLINE_MS" "$*" "$@"
  sleep "$SETTLE_S"
  before=$(cpu_ns "$pid")
  sleep "$IDLE_S"
  after=$(cpu_ns "$pid")
  hwm=$(hwm_kb "$pid")
  unwatch "$pid"
  stop "$pid"
  forget "$pid"
  echo "$(((after - before) / 1000000)) $hwm"
}

run_kalvora() {
  write_settings "$work/app/kalvora.ini" 20 20 831 664 "$device"
  (cd "$work/app" && exec "${launcher[@]}" ./kalvora) >"$work/program.out" 2>"$work/program.err" &
  last_pid=$!
  track kalvora "$last_pid"
  measure kalvora main_window_up
}
run_bare() {
  start bare "${launcher[@]}" "$RECEIVER" --out /dev/null --name bare
  measure bare port_up bare:
}
run_jack_keyboard() {
  start jack-keyboard "${launcher[@]}" jack-keyboard
  measure jack-keyboard port_up jack-keyboard:
}

programs="kalvora bare"
command -v jack-keyboard >/dev/null && programs+=" jack_keyboard"
load=$(cut -d' ' -f1-3 /proc/loadavg)
for round in $(seq "$rounds"); do
  for program in $programs; do
    echo "$program $(run_"$program")" >>"$work/runs.txt"
  done
done

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
echo "JACK server: dummy driver, 48 kHz, $PERIOD frames, default port limit; $rounds rounds;" \
  "load average before: $load"
echo "as on a desktop: session bus${launcher:+, no right to lock memory (CAP_IPC_LOCK dropped)}"
printf '%-14s %24s %28s\n' program "CPU over ${IDLE_S} s idle, ms" "peak memory (VmHWM), MB"
for program in $programs; do
  cpu=$(awk -v p="$program" '$1 == p { print $2 }' "$work/runs.txt" | median)
  cpu_range=$(awk -v p="$program" '$1 == p { print $2 }' "$work/runs.txt" | sort -g | sed -n '1p;$p' | paste -sd-)
  mb=$(awk -v p="$program" '$1 == p { print $3 / 1024 }' "$work/runs.txt" | median)
  printf '%-14s %14s (%s) %20.1f\n' "${program//_/-}" "$cpu" "$cpu_range" "$mb"
done
failed=0
