# shellcheck shell=bash
# Sourced by the end-to-end tests: the built program under the caller's X server (Xvfb), its
# device a JACK MIDI receiver on a private JACK server. Every wait has a deadline; whatever is
# started here is stopped on every way out (session_cleanup, set as the EXIT trap).
#
#   session_start PROGRAM RECEIVER LEFT TOP WIDTH HEIGHT   starts server, receiver and program;
#       the window's stored outer frame is given; sets main_window, device and work
#       (SESSION_EXTRA_RECEIVERS="b c" starts receivers b and c as the devices after it)
#   received_lines                                          what the receiver got, one per line
# The caller sets `failed=0` once it has passed, so that the work folder is removed.

readonly STEP_DEADLINE_MS=15000     # a loaded 2-core machine may take seconds for one step
readonly START_DEADLINE_MS=30000    # server, receiver or program start-up
readonly MAP_SC8850=4

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvora-e2e.XXXXXX")
jackd_pid='' receiver_pid='' program_pid='' main_window='' device=''
extra_pids=()
failed=1

now_ms() {
  local t=${EPOCHREALTIME/./}
  echo $((t / 1000))
}

alive() {
  local state
  state=$(sed -E 's/^.*\) (.).*$/\1/' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
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

show_file() {
  if [ -s "$2" ]; then
    echo "----- $1 ($2)"
    cat "$2"
  fi
}

session_cleanup() {
  local pid
  stop "$program_pid"
  stop "$receiver_pid"
  stop "$jackd_pid"
  for pid in "${extra_pids[@]}"; do stop "$pid"; done
  if [ "$failed" -ne 0 ]; then
    show_file "received" "$work/received.txt"
    show_file "program stderr" "$work/program.err"
    show_file "program stdout" "$work/program.out"
    show_file "receiver log" "$work/receiver.log"
    show_file "jackd log" "$work/jackd.log"
    echo "kept for inspection: $work"
  else
    rm -rf "$work"
  fi
}
trap session_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "FAIL: $*"
  exit 1
}

# poll_until DEADLINE_MS COMMAND...: polls COMMAND until it succeeds (0) or the deadline
# passes (1); fails at once when a process we started has ended.
poll_until() {
  local deadline=$(($(now_ms) + $1)) pid
  shift
  until "$@"; do
    for pid in $jackd_pid $receiver_pid $program_pid; do
      alive "$pid" || fail "process $pid ($(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)) ended early"
    done
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.02
  done
}

# wait_until DEADLINE_MS WHAT COMMAND...
wait_until() {
  local deadline_ms=$1 what=$2
  shift 2
  poll_until "$deadline_ms" "$@" || fail "no $what within $deadline_ms ms"
}

received_lines() { cat "$work/received.txt" 2>/dev/null; }

# The main window is titled "Kalvora"; a message box carries the program title "kalvora".
# xdotool matches names without regard to case, so the exact name is compared here.
find_main_window() {
  local id name
  for id in $(xdotool search --onlyvisible --name '^[Kk]alvora$' 2>/dev/null); do
    name=$(xdotool getwindowname "$id" 2>/dev/null)
    if [ "$name" = Kalvora ]; then
      main_window=$id
      return 0
    fi
    import -window root "$work/message-box.png" 2>/dev/null
    fail "a message box ($name) appeared at start-up: device $device did not open as the" \
      "receiver (picture: $work/message-box.png)"
  done
  return 1
}

# A window manager that dies on the way up is started again, twice at most; its own words are
# kept in the work folder so that a failure says why.
start_openbox() {
  local attempt wm
  wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
  for attempt in 1 2 3; do
    openbox --sm-disable >>"$work/openbox.log" 2>&1 &
    wm=$!
    extra_pids+=("$wm")
    up_or_gone() { wm_running || ! alive "$wm"; }
    poll_until "$START_DEADLINE_MS" up_or_gone
    wm_running && return 0
    wait "$wm"
    echo "openbox (attempt $attempt) exited with $?" >>"$work/openbox.log"
  done
  sed 's/^/  openbox: /' "$work/openbox.log"
  fail "the window manager did not start"
}

session_start() {
  local program receiver here left=$3 top=$4 width=$5 height=$6 variable
  program=$(realpath "$1")
  receiver=$(realpath "$2")
  here=$(dirname "${BASH_SOURCE[0]}")

  mkdir -m 700 "$work/runtime"
  export XDG_RUNTIME_DIR=$work/runtime
  local server="kalvora-e2e-$$-$RANDOM"
  export JACK_DEFAULT_SERVER=$server JACK_NO_START_SERVER=1
  # Synchronous mode: a cycle waits for every client (up to the timeout), so a client that runs
  # late on a loaded machine delays the MIDI rather than losing it.
  jackd --no-realtime --sync --timeout 2000 -n "$server" -d dummy -r 48000 -p 1024 \
    >"$work/jackd.log" 2>&1 &
  jackd_pid=$!
  "$receiver" --out "$work/received.txt" --ready "$work/receiver.ready" --name receiver \
    --wait $((START_DEADLINE_MS / 1000)) >"$work/receiver.log" 2>&1 &
  receiver_pid=$!
  wait_until "$START_DEADLINE_MS" "receiver port on JACK server $server" test -s "$work/receiver.ready"
  echo "receiver ready: $(cat "$work/receiver.ready") on server $server"
  # More receivers, the devices after the first, as the caller names them in
  # SESSION_EXTRA_RECEIVERS; each writes $work/NAME.txt.
  local name
  for name in ${SESSION_EXTRA_RECEIVERS:-}; do
    "$receiver" --out "$work/$name.txt" --ready "$work/$name.ready" --name "$name" \
      --wait $((START_DEADLINE_MS / 1000)) >"$work/$name.log" 2>&1 &
    extra_pids+=("$!")
    wait_until "$START_DEADLINE_MS" "$name port on JACK server $server" test -s "$work/$name.ready"
  done

  # shellcheck source=../support/receiver_device.sh
  source "$here/../support/receiver_device.sh"
  local synth alsa
  synth=$(synth_devices)
  alsa=$(alsa_output_ports) ||
    fail "an ALSA sequencer exists but /proc/asound/seq/clients cannot be read to count its ports"
  device=$((synth + alsa))
  echo "device number of the receiver: $device (synth $synth + ALSA ports $alsa)"

  # The program runs from a copy, since its settings file lies beside the executable.
  mkdir "$work/app"
  cp "$program" "$work/app/kalvora"
  printf '%s\r\n' "[window]" "Height=$height" "Width=$width" "Top=$top" "Left=$left" "" \
    "[dev]" "dev_num=$device" "map=$MAP_SC8850" "" >"$work/app/kalvora.ini"

  # Settings of the caller's session that would change where the controls are drawn, or put the
  # program on another platform than this X server.
  for variable in QT_QPA_PLATFORM QT_STYLE_OVERRIDE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS \
    QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI QT_QPA_PLATFORMTHEME; do
    unset "$variable"
  done
  # A sanitizer build reports leaks at exit; system libraries' own are not the program's.
  export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan.supp:print_suppressions=0"
  (cd "$work/app" && exec ./kalvora) >"$work/program.out" 2>"$work/program.err" &
  program_pid=$!
  wait_until "$START_DEADLINE_MS" "main window" find_main_window
}

# Ends the program as a session end would (SIGTERM); fails unless it ends cleanly in time.
session_close_program() {
  local deadline status
  kill -TERM "$program_pid"
  deadline=$(($(now_ms) + STEP_DEADLINE_MS))
  while alive "$program_pid" && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.02; done
  alive "$program_pid" && fail "the program did not end within $STEP_DEADLINE_MS ms of SIGTERM"
  wait "$program_pid"
  status=$?
  program_pid=''
  [ "$status" -eq 0 ] || fail "the program ended with status $status after SIGTERM"
}
