#pragma once
// The outage history's bookkeeping: the open outage, the open span of monitoring and the
// outage carried across a stop at the retry limit. The monitor run and the window tell it
// what happened; it alone decides the rows and hands them to the history store. Lengths
// are taken on the monotonic clock (the wall clock only names a row's start), so a clock
// set back or forward changes no length. Thread-safe: the run ticks on the monitor thread
// while the power notices and the end of the Windows session come on the window's thread.
// Rows are handed to the store outside the book's lock. Nothing here throws.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "log/History.h"

namespace moorlink {

struct HistoryPorts {
  std::function<WallSeconds()> WallNow;
  std::function<void(const OutageRecord&)> RecordOutage;
  std::function<void(const MonitoredSpan&)> RecordSpan;
};
// The process's: the wall clock and the history store.
HistoryPorts StoreHistoryPorts();

struct OutageSummary {
  int64_t seconds = 0;
  int reconnects = 0;
  OutageKind kind = OutageKind::WiFi;
};

// The open span is closed and reopened this often: a power cut or a crash loses no more.
inline constexpr int64_t kCheckpointNs = int64_t{600} * 1'000'000'000;
// A suspend whose wake was never announced is over after this long.
inline constexpr int64_t kStaleSuspendNs = int64_t{60} * 1'000'000'000;

class OutageBook {
 public:
  // A run has chosen its network and target and begins monitoring: the span opens. An
  // outage carried from the previous run goes on.
  // Rows go to these ports from now on.
  void RunStarts(HistoryPorts ports, std::wstring ssid, std::wstring target, int64_t nowNs);
  // The run ends: an open outage ends as told, or with nullopt (the retry limit) it is
  // carried into the next run. The span ends.
  void RunEnds(std::optional<OutageEnd> outageEnd, int64_t nowNs);

  // An outage begins, or goes on after a wake; nothing while asleep. One already open
  // keeps going; told of the Wi-Fi link, an internet-side one becomes a Wi-Fi outage (the
  // link was lost at some point of it, the more severe kind).
  void OutageBegins(int64_t nowNs, OutageKind kind = OutageKind::WiFi);
  bool HasOutage() const;
  void CommandLaunched();
  // An answer ends the open outage; its length and commands, for the recovery notice.
  std::optional<OutageSummary> Answered(int64_t nowNs);

  // The system goes to sleep at atNs: what is open ends there, and nothing opens until the wake.
  void Suspend(int64_t atNs);
  void Awake(int64_t atNs);
  // A tick found the clock far ahead of the previous tick at fromNs: a sleep nobody
  // announced, unless a notice already covered it.
  void SleptBetween(int64_t fromNs, int64_t toNs);
  // Over a suspend whose wake was never announced, after kStaleSuspendNs.
  void AwakeIfStale(int64_t nowNs);
  void Checkpoint(int64_t nowNs);
  // When the open span's checkpoint is due (INT64_MAX: no span is open).
  int64_t NextCheckpointNs() const;
  // Between a suspend and its wake (or the stale end of it).
  bool Asleep() const;

  // Exit after the last run: the carried outage ends.
  void EndCarried(OutageEnd how, int64_t nowNs);
  // The Windows session ends: everything open ends now, and the book takes nothing more.
  void EndSession(int64_t nowNs);

  // The open rows as they stand at nowNs (open set), added to the store's rows for the view.
  void AddOpenRows(HistoryRows& rows, int64_t nowNs) const;

  // Forgets everything (tests).
  void Reset();

 private:
  struct OpenOutage {
    OutageRecord row;
    int64_t startNs = 0;
  };
  struct OpenSpan {
    MonitoredSpan row;
    int64_t startNs = 0;
  };
  // What a call decided under the lock, handed to the store after it.
  struct Closed {
    std::optional<OutageRecord> outage;
    std::optional<MonitoredSpan> span;
  };

  static WallSeconds EndAt(WallSeconds start, int64_t startNs, int64_t endNs);
  WallSeconds Wall() const;
  void OpenSpanAt(int64_t atNs);
  std::optional<MonitoredSpan> TakeSpan(int64_t endNs);
  std::optional<OutageRecord> TakeOutage(OutageEnd how, int64_t endNs);
  void SuspendLocked(int64_t atNs, Closed& closed);
  void AwakeLocked(int64_t atNs);
  void Hand(const Closed& closed, const HistoryPorts& ports) const;
  // Each call decides under the lock and hands what it closed to the store after it.
  template <typename Decide>
  void Call(Decide decide) noexcept {
    try {
      Closed closed;
      HistoryPorts ports;
      {
        std::lock_guard<std::mutex> guard(lock_);
        if (sealed_) return;
        decide(closed);
        if (closed.outage || closed.span) ports = ports_;
      }
      Hand(closed, ports);
    } catch (...) {
      // The history is never worth a failure of its caller.
    }
  }

  mutable std::mutex lock_;
  HistoryPorts ports_;
  std::optional<OpenOutage> outage_;
  std::optional<OpenSpan> span_;
  std::wstring ssid_;
  std::wstring target_;
  bool running_ = false;
  bool asleep_ = false;
  int64_t lastPowerNs_ = INT64_MIN;  // the latest suspend or wake the book saw
  bool sealed_ = false;
};

// The one book of the process (no ports until the first run); never destroyed (a detached thread may still call it at exit).
OutageBook& ProcessOutageBook();

}  // namespace moorlink
