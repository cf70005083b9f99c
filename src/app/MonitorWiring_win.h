#pragma once
// The composition root: the one place where the ports of the monitor run, the monitor
// controller, the notification dispatcher and the speech player meet the real functions
// of this program.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "monitor/MonitorRun.h"

namespace moorlink {

class LazySpeechPlayer;
class SpeechPlayer;

// The tray and the notifications as the monitor sees them.
struct ShellPorts {
  std::function<bool(int iconId)> SetTrayIcon;
  std::function<void(const std::wstring& text)> SetTrayTip;
  std::function<void(const std::wstring& message, const std::wstring& title, NotifyKind kind)> NotifyUser;
  std::function<void(const std::wstring& message, const std::wstring& title, NotifyKind kind, const std::wstring& link)>
      NotifyUserWithLink;
};

// The monitor run's ports over the ICMP probe, the reconnect command, the Wi-Fi queries,
// the log, the clock and the revival timer, with the given tray and notifications.
MonitorPorts SystemMonitorPorts(ShellPorts shell);
// The program's tray helpers and NotifyUser.
ShellPorts ProgramShellPorts();

// Sets the controller's ports: runs over SystemMonitorPorts(ProgramShellPorts()).
void WireMonitor();
// The speech player over the Windows Runtime and, when its files lie beside the exe, the
// VOICEVOX library. The process must be in the multithreaded apartment (the main thread
// joined it); any thread may call this, as the first use of the player makes it.
std::shared_ptr<SpeechPlayer> CreateSpeechPlayer();
// The dispatcher's ports and its player; its window is the tray icon's.
void WireNotifications(std::shared_ptr<LazySpeechPlayer> speech);

}  // namespace moorlink
