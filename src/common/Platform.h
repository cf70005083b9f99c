#pragma once
// Process facts from the OS. Implemented in Platform_win.cpp and Platform_posix.cpp.
// Nothing here throws: a failure is an empty string or false.
#include <cstdint>
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
// nullopt for a time that does not exist locally or cannot be converted.
LocalTime ToLocalTime(int64_t epochSeconds);
std::optional<int64_t> FromLocalTime(const LocalTime& time);

}  // namespace moorlink
