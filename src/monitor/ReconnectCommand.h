#pragma once
// The reconnect command: netsh wlan connect name="<SSID>", run hidden, its output logged in
// category Netsh. RunCommandCapture is platform code, implemented in
// ReconnectCommand_win.cpp (CreatePipe/CreateProcessW) and ReconnectCommand_posix.cpp
// (pipe/posix_spawnp, no shell). Nothing throws to the caller.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "monitor/ConnectionWatch.h"

namespace moorlink {

// How long a reconnect command may run: a stuck WLAN service can keep netsh waiting for
// good, and while it runs no other reconnect command starts.
inline constexpr std::chrono::milliseconds kReconnectCommandLimit{60'000};

// What a command printed, and whether it was ended for outlasting its limit.
struct CommandOutcome {
  std::wstring output;
  bool timedOut = false;
};

// Body of the detached reconnect thread; clears ReconnectCommandBusy on every path. No
// exception leaves it: one that left a detached thread would end the process. A command
// ended at kReconnectCommandLimit adds a Netsh error line. Then, with the flag already
// clear, it waits for what Windows reports about the connection until kReconnectCommandLimit
// after the command's start and logs it (Netsh); a newer command or the exit ends the wait
// without a line.
void RunReconnectCommand(std::wstring ssid) noexcept;

// The same body with the process runner passed in (RunCommandCapture in production), and
// the connection watch (StartConnectionWatch; none when empty) and the bound of the wait
// for its report.
using CommandRunner = std::function<CommandOutcome(const std::wstring& commandLine)>;
void RunReconnectCommandWith(std::wstring ssid, const CommandRunner& runCommand,
                             const ConnectionWatchFactory& startWatch = {},
                             std::chrono::milliseconds reportLimit = kReconnectCommandLimit) noexcept;

// Program exit: threads still waiting for a connection report leave without a line.
void EndConnectionReportWaits() noexcept;

// The text prepared to stand between a pair of double quotes on a Windows command line.
std::wstring EscapeQuotedArgument(const std::wstring& text);

// netsh wlan connect name="<escaped SSID>"
std::wstring ReconnectCommandLine(const std::wstring& ssid);

// The arguments a Windows program's C runtime reads from a command line: the program name
// up to the first blank (or between quotes), then blank-separated arguments where quotes
// group and 2n (2n+1) backslashes before a quote stand for n backslashes and a grouping
// (literal) quote. The POSIX runner starts these arguments directly, without a shell.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// Runs a command line hidden; returns its standard output and standard error, merged in
// arrival order and decoded from code page 932; empty when it cannot start or prints nothing.
// Returns within about limit: a process still running then, or still holding the output
// open through a child of its own, is ended (POSIX: its process group) and timedOut is set.
CommandOutcome RunCommandCapture(const std::wstring& commandLine,
                                 std::chrono::milliseconds limit = kReconnectCommandLimit);

}  // namespace moorlink
