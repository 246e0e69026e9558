#!/usr/bin/env bash
# The Debian package: built from this build folder, its dependencies and files
# checked, unpacked into a scratch root (dpkg -x) and its program run from
# there, where the ding it plays must be the one the package installed.
source "$(dirname "$0")/lib.sh"
e2e_setup package

"$E2E_CPACK" -G DEB --config "$E2E_BUILD_DIR/CPackConfig.cmake" -B "$E2E_DIR/out" \
  >"$E2E_DIR/cpack.log" 2>&1 || e2e_abort "cpack failed: $(cat "$E2E_DIR/cpack.log")"
deb=$(ls "$E2E_DIR"/out/pegelwerk_*.deb)
e2e_log "package $deb"
e2e_expect_eq "package version" "2.00.0005" "$(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libasound2 libsndfile1 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
  [[ ",$depends," =~ [,\ ]$lib[\ ,] ]] || e2e_fail "Depends lacks $lib: $depends"
done

root="$E2E_DIR/root"
dpkg -x "$deb" "$root"
share="$root/usr/share"
app_id=de.pegelwerk.Pegelwerk
entry="$share/applications/$app_id.desktop"
desktop-file-validate "$entry" || e2e_fail "the desktop entry does not validate"
grep -qx 'Name=Pegelwerk' "$entry" || e2e_fail "the desktop entry is not named Pegelwerk"
grep -qx 'Categories=AudioVideo;Audio;Mixer;' "$entry" || e2e_fail "desktop entry categories"
grep -qx "Icon=$app_id" "$entry" || e2e_fail "the desktop entry does not name the icon"
metainfo="$share/metainfo/$app_id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$E2E_DIR/appstream.log" 2>&1 \
  || e2e_fail "the metainfo does not validate: $(cat "$E2E_DIR/appstream.log")"
grep -q 'release version="2.00.0005"' "$metainfo" || e2e_fail "the metainfo's release version"
e2e_expect_eq "icon size" 16x16 \
  "$(identify -format '%wx%h' "$share/icons/hicolor/16x16/apps/$app_id.png")"
grep -q '<svg' "$share/icons/hicolor/scalable/apps/$app_id.svg" || e2e_fail "no scalable icon"

# Started from a folder without a ding, the unpacked program has to find the
# package's own.
e2e_card full
mkdir -p "$E2E_DIR/cwd"
e2e_start --cwd "$E2E_DIR/cwd" --program "$root/usr/bin/pegelwerk"
e2e_wait_main
xdotool key --window "$E2E_WIN" End Home  # one of the two moves the master and dings
e2e_expect_sound "the installed ding" ding "$share/pegelwerk/ding.wav"
e2e_screenshot package
e2e_close
e2e_expect_clean_exit
e2e_pass
