#include "app/SettingsPages.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <iterator>

#include "resources/resource.h"
#include "settings/Settings.h"

namespace moorlink {

const std::array<NumberField, 5> kMonitorNumberFields = {{
    {IDC_RECONNECT_INTERVAL, IDC_RECONNECT_INTERVAL_SPIN, 1, 3600, 4, L"再接続コマンドの実行間隔は "},
    {IDC_MAX_RETRY, IDC_MAX_RETRY_SPIN, 0, INT_MAX, 9, L"再接続コマンドの上限回数は "},
    {IDC_PING_INTERVAL, IDC_PING_INTERVAL_SPIN, 1, 3600, 4, L"Pingの送信間隔は "},
    {IDC_PING_TIMEOUT, IDC_PING_TIMEOUT_SPIN, 10, 30000, 5, L"Pingの応答待ち時間は "},
    {IDC_REVIVAL_INTERVAL, IDC_REVIVAL_INTERVAL_SPIN, 1, INT_MAX, 9, L"監視復活までの時間は "},
}};

namespace {
// The keys of the five number fields, in the same order.
const IntSetting* const kNumberKeys[5] = {&keys::ReconnectInterval, &keys::MaxRetryCount, &keys::PingInterval,
                                          &keys::PingTimeout, &keys::MonitorRevivalInterval};
}  // namespace

MonitorPageValues LoadMonitorPage() {
  MonitorPageValues v;
  v.targetSsid = TargetSSID();
  v.pingAddress = PingAddress();
  // The store's clamps are the page's display rules: a negative limit shows 0, a revival
  // delay of 0 or less shows 1.
  for (size_t i = 0; i < std::size(kNumberKeys); ++i) v.numbers[i] = ReadSetting(*kNumberKeys[i]);
  v.enableRevival = EnableMonitorRevival();
  v.notifyOnReconnect = NotifyOnReconnect();
  return v;
}

int FirstInvalidNumber(const std::array<NumberReading, 5>& readings) {
  return FirstInvalidNumber(readings, kMonitorNumberFields);
}

int FirstInvalidNumber(std::span<const NumberReading> readings, std::span<const NumberField> fields) {
  for (size_t i = 0; i < readings.size() && i < fields.size(); ++i) {
    const int value = static_cast<int>(readings[i].value);  // as the signed 32-bit value
    if (!readings[i].translated || value < fields[i].min || value > fields[i].max) return static_cast<int>(i);
  }
  return -1;
}

std::wstring RangeMessage(const NumberField& field) {
  return field.messagePrefix + std::to_wstring(field.min) + L"～" + std::to_wstring(field.max) +
         L" の範囲で入力して下さい。";
}

void TellSaveFailed(const NotifyUserFn& notifyUser) {
  if (notifyUser) {
    notifyUser(L"設定の保存に失敗しました。\n\n\u00A0\u00A0\u00A0\u00A0" + SettingsPath, L"設定の保存に失敗",
               NotifyKind::Error);
  }
}

void SaveMonitorPage(const MonitorPageValues& values, const WriteLogFn& writeLog, const NotifyUserFn& notifyUser) {
  bool saved = WriteSetting(keys::TargetSSID, values.targetSsid);
  saved &= WriteSetting(keys::PingAddress, values.pingAddress);
  for (size_t i = 0; i < std::size(kNumberKeys); ++i) saved &= WriteSetting(*kNumberKeys[i], values.numbers[i]);
  saved &= WriteSetting(keys::EnableMonitorRevival, values.enableRevival);
  saved &= WriteSetting(keys::NotifyOnReconnect, values.notifyOnReconnect);
  // A failed save must not read as a success: the user is told where the file is instead.
  if (!saved) {
    TellSaveFailed(notifyUser);
  } else if (writeLog) {
    writeLog(LogCategory::Other, L"設定更新", L"ユーザー設定が更新されました。");
  }
}

namespace {
const BoolSetting* const kLogKeys[6] = {&keys::UseLog,   &keys::LogProcess, &keys::LogMonitor,
                                        &keys::LogPing, &keys::LogNetsh,   &keys::LogOther};
}  // namespace

LogPageValues LoadLogPage() {
  LogPageValues v{};
  for (size_t i = 0; i < v.size(); ++i) v[i] = ReadSetting(*kLogKeys[i]);
  return v;
}

void SaveLogPage(const LogPageValues& values, const NotifyUserFn& notifyUser) {
  // The categories are written while logging is off too, so they survive switching it.
  bool saved = true;
  for (size_t i = 0; i < values.size(); ++i) saved &= WriteSetting(*kLogKeys[i], values[i]);
  if (!saved) TellSaveFailed(notifyUser);
}

const std::array<const wchar_t*, kNotifyModes.size()> kNotifyModeEntries = [] {
  std::array<const wchar_t*, kNotifyModes.size()> labels{};
  for (size_t i = 0; i < labels.size(); ++i) labels[i] = kNotifyModes[i].label;
  return labels;
}();

// No selection (-1) clamps to the first mode, which does not speak.
bool SpeechControlsEnabled(int modeIndex) { return RouteForMode(modeIndex).speech; }

std::vector<std::wstring> VoiceEntries(const std::vector<std::wstring>& names) {
  std::vector<std::wstring> entries{kDefaultVoiceEntry};
  entries.insert(entries.end(), names.begin(), names.end());
  return entries;
}

int VoiceSelection(const std::vector<std::wstring>& names, const std::wstring& stored) {
  if (stored.empty()) return 0;
  auto same = [](const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
             return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
  };
  for (size_t i = 0; i < names.size(); ++i) {
    if (same(names[i], stored)) return static_cast<int>(i) + 1;
  }
  return 0;
}

int WheelVolume(int position, int wheelDelta) { return std::clamp(position + (wheelDelta > 0 ? 5 : -5), 0, 100); }

const std::array<NumberField, 2> kDetailNumberFields = {{
    {IDC_FAILURES_BEFORE_RECONNECT, IDC_FAILURES_BEFORE_RECONNECT_SPIN, 1, 10, 2, L"再接続までの連続失敗回数は "},
    {IDC_RESUME_GRACE, IDC_RESUME_GRACE_SPIN, 0, 600, 3, L"スリープ復帰後の待機時間は "},
}};

namespace {
const IntSetting* const kDetailKeys[2] = {&keys::FailuresBeforeReconnect, &keys::ResumeGraceSeconds};
}  // namespace

DetailPageValues LoadDetailPage() {
  DetailPageValues v;
  for (size_t i = 0; i < std::size(kDetailKeys); ++i) v.numbers[i] = ReadSetting(*kDetailKeys[i]);
  v.useHistory = UseHistory();
  return v;
}

bool SaveDetailPage(const DetailPageValues& values, const WriteLogFn& writeLog, const NotifyUserFn& notifyUser) {
  bool saved = true;
  bool runChanged = false;
  for (size_t i = 0; i < std::size(kDetailKeys); ++i) {
    runChanged |= ReadSetting(*kDetailKeys[i]) != ClampSetting(*kDetailKeys[i], values.numbers[i]);
    saved &= WriteSetting(*kDetailKeys[i], values.numbers[i]);
  }
  // The history switch is read at every row, so it needs no restart.
  saved &= WriteSetting(keys::UseHistory, values.useHistory);
  if (!saved) {
    TellSaveFailed(notifyUser);
    return false;
  }
  if (runChanged && writeLog) writeLog(LogCategory::Other, L"設定更新", L"ユーザー設定が更新されました。");
  return runChanged;
}

void SaveOtherPage(const OtherPageValues& values, const StartupShortcutPorts& shortcut,
                   const NotifyUserFn& notifyUser) {
  if (values.modeIndex >= 0 && !WriteSetting(keys::NotifyMode, std::clamp(values.modeIndex, 0, 4))) {
    TellSaveFailed(notifyUser);
  }
  // A stored voice that is missing today (VOICEVOX files taken away) shows as the default
  // entry; while the list is greyed out that must not overwrite it.
  if (values.voiceIndex >= 0 && SpeechControlsEnabled(values.modeIndex)) {
    WriteSetting(keys::VoiceName, values.voiceIndex == 0 ? std::wstring() : values.voiceText);
  }
  WriteSetting(keys::VoiceVolume, std::clamp(values.volume, 0, 100));
  if (!shortcut.Exists) return;
  const bool exists = shortcut.Exists();
  if (values.startup && !exists && shortcut.Create) shortcut.Create(L"");
  if (!values.startup && exists && shortcut.Remove) shortcut.Remove();
}

std::span<const NumberField> PageNumberFields(int page) {
  if (page == kMonitorSheetPage) return kMonitorNumberFields;
  if (page == kDetailSheetPage) return kDetailNumberFields;
  return {};
}

bool ApplyRound::Begins(int page, const ShownPages& shown) {
  return std::find(shown.begin(), shown.end(), true) - shown.begin() == page;
}

bool ApplyRound::Saved(int page, const ShownPages& shown, bool wantsRestart) {
  // A round cut short leaves nothing behind for the next one.
  if (Begins(page, shown)) restartWanted_ = false;
  restartWanted_ |= wantsRestart;
  const bool last = std::find(shown.begin() + page + 1, shown.end(), true) == shown.end();
  return last && restartWanted_;
}

}  // namespace moorlink
