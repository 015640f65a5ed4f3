#!/usr/bin/env bash
# Runs a command against a private JACK server (dummy driver, no sound card needed) that has one
# MIDI input port, "receiver:input" (jack_midi_dump, which prints what it receives to receiver.log
# in the current folder). The server is stopped however the command ends.
#   scripts/with-jack.sh build/bench/midi_backends_bench
set -uo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 command [args...]" >&2
  exit 2
fi
# shellcheck source=../tests/support/session_lib.sh
source "$(dirname "$0")/../tests/support/session_lib.sh"
need jackd jack_wait jack_midi_dump jack_lsp
session_begin run

start_jackd 256
# jack_wait -w returns once the server takes clients; bounded, as a slow machine may need seconds.
timeout $((START_DEADLINE_MS / 1000)) jack_wait -w >/dev/null 2>&1 || fail "the JACK server did not start"
jack_midi_dump -a receiver >receiver.log 2>&1 &
track jack_midi_dump $!
# shellcheck disable=SC2317 # called by wait_until
receiver_up() { jack_lsp 2>/dev/null | grep -qx 'receiver:input'; }
wait_until "$START_DEADLINE_MS" "port receiver:input" receiver_up

"$@"
status=$?
failed=0
exit "$status"
