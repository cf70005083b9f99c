#!/usr/bin/env bash
# Moorlink beside two yardsticks under the same Wine and Xvfb: a bare tray program and "the
# floor" (the same plus what Moorlink's features need at start: COM, common controls v6,
# Winsock, a WLAN and an ICMP handle, a 1 s ticker thread). For each: start to tray icon
# (ms; RUNS starts per round), resident memory after IDLE seconds (VmRSS of the program's
# process; one start per round) and the exe size. The programs alternate for ROUNDS rounds;
# the medians over all rounds are reported. A measurement, not a test.
#   bench/tray_bench.sh [RUNS] [IDLE] [ROUNDS] [OTHER_MOORLINK_EXE...]
# (defaults 5, 30 and 3; builds windows-release). Other Moorlink exes, e.g. an older
# build, are measured in the same rounds as Moorlink-2.exe, Moorlink-3.exe, ...
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5} idle=${2:-30} rounds=${3:-3}
if [ -z "${MOORLINK_ON_XVFB:-}" ]; then
  scripts/setup >/dev/null
  cmake --preset windows-release >/dev/null
  cmake --build --preset windows-release --target Moorlink moorlink_minimal_tray moorlink_floor_tray \
    moorlink_tray_start_bench >/dev/null
  others=()
  for exe in "${@:4}"; do others+=("$(realpath "$exe")"); done
  exec env MOORLINK_ON_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$runs" "$idle" "$rounds" "${others[@]}"
fi

bin=$PWD/build/windows-release
work=$PWD/build/bench-tray
rm -rf "$work/app" && mkdir -p "$work/app"
cp "$bin/src/Moorlink.exe" "$bin/bench/win/moorlink_minimal_tray.exe" "$bin/bench/win/moorlink_floor_tray.exe" \
  "$bin/bench/win/moorlink_tray_start_bench.exe" "$work/app/"
programs=("moorlink_minimal_tray.exe MinimalTrayClass" "moorlink_floor_tray.exe FloorTrayClass"
  "Moorlink.exe MoorlinkClass")
n=2
for exe in "${@:4}"; do
  cp "$exe" "$work/app/Moorlink-$n.exe"
  programs+=("Moorlink-$n.exe MoorlinkClass")
  n=$((n + 1))
done
source tests/e2e/wine_prefix.sh "$work/wineprefix"
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
cd "$work/app"
# One start before measuring: Wine's first start in a prefix is slow.
"$wine" moorlink_tray_start_bench.exe moorlink_minimal_tray.exe MinimalTrayClass 1 >/dev/null || true

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
measure() {  # exe class: appends to $exe.ms and $exe.kb
  "$wine" moorlink_tray_start_bench.exe "$1" "$2" "$runs" | tr -d '\r' >>"$1.ms"
  "$wine" "$1" </dev/null >/dev/null 2>&1 &
  local pid=$!
  sleep "$idle"
  awk '/VmRSS/ {print $2}' "/proc/$pid/status" >>"$1.kb"
  "$wine" moorlink_tray_start_bench.exe "$1" "$2" 0 >/dev/null 2>&1 || true  # the exit command
  for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sleep 1
}
rm -f ./*.ms ./*.kb
for ((round = 1; round <= rounds; round++)); do
  for program in "${programs[@]}"; do measure $program; done
done
printf '%-26s %22s %26s %12s\n' program "start to tray (ms)" "resident after ${idle} s (KiB)" "exe (bytes)"
for program in "${programs[@]}"; do
  exe=${program%% *}
  printf '%-26s %22s %26s %12s\n' "$exe" "$(median <"$exe.ms")" "$(median <"$exe.kb")" "$(stat -c %s "$exe")"
done
echo "runs: $((runs * rounds)) starts and $rounds memory samples per program; medians"
