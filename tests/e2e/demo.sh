#!/usr/bin/env bash
# The monitor's whole cycle with the real Moorlink.exe, safely: a scripted Wi-Fi "Home"
# and 127.0.0.1 as target in a private network namespace, under Xvfb. An outage (ICMP
# silenced) is detected, reconnects are tried, monitoring stops at the limit and revives,
# and the answers come back. Screenshots of each tray state, the menu and the about
# dialog, and the log, go to OUT.
#
# usage: demo.sh OUT MOORLINK_EXE README DRIVER_EXE NETSH_EXE WLANAPI_DLL   (needs root)
set -euo pipefail

if [ -z "${MOORLINK_IN_NETNS:-}" ]; then
  exec unshare -n env MOORLINK_IN_NETNS=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

out=$1 exe=$2 readme=$3 driver=$4 netsh=$5 wlanapi=$6
source "$(dirname "$0")/shell_lib.sh"
loopback_wine "$out/wineprefix"

work=$out/app artifacts=$out shot_prefix=demo-
rm -rf "$work" && mkdir -p "$work"
trap end_wine EXIT
cp "$exe" "$work/Moorlink.exe"
cp "$readme" "$work/Readme.txt"
cp "$driver" "$work/driver.exe"
home_wifi "$netsh" "$wlanapi"
user=$(id -un)
printf '%s\r\n' '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'PingInterval=1' 'PingTimeout=500' \
  'ReconnectInterval=2' 'MaxRetryCount=2' 'EnableMonitorRevival=true' 'MonitorRevivalInterval=5' \
  'NotifyOnReconnect=true' '[Log]' 'UseLog=true' '[Notify]' 'NotifyMode=0' > "$work/${user}_Moorlink.ini"
step() { echo "demo: $*"; }

"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
(cd "$work" && "$wine" Moorlink.exe </dev/null >/dev/null 2>&1; echo "exit $?" >"$work/moorlink.exit") &

step "start: the icon turns blue once 127.0.0.1 answers"
wait_for 60 "an answered ping" has_at_least '[Ping][成功]' 2
wait_for 10 "the blue icon" icon_is blue
shot monitoring

step "outage: ICMP silenced, the icon turns amber while reconnecting"
sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
wait_for 30 "the outage" has_at_least '[Monitor][切断検知]' 1
wait_for 10 "the amber icon" icon_is amber
shot reconnecting

step "limit: monitoring stops (red) and arms its revival"
wait_for 30 "the stop at the limit" has_at_least '[Monitor][監視処理中止＆自動復活]' 1
wait_for 10 "the red icon" icon_is red
shot stopped

step "recovery: ICMP answers again, the revived run turns the icon blue"
sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
wait_for 30 "the revived run" has_at_least '[Monitor][監視処理開始]' 2
wait_for 20 "the blue icon again" icon_is blue
shot recovered

step "the tray menu and the about dialog"
drive tray 0x0205
drive wait '#32768' - 5000 || fail "no menu"
shot menu
convert "$out/demo-menu.png" -crop "$(drive rect '#32768' -)" +repage "$out/menu.png"
drive cancel-menu
drive command 40002
drive wait '#32770' 'バージョン情報 - Moorlink' 10000 || fail "no about dialog"
sleep 0.5
shot about
convert "$out/demo-about.png" -crop "$(drive rect '#32770' 'バージョン情報 - Moorlink')" +repage "$out/about.png"
drive close '#32770' 'バージョン情報 - Moorlink'

step "exit from the menu"
drive command 40001
wait_for 30 "the program to end" test -f "$work/moorlink.exit"
grep -q -x 'exit 0' "$work/moorlink.exit" || fail "exit code: $(cat "$work/moorlink.exit")"
cp "$work"/*_log/*.txt "$out/demo-log.txt"
echo "demo: screenshots in $out (demo-*.png, menu.png, about.png); log: $out/demo-log.txt"
