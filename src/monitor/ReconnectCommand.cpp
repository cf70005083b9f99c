#include "monitor/ReconnectCommand.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "log/LogTexts.h"
#include "log/LogWriter.h"
#include "monitor/MonitorRun.h"
#include "monitor/MonitorTexts.h"

namespace moorlink {
namespace {

using Clock = std::chrono::steady_clock;

// How often a wait for a connection report looks whether it is still wanted.
constexpr std::chrono::milliseconds kReportSlice{250};

// Counts reconnect commands (and the exit); a wait whose command is no longer the latest
// ends. Trivially destroyed, so a detached thread may read it while the process exits.
std::atomic<uint64_t> g_reportGeneration{0};

// Clears the busy flag once: when the command is done, or whichever way the thread body ends.
class BusyFlagRelease {
 public:
  BusyFlagRelease() = default;
  ~BusyFlagRelease() { Release(); }
  BusyFlagRelease(const BusyFlagRelease&) = delete;
  BusyFlagRelease& operator=(const BusyFlagRelease&) = delete;
  void Release() {
    if (!released_) ReconnectCommandBusy.exchange(false);
    released_ = true;
  }

 private:
  bool released_ = false;
};

std::unique_ptr<ConnectionWatch> StartWatch(const ConnectionWatchFactory& startWatch, const std::wstring& ssid) {
  if (!startWatch) return nullptr;
  try {
    return startWatch(ssid);
  } catch (...) {
    return nullptr;  // the command runs all the same, only unwatched
  }
}

// Waits until the deadline at most, in slices, so that a newer command or the exit ends
// the wait soon.
void LogConnectionReport(ConnectionWatch& watch, const std::wstring& ssid, uint64_t generation,
                         Clock::time_point deadline) {
  for (;;) {
    if (g_reportGeneration.load() != generation) return;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const ConnectionReport report = watch.WaitForReport(std::clamp(left, std::chrono::milliseconds(0), kReportSlice));
    if (g_reportGeneration.load() != generation) return;
    switch (report.kind) {
      case ConnectionReport::Kind::Completed: {
        const std::wstring text = kConnectedLead + ssid + kConnectedTail;
        WriteLog(LogCategory::Netsh, kConnectedTitle, text);
        ReportNotableEvent(EventId::ReconnectReported, NotifyKind::Info, text, {ssid, kConnectedTitle});
        return;
      }
      case ConnectionReport::Kind::Failed: {
        const std::wstring text = kConnectFailedLead + ssid + kConnectFailedTail + report.reason;
        WriteLog(LogCategory::Netsh, kConnectFailedTitle, text);
        ReportNotableEvent(EventId::ReconnectReported, NotifyKind::Warning, text, {ssid, kConnectFailedTitle});
        return;
      }
      case ConnectionReport::Kind::None:
        break;
    }
    if (left <= std::chrono::milliseconds(0)) {
      WriteLog(LogCategory::Netsh, kConnectUnknownTitle, kConnectUnknownMessage);
      ReportNotableEvent(EventId::ReconnectReported, NotifyKind::Info, kConnectUnknownMessage,
                         {ssid, kConnectUnknownTitle});
      return;
    }
  }
}

template <typename Runner>
void RunGuarded(const std::wstring& ssid, const Runner& runCommand, const ConnectionWatchFactory& startWatch,
                std::chrono::milliseconds reportLimit) noexcept {
  BusyFlagRelease release;
  try {
    if (ssid.empty()) {
      WriteLog(LogCategory::Netsh, kErrorTitle, kCommandWithoutSsidMessage);
      return;
    }
    const std::wstring commandLine = ReconnectCommandLine(ssid);
    // Taken while the flag is still set: a newer command can only start, and count, later.
    const uint64_t generation = ++g_reportGeneration;
    const Clock::time_point deadline = Clock::now() + reportLimit;
    // Before the command, so that a report that comes while netsh still runs is kept.
    const std::unique_ptr<ConnectionWatch> watch = StartWatch(startWatch, ssid);
    const CommandOutcome outcome = runCommand(commandLine);
    WriteLog(LogCategory::Netsh, outcome.output, commandLine);
    if (outcome.timedOut) {
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kReconnectCommandLimit).count();
      WriteLog(LogCategory::Netsh, kErrorTitle, kNetshTimeoutLead + std::to_wstring(seconds) + kNetshTimeoutTail);
    }
    // The wait holds no flag: the next reconnect command may start on its usual cadence.
    release.Release();
    if (watch) LogConnectionReport(*watch, ssid, generation, deadline);
  } catch (...) {
    // Nothing to report to: the caller is a detached thread. The flag is released above.
  }
}

}  // namespace

void RunReconnectCommand(std::wstring ssid) noexcept {
  RunGuarded(
      ssid, [](const std::wstring& commandLine) { return RunCommandCapture(commandLine); }, StartConnectionWatch,
      kReconnectCommandLimit);
}

void RunReconnectCommandWith(std::wstring ssid, const CommandRunner& runCommand,
                             const ConnectionWatchFactory& startWatch, std::chrono::milliseconds reportLimit) noexcept {
  RunGuarded(ssid, runCommand, startWatch, reportLimit);
}

void EndConnectionReportWaits() noexcept { ++g_reportGeneration; }

std::wstring EscapeQuotedArgument(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + 8);
  size_t pending = 0;  // backslashes seen but not yet emitted
  for (const wchar_t c : text) {
    if (c == L'\\') {
      ++pending;
      continue;
    }
    if (c == L'"') {
      out.append(2 * pending + 1, L'\\');
    } else {
      out.append(pending, L'\\');
    }
    out += c;
    pending = 0;
  }
  // The closing quote the caller appends follows these.
  out.append(2 * pending, L'\\');
  return out;
}

std::wstring ReconnectCommandLine(const std::wstring& ssid) {
  return L"netsh wlan connect name=\"" + EscapeQuotedArgument(ssid) + L"\"";
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring> args;
  const size_t size = commandLine.size();
  auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  size_t i = 0;

  // The program name knows no backslash escapes: a quote only groups.
  std::wstring program;
  bool quoted = false;
  for (; i < size; ++i) {
    const wchar_t c = commandLine[i];
    if (c == L'"') {
      quoted = !quoted;
    } else if (!quoted && blank(c)) {
      break;
    } else {
      program += c;
    }
  }
  if (program.empty() && i == size) return args;
  args.push_back(std::move(program));

  for (;;) {
    while (i < size && blank(commandLine[i])) ++i;
    if (i == size) break;
    std::wstring arg;
    quoted = false;
    while (i < size && (quoted || !blank(commandLine[i]))) {
      size_t backslashes = 0;
      while (i < size && commandLine[i] == L'\\') {
        ++backslashes;
        ++i;
      }
      if (i < size && commandLine[i] == L'"') {
        arg.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
          arg += L'"';
        } else if (quoted && i + 1 < size && commandLine[i + 1] == L'"') {
          arg += L'"';  // "" inside quotes: one literal quote (parsers differ; our escaping never makes it)
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(backslashes, L'\\');
        if (i < size && (quoted || !blank(commandLine[i]))) arg += commandLine[i++];
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace moorlink
