#!/usr/bin/env bash
# A soak of the real Moorlink.exe under Wine and Xvfb, in a private network namespace with
# the scripted Wi-Fi "Home" and 127.0.0.1 as target: ICMP is silenced for 20 s of every
# minute. Every 10 s it samples the Wine process's resident size, open descriptors and
# threads into OUT/series.csv. It fails when an outage lacks its detection and reconnect
# lines or the answered ping after it, when the process dies, or when the last third of
# the run needs more than the first: RSS +10 %, threads +3, descriptors +8.
#
# usage: soak.sh OUT SECONDS MOORLINK_EXE DRIVER_EXE NETSH_EXE WLANAPI_DLL   (needs root)
set -euo pipefail

if [ -z "${MOORLINK_IN_NETNS:-}" ]; then
  exec unshare -n env MOORLINK_IN_NETNS=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

out=$1 duration=$2 exe=$3 driver=$4 netsh=$5 wlanapi=$6
mkdir -p "$out"
source "$(dirname "$0")/shell_lib.sh"
loopback_wine "$out/wineprefix"

work=$out/app artifacts=$out
rm -rf "$work" && mkdir -p "$work"
trap end_wine EXIT
cp "$exe" "$work/Moorlink.exe"
cp "$driver" "$work/driver.exe"
home_wifi "$netsh" "$wlanapi"
user=$(id -un)
# A 20 s outage meets the limit (4 launches 4 s apart) in some minutes, so revivals are
# part of the soak too.
printf '%s\r\n' '[AutoReconnect]' 'TargetSSID=Home' 'PingAddress=127.0.0.1' 'PingInterval=2' 'PingTimeout=1000' \
  'ReconnectInterval=3' 'MaxRetryCount=4' 'EnableMonitorRevival=true' 'MonitorRevivalInterval=5' \
  '[Log]' 'UseLog=true' '[Notify]' 'NotifyMode=0' > "$work/${user}_Moorlink.ini"
lines() { log | wc -l; }

"$wineserver" -p30 </dev/null >/dev/null 2>&1 || true
cd "$work"
"$wine" Moorlink.exe </dev/null >/dev/null 2>&1 &
pid=$!
cd - >/dev/null
wait_for 60 "an answered ping" has_at_least '[Ping][成功]' 2
command=$(tr '\0' ' ' <"/proc/$pid/cmdline")

series=$out/series.csv
echo "seconds,rss_kib,fds,threads,outage" > "$series"
sample() {  # seconds outage
  [ -d "/proc/$pid" ] || fail "Moorlink.exe has gone"
  local rss fds threads
  rss=$(awk '/^VmRSS:/{print $2}' "/proc/$pid/status")
  fds=$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
  threads=$(find "/proc/$pid/task" -mindepth 1 -maxdepth 1 | wc -l)
  echo "$1,$rss,$fds,$threads,$2" >> "$series"
}

# Line counts of the log when each outage starts and ends.
starts=() ends=()
start=$SECONDS
silenced=0
for ((t = 0; t <= duration; t++)); do
  # Wait for second t of the soak.
  while [ $((SECONDS - start)) -lt "$t" ]; do sleep 0.1; done
  phase=$((t % 60))
  if [ "$phase" -eq 20 ] && [ $((t + 20)) -le "$duration" ]; then
    starts+=("$(lines)")
    sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
    silenced=1
  elif [ "$phase" -eq 40 ] && [ "$silenced" -eq 1 ]; then
    sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
    ends+=("$(lines)")
    silenced=0
  fi
  if [ $((t % 10)) -eq 0 ]; then sample "$t" "$silenced"; fi
done
# Time for the last recovery to be logged.
sleep 8
[ -d "/proc/$pid" ] || fail "Moorlink.exe has gone"
total=$(lines)
drive command 40001 || fail "no main window to send the exit command to"
gone() { [ ! -d "/proc/$pid" ]; }
wait_for 10 "Moorlink.exe to end after the exit command" gone
status=0
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "Moorlink.exe ended with exit code $status"

# Every outage: its detection and a reconnect command while silent, an answer after.
problems=()
n=${#starts[@]}
for ((k = 0; k < n; k++)); do
  from=${starts[k]} to=${ends[k]}
  next=$total
  [ $((k + 1)) -lt "$n" ] && next=${starts[k + 1]}
  during=$(log | sed -n "$((from + 1)),${to}p")
  after=$(log | sed -n "$((to + 1)),${next}p")
  grep -q -F '[Monitor][切断検知]' <<<"$during" || problems+=("outage $((k + 1)): no detection line")
  grep -q -F ']netsh wlan connect name="Home"' <<<"$during" || problems+=("outage $((k + 1)): no reconnect line")
  grep -q -F '[Ping][成功]' <<<"$after" || problems+=("outage $((k + 1)): no answered ping after it")
done

# Growth: the largest figure of the last third against that of the first third.
read -r rss0 rss1 fd0 fd1 th0 th1 samples <<<"$(awk -F, 'NR > 1 { v[++n] = $0 }
  END {
    third = int(n / 3); if (third < 1) third = 1
    for (i = 1; i <= n; i++) {
      split(v[i], f, ",")
      if (i <= third) { if (f[2] > r0) r0 = f[2]; if (f[3] > d0) d0 = f[3]; if (f[4] > t0) t0 = f[4] }
      if (i > n - third) { if (f[2] > r1) r1 = f[2]; if (f[3] > d1) d1 = f[3]; if (f[4] > t1) t1 = f[4] }
    }
    print r0, r1, d0, d1, t0, t1, n
  }' "$series")"
[ "$rss1" -le $((rss0 + rss0 / 10)) ] || problems+=("RSS grew: $rss0 KiB -> $rss1 KiB")
[ "$th1" -le $((th0 + 3)) ] || problems+=("threads grew: $th0 -> $th1")
[ "$fd1" -le $((fd0 + 8)) ] || problems+=("descriptors grew: $fd0 -> $fd1")

summary=$out/summary.txt
{
  echo "soak of ${duration} s: $n outages of 20 s, $samples samples of pid $pid ($command)"
  echo "log: $(count '[Monitor][切断検知]') detections, $(count '[Netsh]') reconnect commands," \
    "$(count '[Monitor][監視処理中止＆自動復活]') stops at the limit, $(count '[Monitor][監視処理開始]') runs," \
    "$(count '[Ping][成功]') answered and $(count '[Ping][タイムアウト]') timed-out pings"
  echo "max RSS first/last third: $rss0 / $rss1 KiB; threads: $th0 / $th1; descriptors: $fd0 / $fd1"
  if [ ${#problems[@]} -eq 0 ]; then echo "result: passed"; else printf 'problem: %s\n' "${problems[@]}"; fi
} > "$summary"
cat "$summary"
cp "$work"/*_log/*.txt "$out/" 2>/dev/null || true
[ ${#problems[@]} -eq 0 ]
