#include "common/Platform.h"

#include <pwd.h>
#include <time.h>
#include <unistd.h>

#include <vector>

#include "common/Text.h"

namespace moorlink {

std::wstring ModuleFilePath() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return {};
  return Utf8ToWide(std::string_view(buffer.data(), static_cast<size_t>(n)));
}

bool LogonUserName(std::wstring& name) {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_name == nullptr) {
    return false;
  }
  name = Utf8ToWide(found->pw_name);
  return true;
}

LocalTime CurrentLocalTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  return LocalTime{local.tm_year + 1900,
                   local.tm_mon + 1,
                   local.tm_mday,
                   local.tm_hour,
                   local.tm_min,
                   local.tm_sec,
                   static_cast<int>(ts.tv_nsec / 1000000)};
}

bool LocalCalendarTime(int64_t epochSeconds, std::tm& out) {
  const time_t t = static_cast<time_t>(epochSeconds);
  return localtime_r(&t, &out) != nullptr;
}

}  // namespace moorlink
