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
readonly DEADLINE_MS=20000

# shellcheck source=../support/session_lib.sh
source "$here/session_lib.sh"
session_begin package
start_jackd 1024 --sync
RECEIVER=$receiver
start_receiver receiver "$work/received.txt"
receiver_device
mkdir -p "$(dirname "$SETTINGS")"
write_settings "$SETTINGS" $LEFT $TOP 831 664 "$device"

# As a desktop starts it: the Exec line, looked up on PATH. It carries no field codes.
exec_line=$(sed -n 's/^Exec=//p' "$DESKTOP_FILE")
[ -n "$exec_line" ] || fail "no Exec line in $DESKTOP_FILE"
# shellcheck disable=SC2086 # the Exec line is a command and its arguments
$exec_line >"$work/program.out" 2>"$work/program.err" &
program_pid=$!
track "the program" "$program_pid"
runs_the_program() { [ "$(readlink "/proc/$program_pid/exe")" = /usr/bin/kalvora ]; }
poll_until "$DEADLINE_MS" runs_the_program ||
  fail "the Exec line '$exec_line' started $(readlink "/proc/$program_pid/exe"), not /usr/bin/kalvora"

box_hint="device $device did not open as the receiver"
wait_for_main_window
received() { grep -qx "$1" "$work/received.txt" 2>/dev/null; }

xdotool mousemove --sync $((LEFT + BUTTON1_X)) $((TOP + BUTTON1_Y)) mousedown 1
poll_until "$DEADLINE_MS" received "$NOTE_ON_C4" || fail "the press of Button1 did not reach the receiver"
xdotool mouseup 1
poll_until "$DEADLINE_MS" received "$NOTE_OFF_C4" || fail "the release of Button1 did not reach the receiver"
echo "ok: a press and its release reached the receiver (device $device)"

saved_device=$device
if [ "$switch" = --switch-to-synth ]; then
  # Slowly, as its hint asks: the press closes the device, the release opens the next.
  xdotool mousemove --sync $((LEFT + SWITCH_X)) $((TOP + SWITCH_Y)) mousedown 1
  sleep 0.5
  xdotool mouseup 1
  engine_loaded() { grep -q " $INSTALLED_ENGINE\$" "/proc/$program_pid/maps"; }
  poll_until "$DEADLINE_MS" engine_loaded || fail "the synth did not load $INSTALLED_ENGINE:
$(grep -i synth_engine "/proc/$program_pid/maps")"
  echo "ok: the synth loaded $INSTALLED_ENGINE"
  saved_device=0
  # Without a sound device the synth's open fails and says so in a box; dismiss it.
  sleep 0.5
  while read -r id name; do
    [ "$name" = kalvora ] && press_return_on "$id" synth-box
  done < <(visible_windows)
fi
cat "/proc/$program_pid/maps" >"$out/maps.txt"

end_program "$DEADLINE_MS"
grep -qx "dev_num=$saved_device"$'\r' "$SETTINGS" || fail "$SETTINGS after the close: $(cat "$SETTINGS")"
[ ! -e /usr/bin/kalvora.ini ] || fail "the program wrote /usr/bin/kalvora.ini"
[ -s "$work/program.err" ] && echo "STDERR: $(cat "$work/program.err")"
echo "ok: closed cleanly, settings kept in $SETTINGS"
failed=0
