#!/usr/bin/env bash
# The built program on a private sound server, one case per run: server_test.sh
# SERVER CASE, SERVER pulseaudio or pipewire, under xvfb-run as e2e_test.sh.
# Master and microphone are the server's sink and source, the other lines the
# virtual card (sysdefault). Figures measured on the way are printed.
server=$1
case=$server.$2
source "$(dirname "$0")/e2e_lib.sh"

# Everything of the servers and their clients in a private folder, never in
# $HOME; short, for the sockets' names.
private=$(mktemp -d /tmp/pegelwerk-server.XXXXXX)
mkdir -p -m 700 "$private/pulse" "$private/config" "$private/state"
export HOME="$private" XDG_CONFIG_HOME="$private/config" XDG_RUNTIME_DIR="$private"
export XDG_STATE_HOME="$private/state" PULSE_RUNTIME_PATH="$private/pulse"
export PULSE_STATE_PATH="$private/state" PULSE_COOKIE="$private/cookie"
export PULSE_SERVER="unix:$private/pulse/native"
skip() { echo "SKIP: $*"; exit 77; }
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# PipeWire needs its ALSA plugin, which must never be installed beside
# PulseAudio, and its PulseAudio front end, which may not be installable: both
# are taken from their packages, at the installed PipeWire's version, and
# unpacked in the build tree once.
pipewire_files() {
  local version root="$E2E_WORK/pipewire-packages" p
  version=$(dpkg-query -W -f='${Version}' pipewire 2>/dev/null) || skip "pipewire is not installed"
  root="$root/$version"
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
}

case $server in
pulseaudio)
  command -v pulseaudio >/dev/null || skip "pulseaudio is not installed"
  printf '%s\n' "load-module module-native-protocol-unix socket=$private/pulse/native" \
    'load-module module-null-sink sink_name=e2e_sink' \
    'load-module module-null-source source_name=e2e_source' \
    'set-default-sink e2e_sink' 'set-default-source e2e_source' >"$private/daemon.pa"
  ;;
pipewire)
  for tool in pipewire wireplumber dbus-daemon; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
  pipewire_files
  # The session manager leaves the machine's devices alone.
  mkdir -p "$private/config/wireplumber/main.lua.d" "$private/config/wireplumber/bluetooth.lua.d"
  printf '%s_monitor.enabled = false\n' alsa v4l2 libcamera \
    >"$private/config/wireplumber/main.lua.d/51-no-devices.lua"
  echo 'bluez_monitor.enabled = false' >"$private/config/wireplumber/bluetooth.lua.d/51-no-devices.lua"
  dbus-daemon --session --address="unix:path=$private/bus" --nofork --nopidfile \
    >"$dir/dbus.log" 2>&1 &
  pids+=("$!")
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$private/bus"
  ;;
*) die "unknown server $server" ;;
esac

server_starts=0
# server_up: the server with a null sink and source as the defaults, as $daemons.
server_up() {
  local log="$dir/server.$((++server_starts)).log"
  if [ "$server" = pulseaudio ]; then
    pulseaudio -n -F "$private/daemon.pa" --daemonize=no --exit-idle-time=-1 \
      --use-pid-file=no --disable-shm >"$log" 2>&1 &
    daemons=("$!")
  else
    rm -f "$private/pipewire-0" "$private/pipewire-0.lock"
    pipewire >"$log" 2>&1 &
    daemons=("$!")
    poll 10 test -S "$private/pipewire-0" || return 1
    wireplumber >>"$log" 2>&1 &
    daemons+=("$!")
    pipewire -c "$pulse_conf" >>"$log" 2>&1 &
    daemons+=("$!")
  fi
  pids+=("${daemons[@]}")
  poll 20 pactl info >/dev/null 2>&1 || return 1
  if [ "$server" = pipewire ]; then
    # A source as PipeWire's null sink with a source's class: its volume has
    # two channels, as the PulseAudio null source's has.
    pactl load-module module-null-sink sink_name=e2e_sink >/dev/null &&
      pactl load-module module-null-sink sink_name=e2e_source \
        'sink_properties=media.class=Audio/Source' >/dev/null || return 1
    # Defaults are taken once the session manager knows the nodes.
    poll 10 pactl set-default-sink e2e_sink 2>/dev/null &&
      poll 10 pactl set-default-source e2e_source 2>/dev/null || return 1
  fi
}
# restart_server: the server killed and started again, and a recording of what
# its sink plays (the null sink's monitor hears exact zeros but for that).
restart_server() {
  local t0
  server_signal KILL
  wait "${daemons[@]}" 2>/dev/null || true
  t0=$(now_ms)
  server_up || die "$server did not start again: $(tail -n 3 "$dir/server.$server_starts.log")"
  echo "the server was back after $(($(now_ms) - t0)) ms"
  parec -d e2e_sink.monitor --raw --format=s16le --rate=44100 --channels=1 \
    >"$dir/heard.$server_starts.raw" 2>>"$dir/parec.log" &
  pids+=("$!")
  poll 10 eval '[ -n "$(pactl list short source-outputs)" ]' || die "no recording on the new server"
}
heard() {
  sox -t raw -r 44100 -e signed -b 16 -c 1 "$dir/heard.$server_starts.raw" -n stat 2>&1 |
    awk '/^Maximum amplitude/ {exit !($3 > 0)}'
}
# server_signal SIGNAL: to every process of the server.
server_signal() { kill "-$1" "${daemons[@]}" 2>/dev/null || [ "$1" = KILL ]; }
frozen() { [[ $(ps -o stat= -p "${daemons[0]}") == T* ]]; }

volume() { pactl "get-$1-volume" "@DEFAULT_${1^^}@" | grep -o ': [0-9]* /' | tr -dc '0-9\n' | paste -sd,; }
is() { [ "$(volume "$1")" = "$2" ]; }
muted() { pactl "get-$1-mute" "@DEFAULT_${1^^}@" | grep -q 'Mute: yes'; }

# The levels on 0..65536: 20000 is position 3, Right gives 4 = 24000 = raw
# 24000.37 -> 24000; 5 = 30000 = 30000.46 -> 30000; 1 = 6000 = 6000.09 -> 6000.
# 8000 is position 1, Right gives 2 = 12000 = 12000.18 -> 12000.
server_up || skip "$server did not start: $(tail -n 3 "$dir/server.1.log")"
pactl set-sink-volume @DEFAULT_SINK@ 20000
pactl set-source-volume @DEFAULT_SOURCE@ 8000
if [ "$server" = pulseaudio ]; then card --server pulse; else card --server "pipewire:$alsa_plugins"; fi

case $2 in
lines)
  # What another program set stays: muted sink and source, moved, still muted.
  pactl set-sink-mute @DEFAULT_SINK@ 1
  pactl set-source-mute @DEFAULT_SOURCE@ 1
  plain_close
  start
  wait_main
  card_before=$(levels sysdefault)
  xdotool key Right
  poll 5 is sink 24000,24000 || fail "sink volume $(volume sink), expected 24000,24000"
  muted sink || fail "moving master unmuted the sink"
  xdotool key Tab Right
  poll 5 is source 12000,12000 || fail "source volume $(volume source), expected 12000,12000"
  muted source || fail "moving the microphone unmuted the source"
  [ "$(levels sysdefault)" = "$card_before" ] || fail "master or microphone moved the card"
  xdotool key Tab
  keys_reach sysdefault "${full_card_moves[@]:2}"
  # Frozen: master's move waits for the server, the card's Line (5 -> 6 =
  # 36000 = raw 17.03) lands while it is still frozen.
  server_signal STOP
  xdotool key Right Tab Tab
  t0=$(now_ms)
  keys_reach sysdefault "Line Playback Volume=17,17"
  echo "a card line moved after master landed $(($(now_ms) - t0)) ms after its key, the server frozen"
  frozen || fail "the server was not frozen until the line landed"
  # Master Home then Right while frozen: position 1 once the server answers,
  # with no further move.
  xdotool key shift+Tab shift+Tab shift+Tab Home Right
  sleep 0.5 # the moves are made before the server answers
  server_signal CONT
  t0=$(now_ms)
  if poll 10 is sink 6000,6000; then
    echo "master's last move reached the sink $(($(now_ms) - t0)) ms after the server answered again"
  else
    fail "after the freeze the sink holds $(volume sink), expected 6000,6000"
  fi
  server_signal STOP
  close_main $((base_ms + 1000))
  echo "exit time with the sound server frozen: $closed_ms ms, with nothing frozen: $base_ms ms"
  ;;
restart)
  start
  wait_main
  xdotool key Right
  poll 5 is sink 24000,24000 || fail "sink volume $(volume sink), expected 24000,24000"
  poll 5 eval '[ -z "$(pactl list short sink-inputs)" ]' || fail "the ding did not end"
  # Killed and started again on the same socket: the next move (position 5)
  # and its ding reach the new server.
  restart_server
  t0=$(now_ms)
  xdotool key Right
  if poll 10 is sink 30000,30000; then
    echo "the first move after the restart reached the new server after $(($(now_ms) - t0)) ms"
  else
    fail "the new server's sink holds $(volume sink), expected 30000,30000"
  fi
  poll 10 heard || fail "the ding after the restart did not reach the new server"
  # Frozen, then killed and started again, as a watchdog restarts a hung
  # server: the move made meanwhile (position 4) reaches the new server with
  # no further move, and the ding of the next (3 = 18000 = raw 18000.27) plays
  # there, whatever the one asked for meanwhile was stuck in.
  server_signal STOP
  xdotool key Left
  sleep 0.5 # the move is made before the server is killed
  restart_server
  t0=$(now_ms)
  if poll 10 is sink 24000,24000; then
    echo "the move made while the server hung reached the new server $(($(now_ms) - t0)) ms after it started"
  else
    fail "after the restart the sink holds $(volume sink), expected 24000,24000"
  fi
  xdotool key Left
  poll 10 is sink 18000,18000 || fail "the new server's sink holds $(volume sink), expected 18000,18000"
  poll 10 heard || fail "the ding after the second restart did not reach the new server"
  close_main 10000
  ;;
late)
  # Frozen while the program starts, as a server still starting at login:
  # once it answers, master goes to its sink, never to the card's own Master.
  # The slider starts where the level read at start put it, the card's Master
  # (position 8); Right gives 9 = 54000 = raw 54000.82 -> 54001.
  server_signal STOP
  start
  wait_main
  server_signal CONT
  # Until it answers, the program cannot know the device is a server.
  poll 10 grep -q 'device default answers again' "$dir/program.log" || fail "no word of the server"
  card_before=$(levels sysdefault)
  xdotool key Right
  poll 10 is sink 54001,54001 || fail "after a late start the sink holds $(volume sink), expected 54001,54001"
  [ "$(levels sysdefault)" = "$card_before" ] || fail "master moved the card"
  close_main 10000
  ;;
*) die "unknown case $2" ;;
esac
