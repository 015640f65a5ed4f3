#!/bin/bash
# The device list on a machine with a real ALSA sequencer: the built-in synth first, then every
# writable sequencer port in the sequencer's order, as "client:port", cut to 31 bytes on a
# character boundary; the program's own input port is not among them. The RtMidi backend's own
# tests run here too, where there is a sequencer to open ports on.
source "$(dirname "${BASH_SOURCE[0]}")/scenario_lib.sh"
read_tools "$@"

# A software module whose name is longer than the 31 bytes a device name keeps, the cut
# falling inside a three-byte character: "Tone Modules 音源:MIDI1 入" is 29 bytes.
start_module long "Tone Modules 音源" "MIDI1 入力ポート"

# What a user has, read from the kernel's own list: the ports that take output from others.
cut_to_31_bytes() { printf '%s' "$1" | head -c 31 | iconv -f UTF-8 -t UTF-8 -c 2>/dev/null; }
expected=("Software GS Synth")
client=''
while IFS= read -r line; do
  if [[ $line =~ ^Client\ +[0-9]+\ :\ \"(.*)\"\ \[ ]]; then
    client=${BASH_REMATCH[1]}
  elif [[ $line =~ ^\ +Port\ +[0-9]+\ :\ \"(.*)\"\ \(.W ]]; then
    expected+=("$(cut_to_31_bytes "$client:${BASH_REMATCH[1]}")")
  fi
done </proc/asound/seq/clients
[ "${#expected[@]}" -ge 5 ] ||
  fail "the guest's sequencer lacks the ports this test sets up: $(cat /proc/asound/seq/clients)"

"$DEVICE_LIST" >"$work/list.log" 2>"$work/list.err" || fail "the device list tool failed"
[ -s "$work/list.err" ] && fail "listing the devices printed to stderr: $(cat "$work/list.err")"
mapfile -t shown < <(cut -f2- "$work/list.log")
grep -q '^[0-9]*	Kalvora:' "$work/list.log" && fail "the program's own port is offered as an output"
if [ "${shown[*]}" != "${expected[*]}" ] || [ "${#shown[@]}" -ne "${#expected[@]}" ]; then
  echo "expected:" && printf '  "%s"\n' "${expected[@]}"
  echo "listed:" && printf '  "%s"\n' "${shown[@]}"
  fail "the device list is not the sequencer's writable ports after the synth"
fi
printf '  %s\n' "${shown[@]}"
grep -qxF "4	Tone Modules 音源:MIDI1 入" "$work/list.log" ||
  fail "the long module name is not cut to 'Tone Modules 音源:MIDI1 入'"
ok "${#shown[@]} devices, in the sequencer's order, long names cut on a character boundary"

[ -n "${BACKEND_TEST:-}" ] || fail "no --backend-test given"
"$BACKEND_TEST" --gtest_brief=1 >"$work/backend-test.log" 2>&1 ||
  fail "the RtMidi backend's tests failed with a real sequencer: $(cat "$work/backend-test.log")"
grep -q SKIPPED "$work/backend-test.log" && fail "a backend test skipped with a sequencer present"
ok "the RtMidi backend's tests with a real sequencer"
pass "the device list and the backend tests"
