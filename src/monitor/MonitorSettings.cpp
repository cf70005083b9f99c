#include "monitor/MonitorSettings.h"

namespace moorlink {

MonitorSettings ReadMonitorSettings() {
  MonitorSettings s;
  s.targetSsid = TargetSSID();
  s.pingAddress = PingAddress();
  s.pingTimeoutMs = static_cast<uint32_t>(PingTimeout());
  s.pingInterval = PingInterval();
  s.reconnectInterval = ReconnectInterval();
  s.maxRetryCount = MaxRetryCount();
  s.graceSeconds = ResumeGraceSeconds();
  s.failuresBeforeReconnect = FailuresBeforeReconnect();
  s.gatewayCheck = EnableGatewayCheck();
  s.gatewayAddress = GatewayAddress();
  return s;
}

bool ReadNotifyOnReconnect() { return NotifyOnReconnect(); }

int ReadRevivalSeconds() { return EnableMonitorRevival() ? MonitorRevivalInterval() : 0; }

}  // namespace moorlink
