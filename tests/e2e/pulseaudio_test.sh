#!/usr/bin/env bash
# A PulseAudio desktop: a private pulseaudio daemon with a null sink and a
# null source, started and stopped here by its own PID, and ALSA's default
# control and PCM routed to it through the pulse plugin. The start shows the
# levels pactl set; the master slider sets the sink's volume and the
# microphone slider the source's, as pactl reports them.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup pulseaudio
e2e_pulse_start

pactl set-sink-volume @DEFAULT_SINK@ 32768
pactl set-source-volume @DEFAULT_SOURCE@ 20000

# expect_pulse sink|source SLIDER WHAT: pactl reports the slider's level.
expect_pulse() {
  local line=${E2E_LINES[$2]} raw
  raw=$(e2e_raw_for "${E2E_POS[$2]}" "${E2E_MIN[$line]}" "${E2E_MAX[$line]}")
  if ! e2e_poll 5 e2e_pulse_is "$1" "$raw,$raw"; then
    e2e_fail "$3: pactl reports the $1 at $(e2e_pulse_volume "$1"), expected $raw,$raw"
  fi
}

e2e_model_from_card
e2e_log "sink at $(e2e_pulse_volume sink) shows position ${E2E_POS[0]}," \
  "source at $(e2e_pulse_volume source) shows ${E2E_POS[1]}"
e2e_start
e2e_wait_main

xdotool key Right
e2e_expect_move 0 $((E2E_POS[0] + 1)) "master: Right"
expect_pulse sink 0 "master: Right"
xdotool key End
e2e_expect_move 0 "$E2E_TOP" "master: End"
expect_pulse sink 0 "master: End"
xdotool key Page_Down
e2e_expect_move 0 $((E2E_TOP - 5)) "master: Page Down"
expect_pulse sink 0 "master: Page Down"
xdotool key Tab Right
e2e_expect_move 1 $((E2E_POS[1] + 1)) "microphone: Right"
expect_pulse source 1 "microphone: Right"
xdotool key End
e2e_expect_move 1 "$E2E_TOP" "microphone: End"
expect_pulse source 1 "microphone: End"
xdotool key Home
e2e_expect_move 1 0 "microphone: Home"
expect_pulse source 1 "microphone: Home"
e2e_screenshot pulseaudio

e2e_close
e2e_expect_clean_exit
e2e_pulse_stop
e2e_pass
