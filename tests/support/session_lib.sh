# shellcheck shell=bash disable=SC2034 # variables set here are for the scripts that source it
# What the scripts that drive the built program share: processes of their own, waited on with
# deadlines and stopped on every way out; an X server (Xvfb); the program and its main window; a
# window manager; a private JACK server with MIDI receivers on it. Sourced, then:
#
#   need TOOL...              fails unless every TOOL is on PATH
#   session_begin NAME [DIR]  a fresh work folder ($work, under DIR or TMPDIR) and the traps
#   start NAME COMMAND...     a process of ours, its output in $work/NAME.log; see track
#   poll_until / wait_until   a condition within a deadline; a watched process ending fails at once
#   start_xvfb                an X server of our own as DISPLAY
#   start_openbox             a window manager on it
#   start_sway                a Wayland compositor of our own as WAYLAND_DISPLAY, instead of X
#   install_program PROGRAM; write_settings ...; run_program; wait_for_main_window; end_program
#   start_jackd PERIOD; start_receiver NAME OUT; receiver_device
#
# On the way out everything started is stopped, the last first. A run has passed once the caller
# sets failed=0; otherwise the logs in $work are shown and the folder is kept for inspection, and
# an exit status of 0 becomes 1. A caller with more to undo defines session_on_exit.
# Polls start no process but the sleep between two looks: under TCG (tests/vm) a process costs
# much.

readonly STEP_DEADLINE_MS=15000   # one step on a loaded machine, or under TCG
readonly START_DEADLINE_MS=30000  # a server, a tool or the program starting
readonly XVFB_ATTEMPT_MS=15000    # one of three tries for an X server to give its display
readonly XDOTOOL_DEADLINE_S=10    # one xdotool call
readonly MAP_SC8850=4

session_lib_dir=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
work='' failed=1
session_pids=()     # everything we started
session_watched=()  # of those, the ones that must not end by themselves
declare -A session_names
program_pid='' main_window=''
boxes_allowed=0 boxes_dismissed=0
jack_server='' RECEIVER=''
receiver_launcher=()

fail() {
  echo "FAIL: $*"
  exit 1
}

need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh --tests installs it)"
  done
}

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

alive() {
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }
  [ "${stat:0:1}" != Z ]
}

# track NAME PID [unwatched]: PID is ours to stop on the way out; unless unwatched, it must not
# end by itself while a poll waits.
track() {
  session_pids+=("$2")
  [ "${3:-}" = unwatched ] || session_watched+=("$2")
  session_names[$2]=$1
}

# start NAME COMMAND...: COMMAND in the background, its output in $work/NAME.log; sets last_pid.
start() {
  local name=$1
  shift
  "$@" >"$work/$name.log" 2>&1 &
  last_pid=$!
  track "$name" "$last_pid"
}

# unwatch PID: the process may end now (it is being stopped, or what it reads goes away).
unwatch() {
  local i
  for i in "${!session_watched[@]}"; do
    [ "${session_watched[i]}" = "$1" ] && unset "session_watched[i]"
  done
}

# forget PID: reaped; the number may be another process's soon, so it is never signalled again.
forget() {
  local i
  unwatch "$1"
  for i in "${!session_pids[@]}"; do [ "${session_pids[i]}" = "$1" ] && unset "session_pids[i]"; done
}

# poll_until DEADLINE_MS COMMAND...: 0 once COMMAND succeeds, 1 when the deadline passes; fails
# at once when a watched process has ended.
poll_until() {
  local deadline=$((${EPOCHREALTIME/./} / 1000 + $1)) pid
  shift
  until "$@"; do
    for pid in "${session_watched[@]}"; do
      alive "$pid" || fail "${session_names[$pid]:-process $pid} ended early"
    done
    ((${EPOCHREALTIME/./} / 1000 < deadline)) || return 1
    sleep 0.02
  done
}

# wait_until DEADLINE_MS WHAT COMMAND...
wait_until() {
  local deadline_ms=$1 what=$2
  shift 2
  poll_until "$deadline_ms" "$@" || fail "no $what within $deadline_ms ms"
}

# finish PID DEADLINE_MS: waits for one of our children to end, and returns its exit status;
# fails when it still runs after DEADLINE_MS.
finish() {
  local pid=$1 deadline=$((${EPOCHREALTIME/./} / 1000 + $2)) status
  unwatch "$pid"
  while alive "$pid"; do
    ((${EPOCHREALTIME/./} / 1000 < deadline)) ||
      fail "${session_names[$pid]:-process $pid} did not end within $2 ms"
    sleep 0.02
  done
  wait "$pid"
  status=$?
  forget "$pid"
  return "$status"
}

# Stops one of our processes: TERM, then KILL after a grace period; reaps a child.
stop() {
  local pid=$1 grace_ms=${2:-3000} deadline
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null
  deadline=$((${EPOCHREALTIME/./} / 1000 + grace_ms))
  while alive "$pid" && ((${EPOCHREALTIME/./} / 1000 < deadline)); do sleep 0.02; done
  alive "$pid" && kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

show_logs() {
  local file size
  for file in "$work"/*.log "$work"/*.err "$work"/*.out "$work"/*.txt "$work"/*.raw \
    "$work"/*.messages "$work"/app/kalvora.ini; do
    [ -s "$file" ] || continue
    size=$(stat -c %s "$file")
    echo "----- ${file#"$work"/}"
    head -c 8000 "$file"
    [ "$size" -le 8000 ] || echo "... ($size bytes in all)"
  done
}

session_end() {
  local status=$? pid
  for pid in $(printf '%s\n' "${session_pids[@]}" | tac); do stop "$pid"; done
  declare -F session_on_exit >/dev/null && session_on_exit
  if [ "$failed" -eq 0 ]; then
    rm -rf "$work"
    return
  fi
  show_logs
  echo "kept for inspection: $work"
  if [ "$status" -eq 0 ]; then
    echo "FAIL: the run ended without passing"
    exit 1
  fi
}

# session_begin NAME [DIR]: the work folder, $work, as DIR/kalvora-NAME.XXXXXX, with a private
# XDG_RUNTIME_DIR in it; the traps that stop everything on the way out.
session_begin() {
  work=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/kalvora-$1.XXXXXX") || fail "cannot make a work folder"
  trap session_end EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  mkdir -m 700 "$work/runtime"
  export XDG_RUNTIME_DIR=$work/runtime
}

# --- The X server ------------------------------------------------------------------------------
# start_xvfb: a 24-bit 1024x768 screen as DISPLAY. Xvfb picks a free display itself: a number
# guessed from lock files may belong to a server in another mount namespace, whose abstract
# socket a client would reach instead. Without an authority file any local user may connect.
# -noreset: by default the server resets when its last client leaves, and a program started
# while it does (the next scenario step, right after the last one's program ended) cannot connect.
# The settings of the caller's session that would put the program on another platform than this
# server, or change where its controls are drawn, are cleared.
# Xvfb may write the number and its newline apart, and a read that times out in between keeps
# what it got: the pieces are put together until the line is whole.
display_number_read() {
  local piece=''
  if read -r -t 0.05 -u "$fd" piece; then
    number+=$piece
    return 0
  fi
  number+=$piece
  return 1
}
start_xvfb() {
  local fd number variable attempt xvfb
  for attempt in 1 2 3; do
    number=''
    exec {fd}<> <(:)
    Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp -noreset >>"$work/xvfb.log" 2>&1 &
    xvfb=$!
    track Xvfb "$xvfb"
    poll_until "$XVFB_ATTEMPT_MS" display_number_read && break
    # Beside the ALSA guest an Xvfb once ran for 30 s without a word: what it waits in is kept for
    # the log, and a fresh one is tried.
    {
      echo "Xvfb (attempt $attempt) gave no display within $XVFB_ATTEMPT_MS ms; it waits in" \
        "$(cat "/proc/$xvfb/wchan" 2>/dev/null); its children:"
      ps --ppid "$xvfb" -o pid=,stat=,etime=,args= 2>/dev/null
    } >>"$work/xvfb.log"
    exec {fd}<&-
    unwatch "$xvfb"
    stop "$xvfb"
    forget "$xvfb"
  done
  exec {fd}<&-
  [[ $number =~ ^[0-9]+$ ]] || fail "Xvfb gave no display number (it said \"$number\")"
  export DISPLAY=:$number
  unset XAUTHORITY
  for variable in QT_QPA_PLATFORM QT_STYLE_OVERRIDE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS \
    QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI QT_QPA_PLATFORMTHEME; do
    unset "$variable"
  done
}

# A window manager that dies on the way up is started again, twice at most; its own words are
# kept in $work/openbox.log so that a failure says why.
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wm_up_or_gone() { wm_running || ! alive "$wm"; }
start_openbox() {
  local attempt wm status
  for attempt in 1 2 3; do
    openbox --sm-disable >>"$work/openbox.log" 2>&1 &
    wm=$!
    track openbox "$wm" unwatched
    poll_until "$START_DEADLINE_MS" wm_up_or_gone
    wm_running && return 0
    alive "$wm" && break
    wait "$wm"
    status=$?
    forget "$wm"
    echo "openbox (attempt $attempt) exited with $status" >>"$work/openbox.log"
  done
  echo "display $DISPLAY; root window properties:"
  xprop -root 2>&1 | head -20 | sed 's/^/  /'
  alive "$wm" && fail "openbox runs but has not announced itself within $START_DEADLINE_MS ms"
  fail "the window manager did not start"
}

# --- A Wayland compositor ----------------------------------------------------------------------
# start_sway: sway on its headless backend (no screen, no input devices, drawn in software),
# without Xwayland, every window floating so that it keeps the size it asks for. Sway refuses to
# run as root, so as root it runs as nobody, in a runtime folder of its own; WAYLAND_DISPLAY names
# its socket by the full path, so clients keep their own XDG_RUNTIME_DIR. DISPLAY is cleared, so
# the program can only be a Wayland client. Sets SWAYSOCK for swaymsg.
sway_socket() {
  local socket
  for socket in "$work/sway/"wayland-[0-9]*; do
    [ -S "$socket" ] && echo "$socket" && return 0
  done
  return 1
}
start_sway() {
  local runtime=$work/sway as_user=()
  mkdir -m 700 "$runtime"
  printf '%s\n' 'xwayland disable' 'output HEADLESS-1 resolution 1280x1024 position 0 0' \
    'for_window [app_id=".*"] floating enable' >"$runtime/config"
  if [ "$(id -u)" -eq 0 ]; then
    chmod 711 "$work"
    chown -R nobody "$runtime"
    as_user=(setpriv --reuid nobody --regid nogroup --clear-groups)
  fi
  start sway env XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman "${as_user[@]}" sway -c "$runtime/config"
  wait_until "$START_DEADLINE_MS" "Wayland socket from sway" sway_socket >/dev/null
  WAYLAND_DISPLAY=$(sway_socket)
  SWAYSOCK=$(echo "$runtime"/sway-ipc.*.sock)
  export WAYLAND_DISPLAY SWAYSOCK QT_QPA_PLATFORM=wayland
  unset DISPLAY
}

# --- The program -------------------------------------------------------------------------------
# install_program PROGRAM: a copy in $work/app, since its settings file lies beside it.
install_program() {
  mkdir -p "$work/app"
  cp "$1" "$work/app/kalvora" || fail "cannot copy $1"
}

# write_settings FILE LEFT TOP WIDTH HEIGHT [DEV_NUM]: the window's outer frame and, given
# DEV_NUM, the device with the SC-8850 map, as the program stores them.
write_settings() {
  local file=$1
  {
    printf '%s\r\n' "[window]" "Height=$5" "Width=$4" "Top=$3" "Left=$2" ""
    [ $# -lt 6 ] || printf '%s\r\n' "[dev]" "dev_num=$6" "map=$MAP_SC8850" ""
  } >"$file"
}

# run_program: starts $work/app/kalvora from its folder, output in $work/program.out and .err;
# sets program_pid.
run_program() {
  # A sanitizer build reports leaks at exit; system libraries' own are not the program's.
  local lsan="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$session_lib_dir/../e2e/lsan.supp"
  lsan+=:print_suppressions=0
  (cd "$work/app" && LSAN_OPTIONS=$lsan exec ./kalvora) >"$work/program.out" 2>"$work/program.err" &
  program_pid=$!
  track "the program" "$program_pid"
}

# end_program DEADLINE_MS: SIGTERM, as a session end sends it; fails unless the program ends
# within the deadline with status 0.
end_program() {
  local status
  kill -TERM "$program_pid"
  finish "$program_pid" "$1"
  status=$?
  program_pid=''
  [ "$status" -eq 0 ] || fail "the program ended with status $status after SIGTERM"
}

# The main window is titled "Kalvora", a message box "kalvora"; xdotool matches names without
# regard to case, so the exact name is compared here. One line per window: ID NAME.
visible_windows() {
  local id
  for id in $(timeout "$XDOTOOL_DEADLINE_S" xdotool search --onlyvisible --name '^[Kk]alvora$' 2>/dev/null); do
    echo "$id $(timeout "$XDOTOOL_DEADLINE_S" xdotool getwindowname "$id" 2>/dev/null)"
  done
}

# A picture of the whole screen in $work/NAME.png, or in $pictures when the caller keeps them
# elsewhere; its path.
picture() {
  local file=${pictures:-$work}/$1.png
  import -window root "$file" 2>/dev/null
  echo "$file"
}

box_gone() { ! xwininfo -id "$box" 2>/dev/null | grep -q IsViewable; }
# press_return_on BOX NAME: a picture of the screen as NAME.png, Return on the box, and the box
# gone.
press_return_on() {
  local box=$1 name=$2
  picture "$name" >/dev/null
  timeout "$XDOTOOL_DEADLINE_S" xdotool windowfocus --sync "$box" key Return 2>/dev/null
  wait_until "$STEP_DEADLINE_MS" "end of the message box $box" box_gone
}

# main_window_up: 0 once the main window is visible, its id in main_window. A message box fails
# the run, with a picture of the screen; only a caller that starts the built-in synth, which
# without a sound device says so in a box, sets boxes_allowed, and that many are dismissed.
main_window_up() {
  local id name file
  while read -r id name; do
    if [ "$name" = Kalvora ]; then
      main_window=$id
      return 0
    fi
    [ "$name" = kalvora ] || continue
    if [ "$boxes_dismissed" -lt "$boxes_allowed" ]; then
      boxes_dismissed=$((boxes_dismissed + 1))
      press_return_on "$id" "message-box-$boxes_dismissed"
      continue
    fi
    file=$(picture message-box)
    fail "a message box appeared at start-up${box_hint:+: $box_hint} (picture: $file)"
  done < <(visible_windows)
  return 1
}

wait_for_main_window() {
  main_window=''
  wait_until "$START_DEADLINE_MS" "main window" main_window_up
}

# dismiss_message_box NAME: waits for the program's message box, one that has to come, takes a
# picture of the screen as NAME.png and presses Return on it.
message_box_up() {
  local id name
  while read -r id name; do
    [ "$name" = kalvora ] && box=$id && return 0
  done < <(visible_windows)
  return 1
}
dismiss_message_box() {
  local box=''
  wait_until "$STEP_DEADLINE_MS" "message box" message_box_up
  press_return_on "$box" "$1"
}

# --- A private JACK server ---------------------------------------------------------------------
# start_jackd PERIOD [OPTION...]: jackd's dummy driver at 48 kHz, PERIOD frames a cycle, made the
# server every client of this process uses (JACK_DEFAULT_SERVER), and none starts one of its own.
# Returns at once; start_receiver waits for it.
start_jackd() {
  local period=$1
  shift
  jack_server="kalvora-${work##*/kalvora-}-$RANDOM"
  export JACK_DEFAULT_SERVER=$jack_server JACK_NO_START_SERVER=1
  start jackd jackd --no-realtime "$@" -n "$jack_server" -d dummy -r 48000 -p "$period"
}

# start_receiver NAME OUT: RECEIVER (kalvora_e2e_receiver) as client NAME with the port NAME:in,
# what it receives written to OUT a message a line, run by receiver_launcher when set; returns
# once the port is up; sets last_pid.
start_receiver() {
  local name=$1 out=$2
  rm -f "$work/$name.ready"
  start "$name" "${receiver_launcher[@]}" "$RECEIVER" --out "$out" --ready "$work/$name.ready" \
    --name "$name" --wait $((START_DEADLINE_MS / 1000))
  wait_until "$START_DEADLINE_MS" "$name port on JACK server $jack_server" test -s "$work/$name.ready"
}

# The program numbers its devices: the built-in synth first, when it finds FluidR3_GM.sf2 or
# default-GM.sf2 in one of its SoundFont folders; then the ALSA sequencer's ports that take
# output (write and subscribe-write, shown as "W" in the kernel's client list); then the MIDI
# input ports of the JACK server. On a private server with one such port, the receiver's, its
# number is the count of the devices before it. Without /dev/snd/seq there are no ALSA ports.
synth_devices() {
  local folder font
  for folder in /usr/share/sounds/sf2 /usr/share/soundfonts /usr/local/share/sounds/sf2 \
    /usr/local/share/soundfonts; do
    for font in FluidR3_GM.sf2 default-GM.sf2; do
      if [ -f "$folder/$font" ]; then
        echo 1
        return
      fi
    done
  done
  echo 0
}

# Fails (status 1) when a sequencer exists but its ports cannot be counted.
alsa_output_ports() {
  if [ ! -e /dev/snd/seq ]; then
    echo 0
  elif [ -r /proc/asound/seq/clients ]; then
    grep -cE '^ +Port +[0-9]+ : ".*" \(.W' /proc/asound/seq/clients || true
  else
    return 1
  fi
}

# receiver_device: the device number of the first receiver into device, and what makes it up
# into device_makeup.
receiver_device() {
  local synth alsa
  synth=$(synth_devices)
  alsa=$(alsa_output_ports) ||
    fail "an ALSA sequencer exists but /proc/asound/seq/clients cannot be read to count its ports"
  device=$((synth + alsa))
  device_makeup="synth $synth + ALSA ports $alsa"
}
