#!/usr/bin/env bash
# The feedback sound on the virtual card, whose default PCM writes what is
# played into a WAVE file: a slider move sets the line and the ding's samples
# land in the capture; a second move plays it again. A playable "ding.wav" in
# the program's working folder comes before the one beside the program.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup sound_ding
e2e_card full
capture="$E2E_CARD/capture.wav"
mkdir -p "$E2E_DIR/plain"
e2e_model_from_card
e2e_start --cwd "$E2E_DIR/plain"
e2e_wait_main
[ -e "$capture" ] && e2e_fail "something was played before any move"
xdotool key Right
e2e_expect_move 0 $((E2E_POS[0] + 1)) "Right on the first slider"
e2e_expect_sound "after the first move" ding "$E2E_DING"
rm -f "$capture"
xdotool key Tab Right
e2e_expect_move 1 $((E2E_POS[1] + 1)) "Right on the second slider"
e2e_expect_sound "after the second move" ding "$E2E_DING"
e2e_close
e2e_expect_clean_exit

# Another sound as ding.wav in the working folder is the one played.
mkdir -p "$E2E_DIR/own"
"$E2E_SOUND_PROBE" write-tone "$E2E_DIR/own/ding.wav" 0.3
rm -f "$capture"
e2e_model_from_card
e2e_start --cwd "$E2E_DIR/own"
e2e_wait_main
xdotool key Left
e2e_expect_move 0 $((E2E_POS[0] - 1)) "Left on the first slider"
e2e_expect_sound "with a ding.wav in the working folder" ding "$E2E_DIR/own/ding.wav"
e2e_screenshot sound_ding
e2e_close
e2e_expect_clean_exit
e2e_pass
