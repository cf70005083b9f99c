#pragma once
// The monitor run's ports wired to the real operations of this program: the ICMP probe,
// the reconnect command, the Wi-Fi queries, the log, the clock and the revival timer.
// The tray and the notifications belong to the window and come from the caller.
// Built for Windows only (SystemMonitorPorts_win.cpp): the Wi-Fi queries need the WLAN API.
#include <functional>
#include <string>

#include "monitor/MonitorRun.h"

namespace moorlink {

struct ShellPorts {
  std::function<bool(int iconId)> SetTrayIcon;
  std::function<void(const std::wstring& text)> SetTrayTip;
  std::function<void(const std::wstring& message, const std::wstring& title, NotifyKind kind)> NotifyUser;
};

MonitorPorts SystemMonitorPorts(ShellPorts shell);

}  // namespace moorlink
