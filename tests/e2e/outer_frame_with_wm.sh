#!/usr/bin/env bash
# The window's stored size and place are its outer frame: under a real window manager, which adds
# a title bar and borders, the frame comes up exactly as stored, and a start and a close with the
# window left alone write back the same four numbers, run after run (no drift by the frame's size).
#
# Usage: outer_frame_with_wm.sh PROGRAM
# Needs Xvfb, xdotool, xwininfo, xprop and openbox (scripts/install-deps.sh --tests).
set -uo pipefail

[ $# -eq 1 ] || { echo "usage: $0 PROGRAM" >&2; exit 2; }
# shellcheck source=../support/session_lib.sh
source "$(dirname "$(realpath "$0")")/../support/session_lib.sh"
need Xvfb xdotool xwininfo xprop openbox

readonly LEFT=120 TOP=80 WIDTH=700 HEIGHT=500
readonly FRAME_DEADLINE_MS=10000 SETTLE_DEADLINE_MS=5000
session_begin e2e-frame
start_xvfb
start_openbox
install_program "$1"
write_settings "$work/app/kalvora.ini" "$LEFT" "$TOP" "$WIDTH" "$HEIGHT"
# No device is stored: the built-in synth, which says so in a box where there is no sound device.
boxes_allowed=1

# The outer frame: the client's place and size plus the frame the window manager put round it.
frame_of() {
  local info extents l r t b x y w h
  info=$(xwininfo -id "$1")
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  w=$(awk '/^ *Width:/ {print $2}' <<<"$info")
  h=$(awk '/^ *Height:/ {print $2}' <<<"$info")
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ' ')
  IFS=, read -r l r t b <<<"$extents"
  echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

framed() { xprop -id "$main_window" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; }
settled() { [ "$(frame_of "$main_window")" = "$LEFT $TOP $WIDTH $HEIGHT" ]; }

for run in 1 2 3; do
  boxes_dismissed=0
  run_program
  wait_for_main_window
  poll_until "$FRAME_DEADLINE_MS" framed || fail "run $run: the window manager never framed the window"
  poll_until "$SETTLE_DEADLINE_MS" settled ||
    fail "run $run: outer frame is $(frame_of "$main_window"), stored $LEFT $TOP $WIDTH $HEIGHT"
  end_program "$STEP_DEADLINE_MS"
  for entry in "Height=$HEIGHT" "Width=$WIDTH" "Top=$TOP" "Left=$LEFT"; do
    tr -d '\r' <"$work/app/kalvora.ini" | grep -qx "$entry" || fail "run $run: $entry was not written back"
  done
done
failed=0
echo "PASS: the outer frame stays at $LEFT,$TOP ${WIDTH}x$HEIGHT over three runs"
