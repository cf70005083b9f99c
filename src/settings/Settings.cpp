#include "settings/Settings.h"

#include <algorithm>
#include <cwctype>

#include "common/PathHelpers.h"
#include "common/Platform.h"
#include "common/Text.h"
#include "settings/Policy.h"
#include "settings/ProfileFile.h"
#include "settings/ProfileText.h"

namespace moorlink {

// Deliberately leaked: static destructors must not free it under a thread still reading.
std::wstring& SettingsPath = *new std::wstring;

namespace {

constexpr std::size_t kReadBufferChars = 2048;

}  // namespace

std::wstring ComposeSettingsPath(std::wstring_view exePath, std::wstring userName) {
  const size_t slash = exePath.find_last_of(kPathSeparator);
  if (slash == std::wstring_view::npos) return {};
  SanitizeFileName(userName);
  return std::wstring(exePath.substr(0, slash + 1)) + userName + L"_Moorlink.ini";
}

bool ComputeSettingsPath() {
  const std::wstring exe = ModuleFilePath();
  if (exe.empty()) return false;
  std::wstring user;
  if (!LogonUserName(user)) return false;
  std::wstring path = ComposeSettingsPath(exe, user);
  if (path.empty()) return false;
  SettingsPath = std::move(path);
  return true;
}

std::wstring ReadSettingString(const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue) {
  if (std::optional<std::wstring> set = PolicyText(section, key)) return set->substr(0, kReadBufferChars - 1);
  return ProfileReadString(SettingsPath, section, key, defaultValue, kReadBufferChars);
}

bool ParseSettingBool(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return lower == L"1" || lower == L"true" || lower == L"on" || lower == L"yes";
}

bool ReadSettingBool(const std::wstring& section, const std::wstring& key, bool defaultValue) {
  if (const std::optional<uint32_t> set = PolicyNumber(section, key)) return *set != 0;
  return ParseSettingBool(
      ProfileReadString(SettingsPath, section, key, defaultValue ? L"true" : L"false", kReadBufferChars));
}

int ReadSettingInt(const std::wstring& section, const std::wstring& key, int defaultValue) {
  if (const std::optional<uint32_t> set = PolicyNumber(section, key))
    return static_cast<int>(std::min<uint32_t>(*set, INT_MAX));
  return ProfileReadInt(SettingsPath, section, key, defaultValue);
}

bool SetByPolicy(const std::wstring& section, const std::wstring& key, bool number) {
  return number ? PolicyNumber(section, key).has_value() : PolicyText(section, key).has_value();
}

bool WriteSetting(const std::wstring& section, const std::wstring& key, const std::wstring& text) {
  // A line break would end the line and plant text of its own in the file.
  if (text.find_first_of(L"\r\n") != std::wstring::npos) return false;
  return ProfileWriteString(SettingsPath, section, key, EncodeProfileValue(text));
}

int ClampSetting(const IntSetting& setting, long long value) {
  return static_cast<int>(std::clamp<long long>(value, setting.min, setting.max));
}

int ReadSetting(const IntSetting& setting) {
  return ClampSetting(setting, ReadSettingInt(setting.section, setting.key, setting.defaultValue));
}

bool ReadSetting(const BoolSetting& setting) {
  return ReadSettingBool(setting.section, setting.key, setting.defaultValue);
}

std::wstring ReadSetting(const StringSetting& setting) { return ReadSettingString(setting.section, setting.key, L""); }

bool WriteSetting(const IntSetting& setting, long long value) {
  if (SetByPolicy(setting.section, setting.key, true)) return true;
  return WriteSetting(setting.section, setting.key, std::to_wstring(ClampSetting(setting, value)));
}

bool WriteSetting(const BoolSetting& setting, bool value) {
  if (SetByPolicy(setting.section, setting.key, true)) return true;
  return WriteSetting(setting.section, setting.key, value ? L"true" : L"false");
}

bool WriteSetting(const StringSetting& setting, const std::wstring& value) {
  if (SetByPolicy(setting.section, setting.key, false)) return true;
  return WriteSetting(setting.section, setting.key, value);
}

}  // namespace moorlink
