#pragma once
// One monitor run: choose the reconnect SSID and the ping target, then tick when something
// is due (a ping, the end of a grace, a checkpoint) or when woken (stop, power, a change of
// the Wi-Fi connection), and launch reconnect commands until the retry limit or a stop
// request. The run reaches the OS, the tray, notifications and the clock only through
// MonitorPorts.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "log/EventLog.h"
#include "log/History.h"
#include "log/LogCategory.h"
#include "monitor/MonitorSettings.h"
#include "monitor/NetworkWatch.h"
#include "monitor/OutageBook.h"
#include "monitor/Remedy.h"
#include "monitor/WifiQueries.h"
#include "notify/NotifyKind.h"

namespace moorlink {

// The process-wide flags a run reads, in one object it is handed.
struct RunSignals {
  // Set by the controller's stop; the run only reads it.
  std::atomic<bool> stopRequested{false};
  // Set by the program's exit before it stops the run: an outage open then ended by the exit.
  std::atomic<bool> exitRequested{false};
  // The system's power state, from the window's power messages: true from the suspend
  // notice to the next resume notice.
  std::atomic<bool> suspended{false};
  // MonotonicNowNs at the latest resume notice; 0 until the first one.
  std::atomic<int64_t> lastResumeNs{0};
  // Counts the changes of the Wi-Fi connection Windows told of; each makes a ping due.
  std::atomic<uint32_t> networkChanges{0};
  // Set by WakeRun, taken by the run's sleep.
  std::atomic<bool> wakePending{false};
};
extern RunSignals ProcessRunSignals;

// Process-wide flags shared with the controller and the reconnect command runner; the
// references are ProcessRunSignals' members under their long-standing names.
extern std::atomic<bool> MonitorRunning;
extern std::atomic<bool>& StopRequested;
extern std::atomic<bool>& ExitRequested;
extern std::atomic<bool>& SystemSuspended;
extern std::atomic<int64_t>& LastResumeNs;
extern std::atomic<bool> ReconnectCommandBusy;
// Set once the user has been told how to allow location access: once per program start.
extern std::atomic<bool> LocationNoticeGiven;

inline constexpr const wchar_t* kLocationSettingsUri = L"ms-settings:privacy-location";
// What Windows itself opens for a network's sign-in page.
inline constexpr const wchar_t* kSignInPageUri = L"http://www.msftconnecttest.com/redirect";
// How often a run that found no network yet asks again.
inline constexpr int kWifiWaitSeconds = 30;

inline constexpr int kIconMonitoring = 100;
inline constexpr int kIconReconnecting = 101;
inline constexpr int kIconStopped = 102;
// The router answers, the internet behind it does not (or the network wants a sign-in).
inline constexpr int kIconInternet = 103;

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
  // Optional: one echo to the gateway sent from the Wi-Fi adapter's own address, so that
  // no other adapter answers for it (absent: no link check).
  std::function<bool(const std::wstring& gateway, uint32_t timeoutMs)> PingGateway;
  // Optional: what Windows reports for the Wi-Fi connection (absent: Unknown).
  std::function<WindowsView()> QueryWindowsView;
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
  LogWriterFunction WriteLog;
  // Optional: the notable events for the Windows Event Log (ReportNotableEvent).
  std::function<void(EventId id, NotifyKind level, std::wstring message, std::vector<std::wstring> facts)> ReportEvent;
  std::function<bool(int64_t seconds)> StartRevivalTimer;
  // The keys read when they are needed (absent: the settings file's).
  std::function<bool()> NotifyOnReconnect;
  std::function<int()> RevivalSeconds;  // 0: no revival
  // The outage history (optional): the wall clock and the rows as they end.
  HistoryPorts History;
  // Optional: watches the Wi-Fi connection for the run's length, calling NoteNetworkChange
  // on every change Windows reports (absent or null: none is watched).
  std::function<std::unique_ptr<NetworkWatch>()> WatchNetwork;
  // Monotonic time in nanoseconds, zero at system start.
  std::function<int64_t()> Now;
  // Sleeps up to ms; may return sooner once the run is woken (SleepUntilWoken).
  std::function<void(uint32_t ms)> Sleep;
};

// The body of the monitor thread. Clears MonitorRunning as its last act, on every path.
void MonitorRun(const MonitorPorts& ports, const MonitorSettings& settings, RunSignals& signals,
                OutageBook& book) noexcept;
// The same with the settings file read now, the process's signals and its book.
void MonitorRun(const MonitorPorts& ports) noexcept;

// An outage still open when its run stopped at the retry limit goes on into the next run
// (a revival or a restart); at program exit, after the last run, it ends here.
void EndCarriedOutage(OutageEnd how) noexcept;

// Called by the window on the power messages, with the monotonic time they came at: the
// history ends what is open at the suspend at once, whenever the run's next tick comes.
void NoteSystemSuspend(int64_t atNs);
void NoteSystemResume(int64_t atNs);

// Wakes the run from its sleep; whoever changes a signal calls it after the change.
void WakeRun(RunSignals& signals) noexcept;
// Sleeps up to ms, returning as soon as WakeRun is called (or was, since the last return).
void SleepUntilWoken(RunSignals& signals, uint32_t ms) noexcept;
// Windows told of a change of the Wi-Fi connection: the process's run pings within a second.
void NoteNetworkChange() noexcept;

// The standard clock pieces of the ports (monotonic clock, sleep).
int64_t MonotonicNowNs();
void SleepMilliseconds(uint32_t ms) noexcept;

}  // namespace moorlink
