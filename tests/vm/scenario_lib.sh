# shellcheck shell=bash
# What the guest scenarios share: deadlines, the processes they start, a display, MIDI
# endpoints whose messages are checked against what is expected, and the program itself.
# Sourced by a scenario, which guest_runner.sh runs as root inside the guest:
#
#   source "$(dirname "${BASH_SOURCE[0]}")/scenario_lib.sh"
#   read_tools "$@"   # --program, --module, --device-list, --window-ping, --backend-test
#
# Then, typically: hide_the_synth; start_display; start_raw_dump NAME CARD and start_module NAME
# CLIENT PORT (MIDI endpoints); start_program DEV_NUM; wait_for_main_window; play, switch_to,
# expect, check_quiet; unplug_card / plug_card; close_program; settings_hold; ok; pass. Every
# wait has a deadline; everything started here is stopped on every way out, and on a failure
# the logs are shown. A scenario ends with pass, or it fails.
# The processes, deadlines, display and window search come from tests/support/session_lib.sh,
# which the guest reaches at the same path as the host, its root being the host's.
set -uo pipefail

readonly QUIET_S=0.5              # how long nothing more may arrive after the last message

here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
# shellcheck source=../support/session_lib.sh
source "$here/../support/session_lib.sh"
session_begin scenario /tmp
# Pictures of message boxes go where the host keeps them (KALVORA_GUEST_KEEP).
pictures=${KALVORA_GUEST_RESULTS:-$work}
endpoints=()      # names of the MIDI endpoints being watched
PROGRAM='' MODULE='' DEVICE_LIST='' WINDOW_PING='' BACKEND_TEST=''

read_tools() {
  while [ $# -ge 2 ]; do
    case $1 in
      --program) PROGRAM=$2 ;;
      --module) MODULE=$2 ;;
      --device-list) DEVICE_LIST=$2 ;;
      --window-ping) WINDOW_PING=$2 ;;
      --backend-test) BACKEND_TEST=$2 ;;
      *) fail "unknown option $1" ;;
    esac
    shift 2
  done
}

readonly scenario_start_ms=$(now_ms)
# ok WHAT: a step done, with the seconds since the scenario started.
ok() {
  local ms=$(($(now_ms) - scenario_start_ms))
  printf 'ok (%d.%01d s): %s\n' $((ms / 1000)) $((ms % 1000 / 100)) "$*"
}

pass() {
  failed=0
  ok "$*"
  echo "PASS"
}

# --- A display ---------------------------------------------------------------------------------
start_display() {
  start_xvfb
  ok "display $DISPLAY up"
}

# --- MIDI endpoints ----------------------------------------------------------------------------
# An endpoint is anything whose received messages land in $work/NAME.messages, one message a
# line in hex ("90 3C 64"); expected_NAME holds what it must have received so far, in order.

hex() { printf '%02X' "$1"; }

add_endpoint() {
  endpoints+=("$1")
  declare -g -a "expected_$1=()"
  : >"$work/$1.messages"
}

declare -A dump_of_card
# The raw MIDI device of an ALSA card, as a module on a MIDI cable would receive it: amidi's
# hex dump, split into messages with running status taken into account.
start_raw_dump() {
  local name=$1 card=$2
  add_endpoint "$name"
  start "$name-amidi" stdbuf -o0 amidi -p "hw:$card,0" -d
  dump_of_card[$card]=$last_pid
  ln -sf "$name-amidi.log" "$work/$name.raw"
  # amidi opens the device at once; give up if it ended instead.
  sleep 0.2
  alive "$last_pid" || fail "amidi could not open hw:$card,0: $(cat "$work/$name-amidi.log")"
}

# A software module of our own: a sequencer client with one writable port (seq_module.cpp).
start_module() {
  local name=$1 client=$2 port=$3
  add_endpoint "$name"
  rm -f "$work/$name.ready"
  start "$name-module" "$MODULE" --client "$client" --port "$port" --out "$work/$name.messages" \
    --ready "$work/$name.ready"
  wait_until "$START_DEADLINE_MS" "port of module $name" test -s "$work/$name.ready"
}

# Splits a byte stream into messages: a status byte starts one, data bytes after a complete
# channel message repeat its status (running status), system messages end it, real-time bytes
# stand alone. A data byte with no status to run on, or a message cut short, comes out with
# "??" in it, so it never compares equal to anything expected.
# amidi writes a message a line, its bytes run together, running status indented.
split_midi() {
  grep -oE '[0-9A-Fa-f]{2}' | awk '
    function value(h) { return (index(H, substr(h, 1, 1)) - 1) * 16 + index(H, substr(h, 2, 1)) - 1 }
    function length_of(s) {
      if (s < 240) return (s >= 192 && s < 224) ? 2 : 3
      return (s == 241 || s == 243) ? 2 : (s == 242) ? 3 : 1
    }
    function take(h) { msg = (msg == "") ? h : msg " " h; have++ }
    function done() { print msg; msg = ""; have = 0 }
    BEGIN { H = "0123456789ABCDEF" }
    /^[0-9A-Fa-f][0-9A-Fa-f]$/ {
      h = toupper($0); b = value(h)
      if (b >= 248) { print h; next }
      if (b >= 128) {
        if (sysex && b == 247) { take(h); done(); sysex = 0; next }
        if (msg != "") { msg = msg " ??"; done() }
        sysex = 0
        if (b == 247) { print "?? F7"; running = 0; next }
        take(h)
        if (b == 240) { sysex = 1; running = 0; next }
        running = (b < 240) ? b : 0; need = length_of(b)
        if (have == need) done()
        next
      }
      if (sysex) { take(h); next }
      if (msg == "") {
        if (!running) { print "?? " h; next }
        take(sprintf("%02X", running)); need = length_of(running)
      }
      take(h)
      if (have == need) done()
    }
    END { if (msg != "") print msg " ??" }'
}

# Brings $work/NAME.messages up to date for a raw dump (a module writes its own); split anew
# only when the dump has changed.
declare -A dumped
refresh() {
  local name=$1 raw=()
  [ -e "$work/$name.raw" ] || return 0
  mapfile -t raw <"$work/$name.raw"
  local seen=${#raw[@]}
  ((seen > 0)) && seen+=":${raw[-1]}"
  [ "${dumped[$name]:-}" = "$seen" ] && return 0
  dumped[$name]=$seen
  split_midi <"$work/$name.raw" >"$work/$name.messages"
}

received() {
  refresh "$1"
  mapfile -t lines <"$work/$1.messages"
}

# Compares everything NAME received with everything expected of it, in order; nothing more.
check_endpoint() {
  local name=$1 what=$2 lines=() i
  local -n expected="expected_$name"
  received "$name"
  for i in "${!expected[@]}"; do
    if [ "${lines[i]:-}" != "${expected[i]}" ]; then
      echo "expected at $name:"
      printf '  %s\n' "${expected[@]}"
      echo "received at $name:"
      printf '  %s\n' "${lines[@]}"
      fail "after $what, message $((i + 1)) at $name is '${lines[i]:-<nothing>}', not '${expected[i]}'"
    fi
  done
  [ "${#lines[@]}" -le "${#expected[@]}" ] ||
    fail "after $what, $name received more: ${lines[*]:${#expected[@]}}"
}

has_all_expected() {
  local lines=()
  local -n expected="expected_$1"
  received "$1"
  [ "${#lines[@]}" -ge "${#expected[@]}" ]
}

# expect NAME WHAT MESSAGE...: NAME is to receive MESSAGE... next; waits for them, then checks
# every endpoint (so a message that went to the wrong one is caught at once).
expect() {
  local name=$1 what=$2
  shift 2
  local -n more="expected_$name"
  more+=("$@")
  wait_until "$STEP_DEADLINE_MS" "MIDI at $name after $what" has_all_expected "$name"
  check_all "$what"
}

check_all() {
  local name
  for name in "${endpoints[@]}"; do check_endpoint "$name" "$1"; done
}

# After the last expected message: a while of nothing more anywhere.
check_quiet() {
  sleep "$QUIET_S"
  check_all "$1"
}

# The messages that play a note with the window's start values of the effect controls, one a
# line.
voice_and_note() {
  local bank=$1 program=$2 note=$3 map=${4:-$MAP_SC8850}
  printf '%s\n' "B0 0A 40" "B0 01 00" "B0 5B 28" "B0 5D 00" "B0 00 $(hex "$bank")" \
    "B0 20 $(hex "$map")" "C0 $(hex $((program - 1)))" "90 $(hex "$note") 64"
}
readonly GS_RESET="F0 41 10 42 12 40 00 7F 00 41 F7"
# What a reset of the device sends before its GS Reset: all notes off and all sound off on
# every channel.
silence() {
  local channel
  for channel in $(seq 0 15); do
    printf 'B%X 7B 00\nB%X 78 00\n' "$channel" "$channel"
  done
}

# --- The program -------------------------------------------------------------------------------
# Where the window is put (no window manager, so frame and client agree) and where its
# controls are, in client pixels (see tests/e2e/play_through_jack.sh for how they are found).
readonly WINDOW_LEFT=40 WINDOW_TOP=30 WINDOW_WIDTH=831 WINDOW_HEIGHT=664
readonly PAGE_LEFT=10 PAGE_TOP=33 BUTTON_WIDTH=161 FIRST_ROW_TOP=16 ROW_PITCH=16 COLUMN_PITCH=160
readonly SWITCH_X=72 SWITCH_Y=600      # Button257, 音源の変更
readonly KEY_RIGHT_PART=745 KEY_A4_TOP=208 WHITE_KEY_HALF=8
row_middle() { echo $((PAGE_TOP + FIRST_ROW_TOP + ROW_PITCH * $1 + ROW_PITCH / 2)); }
column_middle() { echo $((PAGE_LEFT + COLUMN_PITCH * $1 + BUTTON_WIDTH / 2)); }

# start_program [DEV_NUM]: the program from a copy in $work/app, whose settings file stores
# DEV_NUM and the SC-8850 map; without DEV_NUM, with the settings the last run left. Returns
# once it runs; see wait_for_main_window.
start_program() {
  install_program "$PROGRAM"
  [ $# -eq 0 ] ||
    write_settings "$work/app/kalvora.ini" $WINDOW_LEFT $WINDOW_TOP $WINDOW_WIDTH $WINDOW_HEIGHT "$1"
  run_program
}

wait_for_main_window() {
  main_window=''
  wait_until "$START_DEADLINE_MS" "main window" main_window_up
  ok "main window up"
  X=$WINDOW_LEFT Y=$WINDOW_TOP
}

# pointer WHAT XDOTOOL_ARGS...: real pointer events; the server takes them in order, so a move
# followed by a press presses where the move went.
pointer() {
  local what=$1
  shift
  timeout "$XDOTOOL_DEADLINE_S" xdotool "$@" && return 0
  echo "pointer now: $(timeout 2 xdotool getmouselocation 2>&1)"
  fail "xdotool could not $what within $XDOTOOL_DEADLINE_S s"
}

# press WHAT CLIENT_X CLIENT_Y / release
press() { pointer "press $1" mousemove $(($2 + X)) $(($3 + Y)) mousedown 1; }
release() { pointer release mouseup 1; }

# The window answers within BOUND_MS: the time it takes to get to a ping queued behind
# what it was given before.
answers_within() {
  local bound_ms=$1 what=$2 took
  took=$("$WINDOW_PING" "$main_window" "$bound_ms") || fail "the window did not answer within $bound_ms ms $what"
  echo "window answered in $took ms $what"
}

# play ENDPOINT WHAT X Y BANK PROGRAM NOTE: a press and a release at client X,Y, and the
# set-up with the note-on, then the note-off, that they must send to ENDPOINT alone.
play() {
  local endpoint=$1 what=$2 messages=()
  mapfile -t messages < <(voice_and_note "$5" "$6" "$7")
  press "$what" "$3" "$4"
  expect "$endpoint" "the press on $what" "${messages[@]}"
  release
  expect "$endpoint" "the release on $what" "80 $(hex "$7") 7F"
}

# switch_to ENDPOINT WHAT: Button257, and the reset with the GS Reset it must send to ENDPOINT.
switch_to() {
  local endpoint=$1 what=$2 messages=()
  mapfile -t messages < <(silence)
  switch_device
  expect "$endpoint" "the switch to $what" "${messages[@]}" "$GS_RESET"
}

# Button257: the press closes the device, the release opens the next one.
switch_device() {
  press "Button257" "$SWITCH_X" "$SWITCH_Y"
  release
}

# Closes the window as a session end does, and checks it ended well and silently.
close_program() {
  # A sanitizer build checks for leaks on the way out, which takes long under TCG.
  end_program "$START_DEADLINE_MS"
  [ -s "$work/program.err" ] && fail "the program wrote to stderr: $(head -c 2000 "$work/program.err")"
  return 0
}

# The settings file holds ENTRY... (after close_program).
settings_hold() {
  local saved entry
  saved=$(tr -d '\r' <"$work/app/kalvora.ini")
  for entry in "$@"; do
    grep -qxF "$entry" <<<"$saved" || fail "the settings file lacks $entry: $saved"
  done
}

# Without SoundFonts there is no built-in synth: the devices are the sequencer's ports alone, and
# going round them never stops at a synth that has no sound card to play on here.
hide_the_synth() {
  local folder
  for folder in /usr/share/sounds/sf2 /usr/share/soundfonts /usr/local/share/sounds/sf2 \
    /usr/local/share/soundfonts; do
    [ -d "$folder" ] && { mount -t tmpfs tmpfs "$folder" || fail "cannot hide $folder"; }
  done
  return 0
}

# --- Cards -------------------------------------------------------------------------------------
# A virtual raw MIDI card unplugged and plugged in again, the way a USB interface goes: the
# kernel disconnects the card under whoever has it open, and its sequencer client ends.
readonly VIRMIDI_DRIVER=/sys/bus/platform/drivers/snd_virmidi
unplug_card() {
  # Its raw MIDI dump ends with it.
  [ -n "${dump_of_card[$1]:-}" ] && unwatch "${dump_of_card[$1]}"
  echo "snd_virmidi.$1" >"$VIRMIDI_DRIVER/unbind" || fail "cannot unplug card $1"
  wait_until "$STEP_DEADLINE_MS" "end of card $1" test ! -e "/proc/asound/card$1"
}
plug_card() {
  echo "snd_virmidi.$1" >"$VIRMIDI_DRIVER/bind" || fail "cannot plug card $1 in again"
  wait_until "$STEP_DEADLINE_MS" "card $1" test -e "/dev/snd/midiC$1D0"
}
