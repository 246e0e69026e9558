#!/usr/bin/env bash
# The window as the window system sees it: its title, fixed client size and
# size hints, no minimise or maximise in its Motif hints, centred on the
# screen; Tab and Shift+Tab walk through the six sliders in order and round
# again (seen through which line of the card a Right or Left press moves);
# the close message ends the program with status 0.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup window
e2e_card full
e2e_model_from_card
e2e_start
e2e_wait_main
e2e_screenshot window

props=$(xprop -id "$E2E_WIN")
e2e_expect_eq "WM_NAME" 'WM_NAME(STRING) = "Pegelwerk"' "$(grep '^WM_NAME(' <<<"$props")"
e2e_expect_eq "_NET_WM_NAME" '_NET_WM_NAME(UTF8_STRING) = "Pegelwerk"' \
  "$(grep '^_NET_WM_NAME(' <<<"$props")"
e2e_expect_eq "client size" 479x270 "$(e2e_size "$E2E_WIN")"
e2e_expect_eq "minimum size hint" "479 by 270" \
  "$(sed -n 's/.*program specified minimum size: //p' <<<"$props")"
e2e_expect_eq "maximum size hint" "479 by 270" \
  "$(sed -n 's/.*program specified maximum size: //p' <<<"$props")"

# _MOTIF_WM_HINTS = flags, functions, decorations, ...; with the ALL bit set
# the bits that follow are the ones taken away.
motif=$(sed -n 's/^_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = //p' <<<"$props" | tr -d ' ')
if [ -z "$motif" ]; then
  e2e_fail "no _MOTIF_WM_HINTS: a window manager would offer minimise and maximise"
else
  IFS=, read -r flags functions decorations _ <<<"$motif"
  offers() {  # offers MASK BITS: whether the hint grants BITS
    local mask=$(($1)) bits=$2
    if ((mask & 1)); then ((~mask & bits)); else ((mask & bits)); fi
  }
  ((flags & 3)) || e2e_fail "_MOTIF_WM_HINTS $motif restricts neither functions nor decorations"
  if ((flags & 1)) && offers "$functions" $((8 | 16)); then
    e2e_fail "_MOTIF_WM_HINTS functions $functions allow minimise or maximise"
  fi
  if ((flags & 2)) && offers "$decorations" $((32 | 64)); then
    e2e_fail "_MOTIF_WM_HINTS decorations $decorations show minimise or maximise buttons"
  fi
  if ((flags & 1)) && ! offers "$functions" 32; then
    e2e_fail "_MOTIF_WM_HINTS functions $functions do not allow closing"
  fi
fi

# Centred on the 1024 x 768 screen (no window manager, so no frame).
x=$(xwininfo -id "$E2E_WIN" | awk '/Absolute upper-left X:/ {print $4}')
y=$(xwininfo -id "$E2E_WIN" | awk '/Absolute upper-left Y:/ {print $4}')
if [ $((2 * x + 479 - 1024)) -lt -1 ] || [ $((2 * x + 479 - 1024)) -gt 1 ] ||
   [ $((2 * y + 270 - 768)) -lt -1 ] || [ $((2 * y + 270 - 768)) -gt 1 ]; then
  e2e_fail "window at $x,$y is not centred on the 1024x768 screen"
fi

# nudge SLIDER: one arrow press on the focused slider, away from its end.
nudge() {
  local i=$1
  if [ "${E2E_POS[$i]}" -lt "$E2E_TOP" ]; then
    xdotool key Right
    e2e_expect_move "$i" $((E2E_POS[$i] + 1)) "$2 then Right"
  else
    xdotool key Left
    e2e_expect_move "$i" $((E2E_POS[$i] - 1)) "$2 then Left"
  fi
}
nudge 0 "at start"
for i in 1 2 3 4 5; do
  xdotool key Tab
  nudge "$i" "Tab to ${E2E_SLIDERS[$i]}"
done
xdotool key Tab
nudge 0 "Tab from the last slider"
for i in 5 4 3 2 1 0; do
  xdotool key shift+Tab
  nudge "$i" "Shift+Tab to ${E2E_SLIDERS[$i]}"
done
e2e_screenshot window-after-tabs

e2e_close
e2e_expect_clean_exit
e2e_pass
