#!/usr/bin/env bash
# The program as a Wayland client, as on a desktop without X: under a headless compositor (sway)
# the window opens on Wayland, a computer key known by its place plays at a JACK receiver, and a
# close writes back the stored place (which a Wayland client cannot learn) and the size.
#
# Usage: wayland_through_jack.sh PROGRAM RECEIVER KEYS
#   KEYS  the virtual keyboard tool built beside the receiver (kalvora_wayland_keys)
# Needs sway, swaymsg, jq, jackd and Qt's Wayland platform (qt6-wayland).
set -uo pipefail

[ $# -eq 3 ] || { echo "usage: $0 PROGRAM RECEIVER KEYS" >&2; exit 2; }
# shellcheck source=../support/session_lib.sh
source "$(dirname "$(realpath "$0")")/../support/session_lib.sh"
need sway swaymsg jq jackd setpriv
RECEIVER=$(realpath "$2")
keys=$(realpath "$3")

readonly LEFT=150 TOP=120 WIDTH=700 HEIGHT=500
readonly KEY_Z=44  # evdev code of the key left of X on a US layout: C3, note 48

session_begin e2e-wayland
start_sway
start_jackd 1024 --sync --timeout 2000
start_receiver receiver "$work/received.txt"
receiver_device
install_program "$1"
write_settings "$work/app/kalvora.ini" $LEFT $TOP $WIDTH $HEIGHT "$device"
# The keyboard comes first: the headless compositor has none of its own, and the program binds
# the seat's keyboard as it starts.
mkfifo "$work/keys.fifo"
exec {typing}<>"$work/keys.fifo"  # read-write: neither end waits for the other to open
start keys "$keys" "$work/keys.fifo"
wait_until "$START_DEADLINE_MS" "virtual keyboard" grep -qx ready "$work/keys.log"
# Under the sanitizers, Qt's Wayland plugin and libwayland-client leave a few hundred bytes at exit
# that the leak check would report as the program's (the plugin is unloaded by then, so no
# suppression can name it); the other tests check the program's own memory.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
run_program

# The main window as sway sees it: {shell, width, height}, once it is there.
window=''
main_window_mapped() {
  window=$(swaymsg -t get_tree 2>/dev/null | jq -c 'first(.. | objects | select(.name? == "Kalvora"
    and .pid? != null) | {shell, width: .geometry.width, height: .geometry.height})' 2>/dev/null)
  [ -n "$window" ]
}
wait_until "$START_DEADLINE_MS" "main window on the compositor" main_window_mapped
[ "$(jq -r .shell <<<"$window")" = xdg_shell ] || fail "the window is no Wayland client: $window"
wait_until "$START_DEADLINE_MS" "GS Reset at the receiver" grep -q '^F0' "$work/received.txt"
settled_size() { main_window_mapped && [ "$(jq -r '"\(.width)x\(.height)"' <<<"$window")" = "${WIDTH}x$HEIGHT" ]; }
poll_until "$STEP_DEADLINE_MS" settled_size || fail "the window is $window, stored ${WIDTH}x$HEIGHT"
echo "ok: the main window is a Wayland client of ${WIDTH}x$HEIGHT"

notes_received() { grep -E '^(80|90) ' "$work/received.txt"; }
has_two_notes() { [ "$(notes_received | wc -l)" -ge 2 ]; }
printf '%s\n' "down $KEY_Z" "sleep 100" "up $KEY_Z" >&"$typing"
wait_until "$STEP_DEADLINE_MS" "note at the receiver" has_two_notes
sleep 0.3
[ "$(notes_received | tr '\n' ,)" = "90 30 64,80 30 7F," ] ||
  fail "the key Z played $(notes_received | tr '\n' ,) rather than note 48 on and off"
echo "ok: the computer key Z plays C3 at the receiver"

end_program "$STEP_DEADLINE_MS"
for entry in "Height=$HEIGHT" "Width=$WIDTH" "Top=$TOP" "Left=$LEFT"; do
  tr -d '\r' <"$work/app/kalvora.ini" | grep -qx "$entry" || fail "$entry was not written back"
done
failed=0
echo "PASS: a Wayland client that plays by key place and keeps its stored place and size"
