#!/usr/bin/env bash
# The built program as a screen reader meets it, over AT-SPI, under xvfb-run and
# dbus-run-session: the accessibility bus and its registry start on demand on
# that private session bus.
python=/usr/bin/python3  # Debian's, which has pyatspi
"$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
[[ ${DBUS_SESSION_BUS_ADDRESS:-} ]] || { echo "FAIL: run under dbus-run-session" >&2; exit 1; }
case=atspi
source "$(dirname "$0")/e2e_lib.sh"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
expect() { [ "$2" = "$3" ] && echo "$1: $2" || fail "$1: got '$2', expected '$3'"; }

# reader sliders | set CAPTION VALUE | alert | ok: what the reader hears (each
# slider as caption=value of min..max; the windows beside the alert and its
# texts) or does (the alert's OK pressed).
reader() { "$python" - "$@" <<'EOF'
import sys, time, pyatspi
def poll(find):
    end = time.monotonic() + 30
    while time.monotonic() < end:
        try:  # the tree may change under the walk: then look again
            desktop = pyatspi.Registry.getDesktop(0)
            app = next(a for a in desktop if a and a.name == "Pegelwerk")
            found = find(lambda role: pyatspi.findAllDescendants(app, lambda n: n.getRoleName() == role))
            if found: return found
        except Exception: pass
        time.sleep(0.1)
    sys.exit("not found")
sliders = lambda all_of: (lambda s: s if len(s) == 6 else None)(all_of("slider"))
def shown(n):
    v = n.queryValue()
    return f"{n.name}={v.currentValue:g} of {v.minimumValue:g}..{v.maximumValue:g}"
if sys.argv[1] == "sliders":
    print(" | ".join(shown(s) for s in poll(sliders)))
elif sys.argv[1] == "set":
    slider = next(s for s in poll(sliders) if s.name == sys.argv[2])
    slider.queryValue().currentValue = float(sys.argv[3])
    print(shown(poll(lambda _: slider.queryValue().currentValue == float(sys.argv[3]) and slider)))
elif sys.argv[1] == "alert":
    alert = poll(lambda all_of: all_of("alert"))[0]
    windows = [f"{n.getRoleName()} {n.name}" for n in alert.parent if n.getRoleName() != "alert"]
    texts = pyatspi.findAllDescendants(alert, lambda n: n.getRoleName() == "label" and n.name)
    print(" | ".join(windows + [n.name for n in texts]))  # a window shown already comes first
else:
    alert = poll(lambda all_of: all_of("alert"))[0]
    ok = pyatspi.findDescendant(alert, lambda n: n.getRoleName() in ("push button", "button")).queryAction()
    ok.doAction(next(i for i in range(ok.nActions) if ok.getName(i) == "Press"))
EOF
}
set_to() { expect "set" "$(reader set "$1" "$2")" "$1=$2 of 0..11"; }

# The full card: master 60/87 is level 45197, position 7.53 -> 8; Mic 8/31 =
# 16912 -> 2.82 -> 3; Line 12/31 -> 4.23 -> 4; CD 20/31 -> 7.05 -> 7; Synth
# 24/31 -> 8.46 -> 8; PCM 200/255 -> 8.57 -> 9. 65535 / 6000 = 10.9 -> 11.
card
start
expect "sliders" "$(reader sliders)" "Lautstärkeregler=8 of 0..11 | Microfon=3 of 0..11 | \
Line In=4 of 0..11 | CD-Audio=7 of 0..11 | MIDI=8 of 0..11 | Wave=9 of 0..11"
# The master set to 10 = 60000 = raw 60000 / 65535 * 87 = 79.65 -> 80, with the ding.
changes default "Master Playback Volume=80,80" set_to Lautstärkeregler 10
poll 10 same_sound card/capture.wav "$E2E_DING" || fail "no ding played"
wait_main
close_main 10000

# Without a mixer the message box speaks first, before the window shows; its OK
# lets the window come, every slider fixed at 0.
card --no-card
start
expect "alert" "$(reader alert)" "Es wurde kein Mixer in Ihrem System gefunden !"
poll 10 eval 'program_window dialog && has_icon "$win"' || fail "the message box has not the program's icon"
reader ok
expect "sliders" "$(reader sliders)" "Lautstärkeregler=0 of 0..0 | Microfon=0 of 0..0 | \
Line In=0 of 0..0 | CD-Audio=0 of 0..0 | MIDI=0 of 0..0 | Wave=0 of 0..0"
wait_main
poll 5 has_icon "$win" || fail "the window has not the program's icon"
close_main 10000
