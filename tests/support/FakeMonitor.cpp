#include "support/FakeMonitor.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "common/Text.h"
#include "settings/ProfileText.h"

namespace moorlink::test {

FakeMonitor::FakeMonitor(const std::string& ini) {
  const std::wstring text = Utf8ToWide(ini);
  auto find = [&](const auto& key) { return ProfileLookup(text, key.section, key.key); };
  auto number = [&](const IntSetting& key) {
    const auto value = find(key);
    return value ? ClampSetting(key, ProfileParseInt(*value)) : key.defaultValue;
  };
  auto flag = [&](const BoolSetting& key) {
    const auto value = find(key);
    return value ? ParseSettingBool(*value) : key.defaultValue;
  };
  settings.targetSsid = find(keys::TargetSSID).value_or(L"");
  settings.pingAddress = find(keys::PingAddress).value_or(L"");
  settings.pingTimeoutMs = static_cast<uint32_t>(number(keys::PingTimeout));
  settings.pingInterval = number(keys::PingInterval);
  settings.reconnectInterval = number(keys::ReconnectInterval);
  settings.maxRetryCount = number(keys::MaxRetryCount);
  settings.graceSeconds = number(keys::ResumeGraceSeconds);
  settings.failuresBeforeReconnect = number(keys::FailuresBeforeReconnect);
  settings.gatewayCheck = flag(keys::EnableGatewayCheck);
  settings.gatewayAddress = find(keys::GatewayAddress).value_or(L"");
  notifyOnReconnect = flag(keys::NotifyOnReconnect);
  revivalSeconds = flag(keys::EnableMonitorRevival) ? number(keys::MonitorRevivalInterval) : 0;
  StopRequested.store(false);
  ReconnectCommandBusy.store(false);
  SystemSuspended.store(false);
  LastResumeNs.store(0);
  LocationNoticeGiven.store(false);
  ProcessRunSignals.wakePending.store(false);
}

FakeMonitor::~FakeMonitor() {
  ProcessOutageBook().Reset();  // it holds ports that point here
  StopRequested.store(false);
  ReconnectCommandBusy.store(false);
  MonitorRunning.store(false);
  SystemSuspended.store(false);
  LastResumeNs.store(0);
  LocationNoticeGiven.store(false);
}

MonitorPorts FakeMonitor::Ports() {
  MonitorPorts p;
  p.HasWlanProfile = [this](const std::wstring& name) { return profiles.count(name) > 0; };
  p.GetConnectedSsid = [this] {
    order.push_back(L"connected?");
    const bool plain = connectedResult == SsidQueryResult::Connected;
    return SsidQuery{plain && connectedSsid.empty() ? SsidQueryResult::NotConnected : connectedResult,
                     plain ? connectedSsid : std::wstring()};
  };
  p.GetConnectedNetworkNames = [this] { return networkNames; };
  p.QueryWifiReadiness = [this] { return readiness(static_cast<int64_t>(Seconds())); };
  p.GetPreferredProfileSsid = [this] { return preferredSsid; };
  p.GetWifiGateway = [this] { return gateway; };
  p.InetPtonW = [this](const std::wstring& text) { return validAddresses.count(text) ? 1 : 0; };
  p.PingOnce = [this](const std::wstring& target, uint32_t timeoutMs) {
    order.push_back(L"ping");
    pings.push_back({Seconds(), target});
    if (onPing) onPing();
    const bool ok = answers(static_cast<int64_t>(Seconds()));
    if (!ok) now_ += static_cast<int64_t>(timeoutMs) * 1'000'000;
    return ok;
  };
  if (gatewayAnswers) {
    p.PingGateway = [this](const std::wstring& gateway, uint32_t timeoutMs) {
      gatewayPings.push_back({Seconds(), gateway});
      const bool ok = gatewayAnswers(static_cast<int64_t>(Seconds()));
      if (!ok) now_ += static_cast<int64_t>(timeoutMs) * 1'000'000;
      return ok;
    };
  }
  if (windowsView) p.QueryWindowsView = [this] { return windowsView(static_cast<int64_t>(Seconds())); };
  p.RunReconnectCommand = [this](std::wstring ssid) {
    launches.push_back({Seconds(), ssid});
    if (commandsEnd) ReconnectCommandBusy.store(false);
  };
  p.StartDetachedThread = [this](std::function<void()> body) {
    if (threadStartFailures > 0) {
      --threadStartFailures;
      if (threadStartThrow) threadStartThrow();
      return false;
    }
    body();  // the command "runs" at once
    return true;
  };
  p.SetTrayIcon = [this](int id) {
    order.push_back(L"icon " + std::to_wstring(id));
    icons.push_back({Seconds(), std::to_wstring(id)});
    if (trayIconFailures > 0) {
      --trayIconFailures;
      return false;
    }
    return true;
  };
  p.SetTrayTip = [this](const std::wstring& text) {
    order.push_back(L"tip");
    tips.push_back(text);
  };
  p.NotifyUser = [this](const std::wstring& message, const std::wstring& title, NotifyKind kind) {
    order.push_back(L"notify " + title);
    notifications.push_back({message, title, kind});
  };
  p.NotifyUserWithLink = [this](const std::wstring& message, const std::wstring& title, NotifyKind kind,
                                const std::wstring& link) {
    order.push_back(L"notify " + title);
    notifications.push_back({message, title, kind, link});
  };
  p.WriteLog = [this](LogCategory category, const std::wstring& title, const std::wstring& message) {
    order.push_back(L"log " + title);
    logs.push_back({category, title, message});
    endedAt = Seconds();
  };
  p.ReportEvent = [this](EventId id, NotifyKind level, std::wstring message, std::vector<std::wstring> facts) {
    facts.insert(facts.begin(), std::move(message));
    events.push_back({id, level, std::move(facts)});
  };
  p.StartRevivalTimer = [this](int64_t seconds) {
    order.push_back(L"revival");
    revivalTimers.push_back(seconds);
    return true;
  };
  p.NotifyOnReconnect = [this] { return notifyOnReconnect; };
  p.RevivalSeconds = [this] { return revivalSeconds; };
  p.History.WallNow = [this] { return kWallAtT + wallShift + static_cast<WallSeconds>(Seconds()); };
  p.History.RecordOutage = [this](const OutageRecord& row) { outages.push_back(row); };
  p.History.RecordSpan = [this](const MonitoredSpan& span) { spans.push_back(span); };
  p.Now = [this] { return now_; };
  // A second at a time, so that afterSleep sees every second; it returns early, as the
  // real sleep does, once woken or once a signal the test set directly has changed.
  p.Sleep = [this](uint32_t ms) {
    ++sleeps;
    auto signals = [] { return std::tuple(StopRequested.load(), SystemSuspended.load(), LastResumeNs.load()); };
    const auto before = signals();
    // The end is a point in time: a clock that jumped past it (a sleep) ends the wait.
    for (const int64_t end = now_ + ms * int64_t{1'000'000}; now_ < end;) {
      now_ += std::min(end - now_, kSecond);
      // A run that never ends would hang the test: stop it after a simulated day.
      if (++steps_ > 100'000) StopRequested.store(true);
      if (afterSleep) afterSleep(Seconds());
      if (ProcessRunSignals.wakePending.exchange(false) || signals() != before) return;
    }
  };
  return p;
}

void FakeMonitor::Run() {
  now_ = start;
  MonitorRunning.store(true);
  const MonitorPorts ports = Ports();
  MonitorRun(ports, settings, ProcessRunSignals, ProcessOutageBook());
}

std::vector<std::wstring> FakeMonitor::LogTitles() const {
  std::vector<std::wstring> titles;
  for (const LoggedLine& l : logs) titles.push_back(l.title);
  return titles;
}

}  // namespace moorlink::test
