#!/usr/bin/env bash
# End-to-end, as a user would: the built program in a real X server (Xvfb), played with real
# pointer events (xdotool), its device a JACK receiver on a private JACK server; the bytes that
# reach the receiver are checked message by message.
#
# Usage: play_through_jack.sh PROGRAM RECEIVER
#   PROGRAM   the built program (build/kalvora); it runs from a copy in a temporary folder,
#             since its settings file lies beside the executable
#   RECEIVER  the JACK MIDI receiver built beside this script (kalvora_e2e_receiver)
# Needs Xvfb, xdotool and jackd (scripts/install-deps.sh --tests installs them).
# Every wait has a deadline; whatever it started is stopped on every way out.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 PROGRAM RECEIVER" >&2
  exit 2
fi
here=$(dirname "$(realpath "$0")")
program=$(realpath "$1")
receiver=$(realpath "$2")

# Where the window is put, outer frame; there is no window manager, so frame and client agree.
readonly WINDOW_LEFT=40 WINDOW_TOP=30 WINDOW_WIDTH=831 WINDOW_HEIGHT=664

# Client coordinates of the controls. The page control stands at (8,8); a page's content
# starts below the tab bar, which measures 25 pixels with the default style, and 2 pixels in
# from the frame. Buttons are 17 high on a 16-pixel pitch, so aiming at the middle of a row
# still hits the same button with a tab bar up to 7 pixels taller or shorter.
readonly PAGE_LEFT=10 PAGE_TOP=33
readonly BUTTON_WIDTH=161 FIRST_ROW_TOP=16 ROW_PITCH=16 COLUMN_PITCH=160
readonly TAB_ROW_MIDDLE=20          # client y of the middle of the tab captions
readonly BANK_TAB_MIDDLE=178        # client x inside the second tab, "バンクセレクト"
# The keyboard: white keys 73 wide at x 688. Black keys cover only the left 41 pixels, so the
# right part of a white key is its own from just below the key above to just above the next.
readonly KEY_RIGHT_PART=745
readonly KEY_A4_TOP=208 WHITE_KEY_HALF=8

readonly QUIET_AFTER_LAST=0.3       # seconds, to see that nothing follows the last release

# shellcheck source=jack_session.sh
source "$here/jack_session.sh"
SESSION_EXTRA_RECEIVERS="receiver-b receiver-c"
session_start "$program" "$receiver" $WINDOW_LEFT $WINDOW_TOP $WINDOW_WIDTH $WINDOW_HEIGHT
X='' Y='' WIDTH='' HEIGHT=''

window_at_place() {
  eval "$(xdotool getwindowgeometry --shell "$main_window")"
  [ "$X" -eq "$WINDOW_LEFT" ] && [ "$Y" -eq "$WINDOW_TOP" ] &&
    [ "$WIDTH" -eq "$WINDOW_WIDTH" ] && [ "$HEIGHT" -eq "$WINDOW_HEIGHT" ]
}
poll_until "$STEP_DEADLINE_MS" window_at_place ||
  fail "the window is at $X,$Y size ${WIDTH}x${HEIGHT}, not where the settings put it:" \
    "${WINDOW_LEFT},${WINDOW_TOP} size ${WINDOW_WIDTH}x${WINDOW_HEIGHT}"
echo "main window $main_window at $X,$Y size ${WIDTH}x${HEIGHT}"

# --- What the receiver must get ---------------------------------------------------------------
expected=()

hex() { printf '%02X' "$1"; }

received_count() {
  local lines=()
  [ -f "$work/received.txt" ] && mapfile -t lines <"$work/received.txt"
  echo "${#lines[@]}"
}

has_expected_count() { [ "$(received_count)" -ge "${#expected[@]}" ]; }

# Compares everything received so far with everything expected so far, in order.
check_received() {
  local what=$1 lines=() i
  mapfile -t lines <"$work/received.txt"
  for i in "${!expected[@]}"; do
    if [ "${lines[i]:-}" != "${expected[i]}" ]; then
      echo "message $((i + 1)) after $what: expected '${expected[i]}', received '${lines[i]:-<nothing>}'"
      echo "expected:"
      printf '  %s\n' "${expected[@]}"
      fail "wrong MIDI at the receiver after $what"
    fi
  done
  if [ "${#lines[@]}" -gt "${#expected[@]}" ]; then
    fail "after $what, unexpected message(s): ${lines[*]:${#expected[@]}}"
  fi
}

expect_and_wait() {
  local what=$1
  shift
  expected+=("$@")
  wait_until "$STEP_DEADLINE_MS" "MIDI after $what (${#expected[@]} messages in all)" has_expected_count
  check_received "$what"
}

# The eight messages of a press into `setup`, with the start values of the effect controls.
voice_and_note() {
  local bank=$1 program=$2 note=$3
  setup=("B0 0A 40" "B0 01 00" "B0 5B 28" "B0 5D 00" "B0 00 $(hex "$bank")" "B0 20 $(hex $MAP_SC8850)"
    "C0 $(hex $((program - 1)))" "90 $(hex "$note") 64")
}

# press_and_release WHAT CLIENT_X CLIENT_Y BANK PROGRAM NOTE
press_and_release() {
  local what=$1 x=$(($2 + X)) y=$(($3 + Y)) setup=()
  voice_and_note "$4" "$5" "$6"
  xdotool mousemove --sync "$x" "$y" mousedown 1 || fail "xdotool could not press at $x,$y"
  expect_and_wait "press on $what" "${setup[@]}"
  xdotool mouseup 1 || fail "xdotool could not release"
  expect_and_wait "release on $what" "80 $(hex "$6") 7F"
  echo "ok: $what"
}

row_middle() { echo $((PAGE_TOP + FIRST_ROW_TOP + ROW_PITCH * $1 + ROW_PITCH / 2)); }
column_middle() { echo $((PAGE_LEFT + COLUMN_PITCH * $1 + BUTTON_WIDTH / 2)); }

expect_and_wait "start-up (GS Reset)" "F0 41 10 42 12 40 00 7F 00 41 F7"
echo "ok: GS Reset at start-up"

readonly START_NOTE=60 START_BANK=0
# Button1: program 1, upper-left on the program page.
press_and_release "Button1 (program 1)" "$(column_middle 0)" "$(row_middle 0)" $START_BANK 1 $START_NOTE

# The bank page, then Button147: second column, third row of the upper block, bank 18. The
# program stays at 1 from the press before.
xdotool mousemove --sync $((X + BANK_TAB_MIDDLE)) $((Y + TAB_ROW_MIDDLE)) click 1 ||
  fail "xdotool could not click the bank tab"
readonly BANK_18=18
press_and_release "Button147 (bank 18)" "$(column_middle 1)" "$(row_middle 2)" $BANK_18 1 $START_NOTE

# The white key A4 (Shape17, note 69): it plays the bank and program chosen before.
readonly NOTE_A4=69
press_and_release "key A4" $KEY_RIGHT_PART $((KEY_A4_TOP + WHITE_KEY_HALF)) $BANK_18 1 $NOTE_A4

sleep "$QUIET_AFTER_LAST"
check_received "the last release"

# --- The switch button pressed with two mouse buttons: left down, right down, left up, right up.
# Each release opens the next device, so receiver-b and then receiver-c; the second open closes
# receiver-b first, and one connection remains.
readonly SWITCH_MIDDLE_X=72 SWITCH_MIDDLE_Y=600  # Button257 at (24,592), 97 x 17
readonly GS_RESET="F0 41 10 42 12 40 00 7F 00 41 F7"
xdotool mousemove --sync $((X + SWITCH_MIDDLE_X)) $((Y + SWITCH_MIDDLE_Y)) \
  mousedown 1 mousedown 3 mouseup 1 mouseup 3 || fail "xdotool could not press the switch button"
got_gs_reset() { grep -qx "$GS_RESET" "$1" 2>/dev/null; }
wait_until "$STEP_DEADLINE_MS" "GS Reset at receiver-c after the switch" got_gs_reset "$work/receiver-c.txt"
connections=$(jack_lsp -c | awk '/^[^ ]/ { port = $0; next } port ~ /^Kalvora/ { print port " -> " $1 }')
[ "$connections" = "$(grep -o '^Kalvora[^ ]*' <<<"$connections") -> receiver-c:in" ] ||
  fail "after a switch with two mouse buttons the program's connections are: ${connections:-none}"
# receiver-b got its open's reset and nothing after; receiver-c the same.
cmp -s "$work/receiver-b.txt" "$work/receiver-c.txt" ||
  fail "receiver-b got more than its reset: $(tr '\n' '|' <"$work/receiver-b.txt")"
echo "ok: switch button pressed with two mouse buttons leaves one connection, to receiver-c"

# --- Close as a session end would: the window closes and the settings are written ------------
end_program "$STEP_DEADLINE_MS"
saved=$(tr -d '\r' <"$work/app/kalvora.ini")
for entry in "Top=$WINDOW_TOP" "Left=$WINDOW_LEFT" "dev_num=$((device + 2))" "map=$MAP_SC8850"; do
  grep -qx "$entry" <<<"$saved" || fail "settings file after close lacks $entry: $saved"
done
[ -s "$work/program.err" ] && fail "the program wrote to stderr"

failed=0
echo "PASS: GS Reset, three presses and releases received in order; one device after a two-button switch; closed cleanly"
