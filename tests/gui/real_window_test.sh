#!/usr/bin/env bash
# The real program on a private X display and the virtual sound card: its
# window is found by its title, has the client size 479 x 270, and the
# program exits 0 when the window is closed.
# Usage: real_window_test.sh PROGRAM WRITE-CONFIG CLOSE-WINDOW WORK-FOLDER
set -euo pipefail
program=$1 write_config=$2 close_window=$3 work=$4

rm -rf "$work" && mkdir -p "$work"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

exec {dfd}>"$work/display"
Xvfb -displayfd "$dfd" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
exec {dfd}>&-
export DISPLAY=":$(tr -d '\n' <"$work/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

ALSA_CONFIG_PATH=$("$write_config" "$work/card" full)
export ALSA_CONFIG_PATH

"$program" >"$work/program.log" 2>&1 &
program_pid=$!
pids+=($program_pid)

window=
for _ in $(seq 400); do
  window=$(xdotool search --onlyvisible --name '^Pegelwerk$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.05
done
if [ -z "$window" ]; then
  echo "FAIL: no window titled Pegelwerk"; cat "$work/program.log"; exit 1
fi

sleep 0.5
import -window root "$work/real_window.png" 2>/dev/null && echo "screenshot: $work/real_window.png"
size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
if [ "$size" != "479x270" ]; then
  echo "FAIL: window size $size, expected 479x270"; exit 1
fi

"$close_window" "$window"
status=
for _ in $(seq 200); do
  if ! kill -0 "$program_pid" 2>/dev/null; then
    set +e; wait "$program_pid"; status=$?; set -e
    break
  fi
  sleep 0.05
done
if [ -z "$status" ]; then
  echo "FAIL: the program did not end after its window was closed"; exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "FAIL: exit code $status"; cat "$work/program.log"; exit 1
fi
echo "window $window: $size, closed, exit code 0"
