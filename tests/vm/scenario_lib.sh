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
set -uo pipefail

readonly STEP_DEADLINE_MS=15000   # one step on a loaded machine, under TCG
readonly START_DEADLINE_MS=30000  # a display, a tool or the program starting
readonly POINTER_DEADLINE_S=10    # one xdotool command
readonly QUIET_S=0.5              # how long nothing more may arrive after the last message

here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
work=$(mktemp -d /tmp/kalvora-scenario.XXXXXX)
started=()        # pids of everything we started
watched=()        # of those, the ones that must not end by themselves
declare -A process_names
endpoints=()      # names of the MIDI endpoints being watched
failed=1
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

# The polls below run often and a process costs much under TCG, so they start none but the
# sleep between two looks.
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

alive() {
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }
  [ "${stat:0:1}" != Z ]
}

# Stops one of our children: TERM, then KILL after a grace period; reaps it.
stop() {
  local pid=$1 grace_ms=${2:-3000} deadline
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null
  deadline=$(($(now_ms) + grace_ms))
  while alive "$pid" && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.02; done
  alive "$pid" && kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

show_logs() {
  local file
  for file in "$work"/*.log "$work"/*.err "$work"/*.raw "$work"/*.messages; do
    [ -s "$file" ] || continue
    echo "----- ${file##*/}"
    head -c 4000 "$file"
  done
}

cleanup() {
  local status=$? i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do stop "${started[i]}"; done
  [ "$failed" -ne 0 ] && show_logs
  rm -rf "$work"
  if [ "$failed" -ne 0 ] && [ "$status" -eq 0 ]; then
    echo "FAIL: the scenario ended without reaching its pass"
    exit 1
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "FAIL: $*"
  exit 1
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

# poll_until DEADLINE_MS COMMAND...: 0 once COMMAND succeeds, 1 when the deadline passes;
# fails at once when a watched process has ended.
poll_until() {
  local deadline=$((${EPOCHREALTIME/./} / 1000 + $1)) pid
  shift
  until "$@"; do
    for pid in "${watched[@]}"; do
      alive "$pid" || fail "${process_names[$pid]:-process $pid} ended early"
    done
    ((${EPOCHREALTIME/./} / 1000 < deadline)) || return 1
    sleep 0.05
  done
}

# wait_until DEADLINE_MS WHAT COMMAND...
wait_until() {
  local deadline_ms=$1 what=$2
  shift 2
  poll_until "$deadline_ms" "$@" || fail "no $what within $deadline_ms ms"
}

# start NAME COMMAND...: runs COMMAND in the background, output in $work/NAME.log; sets $last_pid.
start() {
  local name=$1
  shift
  "$@" >"$work/$name.log" 2>&1 &
  last_pid=$!
  started+=("$last_pid")
  watched+=("$last_pid")
  process_names[$last_pid]=$name
}

# unwatch PID: the process may end now (a device it reads from goes away).
unwatch() {
  local i
  for i in "${!watched[@]}"; do [ "${watched[i]}" = "$1" ] && unset "watched[i]"; done
}

# --- A display ---------------------------------------------------------------------------------
start_display() {
  export XDG_RUNTIME_DIR=$work/runtime
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  exec {display_fd}<> <(:)
  Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  started+=("$!")
  local number
  read -r -t $((START_DEADLINE_MS / 1000)) -u "$display_fd" number || fail "Xvfb did not start"
  export DISPLAY=:$number
  ok "display $DISPLAY up"
  unset XAUTHORITY
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
readonly MAP_SC8850=4
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
program_pid='' main_window=''

row_middle() { echo $((PAGE_TOP + FIRST_ROW_TOP + ROW_PITCH * $1 + ROW_PITCH / 2)); }
column_middle() { echo $((PAGE_LEFT + COLUMN_PITCH * $1 + BUTTON_WIDTH / 2)); }

# start_program [DEV_NUM]: the program from a copy in $work/app, whose settings file stores
# DEV_NUM and the SC-8850 map; without DEV_NUM, with the settings the last run left. Returns
# once it runs; see wait_for_main_window.
start_program() {
  mkdir -p "$work/app"
  cp "$PROGRAM" "$work/app/kalvora"
  if [ $# -eq 1 ]; then
    printf '%s\r\n' "[window]" "Height=$WINDOW_HEIGHT" "Width=$WINDOW_WIDTH" "Top=$WINDOW_TOP" \
      "Left=$WINDOW_LEFT" "" "[dev]" "dev_num=$1" "map=$MAP_SC8850" "" >"$work/app/kalvora.ini"
  fi
  : >"$work/program.err"
  # A sanitizer build reports leaks at exit; system libraries' own are not the program's.
  local lsan="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/../e2e/lsan.supp:print_suppressions=0"
  (cd "$work/app" && LSAN_OPTIONS=$lsan exec ./kalvora) >"$work/program.log" 2>"$work/program.err" &
  program_pid=$!
  started+=("$program_pid")
}

# The main window is titled "Kalvora", a message box "kalvora" (xdotool ignores case).
visible_windows() {
  local id
  for id in $(timeout "$POINTER_DEADLINE_S" xdotool search --onlyvisible --name '^[Kk]alvora$' 2>/dev/null); do
    echo "$id $(timeout "$POINTER_DEADLINE_S" xdotool getwindowname "$id" 2>/dev/null)"
  done
}

main_window_up() {
  alive "$program_pid" || fail "the program ended at start-up"
  local id name
  while read -r id name; do
    [ "$name" = Kalvora ] && main_window=$id && return 0
    [ "$name" = kalvora ] && fail "a message box appeared where none was expected"
  done < <(visible_windows)
  return 1
}

wait_for_main_window() {
  wait_until "$START_DEADLINE_MS" "main window" main_window_up
  ok "main window up"
  X=$WINDOW_LEFT Y=$WINDOW_TOP
}

# dismiss_message_box NAME: waits for the program's message box, takes a picture of it to
# NAME.png in the results share (kept with KALVORA_GUEST_KEEP), and presses Return on it.
message_box_up() {
  local id name
  while read -r id name; do
    [ "$name" = kalvora ] && message_box=$id && return 0
  done < <(visible_windows)
  return 1
}

dismiss_message_box() {
  message_box=''
  wait_until "$STEP_DEADLINE_MS" "message box" message_box_up
  import -window "$message_box" "${KALVORA_GUEST_RESULTS:-$work}/$1.png" 2>/dev/null
  pointer "press Return on the message box" key --window "$message_box" Return
  wait_until "$STEP_DEADLINE_MS" "end of the message box" message_box_gone
}
message_box_gone() { ! xwininfo -id "$message_box" 2>/dev/null | grep -q IsViewable; }

# pointer WHAT XDOTOOL_ARGS...: real pointer events; the server takes them in order, so a move
# followed by a press presses where the move went.
pointer() {
  local what=$1
  shift
  timeout "$POINTER_DEADLINE_S" xdotool "$@" && return 0
  echo "pointer now: $(timeout 2 xdotool getmouselocation 2>&1)"
  fail "xdotool could not $what within $POINTER_DEADLINE_S s"
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
  kill -TERM "$program_pid"
  # A sanitizer build checks for leaks on the way out, which takes long under TCG.
  local deadline=$(($(now_ms) + START_DEADLINE_MS)) status
  while alive "$program_pid" && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.05; done
  alive "$program_pid" && fail "the program did not end within $START_DEADLINE_MS ms of SIGTERM"
  wait "$program_pid"
  status=$?
  program_pid=''
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
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
