#include "log/LogWriter.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>

#include "common/Text.h"
#include "log/PathHelpers.h"
#include "settings/Settings.h"

namespace moorlink {
namespace {

std::mutex g_logLock;  // serialises all writing and guards the date cache

struct DateCache {
  int year = -1;
  int month = -1;
  int day = -1;
  std::wstring text;
};
DateCache g_dateCache;

std::mutex g_folderInitLock;
std::atomic<bool> g_folderReady{false};
std::wstring g_folder;

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
    case 0: return LogProcess();
    case 1: return LogMonitor();
    case 2: return LogPing();
    case 3: return LogNetsh();
    case 4: return LogOther();
    default: return false;
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
std::wstring LogFilePathLocked(const std::wstring& folder) {
  if (folder.empty()) return {};
  const LocalTime t = Now();
  if (t.year != g_dateCache.year || t.month != g_dateCache.month || t.day != g_dateCache.day) {
    g_dateCache.year = t.year;
    g_dateCache.month = t.month;
    g_dateCache.day = t.day;
    g_dateCache.text = FormatLogDate(t);
  }
  return folder + kPathSeparator + g_dateCache.text + L".txt";
}

// Needs the log lock.
void EnsureLogFileLocked(const std::wstring& folder) {
  if (!UseLog()) return;
  const std::wstring path = LogFilePathLocked(folder);
  if (path.empty()) return;
  const std::filesystem::path file = ToFsPath(path);
  std::error_code ec;
  const bool exists = std::filesystem::exists(file, ec);
  // When the test itself fails (access denied, say) do nothing: truncating a file we
  // could not see would destroy it. The append that follows succeeds or drops the line.
  if (exists || ec) return;
  if (folder.empty()) return;
  std::filesystem::create_directories(ToFsPath(folder), ec);
  if (ec) return;
  std::ofstream out(file, std::ios::out | std::ios::binary | std::ios::trunc);
  if (out) out.write("\xEF\xBB\xBF", 3);
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
    std::lock_guard<std::mutex> lock(g_logLock);
    EnsureLogFileLocked(folder);
    const std::string line = FormatLogLine(category, title, message, Now());
    const std::wstring path = LogFilePathLocked(folder);
    if (path.empty()) return;
    std::ofstream out(ToFsPath(path), std::ios::out | std::ios::app | std::ios::binary);
    if (out) out.write(line.data(), static_cast<std::streamsize>(line.size()));
  } catch (...) {
    // A log line is never worth a failure of its caller.
  }
}

ScopedLogLine::ScopedLogLine(LogCategory category, std::wstring title, std::wstring message, LogWriterFunction writer)
    : category_(category), title_(std::move(title)), message_(std::move(message)), writer_(std::move(writer)) {}

ScopedLogLine::~ScopedLogLine() {
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
  if (g_folderReady.load(std::memory_order_acquire)) return g_folder;
  std::lock_guard<std::mutex> lock(g_folderInitLock);
  if (!g_folderReady.load(std::memory_order_relaxed)) {
    std::wstring user;
    if (!LogonUserName(user)) user.clear();
    g_folder = ComposeLogFolder(ExeFolderPath(), user);
    g_folderReady.store(true, std::memory_order_release);
  }
  return g_folder;
}

std::wstring LogFilePath() {
  const std::wstring folder = LogFolderPath();
  std::lock_guard<std::mutex> lock(g_logLock);
  return LogFilePathLocked(folder);
}

void EnsureLogFile() {
  try {
    const std::wstring folder = LogFolderPath();
    std::lock_guard<std::mutex> lock(g_logLock);
    EnsureLogFileLocked(folder);
  } catch (...) {
  }
}

std::wstring FormatLogDate(const LocalTime& t) {
  return Padded(t.year, 4) + L"_" + Padded(t.month, 2) + L"_" + Padded(t.day, 2);
}

std::wstring FormatLogTime(const LocalTime& t) {
  return Padded(t.hour, 2) + L":" + Padded(t.minute, 2) + L":" + Padded(t.second, 2) + L"." +
         Padded(t.milliseconds, 3);
}

std::string FormatLogLine(LogCategory category, const std::wstring& title, const std::wstring& message,
                          const LocalTime& time) {
  const int c = static_cast<int>(category);
  if (c < 0 || c > 4) return {};
  const std::wstring line = L"[" + FormatLogTime(time) + L"][" + Label(c) + L"][" + WithoutLineBreaks(title) +
                            L"]" + WithoutLineBreaks(message) + L"\r\n";
  return WideToUtf8(line);
}

void SetLogClockForTesting(LocalTime (*clock)()) { g_clock.store(clock); }

void SetLogFolderForTesting(const std::wstring& folder) {
  std::lock_guard<std::mutex> lock(g_folderInitLock);
  g_folder = folder;
  g_folderReady.store(true, std::memory_order_release);
}

}  // namespace moorlink
