#!/usr/bin/env bash
# Builds the .deb, checks what it depends on and what it installs, unpacks it
# into a scratch root and runs the program from there: the window opens, a
# key press sets the card, and the installed ding is what plays.
# Usage: package_test.sh CPACK BUILD-DIR WRITE-CONFIG CLOSE-WINDOW WORK-DIR
cpack=$1 build=$2 write_config=$3 close_window=$4
E2E_WORK_ROOT=$5
source "$(dirname "$0")/../e2e/lib.sh"
e2e_setup deb

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$E2E_DIR/out" >"$E2E_DIR/cpack.log" 2>&1 \
  || { cat "$E2E_DIR/cpack.log"; e2e_fail "cpack failed"; e2e_pass; }
deb=$(ls "$E2E_DIR"/out/pegelwerk_*.deb)
e2e_log "package $(basename "$deb")"
e2e_expect_eq "package version" "2.00.0005" "$(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libasound2 libsndfile1 libqt6widgets6 libqt6gui6 libqt6core6; do
  case "$depends" in *"$lib "*|*"$lib,"*|*"$lib") ;; *) e2e_fail "Depends lacks $lib: $depends" ;; esac
done

root="$E2E_DIR/root"
dpkg -x "$deb" "$root"
share="$root/usr/share"
app_id=de.pegelwerk.Pegelwerk
desktop-file-validate "$share/applications/$app_id.desktop" || e2e_fail "desktop entry does not validate"
grep -qx 'Name=Pegelwerk' "$share/applications/$app_id.desktop" || e2e_fail "desktop entry has no Name=Pegelwerk"
grep -qx 'Categories=AudioVideo;Audio;Mixer;' "$share/applications/$app_id.desktop" \
  || e2e_fail "desktop entry categories"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" >"$E2E_DIR/appstream.log" 2>&1 \
  || { cat "$E2E_DIR/appstream.log"; e2e_fail "metainfo does not validate"; }
grep -q 'release version="2.00.0005"' "$share/metainfo/$app_id.metainfo.xml" || e2e_fail "metainfo version"
e2e_expect_eq "icon size" "16x16" "$(identify -format '%wx%h' "$share/icons/hicolor/16x16/apps/$app_id.png")"
grep -q '<svg' "$share/icons/hicolor/scalable/apps/$app_id.svg" || e2e_fail "no scalable icon"

# Run the unpacked program from a folder without a ding of its own, so the
# sound has to come from the package's data folder.
ALSA_CONFIG_PATH=$("$write_config" "$E2E_DIR/card" full)
export ALSA_CONFIG_PATH
mkdir -p "$E2E_DIR/cwd"
(cd "$E2E_DIR/cwd" && exec "$root/usr/bin/pegelwerk") >"$E2E_DIR/program.log" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
window=$(e2e_wait_window Pegelwerk 20) || { cat "$E2E_DIR/program.log"; e2e_fail "no window"; e2e_pass; }
# The master slider has the focus; one of the two presses moves it and dings.
xdotool key --window "$window" End Home
for _ in $(seq 100); do
  [ -s "$E2E_DIR/card/capture.wav" ] && [ "$(stat -c %s "$E2E_DIR/card/capture.wav")" -ge 39734 ] && break
  sleep 0.05
done
e2e_screenshot deb-window
ding="$share/pegelwerk/ding.wav"
data=$(( $(stat -c %s "$ding") - 44 ))
cmp -s -n "$data" -i 44:44 "$ding" "$E2E_DIR/card/capture.wav" \
  || e2e_fail "the capture does not start with the installed ding ($data bytes)"
"$close_window" "$window"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$pid" 2>/dev/null; then
  e2e_fail "the program did not end when its window closed"
else
  wait "$pid" && status=0 || status=$?
  e2e_expect_eq "exit code" 0 "$status"
fi
e2e_pass
