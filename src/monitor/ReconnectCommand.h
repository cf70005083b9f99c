#pragma once
// The reconnect command: netsh wlan connect name="<SSID>", run hidden, its output logged in
// category Netsh. RunCommandCapture is platform code, implemented in
// ReconnectCommand_win.cpp (CreatePipe/CreateProcessW) and ReconnectCommand_posix.cpp
// (pipe/posix_spawn). Nothing throws to the caller.
#include <string>

namespace moorlink {

// Body of the detached reconnect thread; clears ReconnectCommandBusy on every path.
void RunReconnectCommand(std::wstring ssid);

// The text prepared to stand between a pair of double quotes on a Windows command line.
std::wstring EscapeQuotedArgument(const std::wstring& text);

// netsh wlan connect name="<escaped SSID>"
std::wstring ReconnectCommandLine(const std::wstring& ssid);

// Runs a command line hidden; returns its standard output and standard error, merged in
// arrival order and decoded from code page 932; empty when it cannot start or prints nothing.
std::wstring RunCommandCapture(const std::wstring& commandLine);

}  // namespace moorlink
