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

bool LocalCalendarTime(int64_t epochSeconds, std::tm& out) {
  const time_t t = static_cast<time_t>(epochSeconds);
  return localtime_s(&out, &t) == 0;
}

}  // namespace moorlink
