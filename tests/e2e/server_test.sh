#!/usr/bin/env bash
# The built program on a private sound server, one case per run: server_test.sh
# SERVER.CASE, SERVER pulseaudio or pipewire, under xvfb-run as e2e_test.sh.
# Master and microphone are the server's sink and source, the other lines the
# virtual card (sysdefault). Figures measured on the way are printed.
case=$1
server=${case%%.*}
source "$(dirname "$0")/e2e_lib.sh"

# The servers' and clients' files in a short private folder (sockets' names), never $HOME.
private=$(mktemp -d /tmp/pegelwerk-server.XXXXXX)
mkdir -p -m 700 "$private/pulse" "$private/config" "$private/state"
export HOME="$private" XDG_CONFIG_HOME="$private/config" XDG_RUNTIME_DIR="$private"
export XDG_STATE_HOME="$private/state" PULSE_RUNTIME_PATH="$private/pulse"
export PULSE_STATE_PATH="$private/state" PULSE_COOKIE="$private/cookie"
export PULSE_SERVER="unix:$private/pulse/native"
skip() { echo "SKIP: $*"; exit 77; }
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

case $server in
pulseaudio)
  command -v pulseaudio >/dev/null || skip "pulseaudio is not installed"
  printf '%s\n' "load-module module-native-protocol-unix socket=$private/pulse/native" \
    'load-module module-null-sink sink_name=e2e_sink' \
    'load-module module-null-source source_name=e2e_source' \
    'set-default-sink e2e_sink' 'set-default-source e2e_source' >"$private/daemon.pa"
  ;;
pipewire)
  type -P pipewire wireplumber dbus-daemon >/dev/null || skip "pipewire, wireplumber or dbus-daemon is missing"
  # Its ALSA plugin (never installed beside PulseAudio) and PulseAudio front end (maybe
  # not installable) are unpacked from their packages into the build tree, once.
  version=$(dpkg-query -W -f='${Version}' pipewire)
  root="$E2E_WORK/pipewire-packages/$version"
  exec 9>"$E2E_WORK/pipewire-packages.lock" && flock -w 300 9
  if [ ! -d "$root/tree" ]; then
    rm -rf "$root" && mkdir -p "$root/deb"
    for p in pipewire-alsa pipewire-pulse; do
      (cd "$root/deb" && apt-get download "$p=$version") >>"$dir/apt.log" 2>&1 ||
        skip "cannot download $p $version: $(tail -n 1 "$dir/apt.log")"
      dpkg-deb -x "$root"/deb/"$p"_*.deb "$root/tree.part"
    done
    mv "$root/tree.part" "$root/tree"
  fi
  exec 9>&-
  alsa_plugins=$(dirname "$(compgen -G "$root/tree/usr/lib/*/alsa-lib/libasound_module_ctl_pipewire.so")")
  pulse_conf=$root/tree/usr/share/pipewire/pipewire-pulse.conf
  # The session manager leaves the machine's devices alone (0.4 reads Lua, 0.5 profiles).
  wp=$private/config/wireplumber
  mkdir -p "$wp/main.lua.d" "$wp/bluetooth.lua.d" "$wp/wireplumber.conf.d"
  printf '%s_monitor.enabled = false\n' alsa v4l2 libcamera >"$wp/main.lua.d/51-no-devices.lua"
  echo 'bluez_monitor.enabled = false' >"$wp/bluetooth.lua.d/51-no-devices.lua"
  echo 'wireplumber.profiles = { main = { monitor.alsa = disabled, monitor.bluez = disabled,
    monitor.v4l2 = disabled, monitor.libcamera = disabled } }' >"$wp/wireplumber.conf.d/51-no-devices.conf"
  dbus-daemon --session --address="unix:path=$private/bus" --nofork --nopidfile \
    >"$dir/dbus.log" 2>&1 &
  pids+=("$!")
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$private/bus"
  unset PIPEWIRE_REMOTE
  ;;
*) die "unknown server $server" ;;
esac

server_starts=0
# server_start: the server's processes as $daemons (PipeWire's three as a desktop starts
# them), each in a session of its own: a stopped, orphaned process group gets a hangup,
# which ends WirePlumber.
server_start() {
  local log="$dir/server.$((++server_starts)).log"
  if [ "$server" = pulseaudio ]; then
    setsid pulseaudio -n -F "$private/daemon.pa" --daemonize=no --exit-idle-time=-1 \
      --use-pid-file=no --disable-shm >"$log" 2>&1 & daemons=("$!") && pids+=("$!")
  else
    # From nothing, as its null sink is new: no volume saved by the one before.
    rm -rf "$private/pipewire-0" "$private/pipewire-0.lock" "$XDG_STATE_HOME/wireplumber"
    setsid pipewire >"$log" 2>&1 & daemons=("$!") && pids+=("$!")
    poll 10 test -S "$private/pipewire-0" || return 1
    setsid wireplumber >>"$log" 2>&1 & daemons+=("$!") && pids+=("$!")
    setsid pipewire -c "$pulse_conf" >>"$log" 2>&1 & daemons+=("$!") && pids+=("$!")
  fi
}
# devices: PipeWire's null sink and source (a null sink with a source's class: two
# channels, as PulseAudio's null source), made as a machine's devices are:
# - ranked as WirePlumber ranks a card's, for WirePlumber 0.5 also offers a
#   sink's monitor as the default source, and picks it over an unranked source;
# - always running, as a card is: PipeWire 1.4 drops the volume set on an
#   idle null sink, which has no format yet.
devices() {
  [ "$server" = pipewire ] || return 0
  local way priority
  for way in sink source; do
    priority=$([ $way = sink ] && echo 1000 || echo 2000)
    poll 10 pw-cli create-node adapter "{ factory.name = support.null-audio-sink node.name = e2e_$way
      media.class = Audio/${way^} audio.position = [ FL FR ] object.linger = true
      priority.session = $priority node.always-process = true }" >/dev/null || return 1
  done
}
# server_ready: the server answers, its null sink and source the defaults.
server_ready() {
  poll 20 pactl info >/dev/null 2>&1 &&
    poll 10 eval '[ "$(pactl get-default-sink)" = e2e_sink ] && [ "$(pactl get-default-source)" = e2e_source ]'
}
# not_started AGAIN: the test ends with the defaults and the server's last words.
not_started() {
  die "$server did not start$1 (defaults $(pactl get-default-sink 2>&1), $(pactl get-default-source 2>&1)):" \
    "$(tail -n 3 "$dir/server.$server_starts.log")"
}
# restart_server SIGNAL: the server's processes ended with SIGNAL and started again.
restart_server() {
  server_signal "$1"
  poll 10 eval '! ps -o stat= -p "${daemons[*]}" | grep -qv Z' || die "$server did not end"
  wait "${daemons[@]}" 2>/dev/null || true
  server_start || not_started " again"
}
# record: what the sink plays from now on; its monitor hears zeros but for that.
record() {
  parec -d e2e_sink.monitor --raw --format=s16le --rate=44100 --channels=1 \
    >"$dir/heard.$server_starts.raw" 2>>"$dir/parec.log" &
  pids+=("$!")
  poll 10 eval '[ -n "$(pactl list short source-outputs)" ]' || die "no recording on the new server"
}
heard() { sox -t raw -r 44100 -e signed -b 16 -c 1 "$dir/heard.$server_starts.raw" -n stat 2>&1 |
  awk '/^Maximum amplitude/ {exit !($3 > 0)}'; }
# server_signal SIGNAL: to every process of the server.
server_signal() { kill "-$1" "${daemons[@]}" 2>/dev/null || [ "$1" = KILL ]; }

# sink_reaches LEVELS CLAIM: the sink polled for LEVELS; prints how long CLAIM took.
sink_reaches() {
  local t0=$(now_ms)
  poll 10 is sink "$1" || { fail "the sink holds $(volume sink), not $1: $2 is false"; return; }
  echo "$2: $(($(now_ms) - t0)) ms"
}
volume() { pactl "get-$1-volume" "@DEFAULT_${1^^}@" | grep -o ': [0-9]* /' | tr -dc '0-9\n' | paste -sd,; }
is() { [ "$(volume "$1")" = "$2" ]; }

# The levels on 0..65536, 65536 raw steps for 65535 levels: 4 = 24000 = raw
# 24000.37 -> 24000.
server_start && devices && server_ready || not_started ""
pactl set-sink-volume @DEFAULT_SINK@ 20000
pactl set-source-volume @DEFAULT_SOURCE@ 8000
# PipeWire 1.4's null sink made a source keeps no volume, whoever sets it.
ways="sink source"
poll 2 is source 8000,8000 ||
  { ways=sink; echo "NOTE: this $server's source keeps no volume: the microphone is not checked"; }
if [ "$server" = pulseaudio ]; then card --server pulse; else card --server "pipewire:$alsa_plugins"; fi

case ${case#*.} in
restart)
  # Frozen while the program starts (a server still starting at login): master
  # waits for it and never goes to the card. A move made meanwhile leaves the
  # card's Master alone: the card's Line, moved after it, changes alone (4 ->
  # 5 = 30000 = raw 14.19 -> 14).
  server_signal STOP
  start
  wait_main
  xdotool key Right Tab Tab
  changes sysdefault "Line Playback Volume=14,14" xdotool key Right
  xdotool key shift+Tab shift+Tab
  server_signal CONT
  # The program tells the window before it says so: the slider takes the level.
  poll 10 grep -q 'device default answers again' "$dir/program.log" || fail "no word of the server"
  card_before=$(levels sysdefault)
  # Muted from outside after the program opened the server: a move leaves it muted.
  for way in $ways; do pactl "set-$way-mute" "@DEFAULT_${way^^}@" 1; done
  # Master's slider at the sink's level (20000: position 3.3 -> 3): a step down
  # lowers the sink, to 2 = 12000 = raw 12000.18 -> 12000.
  xdotool key Left
  poll 10 eval '! is sink 20000,20000' || fail "the step down did not reach the sink"
  [ "$(volume sink | cut -d, -f1)" -lt 20000 ] || fail "a step down raised the sink from 20000 to $(volume sink)"
  sink_reaches 12000,12000 "master's step down reached the server that answered late"
  # The microphone, at the source's level once it answered (8000: position 1),
  # goes to 2 = 12000 = raw 12000.18 -> 12000.
  xdotool key Tab Right shift+Tab
  [ "$ways" = sink ] || poll 5 is source 12000,12000 ||
    fail "source volume $(volume source), expected 12000,12000"
  for way in $ways; do
    pactl "get-$way-mute" "@DEFAULT_${way^^}@" | grep -q yes || fail "a move unmuted the $way"
  done
  [ "$(levels sysdefault)" = "$card_before" ] || fail "master or microphone moved the card"
  poll 5 eval '[ -z "$(pactl list short sink-inputs)" ]' || fail "the ding did not end"
  ! grep -q 'stopped playing' "$dir/program.log" || fail "the end of the ding was dropped"
  # Restarted as a desktop restarts it, and moved at once, before the new
  # server has its defaults: the move (3 = 18000 = raw 18000.27 -> 18000)
  # reaches it with no further move, and a ding plays there. PipeWire's
  # devices come a second later, as a machine's come once probed: the program
  # has come to a server without defaults.
  restart_server TERM
  t0=$(now_ms)
  xdotool key Right
  sleep 1
  devices || die "no devices on the new server"
  sink_reaches 18000,18000 "the move made at once after the restart reached the new server"
  echo "the move made at once reached the new server $(($(now_ms) - t0)) ms after it was made"
  record
  poll 10 eval 'heard || { xdotool key Left Right; sleep 0.2; false; }' ||
    fail "no ding after the restart reached the new server"
  # Frozen, then killed and restarted (a watchdog's restart): the move made
  # meanwhile (position 2) reaches the new server with no further move, and the
  # next one's ding (1 = 6000 = raw 6000.09 -> 6000) plays there. The card's
  # Line, moved next (5 -> 6 = 36000 = raw 17.03 -> 17), shows the move was made.
  server_signal STOP
  xdotool key Left Tab Tab
  changes sysdefault "Line Playback Volume=17,17" xdotool key Right
  xdotool key shift+Tab shift+Tab
  restart_server KILL
  t0=$(now_ms)
  devices && server_ready || not_started " again"
  echo "the server was back after $(($(now_ms) - t0)) ms"
  record
  sink_reaches 12000,12000 "the move made while the server hung reached the new server"
  xdotool key Left
  sink_reaches 6000,6000 "the next move reached the new server"
  # A ding asked for while another plays is dropped, and on PipeWire the ding of
  # the move made while the server hung holds the output until its stall limit
  # drops it (the output does not tell of the lost server): a move after that
  # (2, then back to 1) plays its ding on the new server.
  poll 10 eval 'heard || { xdotool key Right Left; sleep 0.2; false; }' ||
    fail "no ding after the second restart reached the new server"
  close_main 10000
  ;;
freeze)
  # Frozen mid-run: master's move is handed over, and the card's Line moved
  # right after it (4 = 25368 -> 5 = 30000 = raw 14.19 -> 14) lands while the
  # server is still frozen.
  start
  wait_main
  server_signal STOP
  xdotool key Right Tab Tab
  t0=$(now_ms)
  keys_reach sysdefault "Line Playback Volume=14,14"
  echo "a card line moved after master landed $(($(now_ms) - t0)) ms after its key, the server frozen"
  [[ $(ps -o stat= -p "${daemons[0]}") == T* ]] || fail "the server was not frozen until the line landed"
  # Master Home, Right while frozen: position 1 = 6000 = raw 6000.09 -> 6000
  # once it answers, with no further master move; Line moved next (5 -> 6 =
  # 36000 = raw 17.03 -> 17) shows the moves were made.
  xdotool key shift+Tab shift+Tab shift+Tab Home Right Tab Tab
  changes sysdefault "Line Playback Volume=17,17" xdotool key Right
  server_signal CONT
  sink_reaches 6000,6000 "master's last move reached the sink after the server answered again"
  server_signal STOP
  close_main 10000
  echo "exit time with the sound server frozen: $closed_ms ms"
  ;;
*) die "unknown case $case" ;;
esac
