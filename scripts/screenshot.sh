#!/usr/bin/env bash
# Takes docs/screenshot.png: the built program's main window in a virtual X server, after a
# press and release of the program button "1: Piano 1". Builds nothing.
#
# Usage: scripts/screenshot.sh [PROGRAM]   (default: build/kalvora)
# Needs Xvfb, xdotool and ImageMagick (scripts/install-deps.sh --tests installs them).
# The device is the built-in synth; where there is no sound device it says so in a message box at
# start-up, which is dismissed with Return, as a user would.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/support/session_lib.sh
source "$root/tests/support/session_lib.sh"

program=$(realpath "${1:-$root/build/kalvora}")
[ -x "$program" ] || fail "no program at $program: build it first"
need Xvfb xdotool import compare convert identify
output=$root/docs/screenshot.png

readonly WINDOW_LEFT=16 WINDOW_TOP=16 WINDOW_WIDTH=831 WINDOW_HEIGHT=664
# The middle of Button1 ("1: Piano 1"): the page's content starts 33 pixels down and 10 in,
# the button is the first of a 161 x 17 grid that begins 16 pixels into the page.
readonly BUTTON1_X=90 BUTTON1_Y=57
readonly SYNTH=0

session_begin shot
start_xvfb
install_program "$program"
write_settings "$work/app/kalvora.ini" $WINDOW_LEFT $WINDOW_TOP $WINDOW_WIDTH $WINDOW_HEIGHT $SYNTH
run_program
boxes_allowed=1
wait_for_main_window
[ "$boxes_dismissed" -gt 0 ] && echo "screenshot: dismissed $boxes_dismissed message box(es) at start-up"
window=$main_window

eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --sync $((X + BUTTON1_X)) $((Y + BUTTON1_Y)) mousedown 1 sleep 0.2 mouseup 1 \
  mousemove 1023 767

# Qt paints after the events are handled; take pictures until two in a row agree.
previous=''
for n in $(seq 20); do
  sleep 0.3
  shot=$work/shot$n.png
  import -window "$window" "$shot" || fail "import failed"
  if [ -n "$previous" ] &&
    [ "$(compare -metric AE "$previous" "$shot" null: 2>&1)" = 0 ]; then
    mkdir -p "$(dirname "$output")"
    # No time stamps, so an unchanged window gives an unchanged file.
    convert "$shot" -strip "$output" || fail "cannot write $output"
    echo "screenshot: wrote $output ($(identify -format '%wx%h' "$output"))"
    failed=0
    exit 0
  fi
  previous=$shot
done
fail "the window kept changing"
