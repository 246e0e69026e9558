#!/usr/bin/env bash
# No card: the message box "Es wurde kein Mixer in Ihrem System gefunden !"
# titled "Pegelwerk" (an OK button, no icon) comes before the main window;
# after Return the window opens, every slider stays at 0 whatever the
# keyboard, mouse and wheel do, nothing reaches the card, and closing ends the
# program with status 0.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup no_card
e2e_card --fail-open full
text="Es wurde kein Mixer in Ihrem System gefunden !"

e2e_start
e2e_poll 10 e2e_has_window "$E2E_PID" ||
  e2e_abort "no window titled Pegelwerk; program log: $(cat "$E2E_LOG")"
box=$(e2e_windows "$E2E_PID" | head -n1)
if main=$(e2e_find_main); then
  e2e_fail "the main window $main is shown together with the message box"
fi
e2e_expect_eq "windows titled Pegelwerk while the box is up" 1 "$(e2e_windows "$E2E_PID" | wc -l)"
grep -q '_NET_WM_WINDOW_TYPE_DIALOG' <<<"$(xprop -id "$box" _NET_WM_WINDOW_TYPE)" ||
  e2e_fail "the first window is not a dialog: $(xprop -id "$box" _NET_WM_WINDOW_TYPE)"
xdotool windowfocus --sync "$box"
e2e_screenshot message_box "$box"

# The same box from a known text: both pictures must agree pixel for pixel.
"$E2E_MSGBOX_REF" Pegelwerk "$text" >"$E2E_DIR/reference.log" 2>&1 &
ref_pid=$!
E2E_PIDS+=("$ref_pid")
e2e_poll 10 e2e_has_window "$ref_pid" || e2e_abort "the reference box did not show"
ref=$(e2e_windows "$ref_pid" | head -n1)
xdotool windowfocus --sync "$ref"
e2e_screenshot message_box_reference "$ref"
xdotool key Return
e2e_poll 10 e2e_ended "$ref_pid" || e2e_fail "the reference box did not close"
differing=$(compare -metric AE "$E2E_DIR/message_box.png" "$E2E_DIR/message_box_reference.png" \
  "$E2E_DIR/message_box_difference.png" 2>&1 || true)
e2e_expect_eq "pixels that differ from a box saying \"$text\" titled Pegelwerk" 0 "$differing"

# Return answers the box; only then the main window comes.
xdotool windowfocus --sync "$box"
xdotool key Return
e2e_wait_main
e2e_poll 5 e2e_not_viewable "$box" ||
  e2e_fail "the message box stays on the screen after Return"
# The same focus and no hover in both pictures: a click on the first
# slider's thumb, the pointer off the window.
settle() {
  e2e_pointer "$(e2e_thumb_x 0 0)" "$(e2e_groove_y 0)"
  xdotool click 1 mousemove 0 0
  # The program has taken every input once it answers a property request.
  xprop -id "$E2E_WIN" WM_NAME >/dev/null
  sleep 0.2
}
settle
e2e_screenshot no_card

# Keys on the focused first slider, the mouse on it, the wheel on all six.
xdotool key Right End Page_Up Up
y=$(e2e_groove_y 0)
from=$(e2e_thumb_x 0 0)
xdotool mousemove $((E2E_WIN_X + from)) $((E2E_WIN_Y + y)) mousedown 1 \
  mousemove $((E2E_WIN_X + from + 60)) $((E2E_WIN_Y + y)) \
  mousemove $((E2E_WIN_X + from + 140)) $((E2E_WIN_Y + y)) mouseup 1
e2e_pointer $((from + 80)) "$y"
xdotool click 1 click 2
for i in 0 1 2 3 4 5; do
  e2e_pointer $((E2E_SLIDER_X[$i] + 62)) "$(e2e_groove_y "$i")"
  xdotool click 4
done
settle
e2e_screenshot no_card-after-input
# The bands of the thumbs and grooves (the tick marks below them may keep a
# colour from an earlier hover).
bands() {
  convert "$1" \( -clone 0 -crop "479x30+0+${E2E_SLIDER_Y[0]}" \) \
    \( -clone 0 -crop "479x30+0+${E2E_SLIDER_Y[3]}" \) -delete 0 -append +repage "$2"
}
bands "$E2E_DIR/no_card.png" "$E2E_DIR/no_card-sliders.png"
bands "$E2E_DIR/no_card-after-input.png" "$E2E_DIR/no_card-sliders-after-input.png"
differing=$(compare -metric AE "$E2E_DIR/no_card-sliders.png" \
  "$E2E_DIR/no_card-sliders-after-input.png" "$E2E_DIR/no_card-difference.png" 2>&1 || true)
e2e_expect_eq "pixels of the sliders that changed after moving them without a card" 0 "$differing"
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the program ended while the sliders were moved"
[ -e "$E2E_CARD/state" ] && e2e_fail "something was written to the card: $(cat "$E2E_CARD/state")"

e2e_close
e2e_expect_clean_exit
e2e_pass
