#pragma once
// What the history dialog shows, worked out from the history's rows: the two strips'
// windows and time axes, the availability line and the rows of the outage list. The
// dialog (HistoryDialog_win.cpp) only draws these.
#include <functional>
#include <string>
#include <vector>

#include "common/Platform.h"
#include "log/History.h"

namespace moorlink {

struct StripWindow {
  WallSeconds from = 0;
  WallSeconds to = 0;
  int count = 0;
};
// The last 24 hours in 96 slots of 15 minutes, and the last 7 days in 168 slots of one
// hour; each ends with the slot that holds now.
StripWindow DayStrip(WallSeconds now);
StripWindow WeekStrip(WallSeconds now);

using LocalTimeFn = std::function<LocalTime(WallSeconds)>;

struct AxisMark {
  double at = 0;       // 0 at the strip's left edge, 1 at its right edge
  std::wstring label;  // empty: a tick only
  bool operator==(const AxisMark&) const = default;
};
// A tick at every local full hour, labelled "3時", "6時", ... every third hour.
std::vector<AxisMark> DayAxis(const StripWindow& strip, const LocalTimeFn& toLocal);
// A tick at every local midnight, labelled with the day that begins there: "12/9(水)".
std::vector<AxisMark> WeekAxis(const StripWindow& strip, const LocalTimeFn& toLocal);

// "稼働率 24時間 99.8% ・ 7日 99.1% ・ 30日 98.7%", "—" for a window with no monitored time.
// Percentages are cut to one decimal, never rounded up: any outage reads below 100. When
// some of the 30 days' outage time was internet-side, its share follows, as in
// "（うちインターネット側 12%）": whole percent, never 0 or 100 unless it is so.
std::wstring AvailabilityLine(const HistoryRows& rows, WallSeconds now);

struct OutageRow {
  std::wstring start;       // local time, YYYY/MM/DD HH:MM:SS
  std::wstring length;      // DurationText
  std::wstring ssid;        // line breaks and other control characters as blanks
  std::wstring reconnects;  // "3回"
  std::wstring end;         // how it ended, "継続中" while it is still open
  std::wstring kind;        // "Wi-Fi", "インターネット", "サインイン"
  bool operator==(const OutageRow&) const = default;
};
inline constexpr size_t kMaxOutageRows = 100;
// The most recent outages, latest start first, at most kMaxOutageRows. The open one (open
// set by the OutageBook's open rows) reads 継続中; every length is end - start.
std::vector<OutageRow> OutageRows(const HistoryRows& rows, const LocalTimeFn& toLocal);
// Every text the 終わり方 and 種類 columns can show, so that the dialog can size them for
// the longest.
std::vector<std::wstring> OutageEndTexts();
std::vector<std::wstring> OutageKindTexts();

}  // namespace moorlink
