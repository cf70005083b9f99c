#include "common/Platform.h"

#include <windows.h>

#include <time.h>

#include <vector>

namespace moorlink {

std::wstring ModuleFilePath() {
  // Grow the buffer instead of accepting a silently cut path.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 8; ++attempt) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

bool LogonUserName(std::wstring& name) {
  wchar_t buffer[257] = {};
  DWORD size = 257;
  if (!GetUserNameW(buffer, &size)) return false;
  name.assign(buffer);
  return true;
}

LocalTime CurrentLocalTime() {
  SYSTEMTIME st = {};
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

// The C runtime rather than the Win32 time-zone calls: it resolves daylight saving with
// tm_isdst = -1 the same way in both directions, and it honours TZ, which tests set.
LocalTime ToLocalTime(int64_t epochSeconds) {
  const time_t t = static_cast<time_t>(epochSeconds);
  tm local{};
  if (localtime_s(&local, &t) != 0) return {};
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0};
}

std::optional<int64_t> FromLocalTime(const LocalTime& time) {
  tm local{};
  local.tm_year = time.year - 1900;
  local.tm_mon = time.month - 1;
  local.tm_mday = time.day;
  local.tm_hour = time.hour;
  local.tm_min = time.minute;
  local.tm_sec = time.second;
  local.tm_isdst = -1;
  const time_t t = mktime(&local);
  if (t == static_cast<time_t>(-1)) return std::nullopt;
  // mktime normalises (Feb 30, a time in a daylight-saving gap); only a time that reads
  // back as given exists.
  const LocalTime back = ToLocalTime(static_cast<int64_t>(t));
  if (back.year != time.year || back.month != time.month || back.day != time.day || back.hour != time.hour ||
      back.minute != time.minute || back.second != time.second) {
    return std::nullopt;
  }
  return static_cast<int64_t>(t);
}

}  // namespace moorlink
