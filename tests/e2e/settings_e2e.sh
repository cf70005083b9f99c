#!/usr/bin/env bash
# The settings sheet of the real Moorlink.exe under Wine and Xvfb: every page's controls
# as loaded, an invalid number, Cancel, OK on the first page alone, and a full edit on
# the first three pages, the detail page's limits, checked in the INI file, the log and the
# Startup folder, and with notices as boxes one restart per OK. Screenshots go to ARTIFACTS.
# The test VOICEVOX library lies beside the exe, so the voice list has entries.
#
# usage: settings_e2e.sh WINEPREFIX ARTIFACTS MOORLINK_EXE DRIVER_EXE VOICEVOX_CORE_DLL
set -euo pipefail

if [ -z "${MOORLINK_IN_XVFB:-}" ]; then
  exec unshare -n env MOORLINK_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

prefix=$1 artifacts=$2 exe=$3 driver=$4 core=$5
ip link set lo up
source "$(dirname "$0")/wine_prefix.sh" "$prefix"
work=$(mktemp -d)
shot_prefix=settings-
startup="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp/Moorlink.lnk"
cleanup() {
  "$wineserver" -k </dev/null >/dev/null 2>&1 || true
  rm -f "$startup"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$artifacts"
rm -f "$startup"

cp "$exe" "$work/Moorlink.exe"
cp "$driver" "$work/driver.exe"
voicevox_beside "$work" "$core"
user=$(id -un)
ini="$work/${user}_Moorlink.ini"
printf '%s\r\n' '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'MaxRetryCount=-4' \
  '[Log]' 'UseLog=true' 'LogPing=false' '[Notify]' 'NotifyMode=9' 'VoiceName=voicevox: 四国めたん(あまあま)' \
  'VoiceVolume=250' > "$ini.utf8"
# As the program writes it: UTF-16LE with a byte-order mark (the profile API reads a file
# without one in the ANSI code page).
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$ini.utf8"; } > "$ini"
rm "$ini.utf8"
source "$(dirname "$0")/shell_lib.sh"
ini_text() { iconv -f UTF-16LE -t UTF-8 "$ini" 2>/dev/null | tr -d '\r\357\273\277' || tr -d '\r' <"$ini"; }
sheet='設定 - Moorlink'
state() { drive state "$sheet" "$1"; }
# A pattern is whole fields of the state line ("0|" is a text of 0, not one ending in 0).
state_has() {  # id pattern
  local s
  s=$(state "$1") || return 1
  [[ "|$s|" == *"|${2%|}|"* ]]
}
# Waits a little for the control to show the pattern (the clicks are posted).
expect_state() {  # id pattern
  local end=$((SECONDS + 10))
  until state_has "$1" "$2"; do
    [ "$SECONDS" -lt "$end" ] || fail "control $1: '$(state "$1")' lacks '$2'"
    sleep 0.2
  done
}
open_sheet() {
  drive command 40004
  drive wait '#32770' "$sheet" 10000 || fail "no settings sheet"
}
# Closes the notices the restarted runs show as message boxes (there is no Wi-Fi here),
# so that screenshots show the sheet.
dismiss_notices() {
  local title quiet=0 tries=0
  # A restarted run may show its notice a moment later: done after two quiet looks.
  while [ $quiet -lt 2 ] && [ $tries -lt 20 ]; do
    quiet=$((quiet + 1)) tries=$((tries + 1))
    for title in $(drive list | sed -n 's/^#32770 \(.* - Moorlink\)$/\1/p' | tr ' ' '\037'); do
      title=$(tr '\037' ' ' <<<"$title")
      [ "$title" = "$sheet" ] || { echo "$title" >>"$work/told"; drive close '#32770' "$title" || true; quiet=0; }
    done
    sleep 0.5
  done
}
# Every control of the shown page lies inside it and its text fits it.
fits() {
  local clipped
  clipped=$(drive clipped "$sheet")
  [ -z "$clipped" ] || fail "clipped on the page: $clipped"
}
ok() {
  drive click "$sheet" 1
  drive gone '#32770' "$sheet" 10000 || fail "the sheet stayed open after OK"
}

"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
(cd "$work" && "$wine" Moorlink.exe </dev/null >/dev/null 2>&1; echo "exit $?" >"$work/moorlink.exit") &
wait_for 60 "the program" has_at_least '[Process][ソフト起動]' 1
# The first run (no Wi-Fi here) waits for Wi-Fi before the settings file is first looked at.
wait_for 30 "the first run to find no Wi-Fi" has_at_least '[Monitor][エラー]' 1

# Cancel writes nothing, also after edits.
before=$(md5sum <"$ini")
open_sheet
drive set "$sheet" 3003 "Changed"
drive click "$sheet" 2
drive gone '#32770' "$sheet" 10000 || fail "Cancel did not close the sheet"
[ "$(md5sum <"$ini")" = "$before" ] || fail "Cancel wrote the settings file"

# The monitoring page as loaded; an invalid field stops OK with the exact message.
open_sheet
expect_state 3003 'Home|enabled=1'
expect_state 3009 '0|'                    # a negative limit shows as 0
expect_state 3005 '5|'
expect_state 3026 '1200|enabled=1'
expect_state 3024 'check=1'
dismiss_notices
shot monitoring
fits
drive set "$sheet" 3020 9
drive click "$sheet" 1
drive wait '#32770' '入力エラー' 10000 || fail "no input error for a ping timeout of 9"
wait_for 5 "the input error text" texts_have '#32770' '入力エラー' 'Pingの応答待ち時間は 10～30000 の範囲で入力して下さい。'
drive key '#32770' '入力エラー' 0x0D
drive gone '#32770' '入力エラー' 5000 || fail "the input error box stayed"
expect_state 3020 'focus=1'
[ "$(md5sum <"$ini")" = "$before" ] || fail "an invalid field wrote the settings file"
drive set "$sheet" 3020 10
drive click "$sheet" 3024              # revival off: its delay controls are disabled
expect_state 3026 'enabled=0'
expect_state 3025 'enabled=0'
runs=$(count '[Monitor][監視処理開始]')
ok                                     # only the first page was shown
wait_for 20 "the restart after OK" has_at_least '[Monitor][監視処理開始]' $((runs + 1))
log | grep -F -A3 '[Other][設定更新]ユーザー設定が更新されました。' | grep -q -F '[Monitor][監視処理' \
  || fail "no settings line before the restarted run"
text=$(ini_text)
for kv in 'PingTimeout=10' 'EnableMonitorRevival=false' 'MaxRetryCount=0' 'NotifyMode=9' 'VoiceVolume=250' 'LogPing=false'; do
  grep -q -x -F "$kv" <<<"$text" || fail "after OK on the first page the file lacks $kv: $text"
done
[ ! -e "$startup" ] || fail "the shortcut appeared"

# The log and other pages as loaded, then edited and applied.
open_sheet
drive page "$sheet" 1 || fail "no log page"
expect_state 4002 'check=1'
expect_state 4005 'check=0|'
dismiss_notices
shot log
fits
drive click "$sheet" 4002               # logging off: the categories are disabled
expect_state 4003 'enabled=0'
drive click "$sheet" 4002
expect_state 4003 'enabled=1'
drive page "$sheet" 2 || fail "no other page"
expect_state 5003 '音声 ＋ メッセージボックス|enabled=1'
expect_state 5004 'VOICEVOX: 四国めたん(あまあま)|enabled=1|check=-1|pos=-1|count=3'
expect_state 5005 'enabled=1|check=-1|pos=100'
expect_state 5002 'check=0'
dismiss_notices
shot other
fits
drive select "$sheet" 5003 1            # message box only: no voice, no volume
expect_state 5004 'enabled=0'
expect_state 5005 'enabled=0'
drive select "$sheet" 5003 3
drive select "$sheet" 5004 1            # after 既定の音声
drive click "$sheet" 5002
expect_state 5002 'check=1'
ok
ini_has_all() {
  local kv text
  text=$(ini_text)
  for kv in "$@"; do grep -q -x -F "$kv" <<<"$text" || return 1; done
}
after_all=('NotifyMode=3' 'VoiceName=VOICEVOX: 四国めたん(ノーマル)' 'VoiceVolume=100' 'UseLog=true' 'LogPing=false')
wait_for 10 "after OK on all pages: ${after_all[*]} in the file" ini_has_all "${after_all[@]}"
wait_for 10 "the Startup shortcut after checking the box" test -e "$startup"

# Unchecking the box removes the shortcut.
open_sheet
drive page "$sheet" 2 || fail "no other page"
expect_state 5002 'check=1'
drive click "$sheet" 5002
expect_state 5002 'check=0'
ok
wait_for 10 "the shortcut to go after unchecking the box" test ! -e "$startup"

# The detail page as loaded (defaults); a bad value on it stops OK with its message, the
# page shown and the field focused, even when OK is pressed on another page.
open_sheet
drive page "$sheet" 3 || fail "no detail page"
expect_state 6002 '1|' && expect_state 6005 'check=1' && expect_state 6007 '30|'
dismiss_notices
shot detail
fits
rejected() {  # id message [screenshot]
  drive click "$sheet" 1 && drive wait '#32770' '入力エラー' 10000 || fail "no input error for field $1"
  [ -z "${3:-}" ] || shot "$3"
  wait_for 5 "the input error text for field $1" texts_have '#32770' '入力エラー' "$2"
  drive key '#32770' '入力エラー' 0x0D && drive gone '#32770' '入力エラー' 5000 || fail "the input error box stayed"
  expect_state "$1" 'focus=1'
}
drive set "$sheet" 6002 0
rejected 6002 '再接続までの連続失敗回数は 1～10 の範囲で入力して下さい。'
drive set "$sheet" 6002 3 && drive set "$sheet" 6007 601 && drive page "$sheet" 0
rejected 6007 'スリープ復帰後の待機時間は 0～600 の範囲で入力して下さい。'
drive set "$sheet" 6007 120 && drive click "$sheet" 6005 && expect_state 6005 'check=0'
drive page "$sheet" 2 && drive select "$sheet" 5003 1  # from here on notices are message boxes
ok
detail=('FailuresBeforeReconnect=3' 'ResumeGraceSeconds=120' 'UseHistory=false')
wait_for 10 "after OK on the detail page: ${detail[*]} in the file" ini_has_all "${detail[@]}"

# A bad detail value, with the monitoring page edited too, writes nothing; put right, one
# OK saves both and restarts the run once. Under Wine boxes come late, the run's own last;
# they are closed before a sheet opens, as closing one leaves the sheet inactive.
settle_notices() {
  drive wait '#32770' '監視処理起動失敗 - Moorlink' 10000 || fail "no notice from the restarted run"
  dismiss_notices
}
settle_notices
before=$(md5sum <"$ini") runs=$(count '[Monitor][監視処理開始]')
open_sheet
drive set "$sheet" 3003 "Elsewhere" && drive page "$sheet" 3 && drive set "$sheet" 6002 11 && drive page "$sheet" 0
rejected 6002 '再接続までの連続失敗回数は 1～10 の範囲で入力して下さい。' detail-refused
[ "$(md5sum <"$ini")" = "$before" ] || fail "a bad detail value let the file be written"
drive set "$sheet" 6002 5 && ok
wait_for 10 "both pages in the file" ini_has_all 'TargetSSID=Elsewhere' 'FailuresBeforeReconnect=5' 'NotifyMode=1'
wait_for 20 "the restart after OK" has_at_least '[Monitor][監視処理開始]' $((runs + 1))
settle_notices
[ "$(count '[Monitor][監視処理開始]')" = $((runs + 1)) ] || fail "runs started: $runs before OK, $(count '[Monitor][監視処理開始]') after"
# Only the runs' own notice and error (no Wi-Fi here) were told, and Wine's lack of a media player.
! grep -v -x -F '監視処理起動失敗 - Moorlink' "$work/told" || fail "the notices above were not expected"
! log | grep -F '][エラー]' | grep -v -F -e '[Monitor][エラー]再接続先のSSIDの取得に失敗。' \
  -e '[Other][エラー]音声機能を初期化できません。(Windows.Media.Playback.MediaPlayer、' || fail "unexpected errors above"

drive command 40001
wait_for 30 "the program to end" test -f "$work/moorlink.exit"
grep -q -x 'exit 0' "$work/moorlink.exit" || fail "exit code: $(cat "$work/moorlink.exit")"
echo "screenshots: $artifacts/settings-*.png"
echo "e2e settings: passed"
