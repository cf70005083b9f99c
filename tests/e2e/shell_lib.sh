# Sourced by the scripts that drive Moorlink.exe under Wine and Xvfb. The helpers use $work
# (the exe's folder, with driver.exe beside it), $artifacts and $wine when they run.
# In the script's private network namespace: loopback up and answering pings, then Wine in
# PREFIX with the wlanapi double. Wine must start inside the namespace: it sends ICMP from a
# service process of its own. loopback_wine PREFIX
loopback_wine() {
  ip link set lo up
  sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
  MOORLINK_EXTRA_OVERRIDES="wlanapi=n" source "$(dirname "${BASH_SOURCE[0]}")/wine_prefix.sh" "$1"
}
# At exit: pings answered again, and no Wine left.
end_wine() {
  sysctl -q -w net.ipv4.icmp_echo_ignore_all=0 || true
  "$wineserver" -k </dev/null >/dev/null 2>&1 || true
}
log() { cat "$work"/*_log/*.txt 2>/dev/null || true; }
fail() {
  echo "FAIL: $*"
  import -window root "$artifacts/shell-failure.png" 2>/dev/null || true
  echo "--- log"; log
  exit 1
}
# A command that fails outside a test (|| fail, if, until) names its line instead of ending
# the script without a word; in a subshell it only ends that subshell.
set -E
trap '[ "$BASH_SUBSHELL" -gt 0 ] && exit 1; fail "line $LINENO: $BASH_COMMAND"' ERR
drive() { (cd "$work" && "$wine" driver.exe "$@" </dev/null 2>/dev/null | tr -d '\r'); }
# A dialog's texts include TEXT. A message box gets its texts after its window exists, so
# callers wait for this rather than check it once. texts_have CLASS TITLE TEXT
texts_have() { drive texts "$1" "$2" | grep -q -F -- "$3"; }
wait_for() {
  local limit=$1 what=$2
  shift 2
  local end=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || fail "timed out waiting for $what"
    sleep 0.2
  done
}
# A crash dialog of this prefix's Wine is open.
crashed() {
  local p
  for p in $(pgrep -x winedbg; pgrep -f 'winedbg\.exe'); do
    grep -qz "^WINEPREFIX=$WINEPREFIX\$" "/proc/$p/environ" 2>/dev/null && return 0
  done
  drive list | grep -q -i -e 'program error' -e 'winedbg' && return 0
  return 1
}
count() { log | grep -c -F -- "$1" || true; }
has_at_least() { [ "$(count "$1")" -ge "$2" ]; }
# The scripted Wi-Fi world in $work: the netsh and wlanapi doubles beside the exe, one
# connected interface (SSID "Home" in hex) with the saved profile "Home", and a record of
# what netsh is asked. home_wifi NETSH_EXE WLANAPI_DLL
home_wifi() {
  cp "$1" "$work/netsh.exe"
  cp "$2" "$work/wlanapi.dll"
  printf '%s\n' 'interface {6c8b7a34-1f0e-4d2a-9b3c-0a1b2c3d4e5f} 1 486f6d65' 'profile Home' >"$work/wlan.scenario"
  export MOORLINK_WLAN_SCENARIO="$work/wlan.scenario"
  export MOORLINK_NETSH_RECORD="$work/netsh.record"
}
shot() { import -window root "$artifacts/${shot_prefix:-shell-}$1.png"; }
# The tray icon's mean colour as "r g b", its white glyph left out (Wine's tray window sits
# at the top left).
icon_colour() {
  import -window root "$work/now.png"
  convert "$work/now.png" -crop 14x14+5+25 +repage -fuzz 25% -transparent white -scale '1x1!' -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:
}
# Wine hides its tray window once it holds no icon (the screen may still show old pixels).
icon_gone() { drive gone __winex11_standalone_tray - 0; }
icon_is() {  # blue | amber | red | purple
  read -r r g b <<<"$(icon_colour)"
  case $1 in
    blue) [ "$b" -gt $((r + 40)) ] ;;
    amber) [ "$r" -gt $((b + 60)) ] && [ "$g" -ge 90 ] ;;
    red) [ "$r" -gt $((b + 60)) ] && [ "$g" -lt 90 ] ;;
    purple) [ "$r" -gt $((g + 40)) ] && [ "$b" -gt $((g + 40)) ] ;;
  esac
}

