#include "app/MonitorWiring_win.h"

#include <array>

#include "app/TrayIcon_win.h"
#include "common/PathHelpers.h"
#include "common/Thread.h"
#include "log/LogWriter.h"
#include "monitor/IcmpProbe.h"
#include "monitor/MonitorController.h"
#include "monitor/ReconnectCommand.h"
#include "monitor/WifiQueries.h"
#include "notify/Notify_win.h"
#include "resources/resource.h"
#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"
#include "speech/WindowsSpeech_win.h"

namespace moorlink {

// The run names the tray's icons by their resource IDs.
static_assert(kIconMonitoring == IDI_MONITORING && kIconReconnecting == IDI_RECONNECTING &&
              kIconStopped == IDI_STOPPED);
static_assert(kIconInternet == IDI_INTERNET);

MonitorPorts SystemMonitorPorts(ShellPorts shell) {
  MonitorPorts p;
  p.HasWlanProfile = HasWlanProfile;
  p.GetConnectedSsid = GetConnectedSsid;
  p.GetPreferredProfileSsid = GetPreferredProfileSsid;
  p.GetWifiGateway = GetWifiGateway;
  p.GetConnectedNetworkNames = GetConnectedNetworkNames;
  p.QueryWifiReadiness = QueryWifiReadiness;
  p.InetPtonW = [](const std::wstring& text) {
    std::array<uint8_t, 4> address{};
    return ParseIPv4Address(text, address);
  };
  p.PingOnce = PingOnce;
  p.PingGateway = [](const std::wstring& gateway, uint32_t timeoutMs) {
    return PingOnceFrom(GetWifiSourceAddress(), gateway, timeoutMs);
  };
  p.QueryWindowsView = QueryWifiWindowsView;
  p.RunReconnectCommand = RunReconnectCommand;
  p.StartDetachedThread = StartDetachedThread;
  p.SetTrayIcon = std::move(shell.SetTrayIcon);
  p.SetTrayTip = std::move(shell.SetTrayTip);
  p.NotifyUser = std::move(shell.NotifyUser);
  p.NotifyUserWithLink = std::move(shell.NotifyUserWithLink);
  p.WriteLog = WriteLog;
  p.ReportEvent = [](EventId id, NotifyKind level, std::wstring message, std::vector<std::wstring> facts) {
    ReportNotableEvent(id, level, std::move(message), std::move(facts));
  };
  p.StartRevivalTimer = StartRevivalTimer;
  p.NotifyOnReconnect = ReadNotifyOnReconnect;
  p.RevivalSeconds = ReadRevivalSeconds;
  p.History = StoreHistoryPorts();
  p.Now = MonotonicNowNs;
  p.WatchNetwork = [] { return StartNetworkWatch(NoteNetworkChange); };
  p.Sleep = [](uint32_t ms) { SleepUntilWoken(ProcessRunSignals, ms); };
  return p;
}

ShellPorts ProgramShellPorts() {
  ShellPorts shell;
  shell.SetTrayIcon = SetTrayIcon;
  shell.SetTrayTip = [](const std::wstring& text) { SetTrayTip(text); };
  shell.NotifyUser = NotifyUser;
  shell.NotifyUserWithLink = NotifyUserWithLink;
  return shell;
}

void WireMonitor() {
  ControllerPorts controller;
  // The settings are read as each run starts, so that a saved change takes effect in the next one.
  controller.MonitorRun = [ports = SystemMonitorPorts(ProgramShellPorts())] {
    MonitorRun(ports, ReadMonitorSettings(), ProcessRunSignals, ProcessOutageBook());
  };
  controller.NotifyUser = NotifyUser;
  controller.WriteLog = WriteLog;
  SetControllerPorts(std::move(controller));
}

std::shared_ptr<SpeechPlayer> CreateSpeechPlayer() {
  return std::make_shared<SpeechPlayer>(CreateWindowsSpeechBackend(), ExeFolderPath(), BindVoicevoxLibrary, WriteLog);
}

void WireNotifications(std::shared_ptr<LazySpeechPlayer> speech) {
  SetNotifyPorts(WindowsNotifyPorts());
  RegisterSpeechPlayer(std::move(speech));
}

}  // namespace moorlink
