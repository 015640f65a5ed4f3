#!/usr/bin/env bash
# Takes docs/screenshot.png: the built program's main window in a virtual X server, after a
# press and release of the program button "1: Piano 1". Builds nothing.
#
# Usage: scripts/screenshot.sh [PROGRAM]   (default: build/kalvora)
# Needs xvfb-run, xauth, xdotool and ImageMagick (scripts/install-deps.sh installs them).
# Message boxes at start-up (no MIDI device here) are dismissed with Return, as a user would.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" != --in-xvfb ]; then
  program=$(realpath "${1:-$root/build/kalvora}")
  if [ ! -x "$program" ]; then
    echo "no program at $program: build it first" >&2
    exit 1
  fi
  for tool in xvfb-run xauth xdotool import compare; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
  done
  # -a takes the first free display from a random start, so runs started together rarely race;
  # a 24-bit screen, since xvfb-run's default depth is 8.
  exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -nolisten tcp" \
    bash "$0" --in-xvfb "$program"
fi
program=$2
output=$root/docs/screenshot.png

readonly WINDOW_LEFT=16 WINDOW_TOP=16 WINDOW_WIDTH=831 WINDOW_HEIGHT=664
# The middle of Button1 ("1: Piano 1"): the page's content starts 33 pixels down and 10 in,
# the button is the first of a 161 x 17 grid that begins 16 pixels into the page.
readonly BUTTON1_X=90 BUTTON1_Y=57
readonly DEADLINE_S=30
readonly MAX_BOXES=4

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvora-shot.XXXXXX")
pid=''
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
  fi
  [ -n "$pid" ] && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

die() {
  echo "screenshot: $*" >&2
  exit 1
}

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
unset QT_QPA_PLATFORM QT_STYLE_OVERRIDE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_FONT_DPI
cp "$program" "$work/kalvora"
printf '%s\r\n' "[window]" "Height=$WINDOW_HEIGHT" "Width=$WINDOW_WIDTH" "Top=$WINDOW_TOP" \
  "Left=$WINDOW_LEFT" "" "[dev]" "dev_num=0" "map=4" "" >"$work/kalvora.ini"
(cd "$work" && exec ./kalvora) >"$work/program.log" 2>&1 &
pid=$!

# The main window is titled "Kalvora", a message box "kalvora" (xdotool ignores case).
window=''
boxes=0
deadline=$((SECONDS + DEADLINE_S))
while [ -z "$window" ]; do
  kill -0 "$pid" 2>/dev/null || die "the program ended: $(cat "$work/program.log")"
  [ "$SECONDS" -lt "$deadline" ] || die "no main window within $DEADLINE_S s"
  for id in $(xdotool search --onlyvisible --name '^[Kk]alvora$' 2>/dev/null); do
    if [ "$(xdotool getwindowname "$id")" = Kalvora ]; then
      window=$id
    elif [ "$boxes" -lt "$MAX_BOXES" ]; then
      boxes=$((boxes + 1))
      xdotool windowfocus --sync "$id" key Return 2>/dev/null
    fi
  done
  sleep 0.1
done
[ "$boxes" -gt 0 ] && echo "screenshot: dismissed $boxes message box(es) at start-up"

eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --sync $((X + BUTTON1_X)) $((Y + BUTTON1_Y)) mousedown 1 sleep 0.2 mouseup 1 \
  mousemove 1023 767

# Qt paints after the events are handled; take pictures until two in a row agree.
previous=''
for n in $(seq 20); do
  sleep 0.3
  shot=$work/shot$n.png
  import -window "$window" "$shot" || die "import failed"
  if [ -n "$previous" ] &&
    [ "$(compare -metric AE "$previous" "$shot" null: 2>&1)" = 0 ]; then
    mkdir -p "$(dirname "$output")"
    # No time stamps, so an unchanged window gives an unchanged file.
    convert "$shot" -strip "$output" || die "cannot write $output"
    echo "screenshot: wrote $output ($(identify -format '%wx%h' "$output"))"
    exit 0
  fi
  previous=$shot
done
die "the window kept changing"
