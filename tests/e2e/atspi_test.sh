#!/usr/bin/env bash
# The built program as a screen reader meets it, over AT-SPI: under xvfb-run and
# dbus-run-session (a private session bus, on which the accessibility bus and
# its registry start on demand). The environment names the program and its
# helpers as for e2e_test.sh (E2E_PROGRAM, E2E_WRITE_CONFIG, E2E_CLOSE_WINDOW,
# E2E_DING, E2E_WORK).
set -Eeuo pipefail
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
# pyatspi is Debian's, for Debian's python3.
python=/usr/bin/python3
"$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
[[ ${DBUS_SESSION_BUS_ADDRESS:-} ]] || { echo "FAIL: no session bus: run under dbus-run-session" >&2; exit 1; }
dir="$E2E_WORK/atspi"
rm -rf "$dir" && mkdir -p -m 700 "$dir/run" "$dir/card"
cd "$dir"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$dir/run" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
fails=0
pid=
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }
cleanup() {
  [ -z "$pid" ] || { kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; }
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

# reader STEP...: the screen reader's side, one python run per step (below).
reader() { "$python" - "$@" <<'EOF'
import sys, time
import pyatspi

def poll(seconds, find):
    end = time.monotonic() + seconds
    while True:
        try:
            found = find()
        except Exception:  # a tree that changes under the walk: look again
            found = None
        if found or time.monotonic() > end:
            return found
        time.sleep(0.1)

def app():
    desktop = pyatspi.Registry.getDesktop(0)
    apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
    return next((a for a in apps if a is not None and a.name == "Pegelwerk"), None)

def all_of(role):
    a = app()
    return pyatspi.findAllDescendants(a, lambda n: n.getRoleName() == role) if a else []

def sliders():
    found = all_of("slider")
    return found if len(found) == 6 else None

def shown(n):
    v = n.queryValue()
    return f"{n.name}={v.currentValue:g} of {v.minimumValue:g}..{v.maximumValue:g}"

step = sys.argv[1]
if step == "sliders":  # every slider: caption=value of min..max
    found = poll(30, sliders)
    print(" | ".join(shown(s) for s in found) if found else "no six sliders")
elif step == "set":  # set NAME VALUE: through the Value interface, as a reader does
    name, value = sys.argv[2], float(sys.argv[3])
    slider = next(s for s in poll(30, sliders) if s.name == name)
    slider.queryValue().currentValue = value
    print(shown(slider) if poll(10, lambda: slider.queryValue().currentValue == value)
          else "not set: " + shown(slider))
elif step == "alert":  # the alert's texts, then its OK pressed
    alert = poll(30, lambda: (all_of("alert") or [None])[0])
    if not alert:
        sys.exit("no alert")
    texts = pyatspi.findAllDescendants(alert, lambda n: n.getRoleName() == "label" and n.name)
    print(" | ".join(t.name for t in texts))
    ok = pyatspi.findDescendant(alert, lambda n: n.getRoleName() == "push button")
    action = ok.queryAction()
    action.doAction(next(i for i in range(action.nActions) if action.getName(i) == "Press"))
EOF
}

expect() {  # expect WHAT ACTUAL EXPECTED
  [ "$2" = "$3" ] && echo "$1: $2" || fail "$1: got '$2', expected '$3'"
}

start() {
  (cd "$dir/run" && exec "$E2E_PROGRAM") >"$dir/program.log" 2>&1 &
  pid=$!
}

# Closes the window as its close button does; the program ends cleanly.
close() {
  local win status=0
  win=$(xdotool search --onlyvisible --pid "$pid" --name '^Pegelwerk$' | head -n 1)
  "$E2E_CLOSE_WINDOW" "$win"
  poll 10 eval '! kill -0 $pid 2>/dev/null' || fail "the program did not end"
  wait "$pid" || status=$?
  pid=
  expect "exit status" "$status" 0
  ! grep -qE 'Sanitizer|runtime error' "$dir/program.log" ||
    fail "sanitizer report: $(cat "$dir/program.log")"
}

levels() {
  amixer -D default contents |
    awk -F"'" '/^numid=/ {n = $2} /: values=/ {sub(/.*: values=/, ""); print n "=" $0}'
}
master_at() { levels | grep -qx "Master Playback Volume=$1"; }
same_sound() { [ -s "$1" ] && cmp -s <(sox "$1" -t raw - 2>/dev/null) <(sox "$2" -t raw -); }

# The full card: master 60/87 is level 45197, position 7.53 -> 8; Mic 8/31 =
# 16912 -> 2.82 -> 3; Line 12/31 -> 4.23 -> 4; CD 20/31 -> 7.05 -> 7; Synth
# 24/31 -> 8.46 -> 8; PCM 200/255 -> 8.57 -> 9. 65535 / 6000 = 10.9 -> 11.
export ALSA_CONFIG_PATH
ALSA_CONFIG_PATH=$("$E2E_WRITE_CONFIG" "$dir/card")
start
expect "sliders" "$(reader sliders)" "Lautstärkeregler=8 of 0..11 | Microfon=3 of 0..11 | \
Line In=4 of 0..11 | CD-Audio=7 of 0..11 | MIDI=8 of 0..11 | Wave=9 of 0..11"
# Master to 10 = 60000 = raw 60000 / 65535 * 87 = 79.65 -> 80, and the ding.
before=$(levels)
expect "set" "$(reader set Lautstärkeregler 10)" "Lautstärkeregler=10 of 0..11"
poll 10 master_at 80,80 || fail "master not written: $(levels | grep Master)"
expect "lines changed" "$(comm -13 <(sort <<<"$before") <(levels | sort))" "Master Playback Volume=80,80"
poll 10 same_sound "$dir/card/capture.wav" "$E2E_DING" || fail "no ding: $(soxi "$dir/card/capture.wav" 2>&1 || true)"
close

# Without a mixer the message box speaks first; its OK lets the window come,
# with every slider fixed at 0.
rm -rf "$dir/card" && mkdir "$dir/card"
ALSA_CONFIG_PATH=$("$E2E_WRITE_CONFIG" --no-card "$dir/card")
start
expect "alert" "$(reader alert)" "Es wurde kein Mixer in Ihrem System gefunden !"
expect "sliders" "$(reader sliders)" "Lautstärkeregler=0 of 0..0 | Microfon=0 of 0..0 | \
Line In=0 of 0..0 | CD-Audio=0 of 0..0 | MIDI=0 of 0..0 | Wave=0 of 0..0"
close
