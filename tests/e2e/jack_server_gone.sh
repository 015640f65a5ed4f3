#!/usr/bin/env bash
# The JACK server goes away under the running program, as a user may end or lose it (SIGTERM or
# SIGKILL), and the user then switches devices, closes, or brings the server back under its name
# and switches again: the program always ends with status 0 and prints nothing, a device on the
# dead server says it cannot be opened, and once the server is back the next switch opens the
# next JACK device and the program's JACK input port ("Kalvora:in", alias "Kalvora-in:in") is
# there again.
#
# A server that stops answering (SIGSTOP) holds no step of a start: the window comes up while it
# stays stopped, without its devices, the program prints nothing and closes with status 0. A key
# let go and the window closed while the server stands still for a second: the note-off reaches
# the module once the server runs again, before the program exits. When the server comes back,
# the input port is back by itself, before any switch.
#
# Usage: jack_server_gone.sh PROGRAM RECEIVER
# Needs Xvfb, xdotool, jackd and its tools (jack_lsp).
set -uo pipefail

[ $# -eq 2 ] || { echo "usage: $0 PROGRAM RECEIVER" >&2; exit 2; }
here=$(dirname "$(realpath "$0")")
program=$(realpath "$1")

readonly WINDOW_LEFT=40 WINDOW_TOP=30 WINDOW_WIDTH=831 WINDOW_HEIGHT=664
readonly SWITCH_MIDDLE_X=72 SWITCH_MIDDLE_Y=600  # Button257 at (24,592), 97 x 17
readonly GS_RESET="F0 41 10 42 12 40 00 7F 00 41 F7"
readonly RECEIVERS="receiver receiver-b receiver-c"

# shellcheck source=jack_session.sh
source "$here/jack_session.sh"
need jack_lsp
RECEIVER=$(realpath "$2")
install_program "$program"
declare -A receiver_pid
jackd_pid=''

# The server under $jack_server and the three receivers, each a device in that order.
server_and_receivers_up() {
  local name
  start jackd jackd --no-realtime --sync --timeout 2000 -n "$jack_server" -d dummy -r 48000 -p 1024
  jackd_pid=$last_pid
  for name in $RECEIVERS; do
    start_receiver "$name" "$work/$name.txt"
    receiver_pid[$name]=$last_pid
  done
}

# server_goes SIGNAL: the server ends by SIGNAL, and the receivers with it.
server_goes() {
  local name
  for name in $RECEIVERS; do unwatch "${receiver_pid[$name]}"; done
  unwatch "$jackd_pid"
  kill "-$1" "$jackd_pid"
  finish "$jackd_pid" "$STEP_DEADLINE_MS"
  for name in $RECEIVERS; do
    stop "${receiver_pid[$name]}"
    forget "${receiver_pid[$name]}"
  done
  jackd_pid=''
}

# After a run: the server and its receivers go, the server killed if it is slow to end (a loaded
# machine), as the session's end does it.
server_down() {
  local name
  [ -z "$jackd_pid" ] && return
  for name in $RECEIVERS; do
    unwatch "${receiver_pid[$name]}"
    stop "${receiver_pid[$name]}"
    forget "${receiver_pid[$name]}"
  done
  unwatch "$jackd_pid"
  stop "$jackd_pid"
  forget "$jackd_pid"
  jackd_pid=''
}

input_port_up() { jack_lsp -A 2>/dev/null | grep -A2 -x 'Kalvora:in' | grep -qx '[[:space:]]*Kalvora-in:in'; }

# What the server and the program hold when the input port is not back: the server's ports, and
# the program's threads where gdb is installed.
input_port_missing() {
  echo "----- the server's ports"
  jack_lsp -A 2>&1 | head -40
  if command -v gdb >/dev/null; then
    echo "----- the program's threads"
    gdb -p "$program_pid" -batch -ex "thread apply all bt" 2>&1 | grep '^#\|^Thread' | head -200
  fi
  fail "no $1 within $STEP_DEADLINE_MS ms"
}
got_gs_reset() { grep -qx "$GS_RESET" "$work/$1.txt" 2>/dev/null; }

switch_device() {
  xdotool mousemove --sync $((WINDOW_LEFT + SWITCH_MIDDLE_X)) $((WINDOW_TOP + SWITCH_MIDDLE_Y)) \
    mousedown 1 mouseup 1 || fail "xdotool could not press the switch button"
}

# A server of a new name with its receivers, and the settings that choose the first receiver.
fresh_server_for_the_program() {
  jack_server="kalvora-${work##*/kalvora-}-$RANDOM"
  export JACK_DEFAULT_SERVER=$jack_server JACK_NO_START_SERVER=1
  rm -f "$work"/receiver*.txt
  server_and_receivers_up
  receiver_device
  write_settings "$work/app/kalvora.ini" $WINDOW_LEFT $WINDOW_TOP $WINDOW_WIDTH $WINDOW_HEIGHT "$device"
}

# run_order SIGNAL STEP...: a fresh server and program on the first receiver, the server gone by
# SIGNAL, then the steps: switch, back (the server and its receivers again, same name), close.
run_order() {
  local signal=$1 step gone=yes
  shift
  echo "--- SIG$signal, then: $*"
  fresh_server_for_the_program
  run_program
  box_hint="device $device did not open as the receiver"
  wait_for_main_window
  wait_until "$START_DEADLINE_MS" "GS Reset at the receiver" got_gs_reset receiver
  wait_until "$STEP_DEADLINE_MS" "the program's JACK input port, with its alias" input_port_up

  server_goes "$signal"
  for step in "$@"; do
    case $step in
      switch)
        switch_device
        if [ "$gone" = yes ]; then
          dismiss_message_box "cannot-open-$signal"
        else
          wait_until "$STEP_DEADLINE_MS" "GS Reset at receiver-c after the switch" got_gs_reset receiver-c
          wait_until "$STEP_DEADLINE_MS" "the JACK input port back after the switch" input_port_up
        fi
        ;;
      back)
        rm -f "$work"/receiver*.txt
        server_and_receivers_up
        poll_until "$STEP_DEADLINE_MS" input_port_up || input_port_missing "JACK input port back by itself"
        gone=no
        ;;
      close)
        end_program "$STEP_DEADLINE_MS"
        [ -s "$work/program.err" ] && fail "the program wrote to stderr: $(head -c 500 "$work/program.err")"
        ;;
    esac
  done
  server_down
  echo "ok: SIG$signal, then $*: exit status 0"
}

# The start with the server stopped: a start that waited on it would never show the window, since
# the server is resumed only after the close. Without the JACK devices, the device stored (the
# receiver's number) may be out of the list, and a box may say so: those are dismissed.
frozen_start() {
  echo "--- a server that does not answer at the start"
  fresh_server_for_the_program
  kill -STOP "$jackd_pid"
  run_program
  boxes_allowed=2 boxes_dismissed=0
  wait_for_main_window
  end_program "$STEP_DEADLINE_MS"
  boxes_allowed=0
  kill -CONT "$jackd_pid"
  [ -s "$work/program.err" ] && fail "the program wrote to stderr: $(head -c 500 "$work/program.err")"
  server_down
  echo "ok: the window came up and closed with status 0 while the server was stopped" \
    "($boxes_dismissed boxes dismissed)"
}
frozen_start

frozen_close() {
  echo "--- a key let go and the window closed while the server stands still"
  fresh_server_for_the_program
  run_program
  box_hint="device $device did not open as the receiver"
  wait_for_main_window
  wait_until "$START_DEADLINE_MS" "GS Reset at the receiver" got_gs_reset receiver
  # Z plays C3 (note 0x30); without a window manager keys go to the window under the pointer.
  xdotool mousemove --sync $((WINDOW_LEFT + 300)) $((WINDOW_TOP + 600)) keydown z ||
    fail "xdotool could not type"
  wait_until "$STEP_DEADLINE_MS" "the key's note-on" grep -qx '90 30 64' "$work/receiver.txt"
  kill -STOP "$jackd_pid"
  xdotool keyup z sleep 0.3 || fail "xdotool could not type"
  (sleep 1 && kill -CONT "$jackd_pid") &
  end_program "$STEP_DEADLINE_MS"
  wait_until "$STEP_DEADLINE_MS" "the note-off after the server ran again" \
    grep -qx '80 30 7F' "$work/receiver.txt"
  [ -s "$work/program.err" ] && fail "the program wrote to stderr: $(head -c 500 "$work/program.err")"
  server_down
  echo "ok: the note-off of a key let go during the stall arrived, and the program exited with status 0"
}
frozen_close

for signal in TERM KILL; do
  run_order "$signal" close
  run_order "$signal" switch close
  run_order "$signal" switch back switch close
done

failed=0
echo "PASS: a start beside a stopped server; a close during a stall keeps its note-off; the server gone by SIGTERM and SIGKILL, then a close," \
  "a switch, or its return and a switch: exit 0, and the input port back"
