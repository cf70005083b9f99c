#include "log/EventLog.h"

#include <condition_variable>
#include <deque>
#include <mutex>

#include "common/Thread.h"
#include "log/LogTexts.h"
#include "log/LogWriter.h"
#include "settings/Settings.h"

namespace moorlink {
namespace {

// A burst no collector needs in full (a flapping network) is cut here, not in memory.
constexpr size_t kMaxQueued = 256;

// Never destroyed: the writer thread may still run while the process exits.
struct EventQueue {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<NotableEvent> events;
  bool writing = false;  // the writer thread holds an event
  bool started = false;
  EventWriter writer;  // null: the platform's
};
EventQueue& Queue() {
  static auto* queue = new EventQueue;
  return *queue;
}

void WriterBody() noexcept {
  EventQueue& q = Queue();
  bool failing = false;
  for (;;) {
    NotableEvent event;
    EventWriter writer;
    {
      std::unique_lock<std::mutex> lock(q.lock);
      q.writing = false;
      q.changed.notify_all();
      q.changed.wait(lock, [&q] { return !q.events.empty(); });
      event = std::move(q.events.front());
      q.events.pop_front();
      q.writing = true;
      writer = q.writer;
    }
    try {
      const bool written = writer ? writer(event) : WriteSystemEvent(event);
      // One line per failing streak: a log that cannot be written must not fill the other.
      if (!written && !failing) WriteLog(LogCategory::Other, kErrorTitle, kEventLogFailedMessage);
      failing = !written;
    } catch (...) {
    }
  }
}

}  // namespace

void ReportNotableEvent(EventId id, NotifyKind level, std::wstring message, std::vector<std::wstring> facts) {
  try {
    // Read here, as every setting is read by its user: the writer thread reads no settings.
    if (!UseEventLog()) return;
    NotableEvent event{id, level, {std::move(message)}};
    for (std::wstring& fact : facts) event.strings.push_back(std::move(fact));
    EventQueue& q = Queue();
    bool start = false;
    {
      std::lock_guard<std::mutex> lock(q.lock);
      if (q.events.size() >= kMaxQueued) return;
      q.events.push_back(std::move(event));
      start = !q.started;
      q.started = true;
    }
    q.changed.notify_all();
    if (start && !StartDetachedThread(WriterBody)) {
      std::lock_guard<std::mutex> lock(q.lock);
      q.started = false;  // the next event tries again
      q.events.clear();
    }
  } catch (...) {
    // An event is never worth a failure of what it tells.
  }
}

void SetEventWriterForTesting(EventWriter writer) {
  EventQueue& q = Queue();
  std::lock_guard<std::mutex> lock(q.lock);
  q.writer = std::move(writer);
}

void WaitForEventsForTesting() {
  EventQueue& q = Queue();
  std::unique_lock<std::mutex> lock(q.lock);
  q.changed.wait(lock, [&q] { return q.events.empty() && !q.writing; });
}

}  // namespace moorlink
