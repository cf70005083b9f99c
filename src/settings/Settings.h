#pragma once
// The per-user settings file and its schema. Every read goes at once to the policy values
// (settings/Policy.h), then to the file, and never fails: a missing file, section or key
// gives the key's default, and integers are clamped to the key's range after reading.
// Writes return false on failure.
#include <climits>
#include <string>
#include <string_view>

namespace moorlink {

// Full path of the settings file; set once at start-up by ComputeSettingsPath, then only read.
// Never destroyed, so a detached thread may still read settings while the process exits.
extern std::wstring& SettingsPath;

// Sets SettingsPath from the executable's folder and the logon name; false leaves it empty.
bool ComputeSettingsPath();
// The settings file path for an executable path and a logon name; empty when the
// executable path has no folder.
std::wstring ComposeSettingsPath(std::wstring_view exePath, std::wstring userName);

std::wstring ReadSettingString(const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue);
bool ReadSettingBool(const std::wstring& section, const std::wstring& key, bool defaultValue);
int ReadSettingInt(const std::wstring& section, const std::wstring& key, int defaultValue);
bool WriteSetting(const std::wstring& section, const std::wstring& key, const std::wstring& text);
// True when a policy sets the key (settings/Policy.h), with the type its kind of key takes:
// a number or boolean key (number) or a text key. The settings sheet never writes such a key.
bool SetByPolicy(const std::wstring& section, const std::wstring& key, bool number);

// "1", "true", "on" and "yes" in any letter case are true; every other text is false.
bool ParseSettingBool(std::wstring_view text);

struct IntSetting {
  const wchar_t* section;
  const wchar_t* key;
  int defaultValue;
  int min;
  int max;
};
struct BoolSetting {
  const wchar_t* section;
  const wchar_t* key;
  bool defaultValue;
};
struct StringSetting {
  const wchar_t* section;
  const wchar_t* key;
};

// The schema: every key with its default and range, written once.
namespace keys {
inline constexpr StringSetting TargetSSID{L"AutoReconnect", L"TargetSSID"};
inline constexpr IntSetting ReconnectInterval{L"AutoReconnect", L"ReconnectInterval", 5, 1, 3600};
inline constexpr IntSetting MaxRetryCount{L"AutoReconnect", L"MaxRetryCount", 20, 0, INT_MAX};
inline constexpr StringSetting PingAddress{L"AutoReconnect", L"PingAddress"};
inline constexpr IntSetting PingInterval{L"AutoReconnect", L"PingInterval", 10, 1, 3600};
inline constexpr IntSetting PingTimeout{L"AutoReconnect", L"PingTimeout", 2000, 10, 30000};
inline constexpr BoolSetting EnableMonitorRevival{L"AutoReconnect", L"EnableMonitorRevival", true};
inline constexpr IntSetting MonitorRevivalInterval{L"AutoReconnect", L"MonitorRevivalInterval", 1200, 1, INT_MAX};
inline constexpr BoolSetting NotifyOnReconnect{L"AutoReconnect", L"NotifyOnReconnect", false};
inline constexpr IntSetting ResumeGraceSeconds{L"AutoReconnect", L"ResumeGraceSeconds", 30, 0, 600};
inline constexpr IntSetting FailuresBeforeReconnect{L"AutoReconnect", L"FailuresBeforeReconnect", 1, 1, 10};
inline constexpr BoolSetting EnableGatewayCheck{L"AutoReconnect", L"EnableGatewayCheck", true};
// Empty: the Wi-Fi adapter's default gateway, looked up at each outage.
inline constexpr StringSetting GatewayAddress{L"AutoReconnect", L"GatewayAddress"};
inline constexpr BoolSetting UseHistory{L"History", L"UseHistory", true};
inline constexpr BoolSetting UseLog{L"Log", L"UseLog", false};
// The notable events also go to the Windows Event Log (log/EventLog.h).
inline constexpr BoolSetting UseEventLog{L"Log", L"UseEventLog", false};
inline constexpr BoolSetting LogProcess{L"Log", L"LogProcess", true};
inline constexpr BoolSetting LogMonitor{L"Log", L"LogMonitor", true};
inline constexpr BoolSetting LogPing{L"Log", L"LogPing", true};
inline constexpr BoolSetting LogNetsh{L"Log", L"LogNetsh", true};
inline constexpr BoolSetting LogOther{L"Log", L"LogOther", true};
inline constexpr IntSetting NotifyMode{L"Notify", L"NotifyMode", 0, 0, 4};
inline constexpr StringSetting VoiceName{L"Notify", L"VoiceName"};
inline constexpr IntSetting VoiceVolume{L"Notify", L"VoiceVolume", 60, 0, 100};
}  // namespace keys

int ClampSetting(const IntSetting& setting, long long value);
int ReadSetting(const IntSetting& setting);
bool ReadSetting(const BoolSetting& setting);
std::wstring ReadSetting(const StringSetting& setting);
// Integers are clamped before they are written. A key a policy sets is left as the file
// has it (true: the policy's value is the one in force).
bool WriteSetting(const IntSetting& setting, long long value);
bool WriteSetting(const BoolSetting& setting, bool value);
bool WriteSetting(const StringSetting& setting, const std::wstring& value);

// One getter per key.
inline std::wstring TargetSSID() { return ReadSetting(keys::TargetSSID); }
inline int ReconnectInterval() { return ReadSetting(keys::ReconnectInterval); }
inline int MaxRetryCount() { return ReadSetting(keys::MaxRetryCount); }
inline std::wstring PingAddress() { return ReadSetting(keys::PingAddress); }
inline int PingInterval() { return ReadSetting(keys::PingInterval); }
inline int PingTimeout() { return ReadSetting(keys::PingTimeout); }
inline bool EnableMonitorRevival() { return ReadSetting(keys::EnableMonitorRevival); }
inline int MonitorRevivalInterval() { return ReadSetting(keys::MonitorRevivalInterval); }
inline bool NotifyOnReconnect() { return ReadSetting(keys::NotifyOnReconnect); }
inline int ResumeGraceSeconds() { return ReadSetting(keys::ResumeGraceSeconds); }
inline int FailuresBeforeReconnect() { return ReadSetting(keys::FailuresBeforeReconnect); }
inline bool EnableGatewayCheck() { return ReadSetting(keys::EnableGatewayCheck); }
inline std::wstring GatewayAddress() { return ReadSetting(keys::GatewayAddress); }
inline bool UseHistory() { return ReadSetting(keys::UseHistory); }
inline bool UseLog() { return ReadSetting(keys::UseLog); }
inline bool UseEventLog() { return ReadSetting(keys::UseEventLog); }
inline bool LogProcess() { return ReadSetting(keys::LogProcess); }
inline bool LogMonitor() { return ReadSetting(keys::LogMonitor); }
inline bool LogPing() { return ReadSetting(keys::LogPing); }
inline bool LogNetsh() { return ReadSetting(keys::LogNetsh); }
inline bool LogOther() { return ReadSetting(keys::LogOther); }
inline int NotifyMode() { return ReadSetting(keys::NotifyMode); }
inline std::wstring VoiceName() { return ReadSetting(keys::VoiceName); }
inline int VoiceVolume() { return ReadSetting(keys::VoiceVolume); }

}  // namespace moorlink
