#pragma once
// What a monitor run reads of the settings, as one value taken at its start: a change
// saved later takes effect in the next run (the settings sheet restarts monitoring).
#include <cstdint>
#include <string>

#include "settings/Settings.h"

namespace moorlink {

struct MonitorSettings {
  std::wstring targetSsid;
  std::wstring pingAddress;
  uint32_t pingTimeoutMs = static_cast<uint32_t>(keys::PingTimeout.defaultValue);
  int pingInterval = keys::PingInterval.defaultValue;
  int reconnectInterval = keys::ReconnectInterval.defaultValue;
  int maxRetryCount = keys::MaxRetryCount.defaultValue;
  int graceSeconds = keys::ResumeGraceSeconds.defaultValue;
  int failuresBeforeReconnect = keys::FailuresBeforeReconnect.defaultValue;
  bool gatewayCheck = keys::EnableGatewayCheck.defaultValue;
  std::wstring gatewayAddress;  // empty: the Wi-Fi adapter's default gateway
};

// From the settings file, with each key's default and clamp.
MonitorSettings ReadMonitorSettings();

// The keys read later, at the moment they are needed: NotifyOnReconnect at each
// announcement, the revival when the retry limit is reached.
bool ReadNotifyOnReconnect();
int ReadRevivalSeconds();  // 0: revival off

}  // namespace moorlink
