# shellcheck shell=bash
# Sourced by the end-to-end tests: the built program under an X server of its own (Xvfb), its
# device a JACK MIDI receiver on a private JACK server; the rest is tests/support/session_lib.sh.
#
#   session_start PROGRAM RECEIVER LEFT TOP WIDTH HEIGHT   starts server, receiver and program;
#       the window's stored outer frame is given; sets main_window, device and work
#       (SESSION_EXTRA_RECEIVERS="b c" starts receivers b and c as the devices after it)
#   received_lines                                          what the receiver got, one per line
# The caller sets `failed=0` once it has passed, so that the work folder is removed.

# shellcheck source=../support/session_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/session_lib.sh"
need Xvfb xdotool jackd
session_begin e2e
start_xvfb

received_lines() { cat "$work/received.txt" 2>/dev/null; }

session_start() {
  local program=$1 name
  RECEIVER=$(realpath "$2")
  # Synchronous mode: a cycle waits for every client (up to the timeout), so a client that runs
  # late on a loaded machine delays the MIDI rather than losing it.
  start_jackd 1024 --sync --timeout 2000
  start_receiver receiver "$work/received.txt"
  echo "receiver ready: $(cat "$work/receiver.ready") on server $jack_server"
  # More receivers, the devices after the first, as the caller names them in
  # SESSION_EXTRA_RECEIVERS; each writes $work/NAME.txt.
  for name in ${SESSION_EXTRA_RECEIVERS:-}; do start_receiver "$name" "$work/$name.txt"; done
  receiver_device
  echo "device number of the receiver: $device ($device_makeup)"

  install_program "$program"
  write_settings "$work/app/kalvora.ini" "$3" "$4" "$5" "$6" "$device"
  run_program
  box_hint="device $device did not open as the receiver"
  wait_for_main_window
}
