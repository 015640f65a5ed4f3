#!/bin/bash
# A MIDI keyboard on the ALSA sequencer, played into "Kalvora:in": a second virtual card stands
# for the keyboard (bytes written to its raw device come out of its sequencer port, as from a
# USB keyboard). What it plays on any channel, with running status, reaches the first card on
# channel 1 behind one voice set-up; what is not for the module is dropped; closing the window
# with a key and the pedal held lets both go at the card before it is silenced.
source "$(dirname "${BASH_SOURCE[0]}")/scenario_lib.sh"
read_tools "$@"

hide_the_synth
readonly CARD0=1 KEYBOARD_CARD=1

start_display
start_raw_dump card0 0
start_program $CARD0
wait_for_main_window
expect card0 "start-up" "$GS_RESET"

# A sequencer port's address, by its client's and its own name in the sequencer's list.
seq_address() {
  awk -v client_name="$1" -v port_name="$2" '
    /^Client/ { client = ""; if (index($0, "\"" client_name "\"")) client = $2; next }
    client != "" && /^  Port/ && index($0, "\"" port_name "\"") { print client ":" $2; exit }' \
    /proc/asound/seq/clients
}
input_up() { [ -n "$(seq_address Kalvora in)" ]; }
wait_until "$START_DEADLINE_MS" "the program's sequencer input" input_up
input=$(seq_address Kalvora in)
keyboard=$(seq_address "Virtual Raw MIDI $KEYBOARD_CARD-0" "VirMIDI $KEYBOARD_CARD-0")
[ -n "$keyboard" ] || fail "no sequencer port of card $KEYBOARD_CARD: $(cat /proc/asound/seq/clients)"
aconnect "$keyboard" "$input" || fail "aconnect $keyboard $input failed"
ok "keyboard $keyboard connected to Kalvora:in at $input"

keyboard_sends() { amidi -p "hw:$KEYBOARD_CARD,0" -S "$*" || fail "amidi could not send $*"; }

# Channel 3 with running status, a program change (dropped), the pedal and a bend on channel 6.
keyboard_sends 92 3C 50 3E 50 C2 05 B5 40 7F E5 00 50
mapfile -t setup < <(voice_and_note 0 1 60 | head -n 7)
expect card0 "the first notes from the keyboard" "${setup[@]}" "90 3C 50" "90 3E 50" "B0 40 7F" \
  "E0 00 50"
keyboard_sends 82 3C 40 92 3E 00
expect card0 "their note-offs" "80 3C 40" "90 3E 00"
ok "notes, running status, pedal and bend on channel 1 behind one set-up; program change dropped"

# One key and the pedal still held when the window closes.
keyboard_sends 9F 40 64
expect card0 "a held key" "90 40 64"
mapfile -t silenced < <(silence)
close_program
expect card0 "the close" "80 40 40" "B0 40 00" "${silenced[@]}"
pass "played from a keyboard through Kalvora:in; a key and the pedal held at close let go"
