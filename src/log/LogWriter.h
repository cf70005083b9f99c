#pragma once
// One log file per day in the user's log folder beside the executable; each line names its
// category. Nothing here reports a failure or throws: a line that cannot be written is dropped.
#include <functional>
#include <string>

#include "common/Platform.h"
#include "log/LogCategory.h"

namespace moorlink {

// Appends one line to today's file when logging and the category are switched on.
void WriteLog(LogCategory category, const std::wstring& title, const std::wstring& message) noexcept;

// Writes its line when its scope ends, on every path out of it.
class ScopedLogLine {
 public:
  ScopedLogLine(LogCategory category, std::wstring title, std::wstring message, LogWriterFunction writer = nullptr);
  ~ScopedLogLine();
  // Writes the line now (the process may not reach the end of the scope); only once.
  void WriteNow() noexcept;
  ScopedLogLine(const ScopedLogLine&) = delete;
  ScopedLogLine& operator=(const ScopedLogLine&) = delete;

 private:
  LogCategory category_;
  std::wstring title_;
  std::wstring message_;
  LogWriterFunction writer_;
  bool written_ = false;
};

// The per-user log folder, computed once per process; empty when it cannot be formed.
std::wstring LogFolderPath();
// Today's log file, empty when the log folder is empty.
std::wstring LogFilePath();
// Creates today's file, with its byte-order mark, when it is missing.
void EnsureLogFile();

// Pure parts of the above, for reuse and tests.
std::wstring ComposeLogFolder(const std::wstring& exeFolder, std::wstring userName);
std::wstring FormatLogDate(const LocalTime& t);  // YYYY_MM_DD
std::wstring FormatLogTime(const LocalTime& t);  // HH:MM:SS.mmm
// One whole line, UTF-8, ending in CR LF; CR and LF are removed from title and message.
std::string FormatLogLine(LogCategory category, const std::wstring& title, const std::wstring& message,
                          const LocalTime& time);

// Test seams: the clock behind time stamps and file names, and a fixed log folder.
void SetLogClockForTesting(LocalTime (*clock)());
void SetLogFolderForTesting(const std::wstring& folder);

}  // namespace moorlink
