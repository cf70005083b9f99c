#pragma once
// Starts, stops, restarts and revives monitoring. One controller per process: the monitor
// thread, the revival timer thread and their flags are process-wide. Nothing here throws;
// a thread that cannot be created is logged (category Monitor) and the program goes on.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "common/Thread.h"
#include "log/LogCategory.h"
#include "notify/NotifyKind.h"

namespace moorlink {

extern std::atomic<bool> RestartBusy;

struct ControllerPorts {
  // Body of the monitor thread; clears MonitorRunning as its last act.
  std::function<void()> MonitorRun;
  std::function<void(const std::wstring& message, const std::wstring& title, NotifyKind kind)> NotifyUser;
  LogWriterFunction WriteLog;
  // Creates a thread; may throw (std::system_error, std::bad_alloc). Empty means Thread.
  std::function<Thread(std::function<void()> body)> CreateThread;
};

// Set once, before the first StartMonitor.
void SetControllerPorts(ControllerPorts ports);

// Starts a run on a new monitor thread unless one is in progress. Not from the monitor thread.
void StartMonitor();
// Asks the run to stop, cancels a pending revival and waits for the monitor thread.
void StopMonitor();
// StopMonitor for program exit: no run starts afterwards, also not from a restart or a
// revival already under way, and no controller thread is left running or joinable. A
// reconnect command under way gets up to 2 s to write its result before the last line.
void StopMonitorForExit();
// The Windows session ends and the process may be ended at any moment after: no run starts
// any more, the running one is asked to stop, the history's open rows end now, and the
// run is given at most waitMs to write its end lines. Never waits longer; joins nothing.
void StopMonitorForSessionEnd(int64_t waitMs);
// Stop and start again on a thread of its own; returns at once.
void RestartMonitor();
// The same after a policy refresh, only while a run goes on and quietly when a restart is
// under way (a refresh may be broadcast more than once).
void RestartMonitorForPolicy();
// Arms the one-shot revival timer; false when not allowed or already armed.
bool StartRevivalTimer(int64_t seconds);
void CancelRevivalTimer();

// The revival deadline: now + seconds, saturating instead of overflowing.
int64_t RevivalDeadline(int64_t nowNs, int64_t seconds);

// Test seams: whether a monitor or timer thread object is still held, and a reset of the
// exit state between tests.
bool ControllerHoldsThreadsForTesting();
bool RevivalArmedForTesting();
void ResetControllerForTesting();

}  // namespace moorlink
