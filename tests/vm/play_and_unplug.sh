#!/bin/bash
# The program on the ALSA sequencer, played with real X events, its bytes read at the raw MIDI
# end of two virtual cards and at a software module: the GS Reset at start, the set-up and the
# note-on per press, the note-off per release; Button257 moves on to the next port, and what
# follows reaches only that one. Then the card in use is unplugged: presses neither hang nor
# print, the switch moves on; the card plugged in again is opened when the switch reaches it;
# the number reached is saved at close.
source "$(dirname "${BASH_SOURCE[0]}")/scenario_lib.sh"
read_tools "$@"

hide_the_synth
# Device numbers: Midi Through, the two cards, the software module.
readonly CARD0=1 CARD1=2 SOFT=3
readonly NOTE_C4=60 NOTE_A4=69 BANK_0=0
# The window's answer to a ping after a press; the fault it guards against is a hang.
readonly ANSWER_MS=100

start_display
start_raw_dump card0 0
start_raw_dump card1 1
start_module soft "Soft Module" "in"

start_program $CARD0
wait_for_main_window
expect card0 "start-up" "$GS_RESET"
ok "GS Reset at the stored port"

play card0 "Button1" "$(column_middle 0)" "$(row_middle 0)" $BANK_0 1 $NOTE_C4
answers_within $ANSWER_MS "after a press and release on a port that is there"
ok "set-up, note-on and note-off at the first card"

switch_to card1 "the second card"
play card1 "key A4" $KEY_RIGHT_PART $((KEY_A4_TOP + WHITE_KEY_HALF)) $BANK_0 1 $NOTE_A4
ok "Button257 moved to the second card; the next press reached it alone"

# --- The card in use unplugged -----------------------------------------------------------------
unplug_card 1
press "Button2" "$(column_middle 0)" "$(row_middle 1)"
answers_within $ANSWER_MS "after a press with its device unplugged"
release
answers_within $ANSWER_MS "after the release"
alive "$program_pid" || fail "the program ended when its device was unplugged"
[ -s "$work/program.err" ] && fail "the program wrote to stderr: $(cat "$work/program.err")"
check_quiet "presses with the device unplugged"
ok "presses into the unplugged card: no hang, no output, nothing elsewhere"

switch_to soft "the software module"
ok "Button257 moved on to the software module"

# --- Plugged in again; the switch goes round to it -----------------------------------------------
plug_card 1
start_raw_dump card1_again 1
switch_device   # to Midi Through, which nobody watches
switch_to card0 "the first card, round again"
switch_to card1_again "the second card, plugged in again"
play card1_again "Button3" "$(column_middle 0)" "$(row_middle 2)" $BANK_0 3 $NOTE_A4
check_quiet "the last release"
ok "the card plugged in again opened when the switch reached it"

mapfile -t silenced < <(silence)
close_program
expect card1_again "the close" "${silenced[@]}"
settings_hold "dev_num=$CARD1" "map=$MAP_SC8850"
pass "played, switched, unplugged and plugged in again; device $CARD1 saved"
