#!/usr/bin/env bash
# Moorlink beside a minimal tray program under the same Wine and Xvfb: start to tray
# icon (ms, each of RUNS starts and their median) and resident memory after IDLE seconds
# (VmRSS of the program's process), and the exe sizes. A measurement, not a test.
#   bench/tray_bench.sh [RUNS] [IDLE]        (defaults 5 and 60; builds windows-release)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5} idle=${2:-60}
if [ -z "${MOORLINK_ON_XVFB:-}" ]; then
  scripts/setup >/dev/null
  cmake --preset windows-release >/dev/null
  cmake --build --preset windows-release --target Moorlink moorlink_minimal_tray moorlink_tray_start_bench >/dev/null
  exec env MOORLINK_ON_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

bin=$PWD/build/windows-release
work=$PWD/build/bench-tray
rm -rf "$work/app" && mkdir -p "$work/app"
cp "$bin/src/Moorlink.exe" "$bin/bench/win/moorlink_minimal_tray.exe" "$bin/bench/win/moorlink_tray_start_bench.exe" "$work/app/"
source tests/e2e/wine_prefix.sh "$work/wineprefix"
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
cd "$work/app"
"$wine" moorlink_minimal_tray.exe & sleep 3; "$wine" moorlink_tray_start_bench.exe x MinimalTrayClass 0 || true
pkill -f moorlink_minimal_tray.exe || true; sleep 1

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
measure() {  # exe class
  local times
  times=$("$wine" moorlink_tray_start_bench.exe "$1" "$2" "$runs" | tr -d '\r')
  echo "$1 start to tray icon (ms): $(echo $times) median $(echo "$times" | median)"
  "$wine" "$1" </dev/null >/dev/null 2>&1 &
  sleep "$idle"
  local pid
  pid=$(pgrep -f "$1" | head -1)
  echo "$1 resident after ${idle} s idle: $(awk '/VmRSS/ {print $2, $3}' "/proc/$pid/status")"
  "$wine" moorlink_tray_start_bench.exe x x 0 >/dev/null 2>&1 || true
  kill "$pid" 2>/dev/null || true
  sleep 2
}
measure Moorlink.exe MoorlinkClass
measure moorlink_minimal_tray.exe MinimalTrayClass
ls -l Moorlink.exe moorlink_minimal_tray.exe | awk '{print $9, $5, "bytes"}'
