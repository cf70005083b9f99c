#pragma once
// Notable events for the Windows Event Log (the Application log, source "Moorlink"), so
// that a fleet's collectors (Windows Event Forwarding, any log agent) see which PCs lose
// the network, when and for how long, without opening each PC's log folder. Written only
// while [Log] UseEventLog is on (a policy may set it). Each event has a stable ID, the
// level of its notification kind, the Japanese message as its first insertion string and
// its facts as the further ones. ReportNotableEvent only queues: a thread of its own writes,
// so the caller is never held up; a write that fails costs one log line per failing streak.
// The platform's writer: EventLog_win.cpp (ReportEventW), EventLog_posix.cpp (none).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "notify/NotifyKind.h"

namespace moorlink {

// Stable: collectors filter on these numbers (the table in README and Readme.txt).
enum class EventId : uint16_t {
  MonitoringStarted = 1000,  // SSID, target
  OutageDetected = 1001,     // SSID, target
  ReconnectLaunched = 1002,  // SSID, the command's number in this outage
  ReconnectReported = 1003,  // SSID, Windows' report
  Recovered = 1004,          // SSID, seconds, reconnects, kind
  InternetOutage = 1005,     // SSID, target, kind
  RetryLimitStop = 1006,     // SSID, reconnects
  Revival = 1007,            // seconds until the restart
  StartFailed = 1008,        // the cause
  LocationAccessMissing = 1009,
  WifiOff = 1010,
  SettingsSaveFailed = 1011,  // the settings file's path
  HistoryWriteFailed = 1012,  // the history file's path
};

struct NotableEvent {
  EventId id;
  NotifyKind level;
  std::vector<std::wstring> strings;  // the message first, then the facts
};

// Writes one event; false when it could not be written.
using EventWriter = std::function<bool(const NotableEvent& event)>;
// The platform's writer.
bool WriteSystemEvent(const NotableEvent& event);

// Queues the event when UseEventLog is on; never blocks on the write, never throws.
void ReportNotableEvent(EventId id, NotifyKind level, std::wstring message, std::vector<std::wstring> facts = {});
// Tests: a writer of their own (null: the platform's), and a wait until the queue is empty.
void SetEventWriterForTesting(EventWriter writer);
void WaitForEventsForTesting();

}  // namespace moorlink
