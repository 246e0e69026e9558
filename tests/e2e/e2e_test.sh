#!/usr/bin/env bash
# The built program driven from outside, one case per run: e2e_test.sh CASE,
# under xvfb-run on a 1024 x 768 screen. The environment names the program and
# its helpers (E2E_PROGRAM, E2E_WRITE_CONFIG, E2E_CLOSE_WINDOW, E2E_DING).
set -Eeuo pipefail
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
case=$1
dir="$E2E_WORK/$case"
rm -rf "$dir" && mkdir -p -m 700 "$dir/run" "$dir/card"
cd "$dir"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$dir/run"
fails=0
pids=()
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }
die() { fail "$*"; exit 1; }
cleanup() {
  local p
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null && wait "$p" 2>/dev/null || true; done
  rm -rf "${private:-}"
  [ "$fails" -eq 0 ] || exit 1
}
trap cleanup EXIT

# poll SECONDS COMMAND...: COMMAND every 50 ms until it succeeds or time is up.
poll() {
  local end=$((${EPOCHREALTIME/./} + $1 * 1000000))
  shift
  until "$@"; do
    [ "${EPOCHREALTIME/./}" -lt "$end" ] || return 1
    sleep 0.05
  done
}
ended() { ! kill -0 "$pid" 2>/dev/null; }

# card [write-config options]: the virtual card for this and every later process.
card() { export ALSA_CONFIG_PATH; ALSA_CONFIG_PATH=$("$E2E_WRITE_CONFIG" "$@" "$dir/card"); }

# start [FOLDER [PROGRAM]]: the program in the background as $pid.
start() {
  (cd "${1:-$dir/run}" && exec "${2:-$E2E_PROGRAM}") >"$dir/program.log" 2>&1 &
  pid=$! && pids+=("$pid")
}

# The program's viewable windows titled Pegelwerk, and whether one is a dialog.
windows() { xdotool search --onlyvisible --pid "$pid" --name '^Pegelwerk$' 2>/dev/null || true; }
is_dialog() { xprop -id "$1" _NET_WM_WINDOW_TYPE | grep -q DIALOG; }
main_window() {
  local w
  for w in $(windows); do is_dialog "$w" || { win=$w; return 0; }; done
  return 1
}

# wait_main: the main window as $win, focused.
wait_main() {
  poll 30 main_window || die "no main window; program log: $(cat "$dir/program.log")"
  poll 5 xdotool windowfocus --sync "$win" 2>/dev/null || die "cannot focus the main window"
}

# close_main LIMIT_MS: the close message to the main window; the program must
# end within LIMIT_MS with status 0 and no sanitizer report.
close_main() {
  local t0 status=0
  t0=$(date +%s%N)
  "$E2E_CLOSE_WINDOW" "$win"
  poll 10 ended || die "the program did not end after its window was closed"
  closed_ms=$((($(date +%s%N) - t0) / 1000000))
  wait "$pid" || status=$?
  echo "closed after $closed_ms ms with status $status"
  [ "$status" -eq 0 ] || fail "exit status $status"
  [ "$closed_ms" -le "$1" ] || fail "the program took $closed_ms ms to end (at most $1)"
  ! grep -qE 'Sanitizer|runtime error' "$dir/program.log" ||
    fail "sanitizer report: $(cat "$dir/program.log")"
}

# Where the exit time counts, leaks are left to the other cases: the check
# alone takes a second or more at exit, and stopping every thread for it
# interrupts the sound worker inside ALSA's file PCM, which then asserts.
no_leak_check() { export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"; }
# fixed_window: $win (its properties in $props) is titled Pegelwerk, has the
# size hints min = max = 479 x 270, and offers close but neither minimise nor
# maximise.
fixed_window() {
  local bound flags functions decorations
  props=$(xprop -id "$win")
  grep -qx 'WM_NAME(STRING) = "Pegelwerk"' <<<"$props" || fail "title: $(grep WM_NAME <<<"$props")"
  for bound in minimum maximum; do
    grep -q "program specified $bound size: 479 by 270" <<<"$props" ||
      fail "no $bound size hint of 479 by 270: $(grep -o "specified $bound.*" <<<"$props")"
  done
  # Functions and decorations given (flags 3), neither as "all but" (bit 1),
  # without minimise (function 8, button 32) or maximise (16, 64), close (32) kept.
  read -r flags functions decorations _ < <(xprop -id "$win" _MOTIF_WM_HINTS | sed 's/.*= //; s/,//g')
  ((flags == 3 && (functions & 25) == 0 && (functions & 32) && (decorations & 97) == 0)) ||
    fail "_MOTIF_WM_HINTS $flags $functions $decorations offer minimise or maximise"
}

# plain_close: how long the program takes to end when nothing plays (base_ms),
# the measure for the cases below, since a loaded machine slows every exit.
plain_close() { start && wait_main && close_main 10000 && base_ms=$closed_ms; }

# levels DEVICE: "name=values" for every control of an ALSA control device.
levels() {
  amixer -D "$1" contents |
    awk -F"'" '/^numid=/ {n = $2} /: values=/ {sub(/.*: values=/, ""); print n "=" $0}'
}

# keys_reach DEVICE CHANGE...: Right on the focused slider, then Tab to the
# next, once per CHANGE; after each Right exactly one control of DEVICE
# differs from before it and reads CHANGE ("name=values").
keys_reach() {
  local device=$1 before now change
  shift
  before=$(levels "$device")
  for change in "$@"; do
    xdotool key Right
    poll 20 differs "$device" "$before" || true
    now=$(levels "$device")
    comm -13 <(sort <<<"$before") <(sort <<<"$now") >"$dir/changed"
    [ "$(cat "$dir/changed")" = "$change" ] ||
      fail "expected only $change, changed: $(tr '\n' ' ' <"$dir/changed")"
    before=$now
    xdotool key Tab
  done
}
differs() { [ "$(levels "$1")" != "$2" ]; }

# The full card, one Right on each slider: master 60/87 stands at position 8
# (45197 / 6000 = 7.53) and goes to 9 = 54000 = raw 71.69 -> 72; Mic 8/31 at 3
# (16912) to 4 = 24000 = 11.35 -> 11; Line 12/31 at 4 (25368) to 5 = 30000 =
# 14.19 -> 14; CD 20/31 at 7 (42281) to 8 = 48000 = 22.71 -> 23; Synth 24/31
# at 8 (50737) to 9 = 54000 = 25.54 -> 26; PCM 200/255 at 9 (51400) to 10 =
# 60000 = 233.46 -> 233.
full_card_moves=("Master Playback Volume=72,72" "Mic Playback Volume=11"
  "Line Playback Volume=14,14" "CD Playback Volume=23,23"
  "Synth Playback Volume=26,26" "PCM Playback Volume=233,233")

# same_sound CAPTURE WAV: the captured samples are those of WAV.
same_sound() {
  [ -s "$1" ] && cmp -s <(sox "$1" -t raw - 2>/dev/null) <(sox "$2" -t raw -)
}

case $case in
window)
  card
  start
  wait_main
  fixed_window
  geometry=$(xwininfo -id "$win" |
    awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
         /^ +Width/ {w = $2} /^ +Height/ {h = $2} END {print w "x" h "+" x "+" y}')
  # Centred on 1024 x 768: (1024 - 479) / 2 = 272.5, (768 - 270) / 2 = 249.
  [[ $geometry =~ ^479x270\+27[23]\+249$ ]] || fail "geometry $geometry, expected 479x270 centred"
  close_main 10000
  ;;
wayland)
  # On a Wayland session with XWayland the window goes through X11, where the
  # window manager keeps its fixed size and close-only frame.
  for tool in weston Xwayland; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  compgen -G '/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so' >/dev/null ||
    { echo "SKIP: qt6-wayland is not installed"; exit 77; }
  card
  export HOME="$dir/run"
  weston --backend=headless-backend.so --use-pixman --xwayland --no-config \
    --socket=wayland-e2e >"$dir/weston.log" 2>&1 &
  pids+=("$!")
  poll 20 grep -q 'xserver listening on display' "$dir/weston.log" ||
    die "no XWayland: $(cat "$dir/weston.log")"
  DISPLAY=$(grep -o 'listening on display :[0-9]*' "$dir/weston.log" | cut -d' ' -f4)
  export DISPLAY WAYLAND_DISPLAY=wayland-e2e
  start
  poll 30 main_window || die "no X11 window on Weston's XWayland: $(cat "$dir/program.log")"
  fixed_window
  # Desktops match an X11 window to its desktop entry by the window's class.
  class=$(sed -n 's/^StartupWMClass=//p' "$E2E_SOURCE_DIR/assets/de.pegelwerk.Pegelwerk.desktop")
  grep -q "^WM_CLASS(STRING) = \".*\", \"$class\"\$" <<<"$props" || fail "WM_CLASS is not '$class'"
  close_main 10000
  ;;
keys)
  card
  start
  wait_main
  keys_reach default "${full_card_moves[@]}"
  close_main 10000
  ;;
no_card)
  card --no-card
  start
  poll 30 eval '[ -n "$(windows)" ]' || die "no window; program log: $(cat "$dir/program.log")"
  sleep 0.5  # time for a window shown too early to appear
  box=$(windows)
  [ "$(wc -w <<<"$box")" -eq 1 ] && is_dialog "$box" ||
    die "expected the message box alone first, found: $box"
  poll 5 xdotool windowfocus --sync "$box" 2>/dev/null || die "cannot focus the box"
  xdotool key Return
  poll 30 eval '[ -n "$(windows)" ] && [ "$(windows)" != "$box" ]' || die "nothing after the box"
  for w in $(windows); do ! is_dialog "$w" || die "a second message box came"; done
  wait_main
  [ "$(windows)" = "$win" ] || fail "windows after answering the box: $(windows)"
  # Fixed sliders: no key moves one, so nothing plays either.
  for i in 1 2 3 4 5 6; do xdotool key Right End Tab; done
  sleep 1
  [ ! -e "$dir/card/capture.wav" ] || fail "a fixed slider moved and played the ding"
  close_main 10000
  ;;
ding)
  card
  start
  wait_main
  keys_reach default "${full_card_moves[0]}"
  poll 10 same_sound "$dir/card/capture.wav" "$E2E_DING" ||
    fail "captured $(soxi "$dir/card/capture.wav" 2>&1), not the ding: $(soxi "$E2E_DING")"
  close_main 10000
  ;;
close_playing)
  # A reader that takes 16-bit mono 44.1 kHz at the pace of a real device,
  # and a tone of 5 s as the ding: the close comes while it plays.
  mkfifo fifo
  (exec 3<fifo; while sleep 0.05; do head -c 4410 <&3 >>"$dir/taken" || exit 0; done) &
  pids+=("$!")
  card --capture "$dir/fifo"
  sox -n -r 44100 -b 16 -c 1 run/ding.wav synth 5 sine 440
  no_leak_check
  plain_close
  start
  wait_main
  keys_reach default "${full_card_moves[0]}"
  poll 10 test -s "$dir/taken" || fail "nothing played"
  close_main $((base_ms + 1000))
  ;;
hung)
  # ALSA's file PCM opening a FIFO that nothing reads waits for ever.
  mkfifo fifo
  card --capture "$dir/fifo"
  no_leak_check
  plain_close
  start
  wait_main
  keys_reach default "${full_card_moves[@]}"
  close_main $((base_ms + 1000))
  echo "exit time with the sound device hung: $closed_ms ms, with nothing played: $base_ms ms"
  ;;
pulseaudio)
  command -v pulseaudio >/dev/null || { echo "SKIP: pulseaudio is not installed"; exit 77; }
  # Everything of the daemon and its clients in a private folder, never in $HOME.
  private=$(mktemp -d /tmp/pegelwerk-pulse.XXXXXX)
  export HOME="$private" XDG_CONFIG_HOME="$private/config" XDG_RUNTIME_DIR="$private"
  export PULSE_RUNTIME_PATH="$private/pulse" PULSE_STATE_PATH="$private/state"
  export PULSE_COOKIE="$private/cookie" PULSE_SERVER="unix:$private/native"
  printf '%s\n' "load-module module-native-protocol-unix socket=$private/native" \
    'load-module module-null-sink sink_name=e2e_sink' \
    'load-module module-null-source source_name=e2e_source' \
    'set-default-sink e2e_sink' 'set-default-source e2e_source' >"$private/daemon.pa"
  pulseaudio -n -F "$private/daemon.pa" --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --disable-shm >"$dir/pulseaudio.log" 2>&1 &
  daemon=$! && pids+=("$daemon")
  poll 20 pactl info >/dev/null 2>&1 ||
    { echo "SKIP: pulseaudio did not start: $(tail -n 3 "$dir/pulseaudio.log")"; exit 77; }
  # On 0..65536: 20000 is level 20000, position 3, Right gives 4 = 24000 =
  # raw 24000.37 -> 24000; 8000 is position 1, Right gives 2 = 12000.18 -> 12000.
  pactl set-sink-volume @DEFAULT_SINK@ 20000
  pactl set-source-volume @DEFAULT_SOURCE@ 8000
  card --server pulse
  plain_close
  start
  wait_main
  volume() { pactl "get-$1-volume" "@DEFAULT_${1^^}@" | grep -o ': [0-9]* /' | tr -dc '0-9\n' | paste -sd,; }
  is() { [ "$(volume "$1")" = "$2" ]; }
  card_before=$(levels sysdefault)
  xdotool key Right
  poll 5 is sink 24000,24000 || fail "sink volume $(volume sink), expected 24000,24000"
  xdotool key Tab Right
  poll 5 is source 12000,12000 || fail "source volume $(volume source), expected 12000,12000"
  [ "$(levels sysdefault)" = "$card_before" ] || fail "master or microphone moved the card"
  xdotool key Tab
  keys_reach sysdefault "${full_card_moves[@]:2}"
  # A server that stops answering costs only its own lines: master's write is
  # given up, the card's Line (5 -> 6 = 36000 = raw 17.03) is still set, and
  # the close stays prompt.
  kill -STOP "$daemon"
  xdotool key Right Tab Tab
  keys_reach sysdefault "Line Playback Volume=17,17"
  close_main $((base_ms + 1000))
  echo "exit time with the sound server stopped: $closed_ms ms, with it answering: $base_ms ms"
  ;;
package)
  # The packager's build (the package preset: no tests, prefix /usr); kept between runs.
  build="$E2E_WORK/package-build"
  (cd "$E2E_SOURCE_DIR" && cmake --preset package -B "$build") >"$dir/build.log" 2>&1 &&
    cmake --build "$build" >>"$dir/build.log" 2>&1 &&
    (cd "$build" && cpack -G DEB -B "$dir/deb") >>"$dir/build.log" 2>&1 ||
    die "build: $(tail "$dir/build.log")"
  deb=$(ls "$dir"/deb/pegelwerk_*.deb)
  rm -rf root && dpkg -x "$deb" root
  # Built here, against what is installed here: every dependency names an
  # installed package, by its own name or one that package provides (Debian
  # 13's libasound2t64 for libasound2).
  present=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Provides}\n' |
    awk '$1 == "ii" { $1 = ""; gsub(/\([^)]*\)|,/, " "); for (i = 1; i <= NF; i++) print $i }')
  while read -r group; do
    grep -qxF -f <(tr '|' '\n' <<<"$group") <<<"$present" || fail "depends on $group: not installed here"
  done < <(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/ //g' | tr ',' '\n')
  desktop-file-validate root/usr/share/applications/*.desktop || fail "desktop entry"
  # Pegelwerk has no homepage to name. appstreamcli 1.0 warns about the missing
  # one and fails on the warning; 0.16 has no such check and refuses to hear
  # of it, so the warning is lowered only where the validator knows it.
  metainfo=(root/usr/share/metainfo/*.xml)
  homepage=--override=url-homepage-missing=info
  known=$(appstreamcli validate --no-net "$homepage" "${metainfo[@]}" 2>&1 || true)
  [[ $known != *"'url-homepage-missing' is not recognized"* ]] || homepage=
  appstreamcli validate --no-net ${homepage:+"$homepage"} "${metainfo[@]}" || fail "metainfo"
  lintian "$deb" >lintian.log 2>&1 || true
  cat lintian.log
  ! grep -q '^E:' lintian.log || fail "lintian errors"
  page=root/usr/share/man/man1/pegelwerk.1.gz
  [ -f "$page" ] && [ -z "$(man --warnings -l "$page" 2>&1 >/dev/null)" ] ||
    fail "man page missing or warned: $(man --warnings -l "$page" 2>&1 >/dev/null)"
  # From a folder without a ding, the unpacked program plays its own.
  card
  start "$dir/run" "$dir/root/usr/bin/pegelwerk"
  wait_main
  keys_reach default "${full_card_moves[0]}"
  poll 10 same_sound "$dir/card/capture.wav" root/usr/share/pegelwerk/ding.wav ||
    fail "captured $(soxi "$dir/card/capture.wav" 2>&1), not the package's ding"
  close_main 10000
  ;;
*) die "unknown case $case" ;;
esac
