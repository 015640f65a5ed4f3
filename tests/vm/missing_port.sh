#!/bin/bash
# Starts and closes around a port that is gone: closing with the device unplugged still writes
# the settings; a start whose stored port is missing opens whatever has that number now; a start
# whose port cannot be opened says so in its message box, and the window works without sound.
source "$(dirname "${BASH_SOURCE[0]}")/scenario_lib.sh"
read_tools "$@"

hide_the_synth
readonly CARD0=1 CARD1=2 NOTE_C4=60 BANK_0=0

start_display
start_raw_dump card0 0
start_raw_dump card1 1
start_module soft "Soft Module" "in"

# --- Unplugged while open, then closed --------------------------------------------------------
start_program $CARD1
wait_for_main_window
expect card1 "start-up" "$GS_RESET"
unplug_card 1
press "Button1" "$(column_middle 0)" "$(row_middle 0)"
release
close_program
check_quiet "the close with the device unplugged"
settings_hold "dev_num=$CARD1"
ok "closed with its device unplugged: settings written, nothing printed, nothing elsewhere"

# --- Started again while it is missing: its number is the module's now -------------------------
start_program
wait_for_main_window
expect soft "the start with the stored port missing" "$GS_RESET"
play soft "Button1" "$(column_middle 0)" "$(row_middle 0)" $BANK_0 1 $NOTE_C4
mapfile -t silenced < <(silence)
close_program
expect soft "the close" "${silenced[@]}"
settings_hold "dev_num=$CARD1"
ok "the stored number opened the port that has it now"

# --- A port another program holds for itself ---------------------------------------------------
card0_client=$(sed -nE 's/^Client +([0-9]+) : "Virtual Raw MIDI 0-0".*/\1/p' /proc/asound/seq/clients)
aconnect -e 14:0 "$card0_client:0" || fail "cannot connect Midi Through to card 0 exclusively"
start_program $CARD0
dismiss_message_box open-failure
wait_for_main_window
press "Button1" "$(column_middle 0)" "$(row_middle 0)"
release
answers_within 100 "after a press with no device open"
close_program
check_quiet "presses with no device open"
ok "the port in use: one message box, then a window that works without sound"
pass "starts and closes around missing ports"
