#!/usr/bin/env bash
# The installed program as a desktop user starts it: by its menu entry's Exec line, with its
# settings in ~/.config/kalvora, its device a JACK receiver on a private JACK server, in a
# virtual X server. A press of Button1 must reach the receiver; the close must write the
# settings back to the same file. Run as an ordinary user (install_play_purge.sh does so).
#
# Usage: play_installed.sh RECEIVER OUT [--switch-to-synth]
#   RECEIVER  the JACK MIDI receiver (kalvora_e2e_receiver)
#   OUT       a folder for what the caller checks afterwards: maps.txt, the program's
#             /proc/PID/maps once it has played (and opened the synth, with the option)
# The X server is the caller's: started by root, it may take the place of a stale socket that
# another user's server left, which an ordinary user's server could not.
#   --switch-to-synth  then press Button257, which wraps round from the receiver (the last
#             device) to the built-in synth, and wait for the synth engine module to load
# Needs DISPLAY (an X server), xdotool and jackd; every wait has a deadline.
set -uo pipefail

here=$(dirname "$(realpath "$0")")
receiver=$1 out=$2 switch=${3:-}

readonly DESKTOP_FILE=/usr/share/applications/io.github.kalvora.Kalvora.desktop
readonly INSTALLED_ENGINE=/usr/lib/kalvora/kalvora_synth_engine.so
readonly SETTINGS=$HOME/.config/kalvora/kalvora.ini
readonly LEFT=40 TOP=30
# Client pixels of the middles of Button1 (program page, first row) and of Button257.
readonly BUTTON1_X=90 BUTTON1_Y=57 SWITCH_X=72 SWITCH_Y=600
readonly NOTE_ON_C4="90 3C 64" NOTE_OFF_C4="80 3C 7F"
readonly DEADLINE_S=20

work=$(mktemp -d)
pids=()
failed=1
cleanup() {
  local pid
  # The last started first: the program, the receiver, then the server they are clients of.
  for pid in ${program:-} $(printf '%s\n' "${pids[@]}" | tac); do
    kill -TERM "$pid" 2>/dev/null || continue
    for _ in {1..60}; do alive "$pid" && sleep 0.05; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  if [ "$failed" -ne 0 ]; then
    for log in received.txt program.err receiver.log jackd.log; do
      [ -s "$work/$log" ] && sed "s|^|  $log: |" "$work/$log"
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "FAIL: $*"
  exit 1
}

alive() {
  local state
  state=$(sed -E 's/^.*\) (.).*$/\1/' "/proc/$1/stat" 2>/dev/null) || return 1
  [ "$state" != Z ]
}

# within SECONDS COMMAND...: 0 as soon as COMMAND succeeds, 1 when the time is up or a process
# started here has ended.
within() {
  local deadline=$((SECONDS + $1)) pid
  shift
  until "$@"; do
    for pid in "${pids[@]}"; do
      alive "$pid" || fail "$(basename "$(readlink "/proc/$pid/exe" 2>/dev/null || echo "process $pid")") ended early"
    done
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime JACK_NO_START_SERVER=1
export JACK_DEFAULT_SERVER="kalvora-package-$$-$RANDOM"
jackd --no-realtime --sync -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >"$work/jackd.log" 2>&1 &
pids+=($!)
"$receiver" --out "$work/received.txt" --ready "$work/ready" --wait "$DEADLINE_S" >"$work/receiver.log" 2>&1 &
pids+=($!)
within "$DEADLINE_S" test -s "$work/ready" || fail "no receiver port"

# shellcheck source=../support/receiver_device.sh
source "$here/receiver_device.sh"
alsa=$(alsa_output_ports) || fail "cannot count the ALSA sequencer's ports"
device=$(($(synth_devices) + alsa))
mkdir -p "$(dirname "$SETTINGS")"
printf '%s\r\n' "[window]" "Height=664" "Width=831" "Top=$TOP" "Left=$LEFT" "" \
  "[dev]" "dev_num=$device" "map=4" "" >"$SETTINGS"

# As a desktop starts it: the Exec line, looked up on PATH. It carries no field codes.
exec_line=$(sed -n 's/^Exec=//p' "$DESKTOP_FILE")
[ -n "$exec_line" ] || fail "no Exec line in $DESKTOP_FILE"
# shellcheck disable=SC2086 # the Exec line is a command and its arguments
$exec_line >"$work/program.out" 2>"$work/program.err" &
program=$!
pids+=("$program")
runs_the_program() { [ "$(readlink "/proc/$program/exe")" = /usr/bin/kalvora ]; }
within "$DEADLINE_S" runs_the_program ||
  fail "the Exec line '$exec_line' started $(readlink "/proc/$program/exe"), not /usr/bin/kalvora"

# xdotool matches without regard to case; a message box is titled "kalvora".
find_main_window() {
  local id
  for id in $(xdotool search --onlyvisible --name '^Kalvora$' 2>/dev/null); do
    [ "$(xdotool getwindowname "$id")" = Kalvora ] && return 0
  done
  return 1
}
within "$DEADLINE_S" find_main_window || fail "no main window (device $device)"
received() { grep -qx "$1" "$work/received.txt" 2>/dev/null; }

xdotool mousemove --sync $((LEFT + BUTTON1_X)) $((TOP + BUTTON1_Y)) mousedown 1
within "$DEADLINE_S" received "$NOTE_ON_C4" || fail "the press of Button1 did not reach the receiver"
xdotool mouseup 1
within "$DEADLINE_S" received "$NOTE_OFF_C4" || fail "the release of Button1 did not reach the receiver"
echo "ok: a press and its release reached the receiver (device $device)"

saved_device=$device
if [ "$switch" = --switch-to-synth ]; then
  # Slowly, as its hint asks: the press closes the device, the release opens the next.
  xdotool mousemove --sync $((LEFT + SWITCH_X)) $((TOP + SWITCH_Y)) mousedown 1
  sleep 0.5
  xdotool mouseup 1
  engine_loaded() { grep -q " $INSTALLED_ENGINE\$" "/proc/$program/maps"; }
  within "$DEADLINE_S" engine_loaded || fail "the synth did not load $INSTALLED_ENGINE:
$(grep -i synth_engine "/proc/$program/maps")"
  echo "ok: the synth loaded $INSTALLED_ENGINE"
  saved_device=0
  # Without a sound device the synth's open fails and says so in a box; dismiss it.
  sleep 0.5
  for box in $(xdotool search --onlyvisible --name '^kalvora$' 2>/dev/null); do
    xdotool key --window "$box" Return 2>/dev/null
  done
fi
cat "/proc/$program/maps" >"$out/maps.txt"

unset 'pids[-1]'  # the program, which is to end now; the clean-up still stops it
kill -TERM "$program"
ended() { ! alive "$program"; }
within "$DEADLINE_S" ended || fail "the program did not end on SIGTERM"
wait "$program"
status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
grep -qx "dev_num=$saved_device"$'\r' "$SETTINGS" || fail "$SETTINGS after the close: $(cat "$SETTINGS")"
[ ! -e /usr/bin/kalvora.ini ] || fail "the program wrote /usr/bin/kalvora.ini"
[ -s "$work/program.err" ] && echo "STDERR: $(cat "$work/program.err")"
echo "ok: closed cleanly, settings kept in $SETTINGS"
failed=0
