#!/usr/bin/env bash
# The release package as a user meets it: scripts/package builds the zip, which must hold
# exactly Moorlink.exe, Readme.txt, LICENSE.txt and the policy templates (policies/) in one
# folder Moorlink/ (so that
# unzipping never scatters them); unzipped into C:\ of a fresh Wine prefix it starts, shows its tray icon, creates its settings file (saved from
# the settings sheet) and its log beside the exe, and ends with exit code 0 from the tray
# menu. No Wi-Fi here, so nothing is pinged.
#
# usage: package_e2e.sh WINEPREFIX ARTIFACTS SOURCE_DIR DRIVER_EXE
# Re-executes itself inside `unshare -n` and xvfb-run; needs root.
set -euo pipefail

prefix=$1 artifacts=$2 source=$3 driver=$4
zip=$source/build/package/Moorlink-1.00-win64.zip
if [ -z "${MOORLINK_IN_NETNS:-}" ]; then
  "$source/scripts/package" >/dev/null
  exec unshare -n env MOORLINK_IN_NETNS=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
ip link set lo up

# Folders' own entries are left out: zip tools differ in writing them.
listing=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
[ "$listing" = "Moorlink/LICENSE.txt Moorlink/Moorlink.exe Moorlink/Readme.txt Moorlink/policies/Moorlink.admx \
Moorlink/policies/en-US/Moorlink.adml Moorlink/policies/ja-JP/Moorlink.adml " ] ||
  { echo "FAIL: the zip holds: $listing"; exit 1; }
cmp <(unzip -p "$zip" Moorlink/policies/Moorlink.admx) "$source/policies/Moorlink.admx" ||
  { echo "FAIL: the zip's ADMX differs"; exit 1; }

rm -rf "$prefix"
source "$(dirname "$0")/wine_prefix.sh" "$prefix"
app="$WINEPREFIX/drive_c/Moorlink"
tools=$(mktemp -d)
cleanup() {
  "$wineserver" -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$tools"
}
trap cleanup EXIT
mkdir -p "$artifacts"
unzip -q "$zip" -d "$WINEPREFIX/drive_c"
cmp "$app/LICENSE.txt" "$source/LICENSE" || { echo "FAIL: LICENSE.txt differs"; exit 1; }
cmp "$app/Readme.txt" "$source/src/resources/Readme.txt" || { echo "FAIL: Readme.txt differs"; exit 1; }

# The driver runs from a folder of its own, so that the program's folder holds only what
# the zip and the program put there.
cp "$driver" "$tools/driver.exe"
work=$tools  # the helpers' scratch files (screen grabs) stay out of the program's folder
shot_prefix=package-
source "$(dirname "$0")/shell_lib.sh"
log() { cat "$app"/*_log/*.txt 2>/dev/null || true; }
user=$(id -un)

"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
(cd "$tools" && "$wine" 'C:\Moorlink\Moorlink.exe' </dev/null >/dev/null 2>&1; echo "exit $?" >"$tools/moorlink.exit") &
wait_for 60 "the hidden main window" drive exists MoorlinkClass
wait_for 20 "the tray icon (red: no Wi-Fi to watch)" icon_is red
[ ! -e "$app/${user}_Moorlink.ini" ] || fail "a settings file before anything was saved"

# Logging on from the log page; OK saves the settings file beside the exe.
sheet='設定 - Moorlink'
drive command 40004
drive wait '#32770' "$sheet" 10000 || fail "no settings sheet"
drive page "$sheet" 1 || fail "no log page"
drive state "$sheet" 4002 | grep -q '|check=0|' || fail "logging is on before it was switched on"
drive click "$sheet" 4002
log_switch_on() { drive state "$sheet" 4002 | grep -q '|check=1|'; }
wait_for 10 "the log switch to take the click" log_switch_on
drive click "$sheet" 1
drive gone '#32770' "$sheet" 10000 || fail "the settings sheet stayed open after OK"
ini="$app/${user}_Moorlink.ini"
wait_for 10 "the settings file beside the exe" test -f "$ini"
iconv -f UTF-16LE -t UTF-8 "$ini" | tr -d '\r' | grep -q -x 'UseLog=true' || fail "UseLog=true is not in the settings file"
shot running

drive command 40001
wait_for 20 "the program to end" test -f "$tools/moorlink.exit"
grep -q -x 'exit 0' "$tools/moorlink.exit" || fail "exit code: $(cat "$tools/moorlink.exit")"
log | tail -n 1 | grep -q -F '[Process][ソフト終了]本ソフトが終了しました。' || fail "no end line in the log beside the exe"
ls "$app/${user}_log/"*.txt >/dev/null || fail "no log file beside the exe"
echo "files after the run: $(cd "$app" && find . -mindepth 1 | sort | tr '\n' ' ')"
echo "e2e package: passed"
