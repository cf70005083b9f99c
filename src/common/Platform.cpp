#include "common/Platform.h"

namespace moorlink {

LocalTime ToLocalTime(int64_t epochSeconds) {
  std::tm local{};
  if (!LocalCalendarTime(epochSeconds, local)) return {};
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0};
}

std::optional<int64_t> FromLocalTime(const LocalTime& time) {
  std::tm local{};
  local.tm_year = time.year - 1900;
  local.tm_mon = time.month - 1;
  local.tm_mday = time.day;
  local.tm_hour = time.hour;
  local.tm_min = time.minute;
  local.tm_sec = time.second;
  local.tm_isdst = -1;
  const std::time_t t = std::mktime(&local);
  // mktime normalises (Feb 30, a time in a daylight-saving gap) and gives -1 for what it
  // cannot convert; only a time that reads back as given exists.
  const LocalTime back = ToLocalTime(static_cast<int64_t>(t));
  if (back.year != time.year || back.month != time.month || back.day != time.day || back.hour != time.hour ||
      back.minute != time.minute || back.second != time.second) {
    return std::nullopt;
  }
  return static_cast<int64_t>(t);
}

}  // namespace moorlink
