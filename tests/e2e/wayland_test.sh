#!/usr/bin/env bash
# On a Wayland session with XWayland the window is an X11 client, which the X
# window manager gives its fixed size and close only. Weston runs headless.
# Usage: wayland_test.sh PEGELWERK WRITE-CONFIG, run in a scratch folder.
set -euo pipefail
program=$1 write_config=$2
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in weston Xwayland xdotool xprop xwininfo; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
# Without Qt's Wayland plugin Qt would fall back to X11 by itself.
plugin=qt6/plugins/platforms/libqwayland-generic.so
[ -n "$(ls /usr/lib/*/$plugin /usr/lib*/$plugin 2>/dev/null)" ] || skip "qt6-wayland is not installed"
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")/../support" && pwd)/lsan.supp}

tmp=$(mktemp -d /tmp/pegelwerk-wl.XXXXXX)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait; rm -rf "$tmp"' EXIT
export HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/run && mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
poll() {  # poll SECONDS COMMAND...: until COMMAND succeeds, at most SECONDS
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ "$SECONDS" -lt "$end" ] || return 1; sleep 0.1; done
}

weston --backend=headless-backend.so --use-pixman --xwayland --no-config \
  --socket=pegelwerk --width=1024 --height=768 >weston.log 2>&1 & pids+=($!)
poll 20 grep -q 'xserver listening on display' weston.log || fail "no XWayland: $(cat weston.log)"
DISPLAY=$(grep -o 'listening on display :[0-9]*' weston.log | cut -d' ' -f4)
export WAYLAND_DISPLAY=pegelwerk DISPLAY
ALSA_CONFIG_PATH=$("$write_config" card) "$program" >program.log 2>&1 & pid=$! pids+=($!)

window() { win=$(xdotool search --onlyvisible --pid "$pid" --name '^Pegelwerk$' | head -n1) && [ -n "$win" ]; }
poll 30 window || fail "no X11 window on Weston's XWayland: $(cat program.log)"
props=$(xprop -id "$win")
size=$(xwininfo -id "$win" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = 479x270 ] || fail "the window is $size, not 479x270"
[ "$(grep -c 'mum size: 479 by 270' <<<"$props")" = 2 ] || fail "minimum and maximum size hints: $props"
# Desktops match an X11 window to its desktop entry by the window's class.
class=$(sed -n 's/^StartupWMClass=//p' "$(dirname "$0")/../../assets/de.pegelwerk.Pegelwerk.desktop")
grep -q "^WM_CLASS(STRING) = \".*\", \"$class\"\$" <<<"$props" || fail "WM_CLASS is not the entry's '$class'"
# _MOTIF_WM_HINTS = flags, functions, decorations: close (32) but not minimise
# (8) or maximise (16); no buttons for them (32, 64) among the decorations.
IFS=', ' read -r flags functions decorations _ < <(sed -n 's/^_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = //p' <<<"$props")
(( (flags & 3) == 3 && !(functions & 1) && !(functions & 24) && (functions & 32) &&
   !(decorations & 1) && !(decorations & 96) )) || fail "Motif hints: $flags, $functions, $decorations"

"$E2E_CLOSE_WINDOW" "$win"
poll 10 eval '! kill -0 "$pid" 2>/dev/null' || fail "the program did not end after its window was closed"
status=0 && wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status: $(cat program.log)"
! grep -qE 'Sanitizer|runtime error' program.log || fail "sanitizer report: $(cat program.log)"
echo "PASS: an X11 window under Weston, fixed at 479x270, close only"
