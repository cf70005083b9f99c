#!/usr/bin/env bash
# Moorlink.exe end to end under Wine and Xvfb, in a private network namespace with a
# scripted Wi-Fi ("Home") and 127.0.0.1 as target: the tray icon and its colours, a
# second start, the menu, the about dialog, the settings sheet, the folder and read-me
# commands, a shell restart, and the exit. Screenshots go to ARTIFACTS.
#
# usage: shell_e2e.sh WINEPREFIX ARTIFACTS MOORLINK_EXE README DRIVER_EXE NETSH_EXE WLANAPI_DLL
# Re-executes itself inside `unshare -n` and xvfb-run; needs root.
set -euo pipefail

if [ -z "${MOORLINK_IN_NETNS:-}" ]; then
  exec unshare -n env MOORLINK_IN_NETNS=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

prefix=$1 artifacts=$2 exe=$3 readme=$4 driver=$5 netsh=$6 wlanapi=$7
ip link set lo up
MOORLINK_EXTRA_OVERRIDES="wlanapi=n" source "$(dirname "$0")/wine_prefix.sh" "$prefix"

work=$(mktemp -d)
cleanup() {
  "$wineserver" -k </dev/null >/dev/null 2>&1 || true
  rm -f "$WINEPREFIX/dosdevices/m:"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$artifacts"

cp "$exe" "$work/Moorlink.exe"
cp "$readme" "$work/Readme.txt"
cp "$driver" "$work/driver.exe"
source "$(dirname "$0")/shell_lib.sh"
home_wifi "$netsh" "$wlanapi"
user=$(id -un)
printf '%s\r\n' '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'PingInterval=1' \
  '[Log]' 'UseLog=true' > "$work/${user}_Moorlink.ini"
# The exe folder is also the root of drive M:, for the read-me beside a drive-root exe.
ln -sfn "$work" "$WINEPREFIX/dosdevices/m:"

"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
(cd "$work" && "$wine" 'M:\Moorlink.exe' </dev/null >"$work/moorlink.out" 2>&1; echo "exit $?" >"$work/moorlink.exit") &


wait_for 60 "the start of monitoring" has_at_least '[Monitor][監視処理開始]' 1
wait_for 30 "an answered ping" has_at_least '[Ping][成功]' 1
wait_for 10 "the blue icon" icon_is blue
shot monitoring

# A second start: the warning, exit code 0, and nothing written by it.
starts=$(count '[Process][ソフト起動]')
(cd "$work" && "$wine" 'M:\Moorlink.exe' </dev/null >/dev/null 2>&1; echo "$?" >"$work/second.exit") &
drive wait '#32770' Moorlink 20000 || fail "no warning for a second start"
wait_for 5 "the warning text" texts_have '#32770' Moorlink 'このソフトはすでに起動しています。'
shot second-start
drive key '#32770' Moorlink 0x0D
wait_for 20 "the second instance to end" test -f "$work/second.exit"
[ "$(cat "$work/second.exit")" = 0 ] || fail "second instance exit code $(cat "$work/second.exit")"
[ "$(count '[Process][ソフト起動]')" = "$starts" ] || fail "the second instance wrote to the log"

# The menu on a right click; the popup closes again when cancelled.
drive tray 0x0205
drive wait '#32768' - 5000 || fail "no menu on a right click"
shot menu
drive cancel-menu
drive gone '#32768' - 5000 || fail "the menu stayed open"

# The about dialog: its texts, and Enter, Escape and the close box each close it.
about='バージョン情報 - Moorlink'
for closer in "key 0x0D" "key 0x1B" "close"; do
  drive command 40002
  drive wait '#32770' "$about" 10000 || fail "no about dialog"
  set -- $closer
  if [ "$1" = key ]; then drive key '#32770' "$about" "$2"; else drive close '#32770' "$about"; fi
  drive gone '#32770' "$about" 5000 || fail "the about dialog stayed open after $closer"
done
drive command 40002
drive wait '#32770' "$about" 10000 || fail "no about dialog"
texts=$(drive texts '#32770' "$about")
for t in 'Moorlink Version 1.00' 'Copyright (C) 2026 Moorlink Project' 'URL : https://github.com/moorlink' '1 Button 閉じる'; do
  grep -q -F -- "$t" <<<"$texts" || fail "about dialog lacks '$t': $texts"
done
shot about
# While it is open, Settings and About do nothing; Restart still works. The commands are
# handled in the order posted, so by the restarted run the first two have been too.
runs=$(count '[Monitor][監視処理開始]')
drive command 40004
drive command 40002
drive command 40007
wait_for 20 "the restarted run" has_at_least '[Monitor][監視処理開始]' $((runs + 1))
drive wait '#32770' '設定 - Moorlink' 1 && fail "the settings sheet opened over the about dialog"
abouts=$(drive list | grep -c -x -F "#32770 $about" || true)
[ "$abouts" = 1 ] || fail "$abouts about dialogs after a second About command"
drive close '#32770' "$about"
drive gone '#32770' "$about" 5000 || fail "about dialog did not close"

# The settings sheet.
drive command 40004
drive wait '#32770' '設定 - Moorlink' 10000 || fail "no settings sheet"
shot settings
# Centred in the work area (the whole 1024 x 768 screen: Xvfb has no taskbar).
IFS='x+' read -r w h x y <<<"$(drive rect '#32770' '設定 - Moorlink')"
[ "$x" = $(((1024 - w) / 2)) ] && [ "$y" = $(((768 - h) / 2)) ] || fail "sheet at $x,$y is not centred (${w}x${h})"
drive close '#32770' '設定 - Moorlink'
drive gone '#32770' '設定 - Moorlink' 5000 || fail "settings sheet did not close"

# The read-me beside an exe at a drive root, and the log folder.
drive command 40003
drive wait Notepad - 15000 || { drive list; fail "the read-me did not open"; }
drive close Notepad -
# Under Wine a folder opens in explorer.exe, a window of class ExplorerWClass titled with
# the folder's name; a drive root's is " (M:)".
drive command 40006
drive wait ExplorerWClass "${user}_log" 15000 || { drive list; fail "the log folder did not open"; }
drive command 40005
drive wait ExplorerWClass " (M:)" 15000 || { drive list; fail "the exe folder did not open"; }
for folder in "${user}_log" " (M:)"; do
  drive close ExplorerWClass "$folder"
  drive gone ExplorerWClass "$folder" 5000 || fail "the folder window '$folder' stayed open"
done

# A restarted shell: the icon, deleted behind the program's back, comes back.
drive delete-icon || fail "the icon could not be deleted for the shell restart"
wait_for 10 "the icon to be deleted" icon_gone
drive taskbar-created || fail "no main window for the shell restart"
wait_for 10 "the icon after a shell restart" icon_is blue

# No notice left on screen, and no error logged but Wine's lack of a media player (the
# settings sheet's voice list made the speech player).
! drive list | grep -e '^#32770 ' -e '^tooltips_class32 ' || fail "the notices above were not expected"
! log | grep -F '][エラー]' | grep -v -F '[Other][エラー]音声機能を初期化できません。(Windows.Media.Playback.MediaPlayer、' ||
  fail "unexpected errors above"

# Exit: the log ends with the monitor's end line and then the program's.
drive command 40001
wait_for 30 "the program to end" test -f "$work/moorlink.exit"
grep -q -x 'exit 0' "$work/moorlink.exit" || fail "exit code: $(cat "$work/moorlink.exit")"
! crashed || fail "a crash dialog appeared at exit"
! grep -F 'wine: Unhandled' "$work/moorlink.out" || fail "a crash at exit"
log | tail -n 2 | grep -q -F '[Monitor][監視処理終了]' || fail "the monitor's end line is not second to last"
log | tail -n 1 | grep -q -F '[Process][ソフト終了]本ソフトが終了しました。' || fail "the last line is not the end line"
# Under Wine the program's process shows the Windows path it was started with, which is
# this test's own (drive M:), whatever else runs beside it.
if pgrep -f '^M:\\Moorlink\.exe' >/dev/null; then
  fail "a Moorlink process is still running: $(pgrep -af '^M:\\Moorlink\.exe')"
fi
echo "screenshots: $artifacts/shell-*.png"
echo "e2e shell: passed"
