#!/usr/bin/env bash
# Moorlink.exe under Wine and Xvfb against a hostile environment, one case at a time, each
# bounded in time: unwritable or misplaced log folder and settings file, a huge garbage
# settings file, netsh missing or hanging, broken VOICEVOX libraries, a very long exe
# folder, odd SSIDs from the Wi-Fi double, a shell restart and a sleep during an outage,
# the end of the Windows session, a history file held by another program, an outage behind
# the router, a disconnection the WLAN service reports and a key set by policy.
# In every case the program must start, keep its hidden window and tray icon, write what
# it can, show no crash dialog, and end with exit code 0 soon after the tray menu's exit
# command.
#
# usage: fault_matrix.sh WINEPREFIX ARTIFACTS MOORLINK_EXE DRIVER_EXE NETSH_EXE WLANAPI_DLL
#                        VOICEVOX_CORE_DLL PARTIAL_VOICEVOX_CORE_DLL
# Environment:
#   MOORLINK_MATRIX_CASES          blank-separated case names to run (default: all)
# Re-executes itself inside `unshare -n -m` and xvfb-run; needs root. The private mount
# namespace carries the read-only mounts; the private network namespace the silenced ICMP.
set -euo pipefail

if [ -z "${MOORLINK_IN_NETNS:-}" ]; then
  exec unshare -n -m env MOORLINK_IN_NETNS=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

prefix=$1 artifacts=$2 exe=$3 driver=$4 netsh=$5 wlanapi=$6 core=$7 partial_core=$8
source "$(dirname "$0")/shell_lib.sh"
loopback_wine "$prefix"
mkdir -p "$artifacts"
shot_prefix=matrix-
user=$(id -un)
base=$(mktemp -d)
system_netsh="$WINEPREFIX/drive_c/windows/system32/netsh.exe"

mounts=()
# Between cases Wine stays up (its tray too), unless a case leaves a process behind.
kill_wine=1
policy_key='HKCU\Software\Policies\Moorlink\AutoReconnect'
event_key='HKCU\Software\Policies\Moorlink\Log'
cleanup() {
  sysctl -q -w net.ipv4.icmp_echo_ignore_all=0 || true
  [ "${name:-}" != policy ] || "$wine" reg delete "$policy_key" /f </dev/null >/dev/null 2>&1 || true
  [ "${name:-}" != event-log ] || "$wine" reg delete "$event_key" /f </dev/null >/dev/null 2>&1 || true
  answer_all
  [ -z "$kill_wine" ] || "$wineserver" -k </dev/null >/dev/null 2>&1 || true
  kill_wine=
  local m
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || true; done
  mounts=()
  [ ! -f "$system_netsh.away" ] || mv "$system_netsh.away" "$system_netsh"
}
trap 'kill_wine=1; cleanup; rm -rf "$base"' EXIT

want() { [ -z "${MOORLINK_MATRIX_CASES:-}" ] || [[ " $MOORLINK_MATRIX_CASES " == *" $1 "* ]]; }
# A mistyped name must not make a run that checks nothing.
cases="log-folder-readonly log-folder-is-file ini-readonly ini-is-folder ini-garbage netsh-missing
  netsh-hangs voicevox-not-dll voicevox-missing-export long-folder ssid-not-utf8 ssid-hostile
  shell-restart-outage sleep-during-outage location-denied wlan-not-ready radio-off-outage outages-told
  session-end history-held internet-side wlan-disconnect policy event-log"
for c in ${MOORLINK_MATRIX_CASES:-}; do
  [[ " $(echo $cases) " == *" $c "* ]] || { echo "FAIL: no case named $c (cases: $(echo $cases))"; exit 1; }
done

# begin NAME [FOLDER]: a fresh exe folder with the program, the driver and the doubles.
begin() {
  name=$1
  work=${2:-$base/$1}
  mkdir -p "$work"
  cp "$exe" "$work/Moorlink.exe"
  cp "$driver" "$work/driver.exe"
  home_wifi "$netsh" "$wlanapi"
  ini="$work/${user}_Moorlink.ini"
  logdir="$work/${user}_log"
  export MOORLINK_NETSH_ARGV="$work/netsh.argv"
  unset MOORLINK_NETSH_SLEEP_MS MOORLINK_WLAN_EVENTS MOORLINK_WLAN_LOG
  echo "--- case $name"
}
# No Wi-Fi at all: monitoring does not start, so nothing is pinged whatever the settings.
no_wifi() { : >"$work/wlan.scenario"; }
# write_ini LINE...: the settings file as the program writes it, UTF-16LE with a BOM.
write_ini() {
  { printf '\xff\xfe'; printf '%s\r\n' "$@" | iconv -f UTF-8 -t UTF-16LE; } >"$ini"
}
standard_ini() {
  write_ini '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'PingInterval=1' 'PingTimeout=300' \
    'ReconnectInterval=1' 'MaxRetryCount=0' '[Log]' 'UseLog=true' "$@"
}
outage() { sysctl -q -w net.ipv4.icmp_echo_ignore_all=1; }
# One loopback address stops answering pings while the others still do (nftables, inside
# this namespace only); answer_all undoes it.
silence() {
  nft add table ip moorlink
  nft 'add chain ip moorlink input { type filter hook input priority 0; }'
  nft add rule ip moorlink input ip daddr "$1" icmp type echo-request drop
}
answer_all() { nft delete table ip moorlink 2>/dev/null || true; }

launch() {
  "$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
  (cd "$work" && "$wine" Moorlink.exe </dev/null >"$work/moorlink.out" 2>&1; echo "exit $?" >"$work/moorlink.exit") &
  started=$SECONDS
  wait_for 60 "the hidden main window" drive exists MoorlinkClass
}
# No crash dialog, and the program has not ended by itself.
still_running() {
  crashed && fail "$name: a crash dialog appeared"
  [ ! -f "$work/moorlink.exit" ] || fail "$name: the program ended by itself ($(cat "$work/moorlink.exit"))"
  drive exists MoorlinkClass || fail "$name: the hidden main window is gone"
}
# Alive a few seconds after start, with its icon in the tray.
settle() {
  local colour=$1
  sleep 2
  still_running
  wait_for 20 "the $colour tray icon" icon_is "$colour"
}
finish() {
  still_running
  shot "$name"
  drive command 40001
  local asked=$SECONDS
  wait_for 15 "the program to end after the exit command" test -f "$work/moorlink.exit"
  grep -q -x 'exit 0' "$work/moorlink.exit" || fail "$name: exit code $(cat "$work/moorlink.exit")"
  crashed && fail "$name: a crash dialog appeared at exit"
  echo "case $name: passed (ran $((asked - started)) s, ended $((SECONDS - asked)) s after the exit command)"
  cleanup
}
# Nothing logged as an error but what the case expects (a fixed text, or none).
no_other_errors() {
  local other
  other=$(log | grep -F '][エラー]' || true)
  [ -z "${1:-}" ] || other=$(grep -v -F -- "$1" <<<"$other" || true)
  [ -z "$other" ] || fail "$name: unexpected errors: $other"
}
# The history file's rows, without the BOM and the CRs.
history_rows() { tail -c +4 "$work/${user}_history.csv" | tr -d '\r'; }
hex() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'; }
# TEXT as Wine's debug channels print a wide string: printable ASCII as is, the rest \xxxx.
wine_text() {
  local units i out=""
  units=$(printf '%s' "$1" | iconv -f UTF-8 -t UTF-16BE | od -An -tx1 -v | tr -d ' \n')
  for ((i = 0; i < ${#units}; i += 4)); do
    if [ "${units:i:2}" = 00 ] && ((16#${units:i+2:2} >= 32 && 16#${units:i+2:2} < 127)); then
      out+=$(printf "\\x${units:i+2:2}")
    else
      out+="\\${units:i:4}"
    fi
  done
  printf '%s' "$out"
}
ini_md5() { md5sum <"$ini"; }
sheet='設定 - Moorlink'
# The settings sheet's OK on its first page: every monitoring key is written.
save_settings() {
  drive command 40004
  drive wait '#32770' "$sheet" 10000 || fail "$name: no settings sheet"
  drive click "$sheet" 1
  drive gone '#32770' "$sheet" 10000 || fail "$name: the settings sheet stayed open after OK"
}

# A log folder on a read-only file system: the lines are dropped, monitoring goes on.
if want log-folder-readonly; then
  begin log-folder-readonly
  standard_ini
  mkdir "$logdir"
  mount -t tmpfs -o ro,size=64k tmpfs "$logdir"
  mounts+=("$logdir")
  launch
  settle blue
  [ -z "$(ls -A "$logdir")" ] || fail "$name: something was written into the read-only folder"
  finish
fi

# A plain file where the log folder belongs: left untouched.
if want log-folder-is-file; then
  begin log-folder-is-file
  standard_ini
  printf 'not a folder\n' >"$logdir"
  launch
  settle blue
  [ "$(cat "$logdir")" = 'not a folder' ] || fail "$name: the file in the log folder's place changed"
  finish
fi

# A settings file on a read-only mount: read as usual; OK in the settings sheet tells the
# user that the save failed (a message box in this mode), logs no update, restarts the
# monitoring with what is on disk, and the file stays as it was.
if want ini-readonly; then
  begin ini-readonly
  standard_ini '[Notify]' 'NotifyMode=1'
  mount --bind "$ini" "$ini"
  mount -o remount,ro,bind "$ini"
  mounts+=("$ini")
  before=$(ini_md5)
  launch
  settle blue
  wait_for 10 "the log (the settings were read)" has_at_least '[Process][ソフト起動]' 1
  save_settings
  drive wait '#32770' '設定の保存に失敗 - Moorlink' 20000 || fail "$name: no message that the save failed"
  shot "$name-told"
  drive close '#32770' '設定の保存に失敗 - Moorlink'
  wait_for 20 "monitoring restarted after OK" has_at_least '[Monitor][監視処理開始]' 2
  has_at_least '[Other][設定更新]' 1 && fail "$name: the failed save was logged as an update"
  [ "$(ini_md5)" = "$before" ] || fail "$name: the read-only settings file changed"
  settle blue
  finish
fi

# A folder where the settings file belongs: every key reads as its default (no log, no
# Wi-Fi here, so no monitoring); OK in the sheet tells that the save failed (a balloon).
if want ini-is-folder; then
  begin ini-is-folder
  no_wifi
  mkdir "$ini"
  launch
  settle red
  save_settings
  settle red
  [ -d "$ini" ] && [ -z "$(ls -A "$ini")" ] || fail "$name: the folder in the settings file's place changed"
  [ ! -e "$logdir" ] || fail "$name: a log was written although logging is off by default"
  finish
fi

# 50 MB of random bytes as the settings file, then a valid [Log] section. No Wi-Fi, so
# nothing is pinged.
if want ini-garbage; then
  begin ini-garbage
  no_wifi
  # The first two bytes are fixed so that the file is not taken as UTF-16.
  { printf 'xx'; head -c $((50 * 1024 * 1024)) /dev/urandom; printf '\r\n[Log]\r\nUseLog=true\r\n'; } >"$ini"
  before=$(ini_md5)
  launch
  echo "main window $((SECONDS - started)) s after the start"
  settle red
  [ "$(ini_md5)" = "$before" ] || fail "$name: the settings file changed"
  wait_for 10 "the log switched on by the section after the garbage" has_at_least '[Process][ソフト起動]' 1
  finish
fi

# No netsh anywhere (not beside the exe, not in system32): every reconnect fails to start,
# is logged, and the next one is tried; pings go on.
if want netsh-missing; then
  begin netsh-missing
  standard_ini
  rm "$work/netsh.exe"
  mv "$system_netsh" "$system_netsh.away"
  outage
  launch
  settle amber
  wait_for 20 "two reconnect attempts" has_at_least '[Netsh]' 2
  pings=$(count '[Ping][タイムアウト]') attempts=$(count '[Netsh]')
  wait_for 20 "$name: pings to go on" has_at_least '[Ping][タイムアウト]' $((pings + 1))
  wait_for 20 "$name: reconnect attempts to go on" has_at_least '[Netsh]' $((attempts + 1))
  still_running
  [ ! -e "$work/netsh.record" ] || fail "$name: a netsh ran after all"
  echo "logged: $(log | grep -F -m 1 '[Netsh]')"
  finish
fi

netsh_runs_at_least() { [ "$(wc -l <"$work/netsh.record")" -ge "$1" ]; }
# A netsh that never ends: while it runs no second one starts and pings go on; at the
# command's time bound it is ended with a [Netsh][エラー] line and the next reconnect starts.
if want netsh-hangs; then
  begin netsh-hangs
  standard_ini
  export MOORLINK_NETSH_SLEEP_MS=4294967295  # INFINITE
  kill_wine=1
  outage
  launch
  settle amber
  wait_for 20 "the hanging netsh to start" test -s "$work/netsh.record"
  pings=$(count '[Ping][タイムアウト]')
  wait_for 20 "$name: three more pings while netsh hangs" has_at_least '[Ping][タイムアウト]' $((pings + 3))
  still_running
  [ "$(wc -l <"$work/netsh.record")" = 1 ] || fail "$name: a second netsh started while the first one runs"
  wait_for 80 "the reconnect command's time bound" has_at_least '[Netsh][エラー]' 1
  wait_for 20 "the next reconnect after the bound" netsh_runs_at_least 2
  still_running
  finish
fi

# VOICEVOX libraries that cannot serve, with speech as the notification mode: the start
# notice (a spoken one) does not bring the program down. voicevox_case NAME LIBRARY
voicevox_case() {
  begin "$1"
  standard_ini '[Notify]' 'NotifyMode=2' 'VoiceName=voicevox: 四国めたん(ノーマル)'
  voicevox_beside "$work" "$2"
  launch
  settle blue
  wait_for 20 "answered pings" has_at_least '[Ping][成功]' 2
  finish
}
if want voicevox-not-dll; then
  # Starts like an executable, is none.
  printf 'MZ\x90\x00 not a library at all\r\n' >"$base/not-a-dll"
  voicevox_case voicevox-not-dll "$base/not-a-dll"
fi
if want voicevox-missing-export; then
  voicevox_case voicevox-missing-export "$partial_core"
fi

# An exe folder whose Windows path (Z:\...) is 250 characters or more: the settings file
# and the log folder beside it are used as anywhere else.
if want long-folder; then
  long=$base/long
  while [ $((${#long} + 2)) -lt 252 ]; do long=$long/abcdefghijklmnopqrstuvwxyz; done
  long=${long:0:250}
  begin long-folder "$long"
  standard_ini
  echo "exe folder: $((${#work} + 2)) characters as a Windows path"
  launch
  settle blue
  wait_for 20 "answered pings in the log beside the exe" has_at_least '[Ping][成功]' 2
  finish
fi

# expect_netsh_name TEXT: the first reconnect's arguments, as netsh's C runtime split them.
expect_netsh_name() {
  wait_for 20 "a reconnect command" test -s "$work/netsh.argv"
  local want got
  want="$(hex wlan) $(hex connect) $(hex "name=$1")"
  got=$(head -n 1 "$work/netsh.argv")
  [ "$got" = "$want" ] || fail "$name: netsh got $got, expected $want ($(head -n 1 "$work/netsh.record"))"
}

# An SSID that is not UTF-8 (a cut sequence, a lone continuation byte, 0xFF): each bad
# sequence becomes U+FFFD, in the log and on netsh's command line alike.
if want ssid-not-utf8; then
  begin ssid-not-utf8
  standard_ini
  write_ini '[AutoReconnect]' 'PingAddress=127.0.0.1' 'PingInterval=1' 'PingTimeout=300' \
    'ReconnectInterval=1' 'MaxRetryCount=0' '[Log]' 'UseLog=true'
  printf '%s\n' 'interface {6c8b7a34-1f0e-4d2a-9b3c-0a1b2c3d4e5f} 1 e6972c80ff41' >"$work/wlan.scenario"
  outage
  launch
  settle amber
  decoded=$'\uFFFD,\uFFFD\uFFFDA'
  wait_for 20 "the chosen SSID in the log" has_at_least "現在接続中のSSID「$decoded」" 1
  expect_netsh_name "$decoded"
  log | iconv -f UTF-8 -t UTF-8 >/dev/null || fail "$name: the log is not valid UTF-8"
  finish
fi

# Profile names that a command line can break: each reaches netsh as exactly one argument.
if want ssid-hostile; then
  ssids=(
    'say "hi" &|<>^%PATH%! 自宅のWi-Fi　５Ｇ 📶 Café'
    'q\"x\\"y back\slash\\ end\\'
    '"quoted"'
    ' two  blanks '
  )
  for i in "${!ssids[@]}"; do
    ssid=${ssids[$i]}
    begin "ssid-hostile-$i"
    # A value with blank edges or a pair of outer quotes is stored inside an extra pair,
    # as the program itself would write it.
    value=$ssid
    if [[ $ssid == [\ \"]* || $ssid == *[\ \"] ]]; then value="\"$ssid\""; fi
    write_ini '[AutoReconnect]' "TargetSSID=$value" 'PingAddress=127.0.0.1' 'PingInterval=1' 'PingTimeout=300' \
      'ReconnectInterval=1' 'MaxRetryCount=0' '[Log]' 'UseLog=true'
    printf '%s\n' 'interface {6c8b7a34-1f0e-4d2a-9b3c-0a1b2c3d4e5f} 4' "profile $ssid" >"$work/wlan.scenario"
    outage
    launch
    wait_for 20 "the SSID from the settings" has_at_least "ユーザー設定のSSID「$ssid」" 1
    expect_netsh_name "$ssid"
    finish
  done
fi

# The shell restarts during an outage: the icon comes back (amber) and monitoring goes on.
if want shell-restart-outage; then
  begin shell-restart-outage
  standard_ini
  outage
  launch
  settle amber
  wait_for 20 "a reconnect" test -s "$work/netsh.record"
  drive delete-icon || fail "$name: the icon could not be deleted for the shell restart"
  wait_for 10 "$name: the icon to be deleted" icon_gone
  drive taskbar-created || fail "$name: no main window for the shell restart"
  pings=$(count '[Ping][タイムアウト]') runs=$(wc -l <"$work/netsh.record")
  wait_for 10 "the amber icon after the shell restart" icon_is amber
  wait_for 20 "pings after the shell restart" has_at_least '[Ping][タイムアウト]' $((pings + 2))
  wait_for 20 "reconnects after the shell restart" eval '[ "$(wc -l <"$work/netsh.record")" -gt "$runs" ]'
  finish
fi

# A sleep during an outage: no ping and no netsh while suspended; after the wake pings fail
# without netsh until the grace runs out.
if want sleep-during-outage; then
  begin sleep-during-outage
  write_ini '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'PingInterval=1' 'PingTimeout=300' \
    'ReconnectInterval=1' 'MaxRetryCount=0' 'ResumeGraceSeconds=8' '[Log]' 'UseLog=true'
  outage
  launch
  settle amber
  wait_for 20 "reconnects in the outage" netsh_runs_at_least 2
  drive power 4 || fail "$name: the suspend notice found no main window"
  wait_for 3 "the pause for the suspend" has_at_least '[Monitor][スリープ]' 1
  sleep 1  # a netsh launched by the last tick before the pause may still be starting
  pings=$(count '[Ping]') runs=$(wc -l <"$work/netsh.record")
  sleep 3
  [ "$(count '[Ping]')" = "$pings" ] || fail "$name: pinged while suspended"
  [ "$(wc -l <"$work/netsh.record")" = "$runs" ] || fail "$name: netsh ran while suspended"
  drive power 18
  woke=$SECONDS
  wait_for 3 "the grace after the wake" has_at_least '[Monitor][スリープ復帰]' 1
  # Read before the log: a run counted while the grace's end is not logged ran in the grace.
  while n=$(wc -l <"$work/netsh.record"); ! has_at_least '[Monitor][復帰待機終了]' 1; do
    [ "$n" = "$runs" ] || fail "$name: netsh ran in the grace after the wake"
    [ "$SECONDS" -lt $((woke + 14)) ] || fail "$name: the grace did not end"
    sleep 0.2
  done
  log | grep -q -F '[Monitor][復帰待機終了]復帰待機時間が過ぎた' || fail "$name: the grace ended other than by its time"
  wait_for 5 "reconnects after the grace" netsh_runs_at_least $((runs + 1))
  finish
fi

iface='interface {6c8b7a34-1f0e-4d2a-9b3c-0a1b2c3d4e5f}'
home_scenario() { printf '%s\n' "$iface 1 486f6d65" 'profile Home' >"$work/wlan.scenario"; }

# Location access refused: the preferred profile is adopted, the log says why, and a click on
# the notice opens the location settings (ms-settings points at the recording netsh double).
if want location-denied; then
  begin location-denied
  write_ini '[AutoReconnect]' 'PingAddress=127.0.0.1' 'PingInterval=1' 'PingTimeout=300' '[Log]' 'UseLog=true'
  printf '%s\n' 'fail query' "$iface 1 486f6d65" 'profile Office' 'profile Home' >"$work/wlan.scenario"
  protocol='HKLM\Software\Classes\ms-settings'
  "$wine" reg add "$protocol" /v 'URL Protocol' /d '' /f >/dev/null 2>&1
  "$wine" reg add "$protocol\\shell\\open\\command" /ve /d "\"Z:${work//\//\\}\\netsh.exe\" \"%1\"" /f >/dev/null 2>&1
  launch
  settle blue
  wait_for 20 "the reason in the log" has_at_least '位置情報へのアクセスが許可されていない為に接続中のSSIDも取得できない為' 1
  has_at_least '最優先プロファイルのSSID「Office」' 1 || fail "$name: the preferred profile was not adopted"
  wait_for 10 "the location notice" has_at_least '[Monitor][位置情報の許可が必要]' 1
  sleep 1
  shot "$name-balloon"
  drive tray 1029  # NIN_BALLOONUSERCLICK
  wait_for 20 "the location settings to open" grep -q -F 'ms-settings:privacy-location' "$work/netsh.record"
  "$wine" reg delete "$protocol" /f >/dev/null 2>&1
  finish
fi

# Wi-Fi not ready at start: the failure names the cause and the run waits. The first world
# (the WLAN service stopped) then comes up, and monitoring starts by itself.
if want wlan-not-ready; then
  n=0
  for world in 'fail open|WLAN AutoConfig' '# no adapter|アダプター' "$iface 0
radio off on|Wi-Fiがオフになっています"; do
    scenario=${world%|*} cause=${world#*|}
    begin "wlan-not-ready-$((++n))"
    standard_ini
    printf '%s\n' "$scenario" >"$work/wlan.scenario"
    launch
    settle red
    wait_for 10 "the cause in the log" has_at_least "$cause" 1
    sleep 1
    shot "$name-balloon"
    if [ "$n" = 1 ]; then
      home_scenario
      wait_for 40 "monitoring to start by itself" has_at_least '[Ping][成功]' 1
      wait_for 10 "the blue icon" icon_is blue
    fi
    finish
  done
fi

# An outage with Wi-Fi switched off: nothing is launched and the user is told once. With
# Wi-Fi back on, reconnects begin, and the failure Windows reports follows the command.
if want radio-off-outage; then
  begin radio-off-outage
  standard_ini
  printf '%s\n' "$iface 0" 'radio off on' 'profile Home' >"$work/wlan.scenario"
  outage
  launch
  settle amber
  wait_for 20 "the radio notice" has_at_least '[Monitor][Wi-Fiオフ]' 1
  pings=$(count '[Ping][タイムアウト]')
  wait_for 20 "pings to go on" has_at_least '[Ping][タイムアウト]' $((pings + 3))
  shot "$name-balloon"
  [ ! -e "$work/netsh.record" ] && [ "$(count '[Monitor][Wi-Fiオフ]')" = 1 ] || fail "$name: netsh ran, or told twice"
  home_scenario
  echo 'acm fail 229377' >>"$work/wlan.scenario"
  wait_for 20 "the reported failure" has_at_least '[Netsh][接続失敗]「Home」への接続に失敗しました。理由: ' 1
  finish
fi

# The target silent behind an answering gateway: an internet-side outage, told once and
# recovered, with no command; then both silent: the reconnects as ever.
if want internet-side; then
  begin internet-side
  write_ini '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.2' 'GatewayAddress=127.0.0.1' 'PingInterval=1' \
    'PingTimeout=300' 'ReconnectInterval=1' 'MaxRetryCount=0' 'NotifyOnReconnect=true' '[Log]' 'UseLog=true'
  launch
  settle blue
  silence 127.0.0.2
  wait_for 20 "the internet-side outage" has_at_least '[Monitor][インターネット切断検知]' 1
  pings=$(count '[Ping][タイムアウト]')
  wait_for 20 "pings to go on" has_at_least '[Ping][タイムアウト]' $((pings + 3))
  [ ! -e "$work/netsh.record" ] || fail "$name: netsh ran for an internet-side outage"
  [ "$(count '[Monitor][インターネット切断検知]')" = 1 ] || fail "$name: told more than once"
  wait_for 10 "the fourth (purple) icon" icon_is purple
  has_at_least '[Ping][成功]127.0.0.1 からの応答' 1 || fail "$name: the gateway was not asked"
  shot "$name-internet"
  answer_all
  wait_for 20 "the recovery" has_at_least '[Monitor][接続回復]インターネットの接続が回復しました。' 1
  outage
  wait_for 20 "a reconnect with both silent" test -s "$work/netsh.record"
  has_at_least '[Monitor][切断検知]Wi-Fiの切断を検知。再接続処理に移行。' 1 || fail "$name: the Wi-Fi outage untold"
  sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
  wait_for 20 "the Wi-Fi recovery" has_at_least '[Monitor][接続回復]Wi-Fiの接続が回復しました。' 1
  [ "$(history_rows | grep -c '^切断,.*,インターネット$')" = 1 ] && [ "$(history_rows | grep -c '^切断,.*,Wi-Fi$')" = 1 ] ||
    fail "$name: history rows: $(history_rows)"
  no_other_errors
  finish
fi

# A disconnection the WLAN service reports is pinged within a second, not at the next of
# the pings a minute apart.
if want wlan-disconnect; then
  begin wlan-disconnect
  mkdir -p "$work/events"
  export MOORLINK_WLAN_EVENTS="$work/events" MOORLINK_WLAN_LOG="$work/wlan.log"
  write_ini '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'PingInterval=60' '[Log]' 'UseLog=true'
  launch
  settle blue
  wait_for 20 "the first ping" has_at_least '[Ping][成功]' 1
  wait_for 10 "the watch's registration" grep -q '^register 8 0' "$work/wlan.log"
  tcpdump -i lo -n -tt -l 'icmp[icmptype] == icmp-echo' >"$work/echoes.txt" 2>/dev/null &
  dump=$!
  sleep 2
  : >"$work/events/disconnect"
  wait_for 10 "a ping after the notice" has_at_least '[Ping][成功]' 2
  sleep 0.5
  kill "$dump"
  wait "$dump" || true
  notice=$(awk '/^event 21 /{print $3; exit}' "$work/wlan.log")
  first=$(awk 'NR == 1 {print $1}' "$work/echoes.txt")
  [ -n "$notice" ] && [ -n "$first" ] || fail "$name: no notice ($notice) or no echo seen ($first)"
  delay=$(awk -v n="$notice" -v f="$first" 'BEGIN { printf "%d", f * 1000 - n }')
  echo "first ping ${delay} ms after the notice"
  [ "$delay" -ge 0 ] && [ "$delay" -le 1000 ] || fail "$name: the first ping came ${delay} ms after the notice"
  [ "$(count '[Ping][成功]')" = 2 ] || fail "$name: more pings than the notice's: $(count '[Ping][成功]')"
  no_other_errors
  finish
fi

# A ping target set by policy wins over the settings file: the run pings it, the sheet
# shows its field disabled with the note, and its OK leaves the file's value.
if want policy; then
  begin policy
  standard_ini
  "$wine" reg add "$policy_key" /v PingAddress /t REG_SZ /d 127.0.0.2 /f </dev/null >/dev/null 2>&1 ||
    fail "$name: reg add failed"
  launch
  settle blue
  wait_for 20 "a ping to the policy's target" has_at_least '[Ping][成功]127.0.0.2 からの応答' 1
  ! has_at_least '[Ping][成功]127.0.0.1 からの応答' 1 || fail "$name: the file's target was pinged"
  drive command 40004
  drive wait '#32770' "$sheet" 10000 || fail "$name: no settings sheet"
  state=$(drive state "$sheet" 3014) note=$(drive state "$sheet" 2900)
  [[ "|$state|" == *"|127.0.0.2|enabled=0|"* ]] || fail "$name: the address field: $state"
  [[ "|$note|" == *"|visible=1|"* ]] || fail "$name: the note: $note"
  [[ "|$(drive state "$sheet" 3016)|" == *"|enabled=1|"* ]] || fail "$name: a field no policy sets is disabled"
  shot "$name-sheet"
  drive click "$sheet" 1
  drive gone '#32770' "$sheet" 10000 || fail "$name: the settings sheet stayed open after OK"
  iconv -f UTF-16LE -t UTF-8 "$ini" | tr -d '\r' | grep -q -x 'PingAddress=127.0.0.1' ||
    fail "$name: the file's PingAddress changed: $(iconv -f UTF-16LE -t UTF-8 "$ini" | grep PingAddress)"
  "$wine" reg delete "$policy_key" /f </dev/null >/dev/null 2>&1 || true
  no_other_errors '[Other][エラー]音声機能を初期化できません。'  # the sheet's voice list: Wine has no media player
  finish
fi

# With UseEventLog on by policy, an outage's and its recovery's events reach the Event Log
# with their strings (Wine's ReportEventW prints them on its eventlog channel).
if want event-log; then
  begin event-log
  standard_ini
  "$wine" reg add "$event_key" /v UseEventLog /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1 || fail "$name: reg add failed"
  WINEDEBUG=+eventlog launch
  settle blue
  outage
  wait_for 20 "the outage" has_at_least '[Monitor][切断検知]' 1
  sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
  wait_for 20 "the recovery" has_at_least '[Monitor][接続回復]' 1
  events=$(grep -a ':eventlog:ReportEventW ' "$work/moorlink.out" | cut -d: -f2- || true)
  # The message, then the facts, each as its own string at the level of its notice.
  outage_event="warn:eventlog:ReportEventW L\"$(wine_text 'Wi-Fiの切断を検知。再接続処理に移行。')\""
  grep -A2 -x -F "$outage_event" <<<"$events" | tr '\n' '|' |
    grep -q -F 'warn:eventlog:ReportEventW L"Home"|warn:eventlog:ReportEventW L"127.0.0.1"|' ||
    fail "$name: no outage event with its facts in: $events"
  grep -A4 -F "trace:eventlog:ReportEventW L\"$(wine_text 'Wi-Fiの接続が回復しました。')" <<<"$events" |
    tail -n 1 | grep -q -x -F 'trace:eventlog:ReportEventW L"Wi-Fi"' || fail "$name: no recovery event in: $events"
  no_other_errors
  finish
fi

# A short loss is an outage at the threshold 1 and nothing at 3; a long one is announced,
# answered, its recovery told with its length and commands, and its row read back.
if want outages-told; then
  for threshold in 1 3; do
    begin "outages-told-$threshold"
    write_ini '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'PingInterval=1' 'PingTimeout=300' \
      'ReconnectInterval=1' 'MaxRetryCount=0' 'NotifyOnReconnect=true' "FailuresBeforeReconnect=$threshold" \
      '[Log]' 'UseLog=true'
    launch
    settle blue
    outage
    wait_for 10 "a failed ping" has_at_least '[Ping][タイムアウト]' 1
    sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
    wait_for 10 "an answer after the short loss" eval '[ "$(log | grep -F "[Ping]" | tail -n 1 | grep -c -F "[Ping][成功]")" = 1 ]'
    detected=$(count '[Monitor][切断検知]')
    if [ "$threshold" = 1 ]; then
      [ "$detected" = 1 ] && [ -s "$work/netsh.record" ] || fail "$name: a short loss was no outage"
      no_other_errors
      finish
      continue
    fi
    [ "$detected" = 0 ] && [ ! -e "$work/netsh.record" ] || fail "$name: a short loss was taken for an outage"
    outage
    wait_for 20 "a reconnect" test -s "$work/netsh.record"
    sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
    wait_for 20 "the recovery" has_at_least '[Monitor][接続回復]' 1
    sleep 3  # Wine shows it once the detection's balloon has had its time
    shot "$name-balloon"
    runs=$(wc -l <"$work/netsh.record")
    log | grep -q -E "\[Monitor\]\[接続回復\]Wi-Fiの接続が回復しました。（切断時間 [0-9]+秒、再接続 $runs回）" ||
      fail "$name: recovery line: $(log | grep -F '[接続回復]')"
    no_other_errors
    finish
    [ "$(head -c 3 "$work/${user}_history.csv" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "history without its BOM"
    rows=$(tail -c +4 "$work/${user}_history.csv" | tr -d '\r')
    t='[0-9/]+ [0-9:]+,[0-9/]+ [0-9:]+,[0-9]+,Home,127\.0\.0\.1'
    z='[+-][0-9]{2}:[0-9]{2}'
    re="^種別,開始,終了,秒数,SSID,Ping先,再接続回数,終わり方,UTCオフセット,種類"$'\n'"切断,$t,$runs,回復,$z,Wi-Fi"$'\n'"監視,$t,,,$z,\$"
    [[ $rows =~ $re ]] || fail "history rows: $rows"
  done
fi

# Signed out during an outage, the process then ended hard as Windows may: the outage and
# the monitored time are in the history, and the log ends with the program's end.
if want session-end; then
  begin session-end
  standard_ini
  launch
  settle blue
  outage
  wait_for 20 "the outage" has_at_least '[Monitor][切断検知]' 1
  drive endsession || fail "$name: the end of the session was refused or not taken"
  drive kill || fail "$name: the process could not be ended"
  wait_for 15 "the process to be ended" test -f "$work/moorlink.exit"
  t='[0-9/]+ [0-9:]+,[0-9/]+ [0-9:]+,[0-9]+,Home,127\.0\.0\.1'
  re="切断,$t,[0-9]+,Windows終了(,[^,]*)*"$'\n'"監視,$t,,(,[^,]*)*\$"
  [[ $(history_rows) =~ $re ]] || fail "$name: history rows: $(history_rows)"
  [ "$(log | tail -n 1 | tr -d '\r' | cut -c 15-)" = '[Process][ソフト終了]本ソフトが終了しました。' ] || fail "$name: last line: $(log | tail -n 1)"
  no_other_errors
  kill_wine=1
  cleanup
  echo "case $name: passed"
fi

# The history file held open by another program without write sharing (as a spreadsheet
# holds it) while an outage ends: told once, the rows kept back and written at exit.
if want history-held; then
  begin history-held
  standard_ini '[Notify]' 'NotifyMode=1'
  launch
  settle blue
  csv="$work/${user}_history.csv"
  : >"$csv"
  (cd "$work" && exec "$wine" driver.exe hold "${user}_history.csv" 20000 </dev/null >"$work/held" 2>/dev/null) &
  holder=$!
  wait_for 20 "the file to be held" grep -q held "$work/held"
  outage
  wait_for 20 "the outage" has_at_least '[Monitor][切断検知]' 1
  sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
  wait_for 20 "the recovery" has_at_least '[Monitor][接続回復]' 1
  warning='接続履歴保存失敗 - Moorlink'
  drive wait '#32770' "$warning" 15000 || fail "$name: no warning about the held file"
  wait_for 5 "$name: the warning text" texts_have '#32770' "$warning" '接続履歴ファイルに書き込めませんでした。'
  shot "$name-warning"
  [ ! -s "$csv" ] || fail "$name: written while held"
  wait "$holder" || fail "$name: the holder failed"
  boxes=$(drive list | sed -n 's/^#32770 //p' | sort | tr '\n' '|')
  [ "$boxes" = "$(printf '%s\n' "$warning" '再接続先SSIDユーザー設定 - Moorlink' | sort | tr '\n' '|')" ] ||
    fail "$name: boxes told: $boxes"
  no_other_errors '[Other][エラー]接続履歴ファイルに書き込めませんでした。'
  finish
  t='[0-9/]+ [0-9:]+,[0-9/]+ [0-9:]+,[0-9]+,Home,127\.0\.0\.1'
  re="^種別,[^"$'\n'"]*"$'\n'"切断,$t,[0-9]+,回復(,[^,]*)*"$'\n'"監視,$t,,(,[^,]*)*\$"
  [[ $(history_rows) =~ $re ]] || fail "$name: history rows: $(history_rows)"
fi

echo "e2e fault matrix: passed"
