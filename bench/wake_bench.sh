#!/usr/bin/env bash
# Idle wake-ups of Moorlink.exe under Wine beside a yardstick of ours that only sends the
# same echo every 10 s (bench/win/EchoYardstick_win.cpp): the voluntary context switches
# of all threads of each program's process per minute, in a private network namespace
# where 127.0.0.1 answers, with PingInterval 10 and the scripted Wi-Fi "Home". A
# measurement, not a test.
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
  pkill -f "$pattern" || true
  sleep 2
  echo $(((after - before) / minutes))
}
yardstick=$(measure moorlink_echo_yardstick.exe 127.0.0.1)
moorlink=$(measure Moorlink.exe)
printf '%-28s %s\n' program "wake-ups per minute (voluntary switches, all threads)"
printf '%-28s %s\n' "echo yardstick" "$yardstick" "Moorlink.exe" "$moorlink"
awk -v m="$moorlink" -v y="$yardstick" 'BEGIN { if (y > 0) printf "ratio %.2f (goal: at most 1.5)\n", m / y }'
