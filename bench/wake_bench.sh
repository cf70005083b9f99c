#!/usr/bin/env bash
# Idle wake-ups of Moorlink.exe under Wine beside a yardstick of ours that only sends the
# same echo every 10 s (bench/win/EchoYardstick_win.cpp): the voluntary context switches
# of all threads of each program's process per minute, in a private network namespace
# where 127.0.0.1 answers, with PingInterval 10 and the scripted Wi-Fi "Home"; then the
# time from a disconnection notice of the scripted WLAN service to Moorlink's first echo
# after it (three notices, seen by tcpdump). A measurement, not a test.
#   bench/wake_bench.sh [MINUTES] [SETTLE_SECONDS]   (defaults 2 and 30; needs root)
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-2} settle=${2:-30}
if [ -z "${MOORLINK_IN_NETNS:-}" ]; then
  scripts/setup >/dev/null
  cmake --preset windows-release >/dev/null
  cmake --build --preset windows-release --target Moorlink moorlink_echo_yardstick moorlink_scripted_wlanapi \
    moorlink_scripted_netsh >/dev/null
  exec unshare -n env MOORLINK_IN_NETNS=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$minutes" "$settle"
fi

bin=$PWD/build/windows-release
work=$PWD/build/bench-wake
rm -rf "$work/app" && mkdir -p "$work/app"
cp "$bin/src/Moorlink.exe" "$bin/bench/win/moorlink_echo_yardstick.exe" "$work/app/"
cp "$bin/tests/netsh.exe" "$bin/tests/wlan/wlanapi.dll" "$work/app/"
printf '%s\n' 'interface {6c8b7a34-1f0e-4d2a-9b3c-0a1b2c3d4e5f} 1 486f6d65' 'profile Home' >"$work/app/wlan.scenario"
export MOORLINK_WLAN_SCENARIO="$work/app/wlan.scenario"
mkdir -p "$work/app/events"
export MOORLINK_WLAN_EVENTS="$work/app/events" MOORLINK_WLAN_LOG="$work/app/wlan.log"
printf '%s\r\n' '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'PingInterval=10' \
  >"$work/app/$(id -un)_Moorlink.ini"
ip link set lo up
MOORLINK_EXTRA_OVERRIDES="wlanapi=n" source tests/e2e/wine_prefix.sh "$work/wineprefix"
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
cd "$work/app"

# The voluntary context switches of every thread of the processes whose command line
# starts with PATTERN, summed.
switches() {
  local total=0 pid f
  for pid in $(pgrep -f "$1"); do
    for f in /proc/"$pid"/task/*/status; do
      total=$((total + $(awk '/^voluntary_ctxt_switches/ {print $2}' "$f" 2>/dev/null || echo 0)))
    done
  done
  echo "$total"
}
measure() {  # exe [args]: prints wake-ups per minute
  local pattern="$1"
  "$wine" "$@" </dev/null >/dev/null 2>&1 &
  sleep "$settle"
  local before after
  before=$(switches "$pattern")
  sleep $((minutes * 60))
  after=$(switches "$pattern")
  [ "$pattern" != Moorlink.exe ] || notice_delays >"$work/delays.txt"
  pkill -f "$pattern" || true
  sleep 2
  echo $(((after - before) / minutes))
}
# Milliseconds from each of three disconnection notices to the first echo after it.
notice_delays() {
  local i notice first
  : >"$work/app/wlan.log"
  tcpdump -i lo -n -tt -l 'icmp[icmptype] == icmp-echo' >"$work/echoes.txt" 2>/dev/null &
  local dump=$!
  sleep 2
  for i in 1 2 3; do
    : >"$work/app/events/disconnect"
    sleep 4
  done
  kill "$dump"
  wait "$dump" || true
  for notice in $(awk '/^event 21 /{print $3}' "$work/app/wlan.log"); do
    first=$(awk -v n="$notice" '$1 * 1000 >= n {print $1; exit}' "$work/echoes.txt")
    if [ -n "$first" ]; then awk -v n="$notice" -v f="$first" 'BEGIN { printf "%d ", f * 1000 - n }'; else printf 'none '; fi
  done
}
yardstick=$(measure moorlink_echo_yardstick.exe 127.0.0.1)
moorlink=$(measure Moorlink.exe)
printf '%-28s %s\n' program "wake-ups per minute (voluntary switches, all threads)"
printf '%-28s %s\n' "echo yardstick" "$yardstick" "Moorlink.exe" "$moorlink"
awk -v m="$moorlink" -v y="$yardstick" 'BEGIN { if (y > 0) printf "ratio %.2f (goal: at most 1.5)\n", m / y }'
echo "first ping after a disconnection notice (ms, goal: at most 1000): $(cat "$work/delays.txt")"
