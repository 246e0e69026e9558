#!/usr/bin/env bash
# A "ding.wav" that cannot be played: missing everywhere, or in the program's
# working folder truncated, empty, garbage, or a WAVE header that claims
# 65535 channels. Each time a slider move still sets its line, the default
# sound (not the ding) lands in the capture, and the program goes on: a
# second move works and closing ends it with status 0.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup sound_default
e2e_card full
capture="$E2E_CARD/capture.wav"

# run CASE [PROGRAM]: the program started in $E2E_DIR/CASE.
run() {
  local case=$1 program=${2:-$E2E_PROGRAM}
  rm -f "$capture"
  e2e_model_from_card
  e2e_start --cwd "$E2E_DIR/$case" --program "$program"
  e2e_wait_main
  xdotool key Right
  e2e_expect_move 0 $((E2E_POS[0] + 1)) "$case: Right"
  e2e_expect_sound "$case" default
  kill -0 "$E2E_PID" 2>/dev/null || e2e_abort "$case: the program ended after the sound"
  xdotool key Left
  e2e_expect_move 0 $((E2E_POS[0] - 1)) "$case: Left after the sound"
  e2e_screenshot "sound_default-$case"
  e2e_close
  e2e_expect_clean_exit
}

# Missing: a copy of the program in a folder without the ding, started in an
# empty folder; the installed data folder must not hold one either.
if [ -e "$E2E_DATADIR/ding.wav" ]; then
  e2e_log "missing ding.wav not checked: $E2E_DATADIR/ding.wav is installed"
else
  mkdir -p "$E2E_DIR/missing" "$E2E_DIR/bin"
  cp "$E2E_PROGRAM" "$E2E_DIR/bin/pegelwerk"
  run missing "$E2E_DIR/bin/pegelwerk"
fi

# The broken files lie in the working folder of the built program, whose
# own folder holds the good ding: the default sound shows the broken one was
# found first and refused.
mkdir -p "$E2E_DIR/truncated" "$E2E_DIR/empty" "$E2E_DIR/garbage" "$E2E_DIR/hostile"
head -c 2000 "$E2E_DING" >"$E2E_DIR/truncated/ding.wav"
: >"$E2E_DIR/empty/ding.wav"
printf 'this is not a sound\n%.0s' $(seq 400) >"$E2E_DIR/garbage/ding.wav"
# RIFF/WAVE, a PCM fmt chunk with 65535 channels at 44100 Hz, 16 bits, and a
# data chunk that claims far more than follows.
printf 'RIFF\x00\x10\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\xff\xff\x44\xac\x00\x00\x00\x00\x00\x00\xfe\xff\x10\x00data\xf0\xff\xff\x7f' \
  >"$E2E_DIR/hostile/ding.wav"
head -c 4096 /dev/zero >>"$E2E_DIR/hostile/ding.wav"
for case in truncated empty garbage hostile; do run "$case"; done
e2e_pass
