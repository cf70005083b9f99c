#!/usr/bin/env bash
# A real balloon and a real message box under Xvfb: the notification driver shows both
# through the real dispatcher and speech player, finds them on screen, and this script
# takes a screenshot of each (kept in ARTIFACTS) and checks the driver's record and log.
#
# usage: notify_screens.sh WINEPREFIX ARTIFACTS DRIVER_EXE VOICEVOX_CORE_DLL
set -euo pipefail

if [ -z "${MOORLINK_IN_XVFB:-}" ]; then
  exec env MOORLINK_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

prefix=$1 artifacts=$2 driver=$3 core=$4
source "$(dirname "$0")/wine_prefix.sh" "$prefix"

work=$(mktemp -d)
cleanup() {
  "$wineserver" -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$artifacts"

# The exe's folder as a user's would be, with the VOICEVOX files beside it.
cp "$driver" "$work/driver.exe"
voicevox_beside "$work" "$core"
user=$(id -un)
printf '%s\r\n' '[Log]' 'UseLog=true' '[Notify]' 'VoiceName=VOICEVOX: 四国めたん(ノーマル)' > "$work/${user}_Moorlink.ini"

"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
(cd "$work" && "$wine" "$work/driver.exe" </dev/null >"$work/driver.out" 2>&1) &
driver_pid=$!

fail() {
  echo "FAIL: $*"
  echo "--- record"; cat "$work/notify.txt" 2>/dev/null || true
  echo "--- log"; cat "$work"/*_log/*.txt 2>/dev/null || true
  exit 1
}

end=$((SECONDS + 120))
while kill -0 "$driver_pid" 2>/dev/null; do
  [ "$SECONDS" -lt "$end" ] || fail "the driver did not finish"
  for ready in "$work"/*.ready; do
    [ -e "$ready" ] || continue
    name=$(basename "$ready" .ready)
    import -window root "$artifacts/notify-$name.png"
    rm -f "$ready"
    touch "$work/$name.shot"
  done
  sleep 0.2
done
wait "$driver_pid" || fail "the driver failed"

record=$work/notify.txt
has() { grep -q -F -- "$1" "$record" || fail "no '$1' in the record"; }
has "tray 1"
has "speak "
has "voice VOICEVOX: 四国めたん(ノーマル)"
has "voice VOICEVOX: 四国めたん(あまあま)"
has "balloon shown Wi-Fiの切断を検知しました。再接続を試みます。"
has "box shown 監視処理中止 - Moorlink | 再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止。"
has "box closed"
has "done"
[ -s "$artifacts/notify-balloon.png" ] && [ -s "$artifacts/notify-box.png" ] || fail "no screenshots"
# Wine has no media player: one line says so, and speech is refused without a hang.
grep -q -F '[Other][エラー]音声機能を初期化できません。(Windows.Media.Playback.MediaPlayer、HRESULT 0x80040154)' \
  "$work"/*_log/*.txt || fail "no log line for the missing media player"
# The box must show when first asked; the record says what was on screen when it did not.
if grep -q -F "box missing" "$record"; then
  sed -n '/^box call/,$p' "$record"
  fail "the message box did not show when first asked"
fi
# Nothing else logged as an error, and no crash.
! grep -h -F '][エラー]' "$work"/*_log/*.txt | grep -v -F '[Other][エラー]音声機能を初期化できません。(Windows.Media.Playback.MediaPlayer、' ||
  fail "unexpected errors above"
! grep -F 'wine: Unhandled' "$work/driver.out" || fail "a crash in the driver"
sed -n 's/^\(player\|speak\|balloon call\|box call\) /  &/p' "$record"
echo "screenshots: $artifacts/notify-balloon.png $artifacts/notify-box.png"
echo "e2e notify screens: passed"
