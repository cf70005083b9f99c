#pragma once
// What the four pages of the settings sheet load, check and save, and which control shows
// which key; the dialog procedures (SettingsPages_win.cpp) only move values between these
// and the controls.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "log/LogCategory.h"
#include "notify/NotifyKind.h"
#include "notify/NotifyUser.h"
#include "resources/resource.h"
#include "settings/Settings.h"

namespace moorlink {

using NotifyUserFn = std::function<void(const std::wstring& message, const std::wstring& title, NotifyKind kind)>;

// "設定の保存に失敗しました。" with the settings file's path, as an error notification.
void TellSaveFailed(const NotifyUserFn& notifyUser);

// ---- Monitoring page ----

// An edit with its spin button and the key it shows, whose range and default are the field's.
struct NumberField {
  int editId;
  int spinId;
  const IntSetting& key;
  int typingLimit;
  const wchar_t* messagePrefix;
};
// In the order they are checked and written.
inline constexpr auto kMonitorNumberFields = std::to_array<NumberField>({
    {IDC_RECONNECT_INTERVAL, IDC_RECONNECT_INTERVAL_SPIN, keys::ReconnectInterval, 4, L"再接続コマンドの実行間隔は "},
    {IDC_MAX_RETRY, IDC_MAX_RETRY_SPIN, keys::MaxRetryCount, 9, L"再接続コマンドの上限回数は "},
    {IDC_PING_INTERVAL, IDC_PING_INTERVAL_SPIN, keys::PingInterval, 4, L"Pingの送信間隔は "},
    {IDC_PING_TIMEOUT, IDC_PING_TIMEOUT_SPIN, keys::PingTimeout, 5, L"Pingの応答待ち時間は "},
    {IDC_REVIVAL_INTERVAL, IDC_REVIVAL_INTERVAL_SPIN, keys::MonitorRevivalInterval, 9, L"監視復活までの時間は "},
});
inline constexpr int kSsidTypingLimit = 32;
inline constexpr int kPingAddressTypingLimit = 15;

struct MonitorPageValues {
  std::wstring targetSsid;
  std::wstring pingAddress;
  std::array<int, kMonitorNumberFields.size()> numbers{};  // in kMonitorNumberFields order
  bool enableRevival = false;
  bool notifyOnReconnect = false;
};

// What an edit gave: GetDlgItemInt without sign (translated flag and the value).
struct NumberReading {
  bool translated = false;
  uint32_t value = 0;
};

// The stored values as the page shows them.
MonitorPageValues LoadMonitorPage();
// The index of the first field that is invalid (does not translate, or lies outside its
// range taken as a signed 32-bit value), or -1 when all are valid.
int FirstInvalidNumber(const std::array<NumberReading, kMonitorNumberFields.size()>& readings);
// The same for any page's fields; readings and fields in the same order.
int FirstInvalidNumber(std::span<const NumberReading> readings, std::span<const NumberField> fields);
// "<prefix><min>～<max> の範囲で入力して下さい。"
std::wstring RangeMessage(const NumberField& field);
// Writes the page's keys in order (numbers clamped as stored), then logs the update; when
// a write fails, tells the user instead of logging.
void SaveMonitorPage(const MonitorPageValues& values, const LogWriterFunction& writeLog,
                     const NotifyUserFn& notifyUser);

// ---- Log page ----

// A check box and the key it shows.
struct CheckBoxField {
  int boxId;
  const BoolSetting& key;
};
// In the order they are written.
inline constexpr auto kLogBoxes = std::to_array<CheckBoxField>({
    {IDC_USE_LOG, keys::UseLog},
    {IDC_LOG_PROCESS, keys::LogProcess},
    {IDC_LOG_MONITOR, keys::LogMonitor},
    {IDC_LOG_PING, keys::LogPing},
    {IDC_LOG_NETSH, keys::LogNetsh},
    {IDC_LOG_OTHER, keys::LogOther},
});
using LogPageValues = std::array<bool, kLogBoxes.size()>;  // in kLogBoxes order
LogPageValues LoadLogPage();
// Tells the user when a write fails.
void SaveLogPage(const LogPageValues& values, const NotifyUserFn& notifyUser);

// ---- Other page ----

// The mode list: the labels of kNotifyModes, at their NotifyMode index.
extern const std::array<const wchar_t*, kNotifyModes.size()> kNotifyModeEntries;
inline constexpr int kVolumeLine = 5;
inline constexpr int kVolumePage = 20;
inline constexpr int kVolumeTicks = 10;

// The voice list and the volume only matter for the modes with speech (RouteForMode's).
bool SpeechControlsEnabled(int modeIndex);
// The voice list's first entry; it stands for an empty VoiceName, the Windows default voice.
inline constexpr const wchar_t* kDefaultVoiceEntry = L"既定の音声";
// The voice list: kDefaultVoiceEntry, then the voice names in their order.
std::vector<std::wstring> VoiceEntries(const std::vector<std::wstring>& names);
// The index in VoiceEntries of the name equal to the stored one regardless of letter case;
// 0, the default voice, for an empty or unknown name.
int VoiceSelection(const std::vector<std::wstring>& names, const std::wstring& stored);
// One wheel notch: 5 up or down, whatever the delta's size, within 0..100.
int WheelVolume(int position, int wheelDelta);

struct OtherPageValues {
  int modeIndex = -1;      // -1: no selection
  int voiceIndex = -1;     // in VoiceEntries; -1: no selection
  std::wstring voiceText;  // the selected entry's text
  int volume = 0;
  bool startup = false;
};
struct StartupShortcutPorts {
  std::function<bool()> Exists;
  std::function<bool(const std::wstring& arguments)> Create;
  std::function<void()> Remove;
};
// Writes the mode (telling the user when that fails), the voice (only for a mode with
// speech: a greyed-out list keeps the stored voice), the volume, then creates or removes
// the Startup shortcut when the box and the file disagree.
void SaveOtherPage(const OtherPageValues& values, const StartupShortcutPorts& shortcut, const NotifyUserFn& notifyUser);

// ---- Detail page ----

// In the order they are checked and written.
inline constexpr auto kDetailNumberFields = std::to_array<NumberField>({
    {IDC_FAILURES_BEFORE_RECONNECT, IDC_FAILURES_BEFORE_RECONNECT_SPIN, keys::FailuresBeforeReconnect, 2,
     L"再接続までの連続失敗回数は "},
    {IDC_RESUME_GRACE, IDC_RESUME_GRACE_SPIN, keys::ResumeGraceSeconds, 3, L"スリープ復帰後の待機時間は "},
});

struct DetailPageValues {
  std::array<int, kDetailNumberFields.size()> numbers{};  // in kDetailNumberFields order
  bool useHistory = false;
  bool gatewayCheck = keys::EnableGatewayCheck.defaultValue;
  std::wstring gatewayAddress;
};
DetailPageValues LoadDetailPage();
// Writes the page's keys. True when a key the monitor run reads at its start changed and
// was saved (the update is then logged, and the caller restarts the run); a failed write
// tells the user instead.
bool SaveDetailPage(const DetailPageValues& values, const LogWriterFunction& writeLog, const NotifyUserFn& notifyUser);

// ---- The sheet ----

// The pages in the sheet's order.
enum SheetPage : int { kMonitorSheetPage, kLogSheetPage, kOtherSheetPage, kDetailSheetPage, kSheetPageCount };
// The pages shown so far, by index: only they take part in an OK or Apply.
using ShownPages = std::array<bool, kSheetPageCount>;

// The number fields a page checks; none on the log and other pages.
std::span<const NumberField> PageNumberFields(int page);

// A key a policy may set and the controls of its page that show it: the page disables
// them and shows its note while the policy sets the key (and saving leaves the key alone).
struct PolicyLock {
  int page;
  const wchar_t* section;
  const wchar_t* key;
  bool number;                  // REG_DWORD (a number or boolean key); otherwise REG_SZ
  std::array<int, 4> controls;  // 0: none
  bool boolean = false;
  int min = 0, max = 0;  // a number key's range
};
constexpr PolicyLock Lock(int page, const IntSetting& k, std::array<int, 4> ids) {
  return {page, k.section, k.key, true, ids, false, k.min, k.max};
}
constexpr PolicyLock Lock(int page, const BoolSetting& k, std::array<int, 4> ids) {
  return {page, k.section, k.key, true, ids, true};
}
constexpr PolicyLock Lock(int page, const StringSetting& k, std::array<int, 4> ids) {
  return {page, k.section, k.key, false, ids};
}
inline constexpr auto kPolicyLocks = std::to_array<PolicyLock>({
    Lock(kMonitorSheetPage, keys::TargetSSID, {IDC_SSID_LABEL, IDC_SSID}),
    Lock(kMonitorSheetPage, keys::ReconnectInterval,
         {IDC_RECONNECT_INTERVAL_LABEL, IDC_RECONNECT_INTERVAL, IDC_RECONNECT_INTERVAL_SPIN}),
    Lock(kMonitorSheetPage, keys::MaxRetryCount, {IDC_MAX_RETRY_LABEL, IDC_MAX_RETRY, IDC_MAX_RETRY_SPIN}),
    Lock(kMonitorSheetPage, keys::PingAddress, {IDC_PING_ADDRESS_LABEL, IDC_PING_ADDRESS}),
    Lock(kMonitorSheetPage, keys::PingInterval, {IDC_PING_INTERVAL_LABEL, IDC_PING_INTERVAL, IDC_PING_INTERVAL_SPIN}),
    Lock(kMonitorSheetPage, keys::PingTimeout, {IDC_PING_TIMEOUT_LABEL, IDC_PING_TIMEOUT, IDC_PING_TIMEOUT_SPIN}),
    Lock(kMonitorSheetPage, keys::EnableMonitorRevival, {IDC_REVIVAL_ENABLE}),
    Lock(kMonitorSheetPage, keys::MonitorRevivalInterval,
         {IDC_REVIVAL_INTERVAL_LABEL, IDC_REVIVAL_INTERVAL, IDC_REVIVAL_INTERVAL_SPIN}),
    Lock(kMonitorSheetPage, keys::NotifyOnReconnect, {IDC_NOTIFY_ON_RECONNECT}),
    Lock(kLogSheetPage, keys::UseLog, {IDC_USE_LOG}),
    Lock(kLogSheetPage, keys::LogProcess, {IDC_LOG_PROCESS}),
    Lock(kLogSheetPage, keys::LogMonitor, {IDC_LOG_MONITOR}),
    Lock(kLogSheetPage, keys::LogPing, {IDC_LOG_PING}),
    Lock(kLogSheetPage, keys::LogNetsh, {IDC_LOG_NETSH}),
    Lock(kLogSheetPage, keys::LogOther, {IDC_LOG_OTHER}),
    Lock(kLogSheetPage, keys::UseEventLog, {}),  // no control: an administrator's key
    Lock(kOtherSheetPage, keys::NotifyMode, {IDC_NOTIFY_MODE}),
    Lock(kOtherSheetPage, keys::VoiceName, {IDC_VOICE}),
    Lock(kOtherSheetPage, keys::VoiceVolume, {IDC_VOLUME}),
    Lock(kDetailSheetPage, keys::FailuresBeforeReconnect,
         {IDC_FAILURES_BEFORE_RECONNECT_LABEL, IDC_FAILURES_BEFORE_RECONNECT, IDC_FAILURES_BEFORE_RECONNECT_SPIN}),
    Lock(kDetailSheetPage, keys::ResumeGraceSeconds, {IDC_RESUME_GRACE_LABEL, IDC_RESUME_GRACE, IDC_RESUME_GRACE_SPIN}),
    Lock(kDetailSheetPage, keys::UseHistory, {IDC_USE_HISTORY}),
    Lock(kDetailSheetPage, keys::EnableGatewayCheck, {IDC_GATEWAY_CHECK}),
    Lock(kDetailSheetPage, keys::GatewayAddress, {IDC_GATEWAY_ADDRESS_LABEL, IDC_GATEWAY_ADDRESS}),
});
// The controls of a page that a policy locks now, and whether any is.
std::vector<int> PolicyLockedControls(int page);

// One OK or Apply. The sheet sends PSN_APPLY to every shown page, at once and in page
// order, and stops at a page that refuses. The round's first page checks the fields of
// every shown page before anything is written; its last page restarts the monitor once
// when any page asked for it, since a second restart while one runs is refused.
class ApplyRound {
 public:
  static bool Begins(int page, const ShownPages& shown);
  // After a page has saved; true when the monitor is to restart now.
  bool Saved(int page, const ShownPages& shown, bool wantsRestart);

 private:
  bool restartWanted_ = false;
};

}  // namespace moorlink
