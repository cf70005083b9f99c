#include "monitor/SystemMonitorPorts.h"

#include <array>

#include "monitor/IcmpProbe.h"
#include "monitor/MonitorController.h"
#include "monitor/ReconnectCommand.h"
#include "monitor/WifiQueries.h"

namespace moorlink {

MonitorPorts SystemMonitorPorts(ShellPorts shell) {
  MonitorPorts p;
  p.HasWlanProfile = HasWlanProfile;
  p.GetConnectedSsid = GetConnectedSsid;
  p.GetPreferredProfileSsid = GetPreferredProfileSsid;
  p.GetWifiGateway = GetWifiGateway;
  p.InetPtonW = [](const std::wstring& text) {
    std::array<uint8_t, 4> address{};
    return ParseIPv4Address(text, address);
  };
  p.PingOnce = PingOnce;
  p.RunReconnectCommand = RunReconnectCommand;
  p.StartDetachedThread = StartDetachedThread;
  p.SetTrayIcon = std::move(shell.SetTrayIcon);
  p.SetTrayTip = std::move(shell.SetTrayTip);
  p.NotifyUser = std::move(shell.NotifyUser);
  p.WriteLog = WriteLog;
  p.StartRevivalTimer = StartRevivalTimer;
  p.Now = MonotonicNowNs;
  p.Sleep = SleepMilliseconds;
  return p;
}

}  // namespace moorlink
