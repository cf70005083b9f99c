#include "monitor/MonitorController.h"

#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

#include "common/Thread.h"
#include "log/LogTexts.h"
#include "monitor/MonitorRun.h"
#include "monitor/MonitorTexts.h"

namespace moorlink {

std::atomic<bool> RestartBusy{false};

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;
constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kLongestWaitMs = 86'400'000;  // one day per wait round
// How often a due revival looks again whether the run that armed it has finished.
constexpr std::chrono::milliseconds kFinishingPoll{10};
// A reconnect command under way at exit writes its result line before the program's last:
// waited for this long at most (netsh may hang).
constexpr int64_t kCommandEndWaitMs = 2000;

// Made once and never destroyed, like the log writer's state: a thread still running (or
// still joinable) when the process exits must not meet destroyed objects, and a joinable
// thread object destroyed at exit would detach a thread that may still use it.
ControllerPorts& g_ports = *new ControllerPorts;

// Guards the monitor thread object and the exit state. Held only for moments, never
// during a join and never together with the revival lock.
std::mutex& g_monitorLock = *new std::mutex;
Thread& g_monitorThread = *new Thread;
bool g_exiting = false;

// Guards the revival fields and the timer thread object; the timer waits with it.
std::mutex& g_revivalLock = *new std::mutex;
std::condition_variable& g_revivalSignal = *new std::condition_variable;
bool g_revivalAllowed = true;
bool g_revivalArmed = false;
// Each armed timer has a generation; a cancel (or a newer timer) moves it on, so a
// cancelled timer that has not yet woken can never be taken for the newer one.
uint64_t g_revivalGeneration = 0;
Thread& g_timerThread = *new Thread;

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void LogError(const std::wstring& message) {
  try {
    if (g_ports.WriteLog) g_ports.WriteLog(LogCategory::Monitor, kErrorTitle, message);
  } catch (...) {
  }
}

Thread NewThread(std::function<void()> body) {
  if (g_ports.CreateThread) return g_ports.CreateThread(std::move(body));
  return Thread(std::move(body));
}

void JoinOrDetach(Thread& t) {
  if (!t.Joinable()) return;
  try {
    if (t.IsCurrent()) {
      t.Detach();
    } else {
      t.Join();
    }
  } catch (const std::system_error&) {
    // A failed join leaves the thread running; it is let go rather than waited for again.
    t.Detach();
    LogError(kJoinFailedMessage);
  }
}

void MonitorThreadBody() {
  try {
    if (g_ports.MonitorRun) {
      g_ports.MonitorRun();
    } else {
      MonitorRunning.store(false);
    }
  } catch (...) {
    MonitorRunning.store(false);
  }
}

void TimerWait(int64_t seconds, uint64_t generation) {
  std::unique_lock<std::mutex> lock(g_revivalLock);
  const int64_t deadline = RevivalDeadline(Now(), seconds);
  for (;;) {
    if (g_revivalGeneration != generation) return;  // cancelled
    const int64_t now = Now();
    if (now >= deadline) {
      // The run that armed this timer clears MonitorRunning only as its very last act;
      // a revival due before then waits for it instead of being lost. Any other start
      // cancels this timer, which ends the wait.
      if (!MonitorRunning.load()) break;
      g_revivalSignal.wait_for(lock, kFinishingPoll);
      continue;
    }
    const int64_t remainingMs = std::min<int64_t>((deadline - now + kNsPerMs - 1) / kNsPerMs, kLongestWaitMs);
    g_revivalSignal.wait_for(lock, std::chrono::milliseconds(remainingMs));
  }
  g_revivalArmed = false;
  lock.unlock();
  StartMonitor();
}

void TimerBody(int64_t seconds, uint64_t generation) noexcept {
  try {
    TimerWait(seconds, generation);
  } catch (...) {
    // Nothing may escape a thread body. Unarmed, the next run can arm a new timer.
    try {
      std::lock_guard<std::mutex> lock(g_revivalLock);
      if (g_revivalGeneration == generation) g_revivalArmed = false;
    } catch (...) {
    }
  }
}

void RestartBody() noexcept {
  try {
    StopMonitor();
    StartMonitor();
  } catch (...) {
    // Nothing may escape a thread body; the flag below is cleared either way.
  }
  RestartBusy.store(false);
}

}  // namespace

int64_t RevivalDeadline(int64_t nowNs, int64_t seconds) {
  if (seconds <= 0) return nowNs;
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  if (seconds > (kMax - nowNs) / kNsPerSecond) return kMax;
  return nowNs + seconds * kNsPerSecond;
}

void SetControllerPorts(ControllerPorts ports) { g_ports = std::move(ports); }

void StartMonitor() {
  bool expected = false;
  if (!MonitorRunning.compare_exchange_strong(expected, true)) return;

  Thread previous;
  {
    std::lock_guard<std::mutex> lock(g_monitorLock);
    if (g_exiting) {
      MonitorRunning.store(false);
      return;
    }
    previous = std::move(g_monitorThread);
  }
  JoinOrDetach(previous);  // the previous run has finished: it cleared MonitorRunning

  CancelRevivalTimer();
  {
    std::lock_guard<std::mutex> lock(g_revivalLock);
    g_revivalAllowed = true;
  }
  StopRequested.exchange(false);

  bool created = false;
  {
    std::lock_guard<std::mutex> lock(g_monitorLock);
    if (g_exiting) {
      MonitorRunning.store(false);
      return;
    }
    try {
      g_monitorThread = NewThread(MonitorThreadBody);
      created = true;
    } catch (...) {
      // Out of memory as much as out of threads: the next start must be able to try again.
      MonitorRunning.store(false);
    }
  }
  // Logged outside the lock: no code holds two locks at once.
  if (!created) LogError(kMonitorThreadFailedMessage);
}

void StopMonitor() {
  StopRequested.exchange(true);
  WakeRun(ProcessRunSignals);
  CancelRevivalTimer();
  // A revival that was starting a run while we cancelled has finished its start by now
  // (the cancel joined its thread) and cleared the request: ask again.
  StopRequested.exchange(true);
  WakeRun(ProcessRunSignals);
  Thread run;
  {
    std::lock_guard<std::mutex> lock(g_monitorLock);
    run = std::move(g_monitorThread);
  }
  JoinOrDetach(run);
}

void StopMonitorForExit() {
  {
    std::lock_guard<std::mutex> lock(g_monitorLock);
    g_exiting = true;
  }
  ExitRequested.store(true);
  StopMonitor();
  // A restart thread may hold the run it took over; it finishes quickly now that nothing
  // can start, and it must not outlive the objects it uses.
  while (RestartBusy.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  StopMonitor();
  const int64_t deadline = Now() + kCommandEndWaitMs * kNsPerMs;
  while (ReconnectCommandBusy.load() && Now() < deadline) std::this_thread::sleep_for(kFinishingPoll);
}

void StopMonitorForSessionEnd(int64_t waitMs) {
  {
    std::lock_guard<std::mutex> lock(g_monitorLock);
    g_exiting = true;
  }
  {
    std::lock_guard<std::mutex> lock(g_revivalLock);
    g_revivalAllowed = false;
    ++g_revivalGeneration;  // a pending revival wakes and ends without starting a run
    g_revivalArmed = false;
    g_revivalSignal.notify_all();
  }
  ExitRequested.store(true);
  StopRequested.store(true);
  WakeRun(ProcessRunSignals);
  ProcessOutageBook().EndSession(Now());
  const int64_t deadline = Now() + waitMs * kNsPerMs;
  while ((MonitorRunning.load() || ReconnectCommandBusy.load()) && Now() < deadline) {
    std::this_thread::sleep_for(kFinishingPoll);
  }
}

namespace {
// False when a restart is under way already.
bool BeginRestart() {
  bool expected = false;
  if (!RestartBusy.compare_exchange_strong(expected, true)) return false;
  bool started = false;
  try {
    NewThread(RestartBody).Detach();
    started = true;
  } catch (...) {
  }
  if (!started) {
    RestartBusy.store(false);
    LogError(kRestartThreadFailedMessage);
  }
  return true;
}
}  // namespace

void RestartMonitorForPolicy() {
  // A stopped monitor stays stopped; a restart under way reads the new values anyway.
  if (MonitorRunning.load()) BeginRestart();
}

void RestartMonitor() {
  if (BeginRestart()) return;
  try {
    if (g_ports.NotifyUser) {
      g_ports.NotifyUser(kRestartBusyMessage, kRestartBusyTitle, NotifyKind::Error);
    }
  } catch (...) {
  }
}

bool StartRevivalTimer(int64_t seconds) {
  Thread previous;
  bool created = false;
  {
    std::lock_guard<std::mutex> lock(g_revivalLock);
    if (!g_revivalAllowed || g_revivalArmed) return false;
    g_revivalArmed = true;
    const uint64_t generation = ++g_revivalGeneration;
    previous = std::move(g_timerThread);
    try {
      g_timerThread = NewThread([seconds, generation] { TimerBody(seconds, generation); });
      created = true;
    } catch (...) {
      g_revivalArmed = false;
    }
  }
  // An earlier timer has done its work by now; join it outside the lock it may still take.
  JoinOrDetach(previous);
  if (!created) LogError(kRevivalThreadFailedMessage);
  return created;
}

void CancelRevivalTimer() {
  Thread timer;
  {
    std::lock_guard<std::mutex> lock(g_revivalLock);
    g_revivalAllowed = false;
    if (g_revivalArmed) {
      ++g_revivalGeneration;
      g_revivalSignal.notify_all();
      g_revivalArmed = false;
    }
    timer = std::move(g_timerThread);
  }
  JoinOrDetach(timer);
}

bool ControllerHoldsThreadsForTesting() {
  bool held = false;
  {
    std::lock_guard<std::mutex> lock(g_monitorLock);
    held = g_monitorThread.Joinable();
  }
  std::lock_guard<std::mutex> lock(g_revivalLock);
  return held || g_timerThread.Joinable();
}

bool RevivalArmedForTesting() {
  std::lock_guard<std::mutex> lock(g_revivalLock);
  return g_revivalArmed;
}

void ResetControllerForTesting() {
  StopMonitorForExit();
  std::lock_guard<std::mutex> lock(g_monitorLock);
  g_exiting = false;
  ExitRequested.store(false);
}

}  // namespace moorlink
