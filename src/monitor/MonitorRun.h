#pragma once
// One monitor run: choose the reconnect SSID and the ping target, then tick once a second,
// ping when due and launch reconnect commands until the retry limit or a stop request.
// The run reaches the OS, the tray, notifications and the clock only through MonitorPorts.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include <vector>

#include <optional>

#include "log/History.h"
#include "log/LogCategory.h"
#include "monitor/WifiQueries.h"
#include "notify/NotifyKind.h"

namespace moorlink {

// Process-wide flags shared with the controller and the reconnect command runner.
extern std::atomic<bool> MonitorRunning;
extern std::atomic<bool> StopRequested;
extern std::atomic<bool> ReconnectCommandBusy;
// Set by the program's exit before it stops the run: an outage open then ended by the exit.
extern std::atomic<bool> ExitRequested;
// The system's power state, from the window's power messages (set on the UI thread, read
// by the run): true from the suspend notice to the next resume notice.
extern std::atomic<bool> SystemSuspended;
// MonotonicNowNs at the latest resume notice; 0 until the first one.
extern std::atomic<int64_t> LastResumeNs;
// Set once the user has been told how to allow location access: once per program start.
extern std::atomic<bool> LocationNoticeGiven;

inline constexpr const wchar_t* kLocationSettingsUri = L"ms-settings:privacy-location";
// How often a run that found no network yet asks again.
inline constexpr int kWifiWaitSeconds = 30;

inline constexpr int kIconMonitoring = 100;
inline constexpr int kIconReconnecting = 101;
inline constexpr int kIconStopped = 102;

struct MonitorPorts {
  std::function<bool(const std::wstring& name)> HasWlanProfile;
  std::function<SsidQuery()> GetConnectedSsid;
  std::function<std::wstring()> GetPreferredProfileSsid;
  std::function<std::wstring()> GetWifiGateway;
  // Optional (absent: nothing found, readiness unknown, NotifyUser without the link).
  std::function<std::vector<std::wstring>()> GetConnectedNetworkNames;
  std::function<WifiReadiness()> QueryWifiReadiness;
  // 1 for a valid IPv4 address in strict dotted-decimal form.
  std::function<int(const std::wstring& text)> InetPtonW;
  std::function<bool(const std::wstring& target, uint32_t timeoutMs)> PingOnce;
  // Must clear ReconnectCommandBusy when it ends, on every path.
  std::function<void(std::wstring ssid)> RunReconnectCommand;
  // Runs the function on a new detached thread; false (or a throw) when no thread could be started.
  std::function<bool(std::function<void()> body)> StartDetachedThread;
  std::function<bool(int iconId)> SetTrayIcon;
  std::function<void(const std::wstring& text)> SetTrayTip;
  std::function<void(const std::wstring& message, const std::wstring& title, NotifyKind kind)> NotifyUser;
  // The same, and a click on its balloon opens the link.
  std::function<void(const std::wstring& message, const std::wstring& title, NotifyKind kind, const std::wstring& link)>
      NotifyUserWithLink;
  std::function<void(LogCategory, const std::wstring& title, const std::wstring& message)> WriteLog;
  std::function<bool(int64_t seconds)> StartRevivalTimer;
  // The outage history (optional): the wall clock, rows as they end, what is still open.
  std::function<WallSeconds()> WallNow;
  std::function<void(const OutageRecord&)> RecordOutage;
  std::function<void(const MonitoredSpan&)> RecordSpan;
  std::function<void(std::optional<OutageRecord>, int64_t startNs)> SetOpenOutage;
  std::function<void(std::optional<MonitoredSpan>, int64_t startNs)> SetOpenSpan;
  // Monotonic time in nanoseconds, zero at system start.
  std::function<int64_t()> Now;
  std::function<void(uint32_t ms)> Sleep;
};

// The body of the monitor thread. Clears MonitorRunning as its last act, on every path.
void MonitorRun(const MonitorPorts& ports) noexcept;

// An outage still open when its run stopped at the retry limit goes on into the next run
// (a revival or a restart); at program exit, after the last run, it ends here.
void EndCarriedOutage(OutageEnd how) noexcept;

// Called by the window on the power messages.
void NoteSystemSuspend();
void NoteSystemResume();

// The standard clock pieces of the ports (monotonic clock, sleep).
int64_t MonotonicNowNs();
void SleepMilliseconds(uint32_t ms);

}  // namespace moorlink
