# Helpers of the end-to-end scripts, sourced with $case set: the scratch folder
# $dir, the program and its windows, the virtual card, the close, the checks.
set -Eeuo pipefail
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
dir="$E2E_WORK/$case"
rm -rf "$dir" && mkdir -p -m 700 "$dir/run" "$dir/card"
cd "$dir"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$dir/run"
# A case without a session bus of its own gets an address that refuses at once.
# Without any, Qt's screen-reader bridge has libdbus autolaunch a bus through a
# forked helper, and the window's thread waits in QDBusConnection::sessionBus()
# until the helper's pipe closes; under AddressSanitizer, now and then it never
# did, and the window never came.
export DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-unix:path=$dir/no-session-bus}
fails=0
pids=()
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }
die() { fail "$*"; exit 1; }
cleanup() {
  local status=$? p
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null && wait "$p" 2>/dev/null || true; done
  # A case that failed shows the end of each log it kept.
  if [ "$fails" -ne 0 ] || [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    for p in "$dir"/*.log; do [ ! -s "$p" ] || { echo "--- $p"; tail -n 25 "$p"; }; done
  fi
  rm -rf "${private:-}"
  [ "$fails" -eq 0 ] || exit 1
}
trap cleanup EXIT

# poll SECONDS COMMAND...: COMMAND every 50 ms until it succeeds or time is up.
poll() {
  local end=$((${EPOCHREALTIME/./} + $1 * 1000000))
  shift
  until "$@"; do [ "${EPOCHREALTIME/./}" -lt "$end" ] || return 1; sleep 0.05; done
}

# card [write-config options]: the virtual card for this and every later process.
card() { export ALSA_CONFIG_PATH; ALSA_CONFIG_PATH=$("$E2E_WRITE_CONFIG" "$@" "$dir/card"); }

# start [FOLDER [PROGRAM]]: the program in the background as $pid.
start() {
  (cd "${1:-$dir/run}" && exec "${2:-$E2E_PROGRAM}") >"$dir/program.log" 2>&1 &
  pid=$! && pids+=("$pid")
}

# program_window main|dialog: the program's viewable window titled Pegelwerk that is no
# dialog (main) or is one (dialog), as $win.
program_window() {
  local w kind
  for w in $(xdotool search --onlyvisible --pid "$pid" --name '^Pegelwerk$' 2>/dev/null || true); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q DIALOG && kind=dialog || kind=main
    [ "$kind" = "$1" ] && { win=$w; return 0; }
  done
  return 1
}
main_window() { program_window main; }

# has_icon WINDOW: the window carries the program's 16 x 16 icon.
has_icon() { xprop -id "$1" _NET_WM_ICON 2>/dev/null | grep -q 'Icon (16 x 16)'; }

# program_state: what each of the program's threads waits in, for a window that
# never came; with gdb at hand, their stacks too.
program_state() {
  local t
  for t in /proc/"$pid"/task/*; do
    echo "$(cat "$t/comm" 2>/dev/null) $(cat "$t/wchan" 2>/dev/null) syscall $(cut -d' ' -f1 "$t/syscall" 2>/dev/null)"
  done
  ps -o pid=,stat=,wchan:32=,args= --ppid "$pid" | sed 's/^/child /' || true
  if type -P gdb >/dev/null; then
    timeout 30 gdb -batch -p "$pid" -ex 'thread apply all bt 12' 2>/dev/null | grep -E '^(Thread|#)'
  fi
}

# wait_main: the main window as $win, focused.
wait_main() {
  poll 30 main_window ||
    die "no main window; program log: $(cat "$dir/program.log"); threads: $(program_state)"
  poll 5 timeout 5 xdotool windowfocus --sync "$win" 2>/dev/null || die "cannot focus the main window"
}

# close_main LIMIT_MS: the close message to the main window; the program must
# end within LIMIT_MS with status 0 and no sanitizer report.
close_main() {
  local t0=${EPOCHREALTIME/./} status=0
  "$E2E_CLOSE_WINDOW" "$win"
  poll 10 eval '! kill -0 "$pid" 2>/dev/null' || die "the program did not end after its window was closed"
  closed_ms=$(((${EPOCHREALTIME/./} - t0) / 1000))
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
# plain_close: how long the program takes to end when nothing plays (base_ms),
# the measure for the cases below, since a loaded machine slows every exit.
plain_close() { start && wait_main && close_main 10000 && base_ms=$closed_ms; }

# levels DEVICE: "name=values" for every control of an ALSA control device.
levels() {
  amixer -D "$1" contents |
    awk -F"'" '/^numid=/ {n = $2} /: values=/ {sub(/.*: values=/, ""); print n "=" $0}'
}

# changes DEVICE CHANGE COMMAND...: after COMMAND exactly one control of DEVICE
# differs from before it and reads CHANGE ("name=values").
changes() {
  local device=$1 change=$2 before
  shift 2
  before=$(levels "$device")
  "$@"
  poll 20 changed_alone "$device" "$before" "$change" ||
    fail "expected only $change, changed: $(tr '\n' ' ' <"$dir/changed")"
}
changed_alone() {
  comm -13 <(sort <<<"$2") <(levels "$1" | sort) >"$dir/changed"
  [ "$(cat "$dir/changed")" = "$3" ]
}
# keys_reach DEVICE CHANGE...: Right on the focused slider changes CHANGE, then
# Tab to the next, once per CHANGE.
keys_reach() {
  local device=$1 change
  shift
  for change in "$@"; do changes "$device" "$change" xdotool key Right && xdotool key Tab; done
}

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
same_sound() { [ -s "$1" ] && cmp -s <(sox "$1" -t raw - 2>/dev/null) <(sox "$2" -t raw -); }

