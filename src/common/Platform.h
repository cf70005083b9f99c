#pragma once
// Process facts from the OS. Implemented in Platform_win.cpp and Platform_posix.cpp.
// Nothing here throws: a failure is an empty string or false.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace moorlink {

struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

// Full path of the running executable, empty on failure.
std::wstring ModuleFilePath();

// The logon name of the user running the process; false when it cannot be read.
bool LogonUserName(std::wstring& name);

// The current local wall-clock time.
LocalTime CurrentLocalTime();

// Seconds since 1970-01-01 UTC as local time (milliseconds 0), and back; the way back is
// nullopt for a time that does not exist locally or cannot be converted. Portable
// (Platform.cpp) over the C runtime's local-time call below.
LocalTime ToLocalTime(int64_t epochSeconds);
std::optional<int64_t> FromLocalTime(const LocalTime& time);

// The C runtime's local time of a moment (localtime_r, localtime_s); false when it has none.
// On Windows the C runtime rather than the Win32 time-zone calls: it resolves daylight
// saving with tm_isdst = -1 the same way in both directions, and it honours TZ, which tests set.
bool LocalCalendarTime(int64_t epochSeconds, std::tm& out);

}  // namespace moorlink
