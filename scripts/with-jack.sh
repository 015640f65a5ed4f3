#!/usr/bin/env bash
# Runs a command against a private JACK server (dummy driver, no sound card needed) that has one
# MIDI input port, "receiver:input" (jack_midi_dump, which prints what it receives to receiver.log
# in the current folder). The server is stopped however the command ends.
#   scripts/with-jack.sh build/bench/midi_backends_bench
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 command [args...]" >&2
  exit 2
fi

name="kalvora-run-$$"
export JACK_DEFAULT_SERVER="$name"
export JACK_NO_START_SERVER=1

jackd --no-realtime -n "$name" -d dummy -r 48000 -p 256 >/dev/null 2>&1 &
server=$!
receiver=
cleanup() {
  [ -n "$receiver" ] && kill "$receiver" 2>/dev/null || true
  kill "$server" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

# jack_wait -w returns once the server takes clients; bounded, as a slow machine may need seconds.
if ! timeout 30 jack_wait -w >/dev/null 2>&1; then
  echo "$0: the JACK server did not start" >&2
  exit 1
fi
jack_midi_dump -a receiver >receiver.log 2>&1 &
receiver=$!
for _ in $(seq 300); do
  jack_lsp 2>/dev/null | grep -qx 'receiver:input' && break
  sleep 0.1
done

"$@"
