#!/usr/bin/env bash
# Every slider by the mouse: dragging the thumb to a position and past both
# ends, a left click on the track beside the thumb (five steps towards the
# click), a middle click on the track (straight to that place), and the wheel
# (three steps a notch). After each move the slider's own line on the card
# holds the raw level of the new position and no other control has moved.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup slider_mouse
e2e_card full
e2e_model_from_card
e2e_start
e2e_wait_main

# drag SLIDER TO_X: the thumb from where it stands to TO_X (window
# coordinates), in a few moves.
drag() {
  local i=$1 to=$(($2 + E2E_WIN_X)) y from
  y=$(($(e2e_groove_y "$i") + E2E_WIN_Y))
  from=$(($(e2e_thumb_x "$i" "${E2E_POS[$i]}") + E2E_WIN_X))
  xdotool mousemove "$from" "$y" mousedown 1 \
    mousemove $(((2 * from + to) / 3)) "$y" \
    mousemove $(((from + 2 * to) / 3)) "$y" \
    mousemove "$to" "$y" mouseup 1
}
# click SLIDER POSITION BUTTON: a click on the track where POSITION lies.
click() {
  e2e_pointer "$(e2e_thumb_x "$1" "$2")" "$(e2e_groove_y "$1")"
  xdotool click "$3"
}
# wheel SLIDER BUTTON: one wheel notch (4 up, 5 down) over the slider.
wheel() {
  e2e_pointer $((E2E_SLIDER_X[$1] + 62)) "$(e2e_groove_y "$1")"
  xdotool click "$2"
}

for i in 0 1 2 3 4 5; do
  name=${E2E_SLIDERS[$i]}
  if [ "${E2E_POS[$i]}" -ge 5 ]; then target=2; else target=9; fi
  drag "$i" "$(e2e_thumb_x "$i" "$target")"
  e2e_expect_move "$i" "$target" "$name: drag to $target"

  drag "$i" $((E2E_SLIDER_X[$i] + 124 + 40))
  e2e_expect_move "$i" "$E2E_TOP" "$name: drag past the right end"

  click "$i" 0 1
  e2e_expect_move "$i" $((E2E_TOP - 5)) "$name: left click on the track left of the thumb"

  click "$i" "$E2E_TOP" 1
  e2e_expect_move "$i" "$E2E_TOP" "$name: left click on the track right of the thumb"

  click "$i" 3 2
  e2e_expect_move "$i" 3 "$name: middle click on the track at 3"

  wheel "$i" 4
  e2e_expect_move "$i" 6 "$name: wheel up"

  wheel "$i" 5
  e2e_expect_move "$i" 3 "$name: wheel down"

  drag "$i" $((E2E_SLIDER_X[$i] - 40))
  e2e_expect_move "$i" 0 "$name: drag past the left end"
done
e2e_screenshot slider_mouse

e2e_close
e2e_expect_clean_exit
e2e_pass
