#!/usr/bin/env bash
# Every slider by the keyboard: the arrow keys (Right/Up one step up,
# Left/Down one step down), Page Up/Page Down (five steps, stopping at the
# ends), End and Home. After each key the slider's own line on the card holds
# the raw level of the new position and no other control has moved.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup slider_keys
e2e_card full
e2e_model_from_card
e2e_start
e2e_wait_main

for i in 0 1 2 3 4 5; do
  name=${E2E_SLIDERS[$i]}
  [ "$i" -gt 0 ] && xdotool key Tab
  for step in Right:1 Left:-1 Up:1 Down:-1 Page_Up:5 Page_Down:-5 End:top Home:0 Right:1; do
    key=${step%%:*} change=${step#*:}
    case $change in
      top) target=$E2E_TOP ;;
      0) target=0 ;;
      *) target=$(e2e_clamp $((E2E_POS[$i] + change))) ;;
    esac
    xdotool key "$key"
    e2e_expect_move "$i" "$target" "$name: $key"
  done
done
e2e_screenshot slider_keys

e2e_close
e2e_expect_clean_exit
e2e_pass
