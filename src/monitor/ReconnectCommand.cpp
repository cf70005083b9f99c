#include "monitor/ReconnectCommand.h"

#include "log/LogWriter.h"
#include "monitor/MonitorRun.h"

namespace moorlink {
namespace {

// Clears the busy flag once, whichever way the thread body ends.
class BusyFlagRelease {
 public:
  BusyFlagRelease() = default;
  ~BusyFlagRelease() { ReconnectCommandBusy.exchange(false); }
  BusyFlagRelease(const BusyFlagRelease&) = delete;
  BusyFlagRelease& operator=(const BusyFlagRelease&) = delete;
};

template <typename Runner>
void RunGuarded(const std::wstring& ssid, const Runner& runCommand) noexcept {
  BusyFlagRelease release;
  try {
    if (ssid.empty()) {
      WriteLog(LogCategory::Netsh, L"エラー", L"SSID が設定されていません。");
      return;
    }
    const std::wstring commandLine = ReconnectCommandLine(ssid);
    const CommandOutcome outcome = runCommand(commandLine);
    WriteLog(LogCategory::Netsh, outcome.output, commandLine);
    if (outcome.timedOut) {
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kReconnectCommandLimit).count();
      WriteLog(LogCategory::Netsh, L"エラー",
               L"netshコマンドが" + std::to_wstring(seconds) + L"秒以内に終了しなかったため、強制終了しました。");
    }
  } catch (...) {
    // Nothing to report to: the caller is a detached thread. The flag is released above.
  }
}

}  // namespace

void RunReconnectCommand(std::wstring ssid) noexcept {
  RunGuarded(ssid, [](const std::wstring& commandLine) { return RunCommandCapture(commandLine); });
}

void RunReconnectCommandWith(std::wstring ssid, const CommandRunner& runCommand) noexcept {
  RunGuarded(ssid, runCommand);
}

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
