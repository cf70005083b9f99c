#!/usr/bin/env bash
# An outage end to end, inside a private network namespace so that only this test's
# loopback is silenced: the real monitor under Wine with scripted Wi-Fi (profile "Home")
# and a scripted netsh, pinging 127.0.0.1. The test silences ICMP, expects the outage to
# be detected, the reconnect command to run, monitoring to stop at the limit and revive
# after one second, and, once ICMP answers again, the icon to go back to 100. Last, a stop
# that lands while a ping waits out its timeout.
#
# usage: monitor_outage.sh WINEPREFIX DRIVER_EXE NETSH_EXE WLANAPI_DLL
# Re-executes itself inside `unshare -n`; needs root.
set -euo pipefail

if [ -z "${MOORLINK_IN_NETNS:-}" ]; then
  exec unshare -n env MOORLINK_IN_NETNS=1 bash "$0" "$@"
fi

prefix=$1 driver=$2 netsh=$3 wlanapi=$4
source "$(dirname "$0")/shell_lib.sh"
# A prefix of its own gives it a wineserver of its own.
loopback_wine "$prefix"

work=$(mktemp -d)
cleanup() {
  touch "$work/stop.flag" 2>/dev/null || true
  end_wine
  rm -rf "$work"
}
trap cleanup EXIT

cp "$driver" "$work/driver.exe"
home_wifi "$netsh" "$wlanapi"
user=$(id -un)
printf '%s\r\n' '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'PingInterval=1' \
  'PingTimeout=3000' 'ReconnectInterval=1' 'MaxRetryCount=2' 'EnableMonitorRevival=true' \
  'MonitorRevivalInterval=1' '[Log]' 'UseLog=true' > "$work/${user}_Moorlink.ini"

"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
(cd "$work" && "$wine" "$work/driver.exe" </dev/null >"$work/driver.out" 2>&1) &
driver_pid=$!

fail() {
  echo "FAIL: $*"
  echo "--- log"; log
  echo "--- shell"; cat "$work/shell.txt" 2>/dev/null || true
  echo "--- netsh record"; cat "$work/netsh.record" 2>/dev/null || true
  exit 1
}

wait_for 60 "two answered pings" has_at_least '[Ping][成功]127.0.0.1 からの応答: バイト数=5' 2

sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
wait_for 30 "the outage" has_at_least '[Monitor][切断検知]Wi-Fiの切断を検知。再接続処理に移行。' 1
wait_for 30 "the stop at the limit" has_at_least '[Monitor][監視処理中止＆自動復活]' 1
sysctl -q -w net.ipv4.icmp_echo_ignore_all=0

wait_for 30 "the revived run" has_at_least '[Monitor][監視処理開始]' 2
wait_for 30 "icon 100 after the revival" sh -c "awk '/^notify 0 /{n++} n>=2 && /^icon 100\$/{found=1} END{exit !found}' '$work/shell.txt'"

# Stop while a ping is outstanding: silence ICMP; a timeout line ends one ping at T, the
# next goes out a second later and waits until T + 4 s. The stop comes at T + 2 s, and
# that ping's timeout line, written after the stop was asked for, shows it was out.
sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
timeouts_before=$(count '[Ping][タイムアウト]')
wait_for 20 "a timeout after silencing" has_at_least '[Ping][タイムアウト]' $((timeouts_before + 1))
sleep 2
timeouts_at_stop=$(count '[Ping][タイムアウト]')
[ "$timeouts_at_stop" = $((timeouts_before + 1)) ] || fail "the second ping ended before the stop"
touch "$work/stop.flag"
wait "$driver_pid" || fail "the driver failed"
[ "$(count '[Ping][タイムアウト]')" = $((timeouts_at_stop + 1)) ] || fail "no ping was outstanding at the stop"

# The record of what happened.
[ "$(count '[Ping][タイムアウト]127.0.0.1 からの応答: 要求がタイムアウトしました。')" -ge 2 ] || fail "no timeout lines"
has_at_least '[Netsh]' 2 || fail "no Netsh lines"
log | grep -q -F ']netsh wlan connect name="Home"' || fail "Netsh line without the command"
grep -q -F 'netsh wlan connect name="Home"' "$work/netsh.record" || fail "netsh did not record the command line"
log | grep -q -F '「1」秒後に監視処理を自動復活させます。' || fail "revival text"
grep -q -F 'tip 監視処理復活タイマー作動中 - Moorlink' "$work/shell.txt" || fail "revival tooltip"
grep -q -x 'icon 101' "$work/shell.txt" || fail "icon 101 never shown"
grep -q -x 'icon 102' "$work/shell.txt" || fail "icon 102 never shown"
stopped=$(sed -n 's/^stopped //p' "$work/shell.txt")
[ -n "$stopped" ] || fail "the driver did not stop"
echo "stop latency with a ping outstanding (PingTimeout 3000 ms, about 2000 ms left): ${stopped} ms"
# The rest of the ping, the run's one-second wait, and some slack.
[ "$stopped" -le 5500 ] || fail "stopping took ${stopped} ms"
if [ -n "${MOORLINK_E2E_SHOW:-}" ]; then
  echo "--- log"; log; echo "--- shell"; cat "$work/shell.txt"; echo "--- netsh record"; cat "$work/netsh.record"
fi
echo "e2e monitor outage: passed"
