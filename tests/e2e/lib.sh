# Shared helpers for the end-to-end tests of the real program: a private X
# display, the virtual sound card, the program under test, and checks.
# Each test sources this file, calls e2e_setup, and ends with e2e_pass.
#
# The test's environment (set by CMake) names what it drives:
#   E2E_PROGRAM       the built pegelwerk
#   E2E_WRITE_CONFIG  the virtual card's write-config
#   E2E_CLOSE_WINDOW  sends WM_DELETE_WINDOW to a window, as a close button does
#   E2E_SOUND_PROBE   compares captured sound with the expected sound
#   E2E_MSGBOX_REF    shows a reference message box
#   E2E_DING          the built ding.wav
#   E2E_DATADIR       the installed data folder where the program also looks for it
#   E2E_WORK_ROOT     where each test keeps its folder (screenshots, logs, card)
set -euo pipefail

E2E_FAILS=0
E2E_PIDS=()
E2E_TEMP=
E2E_SKIP=77

# The six sliders in tab order: their names, the full virtual card's control
# each one drives, and where the slider sits in the window (left, top; every
# slider is 124 x 42).
E2E_SLIDERS=(RLautstärke RMicrofon RLineIn RCDAudio RMidi RWave)
E2E_LINES=("Master Playback Volume" "Mic Playback Volume" "Line Playback Volume"
           "CD Playback Volume" "Synth Playback Volume" "PCM Playback Volume")
E2E_SLIDER_X=(18 171 324 18 174 324)
E2E_SLIDER_Y=(69 69 69 162 162 162)
# The Fusion thumb is 14 pixels long: its centre runs from 7 to 117 across a
# slider, and the groove's centre line is 16 pixels below the slider's top.
E2E_THUMB_FIRST=7
E2E_THUMB_TRAVEL=110
E2E_GROOVE_Y=16

e2e_log() { printf '[e2e] %s\n' "$*"; }
e2e_fail() { printf '[e2e] FAIL: %s\n' "$*" >&2; E2E_FAILS=$((E2E_FAILS + 1)); }
e2e_skip() { printf '[e2e] SKIP: %s\n' "$*"; exit "$E2E_SKIP"; }
# A failure after which the test cannot go on.
e2e_abort() { e2e_fail "$*"; e2e_log "$E2E_NAME: stopped"; exit 1; }

e2e_cleanup() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ -n "$E2E_TEMP" ]; then rm -rf "$E2E_TEMP"; fi
}

# e2e_temp: a short-named scratch folder (E2E_TEMP) for sockets, whose paths
# must stay short; removed at the end.
e2e_temp() {
  E2E_TEMP=$(mktemp -d /tmp/pegelwerk-e2e.XXXXXX)
}

# e2e_setup NAME: a work folder under the build tree and a private display.
e2e_setup() {
  E2E_NAME=$1
  E2E_DIR="$E2E_WORK_ROOT/$E2E_NAME"
  rm -rf "$E2E_DIR" && mkdir -p "$E2E_DIR"
  trap e2e_cleanup EXIT
  trap "exit 143" TERM INT
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
  # Qt wants a private runtime folder; without one it warns on every start.
  export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  e2e_start_display
}

# e2e_poll SECONDS COMMAND...: runs COMMAND every 20 ms until it succeeds.
e2e_poll() {
  local tries=$(($1 * 50))
  shift
  while [ "$tries" -gt 0 ]; do
    "$@" && return 0
    sleep 0.02
    tries=$((tries - 1))
  done
  return 1
}

e2e_start_display() {
  local fd_file="$E2E_DIR/display"
  : >"$fd_file"
  exec {dfd}>"$fd_file"
  Xvfb -displayfd "$dfd" -screen 0 1024x768x24 -nolisten tcp -noreset \
    >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_PIDS+=($!)
  exec {dfd}>&-
  # The display number is written once the server accepts clients.
  e2e_poll 10 grep -q '[0-9]' "$fd_file" || e2e_abort "Xvfb did not start: $(cat "$E2E_DIR/xvfb.log")"
  export DISPLAY=":$(tr -d '\n' <"$fd_file")"
  e2e_log "display $DISPLAY"
}

# e2e_card [write-config options] [PROFILE]: a virtual card in the test's
# folder; ALSA_CONFIG_PATH points every later process (program, amixer) at it.
e2e_card() {
  local profile=full options=()
  while [ $# -gt 0 ]; do
    case $1 in
      --*) options+=("$1"); shift ;;
      *) profile=$1; shift ;;
    esac
  done
  E2E_CARD="$E2E_DIR/card"
  ALSA_CONFIG_PATH=$("$E2E_WRITE_CONFIG" "${options[@]}" "$E2E_CARD" "$profile")
  export ALSA_CONFIG_PATH
}

# e2e_start [--cwd FOLDER] [--program PATH]: starts the program in the
# background (E2E_PID), its output in E2E_LOG.
E2E_RUNS=0
e2e_start() {
  local cwd=$E2E_DIR program=$E2E_PROGRAM
  while [ $# -gt 0 ]; do
    case $1 in
      --cwd) cwd=$2; shift 2 ;;
      --program) program=$2; shift 2 ;;
      *) e2e_abort "e2e_start: unknown option $1" ;;
    esac
  done
  E2E_RUNS=$((E2E_RUNS + 1))
  E2E_LOG="$E2E_DIR/program-$E2E_RUNS.log"
  (cd "$cwd" && exec "$program") >"$E2E_LOG" 2>&1 &
  E2E_PID=$!
  E2E_PIDS+=("$E2E_PID")
}

# e2e_windows PID: the viewable windows of the program titled "Pegelwerk".
e2e_windows() {
  xdotool search --all --onlyvisible --pid "$1" --name '^Pegelwerk$' 2>/dev/null || true
}

e2e_has_window() { [ -n "$(e2e_windows "$1")" ]; }
e2e_not_viewable() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }

# e2e_size WINDOW: "WIDTHxHEIGHT" of the window's client area.
e2e_size() {
  xwininfo -id "$1" | awk '/^ +Width:/ {w=$2} /^ +Height:/ {h=$2} END {print w "x" h}'
}

# e2e_find_main: prints the program's main window (479 x 270) once viewable.
e2e_find_main() {
  local id
  for id in $(e2e_windows "$E2E_PID"); do
    if [ "$(e2e_size "$id")" = "479x270" ]; then echo "$id"; return 0; fi
  done
  return 1
}

# e2e_wait_main: waits for the main window (E2E_WIN, its place on the screen
# E2E_WIN_X, E2E_WIN_Y) and gives it the focus.
e2e_wait_main() {
  local i
  for i in $(seq 500); do
    if E2E_WIN=$(e2e_find_main); then
      xdotool windowfocus --sync "$E2E_WIN"
      E2E_WIN_X=$(xwininfo -id "$E2E_WIN" | awk '/Absolute upper-left X:/ {print $4}')
      E2E_WIN_Y=$(xwininfo -id "$E2E_WIN" | awk '/Absolute upper-left Y:/ {print $4}')
      return 0
    fi
    kill -0 "$E2E_PID" 2>/dev/null || break
    sleep 0.02
  done
  e2e_abort "no main window titled Pegelwerk; program log: $(cat "$E2E_LOG")"
}

# e2e_screenshot NAME [WINDOW]: keeps a picture of the window (default: the
# main window) in the test's folder.
e2e_screenshot() {
  local out="$E2E_DIR/$1.png"
  if import -window "${2:-$E2E_WIN}" "$out" 2>/dev/null; then
    e2e_log "screenshot $out"
  else
    e2e_fail "cannot take the screenshot $out"
  fi
}

# e2e_close [WINDOW]: the window's close message, then waits for the program
# to end. E2E_EXIT is its exit status, E2E_EXIT_MS how long the end took.
e2e_close() {
  local window=${1:-$E2E_WIN} start end
  start=$(date +%s%N)
  "$E2E_CLOSE_WINDOW" "$window"
  if ! e2e_poll 15 e2e_ended "$E2E_PID"; then
    e2e_abort "the program did not end after its window was closed"
  fi
  end=$(date +%s%N)
  E2E_EXIT_MS=$(((end - start) / 1000000))
  set +e
  wait "$E2E_PID"
  E2E_EXIT=$?
  set -e
  e2e_log "closed: exit status $E2E_EXIT after $E2E_EXIT_MS ms"
}
e2e_ended() { ! kill -0 "$1" 2>/dev/null; }

# e2e_expect_clean_exit: exit status 0 and nothing from the sanitizers.
e2e_expect_clean_exit() {
  e2e_expect_eq "exit status" 0 "$E2E_EXIT"
  if grep -qE 'Sanitizer|runtime error' "$E2E_LOG"; then
    e2e_fail "sanitizer report in $E2E_LOG"
    cat "$E2E_LOG" >&2
  fi
}

# e2e_pulse_start: a private pulseaudio daemon (E2E_PULSE_PID) with a null
# sink and a null source as the defaults, and ALSA's default control and PCM
# routed to it through the pulse plugin; pactl talks to it too. Skips the
# test when the daemon cannot start here.
e2e_pulse_start() {
  command -v pulseaudio >/dev/null || e2e_skip "pulseaudio is not installed"
  command -v pactl >/dev/null || e2e_skip "pactl is not installed"
  e2e_temp
  local socket="$E2E_TEMP/native"
  mkdir -p -m 700 "$E2E_TEMP/runtime" "$E2E_TEMP/home"
  cat >"$E2E_DIR/daemon.pa" <<CONFIG
load-module module-null-sink sink_name=pegelwerk_sink
load-module module-null-source source_name=pegelwerk_source
load-module module-native-protocol-unix socket=$socket auth-anonymous=1
set-default-sink pegelwerk_sink
set-default-source pegelwerk_source
CONFIG
  echo "autospawn = no" >"$E2E_DIR/client.conf"
  export PULSE_SERVER="unix:$socket" PULSE_CLIENTCONFIG="$E2E_DIR/client.conf"
  # -n: none of the system's own configuration; a private home and runtime
  # folder, so nothing of a desktop session on this machine is touched.
  XDG_RUNTIME_DIR="$E2E_TEMP/runtime" HOME="$E2E_TEMP/home" \
    pulseaudio -n -F "$E2E_DIR/daemon.pa" --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --log-target=stderr >"$E2E_DIR/pulseaudio.log" 2>&1 &
  E2E_PULSE_PID=$!
  E2E_PIDS+=("$E2E_PULSE_PID")
  if ! e2e_poll 10 e2e_pulse_ready; then
    e2e_skip "the pulseaudio daemon did not start: $(tail -n 5 "$E2E_DIR/pulseaudio.log")"
  fi
  e2e_log "pulseaudio $E2E_PULSE_PID on $socket"
  cat >"$E2E_DIR/asound.conf" <<CONFIG
pcm.!default { type pulse server "unix:$socket" }
ctl.!default { type pulse server "unix:$socket" }
CONFIG
  export ALSA_CONFIG_PATH="$E2E_DIR/asound.conf"
  amixer -D default contents >/dev/null 2>&1 ||
    e2e_abort "ALSA's pulse plugin does not reach the daemon (is libasound2-plugins installed?)"
  # The plugin's controls: the sink's volume is "Master", the source's
  # "Capture"; the other four sliders have no line.
  E2E_LINES=("Master Playback Volume" "Capture Volume" "" "" "" "")
}
e2e_pulse_ready() { kill -0 "$E2E_PULSE_PID" 2>/dev/null && pactl info >/dev/null 2>&1; }

# e2e_pulse_stop: ends the daemon by its PID.
e2e_pulse_stop() {
  kill "$E2E_PULSE_PID"
  e2e_poll 10 e2e_ended "$E2E_PULSE_PID" || e2e_fail "the pulseaudio daemon did not stop"
}

# e2e_pulse_volume sink|source: the default device's channel volumes, "v1,v2".
e2e_pulse_volume() {
  pactl "get-$1-volume" "@DEFAULT_${1^^}@" | grep -o '[a-z-]*: [0-9]* /' | awk '{print $2}' |
    paste -sd,
}
e2e_pulse_is() { [ "$(e2e_pulse_volume "$1")" = "$2" ]; }
e2e_pulse_playing() { [ -n "$(pactl list short sink-inputs)" ]; }

# --- The card, read with amixer -------------------------------------------

# e2e_read_card: every control of the default card into E2E_VALUES[name]
# ("v1,v2,..."), E2E_MIN[name] and E2E_MAX[name].
declare -gA E2E_VALUES E2E_MIN E2E_MAX
e2e_read_card() {
  E2E_VALUES=()
  local name min max values
  while IFS='|' read -r name min max values; do
    E2E_VALUES[$name]=$values
    E2E_MIN[$name]=$min
    E2E_MAX[$name]=$max
  done < <(amixer -D default contents | awk '
    /^numid=/ { match($0, /name=\047[^\047]*\047/); name = substr($0, RSTART + 6, RLENGTH - 7) }
    /; type=/ {
      min = ""; max = ""
      if (match($0, /min=-?[0-9]+/)) min = substr($0, RSTART + 4, RLENGTH - 4)
      if (match($0, /max=-?[0-9]+/)) max = substr($0, RSTART + 4, RLENGTH - 4)
    }
    /: values=/ { sub(/.*: values=/, ""); print name "|" min "|" max "|" $0 }')
  [ "${#E2E_VALUES[@]}" -gt 0 ]
}

# e2e_raw_for POSITION MIN MAX: the raw value a slider position must put on a
# control with that range. The position stands for POSITION x 6000 on the
# levels 0..65535 (kept within them), and the level is the nearest raw step.
e2e_raw_for() {
  local level=$(($1 * 6000)) min=$2 max=$3
  [ "$level" -lt 0 ] && level=0
  [ "$level" -gt 65535 ] && level=65535
  echo $((min + (2 * level * (max - min) + 65535) / (2 * 65535)))
}

# e2e_position_for RAW MIN MAX: the position a slider shows for a raw value:
# the raw value as the nearest level of 0..65535, divided by 6000 and rounded
# to the nearest position, halves to even.
e2e_position_for() {
  local raw=$1 min=$2 max=$3
  local level=$(((2 * (raw - min) * 65535 + (max - min)) / (2 * (max - min))))
  local p=$((level / 6000)) rest=$((level % 6000))
  if [ "$rest" -gt 3000 ] || { [ "$rest" -eq 3000 ] && [ $((p % 2)) -eq 1 ]; }; then
    p=$((p + 1))
  fi
  echo "$p"
}

# e2e_repeat VALUE COUNT: "VALUE,VALUE,..." as amixer prints a control.
e2e_repeat() {
  local out=$1 i
  for ((i = 1; i < $2; i++)); do out="$out,$1"; done
  echo "$out"
}

# --- The sliders, as a model the card is checked against ------------------

# e2e_model_from_card: every slider's position as the program must show it at
# start, from the card's levels (E2E_POS), and a snapshot of the card
# (E2E_SNAPSHOT) that later moves are compared with.
declare -gA E2E_SNAPSHOT
E2E_POS=()
e2e_model_from_card() {
  e2e_read_card || e2e_abort "amixer cannot read the card"
  local i line raw
  for i in 0 1 2 3 4 5; do
    line=${E2E_LINES[$i]}
    if [ -n "$line" ] && [ -n "${E2E_VALUES[$line]:-}" ] &&
       [ "${E2E_MAX[$line]}" -gt "${E2E_MIN[$line]}" ]; then
      raw=${E2E_VALUES[$line]%%,*}
      E2E_POS[$i]=$(e2e_position_for "$raw" "${E2E_MIN[$line]}" "${E2E_MAX[$line]}")
    else
      E2E_POS[$i]=0  # a line the card lacks: its slider is fixed at 0
    fi
  done
  E2E_SNAPSHOT=()
  for line in "${!E2E_VALUES[@]}"; do E2E_SNAPSHOT[$line]=${E2E_VALUES[$line]}; done
}

# The highest position of every slider: 65535 / 6000, rounded.
E2E_TOP=11

# e2e_line_is LINE VALUES: whether amixer reads the control as VALUES.
e2e_line_is() {
  e2e_read_card && [ "${E2E_VALUES[$1]:-}" = "$2" ]
}

# e2e_expect_move SLIDER POSITION WHAT: after an input, the slider (0..5)
# must stand at POSITION: its line on the card reaches the raw value for it,
# and no other control of the card changed.
e2e_expect_move() {
  local i=$1 p=$2 what=$3
  local line=${E2E_LINES[$i]}
  local before=${E2E_SNAPSHOT[$line]}
  local channels=$(($(tr -cd , <<<"$before" | wc -c) + 1))
  local raw expected
  raw=$(e2e_raw_for "$p" "${E2E_MIN[$line]}" "${E2E_MAX[$line]}")
  expected=$(e2e_repeat "$raw" "$channels")
  if [ "$expected" = "$before" ]; then
    e2e_abort "$what: the line already holds $expected, the move cannot be seen"
  fi
  if ! e2e_poll 5 e2e_line_is "$line" "$expected"; then
    e2e_fail "$what: $line is ${E2E_VALUES[$line]:-unreadable}, expected $expected (position $p)"
  fi
  local other
  for other in "${!E2E_SNAPSHOT[@]}"; do
    [ "$other" = "$line" ] && continue
    if [ "${E2E_VALUES[$other]:-}" != "${E2E_SNAPSHOT[$other]}" ]; then
      e2e_fail "$what: $other moved from ${E2E_SNAPSHOT[$other]} to ${E2E_VALUES[$other]:-unreadable}"
    fi
  done
  for other in "${!E2E_VALUES[@]}"; do E2E_SNAPSHOT[$other]=${E2E_VALUES[$other]}; done
  E2E_POS[$i]=$p
}

# e2e_clamp POSITION: kept within 0..E2E_TOP.
e2e_clamp() {
  local p=$1
  [ "$p" -lt 0 ] && p=0
  [ "$p" -gt "$E2E_TOP" ] && p=$E2E_TOP
  echo "$p"
}

# e2e_thumb_x SLIDER POSITION / e2e_groove_y SLIDER: window coordinates of
# the thumb's centre at a position (0..E2E_TOP), and of the groove.
e2e_thumb_x() {
  echo $((E2E_SLIDER_X[$1] + E2E_THUMB_FIRST + $2 * E2E_THUMB_TRAVEL / E2E_TOP))
}
e2e_groove_y() { echo $((E2E_SLIDER_Y[$1] + E2E_GROOVE_Y)); }

# e2e_pointer X Y: the pointer to a point of the main window.
e2e_pointer() {
  xdotool mousemove $((E2E_WIN_X + $1)) $((E2E_WIN_Y + $2))
}

# e2e_expect_sound WHAT ding FILE | WHAT default: the card's capture
# ($E2E_CARD/capture.wav) holds that sound, from its first sample on.
e2e_expect_sound() {
  local what=$1 capture="$E2E_CARD/capture.wav"
  shift
  if ! e2e_poll 5 "$E2E_SOUND_PROBE" plays "$capture" "$@" >/dev/null; then
    e2e_fail "$what: $("$E2E_SOUND_PROBE" plays "$capture" "$@")"
  fi
}

# --- Checks ----------------------------------------------------------------

e2e_expect_eq() {
  local what=$1 expected=$2 actual=$3
  if [ "$expected" != "$actual" ]; then
    e2e_fail "$what: expected '$expected', got '$actual'"
  fi
}

e2e_pass() {
  if [ "$E2E_FAILS" -eq 0 ]; then
    e2e_log "$E2E_NAME: passed"
    exit 0
  fi
  e2e_log "$E2E_NAME: $E2E_FAILS failure(s)"
  exit 1
}
