#include "log/LogWriter.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <system_error>

#include "common/Files.h"
#include "common/PathHelpers.h"
#include "common/Text.h"
#include "settings/Settings.h"

namespace moorlink {
namespace {

// Detached threads (a reconnect command, a message box, speech) may still log while
// static destructors run at exit, so the state they reach is made once and never destroyed.

// Serialises all writing and guards the date cache.
std::mutex& LogLock() {
  static std::mutex& lock = *new std::mutex;
  return lock;
}

struct DateCache {
  int year = -1;
  int month = -1;
  int day = -1;
  std::wstring text;
};
DateCache& TheDateCache() {
  static DateCache& cache = *new DateCache;
  return cache;
}

std::mutex& FolderInitLock() {
  static std::mutex& lock = *new std::mutex;
  return lock;
}
std::atomic<bool> g_folderReady{false};
std::wstring& FolderText() {
  static std::wstring& folder = *new std::wstring;
  return folder;
}

std::atomic<LocalTime (*)()> g_clock{nullptr};

LocalTime Now() {
  LocalTime (*clock)() = g_clock.load();
  return clock ? clock() : CurrentLocalTime();
}

const wchar_t* Label(int category) {
  static const wchar_t* const labels[] = {L"Process", L"Monitor", L"Ping", L"Netsh", L"Other"};
  return labels[category];
}

bool CategoryEnabled(int category) {
  switch (category) {
    case 0:
      return LogProcess();
    case 1:
      return LogMonitor();
    case 2:
      return LogPing();
    case 3:
      return LogNetsh();
    case 4:
      return LogOther();
    default:
      return false;
  }
}

std::wstring WithoutLineBreaks(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (c != L'\r' && c != L'\n') out += c;
  }
  return out;
}

std::wstring Padded(int value, int width) {
  std::wstring digits = std::to_wstring(value < 0 ? 0 : value);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), L'0');
  return digits;
}

// Needs the log lock (the date cache).
std::wstring LogFilePathLocked(const std::wstring& folder, const LocalTime& t) {
  if (folder.empty()) return {};
  DateCache& cache = TheDateCache();
  if (t.year != cache.year || t.month != cache.month || t.day != cache.day) {
    cache.year = t.year;
    cache.month = t.month;
    cache.day = t.day;
    cache.text = FormatLogDate(t);
  }
  return folder + kPathSeparator + cache.text + L".txt";
}

// Appends bytes to the file at path, creating it (and its folder) when missing. The file
// that is empty once open is the one that gets the byte-order mark, in the same write as
// the first line, so a date that turns meanwhile cannot leave a day's file without it.
// Needs the log lock.
void AppendLocked(const std::wstring& folder, const std::wstring& path, const std::string& bytes) {
  if (folder.empty() || path.empty()) return;
  const std::optional<bool> exists = PathExists(path);
  // When the test itself fails (access denied, say) create nothing: a file we could not
  // see may be there, and the line is not worth guessing.
  if (!exists) return;
  if (!*exists && !CreateFolders(folder)) return;
  AppendToFile(path, "\xEF\xBB\xBF", bytes);
}

}  // namespace

void WriteLog(LogCategory category, const std::wstring& title, const std::wstring& message) noexcept {
  try {
    if (!UseLog()) return;
    const int c = static_cast<int>(category);
    if (c < 0 || c > 4) return;
    if (!CategoryEnabled(c)) return;
    // The folder's one-time computation has its own lock; take it before the log lock so
    // that no thread ever holds both.
    const std::wstring folder = LogFolderPath();
    std::lock_guard<std::mutex> lock(LogLock());
    // One reading of the clock names the file and stamps the line.
    const LocalTime now = Now();
    const std::string line = FormatLogLine(category, title, message, now);
    AppendLocked(folder, LogFilePathLocked(folder, now), line);
  } catch (...) {
    // A log line is never worth a failure of its caller.
  }
}

ScopedLogLine::ScopedLogLine(LogCategory category, std::wstring title, std::wstring message, LogWriterFunction writer)
    : category_(category), title_(std::move(title)), message_(std::move(message)), writer_(std::move(writer)) {}

ScopedLogLine::~ScopedLogLine() { WriteNow(); }

void ScopedLogLine::WriteNow() noexcept {
  if (written_) return;
  written_ = true;
  try {
    if (writer_) {
      writer_(category_, title_, message_);
    } else {
      WriteLog(category_, title_, message_);
    }
  } catch (...) {
  }
}

std::wstring ComposeLogFolder(const std::wstring& exeFolder, std::wstring userName) {
  if (!userName.empty()) SanitizeFileName(userName);
  if (exeFolder.empty() || userName.empty()) return {};
  return exeFolder + kPathSeparator + userName + L"_log";
}

std::wstring LogFolderPath() {
  if (g_folderReady.load(std::memory_order_acquire)) return FolderText();
  std::lock_guard<std::mutex> lock(FolderInitLock());
  if (!g_folderReady.load(std::memory_order_relaxed)) {
    std::wstring user;
    if (!LogonUserName(user)) user.clear();
    FolderText() = ComposeLogFolder(ExeFolderPath(), user);
    g_folderReady.store(true, std::memory_order_release);
  }
  return FolderText();
}

std::wstring LogFilePath() {
  const std::wstring folder = LogFolderPath();
  std::lock_guard<std::mutex> lock(LogLock());
  return LogFilePathLocked(folder, Now());
}

void EnsureLogFile() {
  try {
    if (!UseLog()) return;
    const std::wstring folder = LogFolderPath();
    std::lock_guard<std::mutex> lock(LogLock());
    AppendLocked(folder, LogFilePathLocked(folder, Now()), {});
  } catch (...) {
  }
}

std::wstring FormatLogDate(const LocalTime& t) {
  return Padded(t.year, 4) + L"_" + Padded(t.month, 2) + L"_" + Padded(t.day, 2);
}

std::wstring FormatLogTime(const LocalTime& t) {
  return Padded(t.hour, 2) + L":" + Padded(t.minute, 2) + L":" + Padded(t.second, 2) + L"." + Padded(t.milliseconds, 3);
}

std::string FormatLogLine(LogCategory category, const std::wstring& title, const std::wstring& message,
                          const LocalTime& time) {
  const int c = static_cast<int>(category);
  if (c < 0 || c > 4) return {};
  const std::wstring line = L"[" + FormatLogTime(time) + L"][" + Label(c) + L"][" + WithoutLineBreaks(title) + L"]" +
                            WithoutLineBreaks(message) + L"\r\n";
  return WideToUtf8(line);
}

void SetLogClockForTesting(LocalTime (*clock)()) { g_clock.store(clock); }

void SetLogFolderForTesting(const std::wstring& folder) {
  std::lock_guard<std::mutex> lock(FolderInitLock());
  FolderText() = folder;
  g_folderReady.store(true, std::memory_order_release);
}

}  // namespace moorlink
