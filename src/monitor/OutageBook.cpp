#include "monitor/OutageBook.h"

#include <algorithm>

namespace moorlink {

namespace {
constexpr int64_t kNsPerSecond = 1'000'000'000;
}  // namespace

HistoryPorts StoreHistoryPorts() {
  HistoryPorts p;
  p.WallNow = CurrentWallSeconds;
  p.RecordOutage = RecordOutage;
  p.RecordSpan = RecordSpan;
  return p;
}

WallSeconds OutageBook::EndAt(WallSeconds start, int64_t startNs, int64_t endNs) {
  return start + std::max<int64_t>(0, endNs - startNs) / kNsPerSecond;
}

WallSeconds OutageBook::Wall() const { return ports_.WallNow ? ports_.WallNow() : 0; }

void OutageBook::OpenSpanAt(int64_t atNs) { span_ = OpenSpan{MonitoredSpan{Wall(), 0, ssid_, target_}, atNs}; }

std::optional<MonitoredSpan> OutageBook::TakeSpan(int64_t endNs) {
  if (!span_) return std::nullopt;
  MonitoredSpan row = std::move(span_->row);
  row.end = EndAt(row.start, span_->startNs, endNs);
  span_.reset();
  return row;
}

std::optional<OutageRecord> OutageBook::TakeOutage(OutageEnd how, int64_t endNs) {
  if (!outage_) return std::nullopt;
  OutageRecord row = std::move(outage_->row);
  row.end = EndAt(row.start, outage_->startNs, endNs);
  row.how = how;
  outage_.reset();
  return row;
}

void OutageBook::Hand(const Closed& closed, const HistoryPorts& ports) const {
  if (closed.outage && ports.RecordOutage) ports.RecordOutage(*closed.outage);
  if (closed.span && ports.RecordSpan) ports.RecordSpan(*closed.span);
}

void OutageBook::RunStarts(HistoryPorts ports, std::wstring ssid, std::wstring target, int64_t nowNs) {
  Call([&](Closed& closed) {
    ports_ = std::move(ports);
    ssid_ = std::move(ssid);
    target_ = std::move(target);
    running_ = true;
    closed.span = TakeSpan(nowNs);  // none, unless a run ended without telling
    if (!asleep_) OpenSpanAt(nowNs);
  });
}

void OutageBook::RunEnds(std::optional<OutageEnd> outageEnd, int64_t nowNs) {
  Call([&](Closed& closed) {
    running_ = false;
    closed.span = TakeSpan(nowNs);
    if (outageEnd) {
      closed.outage = TakeOutage(*outageEnd, nowNs);
    } else if (outage_) {
      outage_->row.retryLimit = true;
    }
  });
}

void OutageBook::OutageBegins(int64_t nowNs, OutageKind kind) {
  Call([&](Closed&) {
    if (outage_) {
      if (kind == OutageKind::WiFi) outage_->row.kind = kind;
      return;
    }
    if (asleep_ || !running_) return;
    outage_ = OpenOutage{OutageRecord{Wall(), 0, ssid_, target_, 0, OutageEnd::Recovered, false, false, kind}, nowNs};
  });
}

bool OutageBook::HasOutage() const {
  std::lock_guard<std::mutex> guard(lock_);
  return outage_.has_value();
}

void OutageBook::CommandLaunched() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!outage_) return;
  ++outage_->row.reconnects;
  outage_->row.kind = OutageKind::WiFi;
}

std::optional<OutageSummary> OutageBook::Answered(int64_t nowNs) {
  std::optional<OutageSummary> summary;
  Call([&](Closed& closed) {
    closed.outage = TakeOutage(OutageEnd::Recovered, nowNs);
    if (closed.outage)
      summary =
          OutageSummary{closed.outage->end - closed.outage->start, closed.outage->reconnects, closed.outage->kind};
  });
  return summary;
}

void OutageBook::SuspendLocked(int64_t atNs, Closed& closed) {
  if (asleep_) return;  // a second notice of the same sleep
  asleep_ = true;
  lastPowerNs_ = atNs;
  closed.outage = TakeOutage(OutageEnd::Sleep, atNs);
  closed.span = TakeSpan(atNs);
}

void OutageBook::AwakeLocked(int64_t atNs) {
  if (!asleep_) return;
  asleep_ = false;
  lastPowerNs_ = std::max(lastPowerNs_, atNs);
  if (running_ && !span_) OpenSpanAt(atNs);
}

void OutageBook::Suspend(int64_t atNs) {
  Call([&](Closed& closed) { SuspendLocked(atNs, closed); });
}

void OutageBook::Awake(int64_t atNs) {
  Call([&](Closed&) { AwakeLocked(atNs); });
}

void OutageBook::SleptBetween(int64_t fromNs, int64_t toNs) {
  Call([&](Closed& closed) {
    if (asleep_ || lastPowerNs_ >= fromNs) return;  // the notices told it already
    SuspendLocked(fromNs, closed);
    AwakeLocked(toNs);
  });
}

void OutageBook::AwakeIfStale(int64_t nowNs) {
  Call([&](Closed&) {
    if (asleep_ && nowNs - lastPowerNs_ > kStaleSuspendNs) AwakeLocked(nowNs);
  });
}

void OutageBook::Checkpoint(int64_t nowNs) {
  Call([&](Closed& closed) {
    if (!span_ || nowNs - span_->startNs < kCheckpointNs) return;
    closed.span = TakeSpan(nowNs);
    // The next span starts where this one ended, whatever the wall clock did meanwhile.
    span_ = OpenSpan{MonitoredSpan{closed.span->end, 0, ssid_, target_}, nowNs};
  });
}

int64_t OutageBook::NextCheckpointNs() const {
  std::lock_guard<std::mutex> guard(lock_);
  return span_ && !sealed_ ? span_->startNs + kCheckpointNs : INT64_MAX;
}

bool OutageBook::Asleep() const {
  std::lock_guard<std::mutex> guard(lock_);
  return asleep_;
}

void OutageBook::EndCarried(OutageEnd how, int64_t nowNs) {
  Call([&](Closed& closed) {
    if (!running_) closed.outage = TakeOutage(how, nowNs);
  });
}

void OutageBook::EndSession(int64_t nowNs) {
  Call([&](Closed& closed) {
    sealed_ = true;
    closed.outage = TakeOutage(OutageEnd::SessionEnd, nowNs);
    closed.span = TakeSpan(nowNs);
  });
}

void OutageBook::AddOpenRows(HistoryRows& rows, int64_t nowNs) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (outage_) {
    rows.outages.push_back(outage_->row);
    rows.outages.back().end = EndAt(outage_->row.start, outage_->startNs, nowNs);
    rows.outages.back().open = true;
  }
  if (span_) {
    rows.spans.push_back(span_->row);
    rows.spans.back().end = EndAt(span_->row.start, span_->startNs, nowNs);
    rows.spans.back().open = true;
  }
}

void OutageBook::Reset() {
  std::lock_guard<std::mutex> guard(lock_);
  ports_ = {};
  outage_.reset();
  span_.reset();
  ssid_.clear();
  target_.clear();
  running_ = false;
  asleep_ = false;
  lastPowerNs_ = INT64_MIN;
  sealed_ = false;
}

OutageBook& ProcessOutageBook() {
  static OutageBook& book = *new OutageBook;
  return book;
}

}  // namespace moorlink
