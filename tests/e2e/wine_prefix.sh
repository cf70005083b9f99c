# Sourced by the end-to-end scripts: Wine in the prefix PREFIX (created once, with
# Japanese UI fonts), quiet, without Mono, Gecko or menu entries. Extra DLL overrides
# come in MOORLINK_EXTRA_OVERRIDES. Defines $wine and $wineserver.
export WINEPREFIX="$1"
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${MOORLINK_EXTRA_OVERRIDES:+;$MOORLINK_EXTRA_OVERRIDES}"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
  # Wine's own UI fonts have no Japanese glyphs: show them in IPA P Gothic, as a Japanese
  # Windows would in its UI font (proportional kana, like MS UI Gothic).
  for font in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "MS UI Gothic" "Segoe UI"; do
    "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d IPAPGothic /f \
      </dev/null >/dev/null 2>&1
  done
  # As on Windows, a .txt file opens in Notepad (Wine leaves the extension unmapped).
  "$wine" reg add 'HKCR\.txt' /ve /t REG_SZ /d txtfile /f </dev/null >/dev/null 2>&1
  "$wineserver" -w </dev/null >/dev/null 2>&1 || true
fi

# The VOICEVOX files a user would unpack beside the exe, with the given core library and
# one voice model of two styles. voicevox_beside FOLDER CORE_DLL
voicevox_beside() {
  cp "$2" "$1/voicevox_core.dll"
  : >"$1/voicevox_onnxruntime.dll"
  mkdir -p "$1/open_jtalk_dic_utf_8-1.11" "$1/vvms"
  printf '%s' '[{"name":"四国めたん","styles":[{"name":"ノーマル","id":2},{"name":"あまあま","id":0}]}]' >"$1/vvms/0.vvm"
}
