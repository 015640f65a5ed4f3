#!/usr/bin/env bash
# The window's stored size and place are its outer frame: under a real window manager, which adds
# a title bar and borders, the frame comes up exactly as stored, and a start and a close with the
# window left alone write back the same four numbers, run after run (no drift by the frame's size).
#
# Usage: outer_frame_with_wm.sh PROGRAM
# Needs xvfb-run, xauth, xdotool, xwininfo, xprop and openbox (scripts/install-deps.sh).
set -uo pipefail

if [ "${1:-}" != --in-xvfb ]; then
  for tool in xvfb-run xauth xdotool xwininfo xprop openbox; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
  done
  exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -nolisten tcp" \
    bash "$0" --in-xvfb "$(realpath "$1")"
fi
program=$2

readonly LEFT=120 TOP=80 WIDTH=700 HEIGHT=500
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
cp "$program" "$work/kalvora"
printf '[window]\r\nHeight=%d\r\nWidth=%d\r\nTop=%d\r\nLeft=%d\r\n\r\n' "$HEIGHT" "$WIDTH" "$TOP" "$LEFT" >"$work/kalvora.ini"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  tr -d '\r' <"$work/kalvora.ini" 2>/dev/null | sed 's/^/  settings: /'
  exit 1
}

# Runs until check succeeds or seconds pass; 0 when it succeeded.
within() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
# A window manager that dies on the way up is started again, twice at most; its own words are kept
# so that a failure says why.
start_window_manager() {
  local attempt wm
  for attempt in 1 2 3; do
    openbox --sm-disable >>"$work/openbox.log" 2>&1 &
    wm=$!
    pids+=("$wm")
    up_or_gone() { wm_running || ! kill -0 "$wm" 2>/dev/null; }
    within 20 up_or_gone
    wm_running && return 0
    kill -0 "$wm" 2>/dev/null && { echo "openbox is running but never announced itself" >>"$work/openbox.log"; return 1; }
    wait "$wm"
    echo "openbox (attempt $attempt) exited with $?" >>"$work/openbox.log"
  done
  return 1
}
if ! start_window_manager; then
  echo "display $DISPLAY; root window properties:"
  xprop -root 2>&1 | head -20 | sed 's/^/  /'
  sed 's/^/  openbox: /' "$work/openbox.log"
  fail "the window manager did not start"
fi

# The main window's id once it is mapped; message boxes (titled in lower case) are dismissed.
main_window=
find_main_window() {
  local id name
  for id in $(xdotool search --onlyvisible --name 'kalvora' 2>/dev/null); do
    name=$(xdotool getwindowname "$id" 2>/dev/null)
    if [ "$name" = Kalvora ]; then
      main_window=$id
      return 0
    fi
    xdotool windowactivate --sync "$id" key Return 2>/dev/null
  done
  return 1
}

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
  "$work/kalvora" 2>"$work/stderr" &
  pid=$!
  pids+=("$pid")
  main_window=
  within 30 find_main_window || fail "run $run: the main window never appeared"
  within 10 framed || fail "run $run: the window manager never framed the window"
  within 5 settled || fail "run $run: outer frame is $(frame_of "$main_window"), stored $LEFT $TOP $WIDTH $HEIGHT"
  kill -TERM "$pid"
  wait "$pid" || fail "run $run: the program exited with $?"
  for entry in "Height=$HEIGHT" "Width=$WIDTH" "Top=$TOP" "Left=$LEFT"; do
    tr -d '\r' <"$work/kalvora.ini" | grep -qx "$entry" || fail "run $run: $entry was not written back"
  done
done
echo "PASS: the outer frame stays at $LEFT,$TOP ${WIDTH}x$HEIGHT over three runs"
