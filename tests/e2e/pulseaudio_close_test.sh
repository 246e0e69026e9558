#!/usr/bin/env bash
# Closing while a sound still plays, on a private pulseaudio daemon whose null
# sink plays in real time: a long "ding.wav" in the working folder is still
# playing when the close message comes, and the program ends within a second
# with status 0, its stream gone from the sink. Once after a microphone move,
# once after the master was turned down to 0.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup pulseaudio_close
e2e_pulse_start
mkdir -p "$E2E_DIR/run"
"$E2E_SOUND_PROBE" write-tone "$E2E_DIR/run/ding.wav" 4

# close_while_playing WHAT KEYS...: the keys start the sound, then the close.
close_while_playing() {
  local what=$1
  shift
  pactl set-sink-volume @DEFAULT_SINK@ 32768
  pactl set-source-volume @DEFAULT_SOURCE@ 32768
  e2e_start --cwd "$E2E_DIR/run"
  e2e_wait_main
  xdotool key "$@"
  e2e_poll 5 e2e_pulse_playing || e2e_fail "$what: no sound is playing on the sink"
  e2e_screenshot "pulseaudio_close-$what"
  e2e_close
  e2e_expect_clean_exit
  e2e_pulse_playing && e2e_fail "$what: the program's stream is still on the sink after its end"
  if [ "$E2E_EXIT_MS" -ge 1000 ]; then
    e2e_fail "$what: the end took $E2E_EXIT_MS ms with a sound playing (a second at most)"
  fi
}
close_while_playing microphone Tab Right
close_while_playing master-down Page_Down Page_Down

e2e_pulse_stop
e2e_pass
