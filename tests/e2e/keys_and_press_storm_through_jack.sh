#!/usr/bin/env bash
# The computer keyboard's chord and legato (real key events, auto-repeat included), a key released
# while a pop-up has the focus for a moment, then a storm of
# real pointer events on the program under Xvfb (clicks, presses released elsewhere,
# overlapping buttons, a button held down from outside the window while another presses,
# double and triple clicks, the wheel), with or without a window manager: at the JACK receiver
# every note-on has exactly one note-off on its channel, and never a note-off before its note-on.
#
# Usage: keys_and_press_storm_through_jack.sh [--window-manager] PROGRAM RECEIVER
# Needs Xvfb, xdotool, xmessage, jackd, and openbox and xprop with --window-manager.
set -uo pipefail

with_wm=no
if [ "${1:-}" = --window-manager ]; then
  with_wm=yes
  shift
fi
[ $# -eq 2 ] || { echo "usage: $0 [--window-manager] PROGRAM RECEIVER" >&2; exit 2; }
here=$(dirname "$(realpath "$0")")

readonly WINDOW_LEFT=40 WINDOW_TOP=30 WINDOW_WIDTH=831 WINDOW_HEIGHT=664
readonly ACTIONS=1000 SEED=20261208
readonly QUIET_MS=1000              # no more MIDI for this long: the storm has been handled
readonly MIN_NOTE_ONS=500            # the storm has to have played, or it proves nothing

# shellcheck source=jack_session.sh
source "$here/jack_session.sh"
need xmessage
[ "$with_wm" = yes ] && need openbox xprop && start_openbox
session_start "$1" "$2" $WINDOW_LEFT $WINDOW_TOP $WINDOW_WIDTH $WINDOW_HEIGHT
X='' Y='' WIDTH='' HEIGHT=''
# The GS Reset comes first; then the window is ready for presses.
wait_until "$START_DEADLINE_MS" "GS Reset at the receiver" grep -q '^F0' "$work/received.txt"
sleep 0.5  # a window manager may still be placing the frame
eval "$(xdotool getwindowgeometry --shell "$main_window")"
echo "main window $main_window at $X,$Y size ${WIDTH}x${HEIGHT} (window manager: $with_wm)"

# --- The computer keyboard first: a chord, and legato over a key held past auto-repeat -------
notes_received() { grep -E '^(80|90) ' "$work/received.txt"; }
has_notes() { [ "$(notes_received | wc -l)" -ge "$1" ]; }
keys_expected=("90 30 64" "90 34 64" "90 37 64" "80 34 7F" "80 30 7F" "80 37 7F"
  "90 3C 64" "90 3E 64" "80 3C 7F" "80 3E 7F")
# Without a window manager the keys go to the window under the pointer.
xdotool mousemove $((X + 300)) $((Y + 600)) || fail "xdotool could not move the pointer"
[ "$with_wm" = yes ] && xdotool windowactivate --sync "$main_window"
xdotool keydown z keydown c keydown b sleep 0.2 keyup c keyup z keyup b \
  keydown q sleep 1.2 keydown w keyup q sleep 0.2 keyup w || fail "xdotool could not type"
poll_until "$STEP_DEADLINE_MS" has_notes ${#keys_expected[@]}
sleep 0.3
[ "$(notes_received)" = "$(printf '%s\n' "${keys_expected[@]}")" ] ||
  fail "the computer keyboard's notes: $(notes_received | tr '\n' ',') expected ${keys_expected[*]}"
echo "ok: chord, and legato past auto-repeat, from the computer keyboard"

# --- A key released while another window has the focus for a few milliseconds -----------------
# The release goes to the pop-up; when the focus comes back the note ends, and the key plays
# again. X keycode 53 (X on a US layout) plays note 50.
start popup xmessage -title kalvora-popup -geometry +900+700 popup
popup_up() { popup=$(xdotool search --onlyvisible --name '^kalvora-popup$' 2>/dev/null | head -1); [ -n "$popup" ]; }
popup=''
wait_until "$START_DEADLINE_MS" "pop-up window" popup_up
keys_expected+=("90 32 64" "80 32 7F" "90 32 64" "80 32 7F")
xdotool windowfocus --sync "$main_window" sleep 0.3 keydown 53 sleep 0.2 \
  windowfocus "$popup" keyup 53 windowfocus "$main_window" sleep 0.3 keydown 53 sleep 0.1 keyup 53 ||
  fail "xdotool could not move the focus or type"
poll_until "$STEP_DEADLINE_MS" has_notes ${#keys_expected[@]}
sleep 0.3
[ "$(notes_received)" = "$(printf '%s\n' "${keys_expected[@]}")" ] ||
  fail "a key released while the focus was away: $(notes_received | tr '\n' ',') expected ${keys_expected[*]}"
echo "ok: a key released while a pop-up had the focus ends its note, and plays again"

# --- The storm, as xdotool commands ---------------------------------------------------------
RANDOM=$SEED
storm=()
# Client pixels of controls: the keys, and the program page's buttons (Button257 lies lower).
random_key() { echo $((X + 690 + RANDOM % 68)) $((Y + 33 + RANDOM % 557)); }
random_button() { echo $((X + 12 + RANDOM % 628)) $((Y + 50 + RANDOM % 510)); }
random_control() { if ((RANDOM % 2)); then random_key; else random_button; fi; }
# Right of the window, on the empty screen (the window ends at x 871 without a frame).
random_outside() { echo $((900 + RANDOM % 100)) $((100 + RANDOM % 500)); }
random_anywhere() { if ((RANDOM % 3)); then random_control; else random_outside; fi; }
any_button() { echo $((1 + RANDOM % 3)); }
# A window manager's desktop opens menus for the middle and right buttons; only the left one is
# pressed there.
outside_button() { if [ "$with_wm" = yes ]; then echo 1; else any_button; fi; }

# xdotool's own click waits 100 ms between clicks; these are quick, a double or triple click's
# presses well within the double-click interval.
clicks() {
  local k
  for ((k = 0; k < $1; k++)); do storm+=(mousedown "$2" mouseup "$2"); done
}

release_orders=("1 2 3" "1 3 2" "2 1 3" "2 3 1" "3 1 2" "3 2 1")
for ((i = 0; i < ACTIONS; i++)); do
  b=$(any_button)
  case $((RANDOM % 7)) in
    0)
      storm+=(mousemove $(random_control))
      clicks $((1 + RANDOM % 3)) "$b"
      ;;
    1) storm+=(mousemove $(random_control) mousedown "$b" mousemove $(random_anywhere) mouseup "$b") ;;
    2)
      b2=$(any_button)
      [ "$b2" = "$b" ] && b2=$((b % 3 + 1))
      storm+=(mousemove $(random_control) mousedown "$b" mousemove $(random_control) mousedown "$b2")
      if ((RANDOM % 2)); then storm+=(mouseup "$b" mouseup "$b2"); else storm+=(mouseup "$b2" mouseup "$b"); fi
      ;;
    3)
      b=$(outside_button)
      b2=$(any_button)
      [ "$b2" = "$b" ] && b2=$((b % 3 + 1))
      storm+=(mousemove $(random_outside) mousedown "$b" mousemove $(random_control) mousedown "$b2")
      if ((RANDOM % 2)); then storm+=(mouseup "$b2" mouseup "$b"); else storm+=(mouseup "$b" mouseup "$b2"); fi
      ;;
    4)
      storm+=(mousemove $(random_control))
      clicks 3 $((4 + RANDOM % 2))  # the wheel's buttons
      ;;
    5)
      storm+=(mousemove $(random_control))
      clicks 1 "$b"
      ;;
    6)
      # All three buttons held, each pressed over a control of its own, released in any order.
      for b in 1 2 3; do storm+=(mousemove $(random_control) mousedown "$b"); done
      for b in ${release_orders[RANDOM % 6]}; do storm+=(mouseup "$b"); done
      ;;
  esac
  ((i % 4 == 3)) && storm+=(sleep 0.01)
done

started=$(now_ms)
xdotool "${storm[@]}" || fail "xdotool could not play the storm"
echo "storm of $ACTIONS actions sent in $(($(now_ms) - started)) ms"

# --- Every note-on has its one note-off -----------------------------------------------------
last_count=-1 quiet_since=$(now_ms)
settled() {
  local count
  count=$(wc -l <"$work/received.txt")
  if [ "$count" != "$last_count" ]; then
    last_count=$count
    quiet_since=$(now_ms)
  fi
  [ $(($(now_ms) - quiet_since)) -ge $QUIET_MS ]
}
wait_until $((STEP_DEADLINE_MS * 2)) "end of the MIDI after the storm" settled

# Per channel and key: each press's note-on, at any velocity, and its release's note-off.
verdict=$(awk '
  $1 ~ /^9/ { k = substr($1, 2) " " $2; on[k]++; ons++; next }
  $1 ~ /^8/ {
    k = substr($1, 2) " " $2
    if (++off[k] > on[k]) { print "a note-off without its note-on, channel nibble and key " k " at line " NR; bad = 1 }
  }
  END {
    for (k in on) if (on[k] != off[k]) { print "channel nibble and key " k ": " on[k] " note-ons, " off[k] + 0 " note-offs"; bad = 1 }
    print "note-ons " ons + 0
    exit bad
  }' "$work/received.txt")
status=$?
echo "$verdict"
[ $status -eq 0 ] || fail "notes left sounding or stopped twice"
ons=$(sed -n 's/^note-ons //p' <<<"$verdict")
[ "$ons" -ge $MIN_NOTE_ONS ] || fail "only $ons note-ons: the storm did not reach the controls"
end_program "$STEP_DEADLINE_MS"

failed=0
echo "PASS: $ons note-ons, each with exactly one note-off (window manager: $with_wm)"
