#pragma once
// A scripted world for MonitorRun: a fake monotonic clock that only moves when the run
// sleeps or a failing ping waits, scripted Wi-Fi answers and pings, and a record of every
// call the run makes, stamped with the fake time.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "monitor/MonitorRun.h"

namespace moorlink::test {

inline constexpr int64_t kSecond = 1'000'000'000;
inline constexpr WallSeconds kWallAtT = 1'800'000'000;

struct Stamped {
  double at;  // seconds since the first tick's start time T
  std::wstring what;
  bool operator==(const Stamped&) const = default;
};

struct LoggedLine {
  LogCategory category;
  std::wstring title;
  std::wstring message;
  bool operator==(const LoggedLine&) const = default;
};

struct Notification {
  std::wstring message;
  std::wstring title;
  NotifyKind kind;
  std::wstring link = {};
  bool operator==(const Notification&) const = default;
};

class FakeMonitor {
 public:
  // The settings as an INI file's text would give them (its AutoReconnect section).
  explicit FakeMonitor(const std::string& ini = {});
  ~FakeMonitor();

  // Scenario.
  MonitorSettings settings;
  bool notifyOnReconnect = false;   // read at each announcement
  int revivalSeconds = 1200;        // 0: no revival
  WallSeconds wallShift = 0;        // the wall clock set forward (or back) by this much
  std::set<std::wstring> profiles;  // saved profile names, compared exactly
  std::wstring connectedSsid;
  SsidQueryResult connectedResult = SsidQueryResult::Connected;  // NotConnected when the SSID is empty
  std::vector<std::wstring> networkNames;                        // the connected networks' names, not gated
  // The WLAN service's state by whole seconds since T.
  std::function<WifiReadiness(int64_t second)> readiness = [](int64_t) { return WifiReadiness::Unknown; };
  std::wstring preferredSsid;
  std::wstring gateway;
  std::set<std::wstring> validAddresses{L"127.0.0.1", L"127.0.0.2"};
  int64_t start = 5 * 3600 * kSecond;  // the system has been up for hours
  // Whether the ping started at this many whole seconds after T is answered.
  std::function<bool(int64_t second)> answers = [](int64_t) { return true; };
  bool commandsEnd = true;                 // a command clears ReconnectCommandBusy when it ends
  int threadStartFailures = 0;             // how many thread starts fail first
  std::function<void()> threadStartThrow;  // a failing start calls this (to throw) before returning false
  int trayIconFailures = 0;                // how many SetTrayIcon calls fail first
  // Called after every sleep with the seconds since T; may set StopRequested or change settings.
  std::function<void(double second)> afterSleep;
  std::function<void()> onPing;
  // Set: the gateway check's echo (by whole seconds since T) and Windows' view.
  std::function<bool(int64_t second)> gatewayAnswers;
  std::function<WindowsView(int64_t second)> windowsView;

  // Records.
  std::vector<Stamped> pings;     // target
  std::vector<Stamped> launches;  // ssid passed to the command
  std::vector<Stamped> gatewayPings;
  std::vector<Stamped> icons;  // "100", ... for every SetTrayIcon call
  std::vector<std::wstring> tips;
  std::vector<LoggedLine> logs;
  std::vector<Notification> notifications;
  std::vector<NotableEvent> events;  // for the Event Log
  std::vector<int64_t> revivalTimers;
  std::vector<OutageRecord> outages;  // rows recorded; wall time is 1'800'000'000 + seconds since T
  std::vector<MonitoredSpan> spans;
  std::vector<std::wstring> order;  // every outward call, in order, by a short name
  double endedAt = -1;              // time of the last recorded call
  int sleeps = 0;                   // the run's calls of Sleep

  MonitorPorts Ports();
  // Runs MonitorRun with MonitorRunning set as the controller would.
  void Run();
  double Seconds() const { return static_cast<double>(now_ - start) / kSecond; }
  int64_t NowNs() const { return now_; }
  void Advance(int64_t ns) { now_ += ns; }  // the clock jumps, as over a sleep

  std::vector<std::wstring> LogTitles() const;

 private:
  int64_t now_ = 0;
  int steps_ = 0;
};

}  // namespace moorlink::test
