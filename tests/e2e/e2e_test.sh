#!/usr/bin/env bash
# The built program driven from outside, one case per run: e2e_test.sh CASE,
# under xvfb-run on a 1024 x 768 screen. The environment names the program and
# its helpers (E2E_PROGRAM, E2E_WRITE_CONFIG, E2E_CLOSE_WINDOW, E2E_DING).
case=$1
source "$(dirname "$0")/e2e_lib.sh"

case $case in
wayland)
  # On a Wayland session with XWayland the window goes through X11, where the
  # window manager keeps its fixed size and close-only frame.
  type -P weston Xwayland >/dev/null || { echo "SKIP: weston or Xwayland is not installed"; exit 77; }
  # Qt names the platforms it can load when asked for one it has not.
  platforms=$(ulimit -c 0; QT_QPA_PLATFORM=none "$E2E_PROGRAM" 2>&1 || true)
  platforms=$(sed -n 's/^Available platform plugins are: //p' <<<"$platforms")
  tr -d ' .' <<<"$platforms" | tr ',' '\n' | grep -qx wayland ||
    { echo "SKIP: Qt has no wayland platform (qt6-wayland), only: $platforms"; exit 77; }
  card
  export HOME="$dir/run"
  weston --backend=headless-backend.so --use-pixman --xwayland --no-config \
    --socket=wayland-e2e >"$dir/weston.log" 2>&1 &
  pids+=("$!")
  poll 20 grep -q 'xserver listening on display' "$dir/weston.log" ||
    die "no XWayland: $(cat "$dir/weston.log")"
  DISPLAY=$(grep -o 'listening on display :[0-9]*' "$dir/weston.log" | cut -d' ' -f4)
  export DISPLAY WAYLAND_DISPLAY=wayland-e2e
  start
  poll 30 main_window ||
    die "no X11 window on Weston's XWayland: $(cat "$dir/program.log"); threads: $(program_state)"
  # Desktops match an X11 window to its desktop entry by the window's class.
  class=$(sed -n 's/^StartupWMClass=//p' "$E2E_SOURCE_DIR/assets/de.pegelwerk.Pegelwerk.desktop")
  xprop -id "$win" WM_CLASS | grep -q "^WM_CLASS(STRING) = \".*\", \"$class\"\$" || fail "WM_CLASS is not '$class'"
  close_main 10000
  ;;
stuck_sound)
  # ALSA's file PCM opening a FIFO that nothing reads waits for ever: every
  # slider still moves its own line and nothing else, and the program ends all
  # the same. (The ding played: e2e.atspi.)
  mkfifo fifo
  card --capture "$dir/fifo"
  no_leak_check
  plain_close
  start
  wait_main
  # Set by another program after the window read the card: a move changes its
  # own volume alone (keys_reach allows one changed control), never these.
  amixer -q -D default cset name='Master Playback Switch' off,off
  amixer -q -D default cset name='Mic Capture Volume' 50
  keys_reach default "${full_card_moves[@]}"
  close_main 10000
  echo "exit time with the sound device hung: $closed_ms ms, with nothing played: $base_ms ms"
  # A reader that takes 16-bit mono 44.1 kHz at the pace of a real device, and
  # a tone of 20 s as the ding: the close comes while it plays, and the program
  # ends without playing it out.
  sox -n -r 44100 -b 16 -c 1 run/ding.wav synth 20 sine 440
  (exec 3<fifo
    while sleep 0.05; do
      [ "$(head -c 4410 <&3 | tee -a "$dir/taken" | wc -c)" -gt 0 ] || exec touch "$dir/ended"
    done) &
  pids+=("$!")
  card --capture "$dir/fifo"  # the full card again
  start
  wait_main
  keys_reach default "${full_card_moves[0]}"
  poll 10 test -s "$dir/taken" || fail "nothing played"
  close_main 10000
  poll 10 test -e "$dir/ended" || fail "the sound device was still open after the program ended"
  taken=$(stat -c %s "$dir/taken")
  echo "the program ended after $((taken * 10 / 882)) ms of the 20 s ding had played"
  [ "$taken" -lt 1764000 ] || fail "the program played the whole ding before it ended"
  ;;
package)
  # The binary package as a distribution builds it, from debian/ in a copy of
  # the tree, without the build-time tests (the suite runs them).
  build="$E2E_WORK/package-build"
  rm -rf "$build" && mkdir -p "$build/pegelwerk"
  (cd "$E2E_SOURCE_DIR" && tar --exclude=./build --exclude='./obj-*' --exclude-vcs -cf - .) |
    tar -C "$build/pegelwerk" -xf - &&
    (cd "$build/pegelwerk" && DEB_BUILD_OPTIONS="nocheck parallel=2" dpkg-buildpackage -us -uc -b -Pnocheck) \
      >"$dir/build.log" 2>&1 ||
    die "build: $(tail "$dir/build.log")"
  deb=$(ls "$build"/pegelwerk_*.deb)
  rm -rf root && dpkg -x "$deb" root
  # Built here, against what is installed here: every dependency names an
  # installed package, by its own name or one that package provides (Debian
  # 13's libasound2t64 for libasound2).
  present=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Provides}\n' |
    awk '$1 == "ii" { $1 = ""; gsub(/\([^)]*\)|,/, " "); for (i = 1; i <= NF; i++) print $i }')
  while read -r group; do
    grep -qxF -f <(tr '|' '\n' <<<"$group") <<<"$present" || fail "depends on $group: not installed here"
  done < <(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/ //g' | tr ',' '\n')
  desktop-file-validate root/usr/share/applications/*.desktop || fail "desktop entry"
  # Pegelwerk has no homepage to name. appstreamcli 1.0 warns about the missing
  # one and fails on the warning; 0.16 has no such check and refuses to hear
  # of it, so the warning is lowered only where the validator knows it.
  metainfo=(root/usr/share/metainfo/*.xml)
  homepage=--override=url-homepage-missing=info
  known=$(appstreamcli validate --no-net "$homepage" "${metainfo[@]}" 2>&1 || true)
  [[ $known != *"'url-homepage-missing' is not recognized"* ]] || homepage=
  appstreamcli validate --no-net ${homepage:+"$homepage"} "${metainfo[@]}" || fail "metainfo"
  lintian "$deb" >lintian.log 2>&1 || true
  cat lintian.log
  ! grep -q '^E:' lintian.log || fail "lintian errors"
  page=root/usr/share/man/man1/pegelwerk.1.gz
  [ -f "$page" ] && [ -z "$(man --warnings -l "$page" 2>&1 >/dev/null)" ] ||
    fail "man page missing or warned: $(man --warnings -l "$page" 2>&1 >/dev/null)"
  # From a folder without a ding, the unpacked program plays its own.
  card
  start "$dir/run" "$dir/root/usr/bin/pegelwerk"
  wait_main
  keys_reach default "${full_card_moves[0]}"
  poll 10 same_sound "$dir/card/capture.wav" root/usr/share/pegelwerk/ding.wav ||
    fail "captured $(soxi "$dir/card/capture.wav" 2>&1), not the package's ding"
  close_main 10000
  ;;
*) die "unknown case $case" ;;
esac
