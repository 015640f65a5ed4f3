#!/usr/bin/env bash
# Start-up time and peak memory of the built program, in a virtual X server.
#
# Usage: bench/startup.sh [--typical] [BUILD_DIR] [RUNS]      (defaults: build, 20)
#        KALVORA_BENCH_STOPPED_SERVER=1 bench/startup.sh ...   the same beside a stopped server
# Needs, in BUILD_DIR: kalvora, bench/startup_probe and tests/support/kalvora_e2e_receiver
# (cmake --build BUILD_DIR --target kalvora startup_probe kalvora_e2e_receiver), and Xvfb,
# xdotool and jackd (scripts/install-deps.sh --tests).
#
# Method: startup_probe spawns the program and listens on the X server for the MapNotify of
# the window titled "Kalvora", so the time runs from the spawn to the map with the resolution
# of an X round trip (well under 1 ms); no window list is polled. Peak memory is VmHWM from
# /proc/<pid>/status 300 ms after the map, just before the probe sends SIGTERM.
# Set-up: the program's device is a receiver port on a private JACK server (jackd's dummy
# driver), so no SoundFont synth is opened and no message box stands in the way. Should a box
# appear all the same (the program lists no device, say), the probe presses Return on it and the
# time it stood on screen is reported and taken out of the second figure.
# The program runs as on a desktop: with a session bus (a private dbus-daemon; without one,
# Qt's accessibility bridge has libdbus try to launch a bus through X11), and, when the bench
# runs as root, without root's right to lock memory (setpriv drops CAP_IPC_LOCK), since a
# desktop user has none beyond the usual few MB: with it, libjack locks the JACK server's whole
# 38 MB graph segment into the program's resident memory. KALVORA_BENCH_PLAIN=1 runs the program
# as the bench is run instead, for comparison.
# That is the tuned condition: a server with 32 ports, no memory locking. --typical measures the
# condition most JACK users have instead: jackd with its default port limit, and unlimited
# memory locking, as jackd2's audio group allows (limits.d/audio.conf). As root, the bench drops
# CAP_IPC_LOCK and raises the lock limit to unlimited, or, where it may not raise limits, keeps
# CAP_IPC_LOCK, which locks as much; as an ordinary user it keeps the user's own limit.
# The program sleeps 100 ms after the GS Reset at start; the raw time includes it and the
# figure beside it has it taken out. Nothing else is subtracted.
set -uo pipefail

readonly RESET_WAIT_MS=100
readonly SETTLE_MS=300  # after the map, for the first paint, before memory is read
readonly TARGET_MS=40 TARGET_MB=45
# JACK clients map the server's port buffers for every possible port, which shows in their
# resident memory; a server with few ports keeps that to what the program itself uses.
# Empty: jackd's own default.
if [ "${1:-}" = --typical ] || [ "${KALVORA_BENCH_TYPICAL:-0}" = 1 ]; then
  export KALVORA_BENCH_TYPICAL=1
  [ "${1:-}" = --typical ] && shift
  readonly PORT_MAX=${KALVORA_BENCH_JACK_PORTS:-}
else
  readonly PORT_MAX=${KALVORA_BENCH_JACK_PORTS:-32}
fi
# Frames per JACK cycle: 256 at 48 kHz is 5.3 ms, a common setting.
readonly PERIOD=${KALVORA_BENCH_JACK_PERIOD:-256}

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/support/session_lib.sh
source "$root/tests/support/session_lib.sh"
build=$(realpath "${1:-$root/build}")
runs=${2:-20}
for file in kalvora bench/startup_probe tests/support/kalvora_e2e_receiver; do
  [ -x "$build/$file" ] ||
    fail "missing $build/$file: cmake --build $build --target kalvora startup_probe kalvora_e2e_receiver"
done
need Xvfb xdotool jackd dbus-daemon setpriv prlimit
session_begin startup

launcher=()
conditions="run as the bench was run"
if [ "${KALVORA_BENCH_PLAIN:-0}" != 1 ]; then
  bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || fail "no session bus"
  DBUS_SESSION_BUS_ADDRESS=$(head -1 <<<"$bus")
  track "the session bus" "$(sed -n 2p <<<"$bus")" unwatched
  export DBUS_SESSION_BUS_ADDRESS
  conditions="as on a desktop: session bus"
  if [ "${KALVORA_BENCH_TYPICAL:-0}" = 1 ]; then
    if [ "$(id -u)" -eq 0 ] && prlimit --memlock=unlimited:unlimited true 2>/dev/null; then
      launcher=("$(command -v prlimit)" --memlock=unlimited:unlimited --
        "$(command -v setpriv)" --bounding-set=-ipc_lock)
      conditions+=", memory locking unlimited as for jackd2's audio group (CAP_IPC_LOCK dropped)"
    elif [ "$(id -u)" -eq 0 ]; then
      # Without the right to raise the limit, root's right to lock stands in: it locks as much.
      conditions+=", memory locking unlimited (root's CAP_IPC_LOCK, as the audio group's limit)"
    else
      conditions+=", this user's own lock limit ($(ulimit -l))"
    fi
  elif [ "$(id -u)" -eq 0 ]; then
    launcher=("$(command -v setpriv)" --bounding-set=-ipc_lock)
    conditions+=", no right to lock memory (CAP_IPC_LOCK dropped)"
  fi
fi
conditions+="; JACK server with ${PORT_MAX:-its default number of} ports"

start_xvfb
start_jackd "$PERIOD" ${PORT_MAX:+--port-max "$PORT_MAX"}
jackd_pid=$last_pid
# The receiver runs as the program does: a bare JACK client without a window, to compare with.
RECEIVER=$build/tests/support/kalvora_e2e_receiver
receiver_launcher=("${launcher[@]}")
start_receiver receiver /dev/null
receiver_pid=$last_pid
receiver_device

install_program "$build/kalvora"
write_settings "$work/app/kalvora.ini" 20 20 831 664 "$device"
# KALVORA_BENCH_STOPPED_SERVER=1: the JACK server stopped (SIGSTOP) before the runs and resumed
# after them, so every start meets a server that does not answer; the JACK devices are left out,
# and the boxes that may say so are taken out of the figure as any box.
if [ "${KALVORA_BENCH_STOPPED_SERVER:-0}" = 1 ]; then
  kill -STOP "$jackd_pid"
  session_on_exit() { kill -CONT "$jackd_pid" 2>/dev/null; }
  conditions+="; the JACK server stopped (SIGSTOP) throughout"
fi

# KALVORA_BENCH_OTHER=PROGRAM KALVORA_BENCH_OTHER_TITLE=TITLE: that program's start in the same
# conditions, in place of ours, up to its window of that title (its raw figure: it has no reset
# to wait for), such as jack-keyboard.
probe() {
  (cd "$work/app" &&
    "$build/bench/startup_probe" --title "${KALVORA_BENCH_OTHER_TITLE:-Kalvora}" \
      --settle-ms "$SETTLE_MS" -- "${launcher[@]}" "${KALVORA_BENCH_OTHER:-$work/app/kalvora}") \
    2>>"$work/probe.err"
}

# One run first, not counted, so the libraries are in the page cache for every counted run.
probe >/dev/null || fail "the program did not start: $(cat "$work/probe.err")"
load=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$work/runs.txt"
for run in $(seq "$runs"); do
  probe >>"$work/runs.txt" || fail "run $run failed: $(cat "$work/probe.err")"
done

# key=value lines into columns: raw ms, boxes, box ms, peak kB, exit status, RSS kB, shared kB,
# CPU ms, locked kB.
awk '{ for (i = 1; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] }
       print v["map_ms"], v["boxes"], v["box_ms"], v["hwm_kb"], v["exit"], v["rss_kb"], v["shm_kb"],
             v["cpu_ms"], v["lck_kb"] }' \
  "$work/runs.txt" \
  >"$work/table.txt"

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
raw=$(awk '{ print $1 }' "$work/table.txt" | median)
without_boxes=$(awk '{ print $1 - $3 }' "$work/table.txt" | median)
without_waits=$(awk -v w=$RESET_WAIT_MS '{ print $1 - $3 - w }' "$work/table.txt" | median)
min_raw=$(awk '{ print $1 }' "$work/table.txt" | sort -g | head -1)
max_raw=$(awk '{ print $1 }' "$work/table.txt" | sort -g | tail -1)
boxes=$(awk '{ print $2 }' "$work/table.txt" | sort -g | tail -1)
hwm_median=$(awk '{ print $4 / 1024 }' "$work/table.txt" | median)
hwm_max=$(awk '{ print $4 / 1024 }' "$work/table.txt" | sort -g | tail -1)
rss_median=$(awk '{ print $6 / 1024 }' "$work/table.txt" | median)
shm_median=$(awk '{ print $7 / 1024 }' "$work/table.txt" | median)
cpu_median=$(awk '{ print $8 }' "$work/table.txt" | median)
locked_median=$(awk '{ print $9 / 1024 }' "$work/table.txt" | median)
bad_exits=$(awk '$5 != 0' "$work/table.txt" | wc -l)
status_mb() { awk -v key="$2:" '$1 == key { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
receiver_hwm=$(status_mb "$receiver_pid" VmHWM)
receiver_locked=$(status_mb "$receiver_pid" VmLck)

echo "program: $build/kalvora; device $device (receiver:in on a private JACK server); $runs runs"
echo "conditions: $conditions"
echo "load average before the runs: $load"
printf 'start to window mapped, median: %.1f ms raw (min %.1f, max %.1f)\n' "$raw" "$min_raw" "$max_raw"
if [ "$boxes" -gt 0 ]; then
  echo "message boxes: $boxes per run, dismissed by the probe; without the time they stood:" \
    "$(printf '%.1f' "$without_boxes") ms"
fi
printf 'CPU time of a whole run (start, %d ms idle with the window up, close), median: %.1f ms\n' \
  "$SETTLE_MS" "$cpu_median"
printf 'without the %d ms wait after the GS Reset: %.1f ms (target: at most %d ms)\n' \
  $RESET_WAIT_MS "$without_waits" $TARGET_MS
printf 'peak memory (VmHWM): median %.1f MB, max %.1f MB (target: at most %d MB)\n' \
  "$hwm_median" "$hwm_max" $TARGET_MB
printf 'resident at the end: median %.1f MB, of which %.1f MB shared memory mapped in (JACK server, X)\n' \
  "$rss_median" "$shm_median"
printf 'locked (VmLck) at the end: median %.1f MB\n' "$locked_median"
echo "a bare JACK client in the same conditions (the receiver, no window): peak $receiver_hwm MB," \
  "locked $receiver_locked MB"
[ "$bad_exits" -eq 0 ] || echo "note: $bad_exits run(s) did not end with status 0 on SIGTERM"
awk -v t=$TARGET_MS '{ exit !($1 <= t) }' <<<"$without_waits" && time_ok=met || time_ok=missed
awk -v t=$TARGET_MB '{ exit !($1 <= t) }' <<<"$hwm_max" && memory_ok=met || memory_ok=missed
echo "time target $time_ok, memory target $memory_ok"
failed=0
