#pragma once
// The reconnect command: netsh wlan connect name="<SSID>", run hidden, its output logged in
// category Netsh. RunCommandCapture is platform code, implemented in
// ReconnectCommand_win.cpp (CreatePipe/CreateProcessW) and ReconnectCommand_posix.cpp
// (pipe/posix_spawnp, no shell). Nothing throws to the caller.
#include <functional>
#include <string>
#include <vector>

namespace moorlink {

// Body of the detached reconnect thread; clears ReconnectCommandBusy on every path. No
// exception leaves it: one that left a detached thread would end the process.
void RunReconnectCommand(std::wstring ssid) noexcept;

// The same body with the process runner passed in (RunCommandCapture in production).
using CommandRunner = std::function<std::wstring(const std::wstring& commandLine)>;
void RunReconnectCommandWith(std::wstring ssid, const CommandRunner& runCommand) noexcept;

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
std::wstring RunCommandCapture(const std::wstring& commandLine);

}  // namespace moorlink
