#include "app/SettingsPages.h"

#include <algorithm>
#include <cwctype>

#include "app/AppTexts.h"
#include "log/EventLog.h"

namespace moorlink {

MonitorPageValues LoadMonitorPage() {
  MonitorPageValues v;
  v.targetSsid = TargetSSID();
  v.pingAddress = PingAddress();
  // The store's clamps are the page's display rules: a negative limit shows 0, a revival
  // delay of 0 or less shows 1.
  for (size_t i = 0; i < kMonitorNumberFields.size(); ++i) v.numbers[i] = ReadSetting(kMonitorNumberFields[i].key);
  v.enableRevival = EnableMonitorRevival();
  v.notifyOnReconnect = NotifyOnReconnect();
  return v;
}

int FirstInvalidNumber(const std::array<NumberReading, kMonitorNumberFields.size()>& readings) {
  return FirstInvalidNumber(readings, kMonitorNumberFields);
}

int FirstInvalidNumber(std::span<const NumberReading> readings, std::span<const NumberField> fields) {
  for (size_t i = 0; i < readings.size() && i < fields.size(); ++i) {
    const int value = static_cast<int>(readings[i].value);  // as the signed 32-bit value
    if (!readings[i].translated || value < fields[i].key.min || value > fields[i].key.max) return static_cast<int>(i);
  }
  return -1;
}

std::wstring RangeMessage(const NumberField& field) {
  return field.messagePrefix + std::to_wstring(field.key.min) + kRangeMessageMiddle + std::to_wstring(field.key.max) +
         kRangeMessageTail;
}

void TellSaveFailed(const NotifyUserFn& notifyUser) {
  ReportNotableEvent(EventId::SettingsSaveFailed, NotifyKind::Error,
                     std::wstring(kSettingsSaveFailedMessage) + kPathBelowMessage + SettingsPath, {SettingsPath});
  if (notifyUser) {
    notifyUser(std::wstring(kSettingsSaveFailedMessage) + kPathBelowMessage + SettingsPath, kSettingsSaveFailedTitle,
               NotifyKind::Error);
  }
}

void SaveMonitorPage(const MonitorPageValues& values, const LogWriterFunction& writeLog,
                     const NotifyUserFn& notifyUser) {
  bool saved = WriteSetting(keys::TargetSSID, values.targetSsid);
  saved &= WriteSetting(keys::PingAddress, values.pingAddress);
  for (size_t i = 0; i < kMonitorNumberFields.size(); ++i) {
    saved &= WriteSetting(kMonitorNumberFields[i].key, values.numbers[i]);
  }
  saved &= WriteSetting(keys::EnableMonitorRevival, values.enableRevival);
  saved &= WriteSetting(keys::NotifyOnReconnect, values.notifyOnReconnect);
  // A failed save must not read as a success: the user is told where the file is instead.
  if (!saved) {
    TellSaveFailed(notifyUser);
  } else if (writeLog) {
    writeLog(LogCategory::Other, kSettingsUpdatedTitle, kSettingsUpdatedMessage);
  }
}

LogPageValues LoadLogPage() {
  LogPageValues v{};
  for (size_t i = 0; i < v.size(); ++i) v[i] = ReadSetting(kLogBoxes[i].key);
  return v;
}

void SaveLogPage(const LogPageValues& values, const NotifyUserFn& notifyUser) {
  // The categories are written while logging is off too, so they survive switching it.
  bool saved = true;
  for (size_t i = 0; i < values.size(); ++i) saved &= WriteSetting(kLogBoxes[i].key, values[i]);
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

DetailPageValues LoadDetailPage() {
  DetailPageValues v;
  for (size_t i = 0; i < kDetailNumberFields.size(); ++i) v.numbers[i] = ReadSetting(kDetailNumberFields[i].key);
  v.useHistory = UseHistory();
  v.gatewayCheck = EnableGatewayCheck();
  v.gatewayAddress = GatewayAddress();
  return v;
}

bool SaveDetailPage(const DetailPageValues& values, const LogWriterFunction& writeLog, const NotifyUserFn& notifyUser) {
  bool saved = true;
  bool runChanged = false;
  for (size_t i = 0; i < kDetailNumberFields.size(); ++i) {
    const IntSetting& key = kDetailNumberFields[i].key;
    runChanged |= ReadSetting(key) != ClampSetting(key, values.numbers[i]);
    saved &= WriteSetting(key, values.numbers[i]);
  }
  runChanged |= EnableGatewayCheck() != values.gatewayCheck || GatewayAddress() != values.gatewayAddress;
  saved &= WriteSetting(keys::EnableGatewayCheck, values.gatewayCheck);
  saved &= WriteSetting(keys::GatewayAddress, values.gatewayAddress);
  // The history switch is read at every row, so it needs no restart.
  saved &= WriteSetting(keys::UseHistory, values.useHistory);
  if (!saved) {
    TellSaveFailed(notifyUser);
    return false;
  }
  if (runChanged && writeLog) writeLog(LogCategory::Other, kSettingsUpdatedTitle, kSettingsUpdatedMessage);
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

std::vector<int> PolicyLockedControls(int page) {
  std::vector<int> ids;
  for (const PolicyLock& lock : kPolicyLocks) {
    if (lock.page != page || !SetByPolicy(lock.section, lock.key, lock.number)) continue;
    for (int id : lock.controls) {
      if (id != 0) ids.push_back(id);
    }
  }
  return ids;
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
