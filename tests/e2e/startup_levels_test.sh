#!/usr/bin/env bash
# Start-up shows the card's levels: levels are set on the card with amixer
# before the program starts, and the first Right press on each slider writes
# (the position the level stands for + 1) x 6000, as the line's raw value.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup startup_levels
e2e_card full

# Raw levels away from the ones the card starts with, none at the top.
start_raw=(10 25 0 5 16 100)
for i in 0 1 2 3 4 5; do
  amixer -D default -q cset name="${E2E_LINES[$i]}" "${start_raw[$i]}" ||
    e2e_abort "amixer cannot set ${E2E_LINES[$i]}"
done
amixer -D default -q cset name='Mic Capture Volume' 7
e2e_model_from_card
for i in 0 1 2 3 4 5; do
  line=${E2E_LINES[$i]}
  e2e_expect_eq "$line before the start" "${start_raw[$i]}" "${E2E_VALUES[$line]%%,*}"
  e2e_log "${E2E_SLIDERS[$i]}: raw ${start_raw[$i]} of ${E2E_MIN[$line]}..${E2E_MAX[$line]} shows position ${E2E_POS[$i]}"
done

e2e_start
e2e_wait_main
e2e_screenshot startup_levels

for i in 0 1 2 3 4 5; do
  [ "$i" -gt 0 ] && xdotool key Tab
  xdotool key Right
  e2e_expect_move "$i" $((E2E_POS[$i] + 1)) "${E2E_SLIDERS[$i]}: first Right after the start"
done

e2e_close
e2e_expect_clean_exit
e2e_pass
