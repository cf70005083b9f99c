#include <ctime>
#include <gtest/gtest.h>

#include "app/HistoryView.h"

namespace moorlink {
namespace {

// Local time at a fixed offset from UTC, in minutes.
LocalTimeFn Zone(int minutes) {
  return [minutes](WallSeconds t) {
    const std::time_t shifted = t + minutes * 60;
    const std::tm tm = *std::gmtime(&shifted);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
  };
}

constexpr WallSeconds kTuesdayNoonUtc = 1796731200;  // 2026-12-08 12:00:00 UTC, 21:00 in Tokyo

// The strips' ends and lengths show in where the local hours and midnights fall.
TEST(HistoryView, AxesFollowLocalTime) {
  const std::vector<AxisMark> tokyo = WeekAxis(WeekStrip(kTuesdayNoonUtc), Zone(9 * 60));
  ASSERT_EQ(tokyo.size(), 7u);
  EXPECT_EQ(tokyo.front(), (AxisMark{2.0 / 168, L"12/2(水)"}));  // Tokyo's midnight is 15:00 UTC
  EXPECT_EQ(tokyo.back().label, L"12/8(火)");
  const std::vector<AxisMark> day = DayAxis(DayStrip(kTuesdayNoonUtc), Zone(5 * 60 + 30));
  ASSERT_EQ(day.size(), 24u);                        // half-hour zone: local hours fall between the slots' hours
  EXPECT_EQ(day[0], (AxisMark{1.0 / 96, L"18時"}));  // 12:30 UTC, a quarter after the strip's start
  int labelled = 0;
  for (const AxisMark& mark : day) labelled += mark.label.empty() ? 0 : 1;
  EXPECT_EQ(labelled, 8);
}

TEST(HistoryView, AvailabilityIsCutNotRounded) {
  const WallSeconds now = kTuesdayNoonUtc;
  HistoryRows rows;
  EXPECT_EQ(AvailabilityLine(rows, now), L"稼働率 24時間 — ・ 7日 — ・ 30日 —");
  rows.spans.push_back({now - 86400, now, L"Home", L"127.0.0.1"});
  rows.outages.push_back({now - 1000, now - 1000 + 35, L"Home", L"127.0.0.1", 1});  // 99.959...%
  EXPECT_EQ(AvailabilityLine(rows, now), L"稼働率 24時間 99.9% ・ 7日 99.9% ・ 30日 99.9%");
  rows.outages.clear();
  EXPECT_EQ(AvailabilityLine(rows, now), L"稼働率 24時間 100.0% ・ 7日 100.0% ・ 30日 100.0%");
}

TEST(HistoryView, TheAvailabilityLineEndsWithTheInternetSideShareOfThirtyDays) {
  const WallSeconds now = kTuesdayNoonUtc;
  auto outage = [&](WallSeconds ago, WallSeconds length, OutageKind kind) {
    return OutageRecord{.start = now - ago, .end = now - ago + length, .ssid = L"Home", .target = L"", .kind = kind};
  };
  using K = OutageKind;
  // 1000 s of outage time in 30 monitored days, however the kinds share it.
  const struct {
    std::vector<OutageRecord> outages;
    std::wstring note;
  } cases[] = {{{outage(1000, 1000, K::WiFi)}, L""},
               {{outage(1000, 1000, K::SignIn)}, L"（うちインターネット側 100%）"},
               {{outage(2000, 880, K::WiFi), outage(1500, 500, K::Internet)}, L"（うちインターネット側 12%）"},
               {{outage(1000, 999, K::WiFi), outage(1, 1, K::Internet)}, L"（うちインターネット側 1%）"},
               {{outage(1000, 999, K::Internet), outage(1, 1, K::WiFi)}, L"（うちインターネット側 99%）"},
               {{outage(1000, 1000, K::WiFi), outage(40 * 86400, 60, K::Internet)}, L""}};
  for (const auto& c : cases) {
    const HistoryRows rows{c.outages, {{now - 30 * 86400, now, L"Home", L""}}};
    EXPECT_EQ(AvailabilityLine(rows, now), L"稼働率 24時間 98.8% ・ 7日 99.8% ・ 30日 99.9%" + c.note);
  }
}

TEST(HistoryView, ListsTheLatestOutagesFirst) {
  const WallSeconds now = kTuesdayNoonUtc;
  HistoryRows rows;
  for (int i = 0; i < 120; ++i) {  // file order is by end: starts out of order
    const WallSeconds start = now - 86400 + (i * 37 % 120) * 60;
    rows.outages.push_back({start, start + 30, L"Home", L"127.0.0.1", i % 4, OutageEnd::Recovered});
  }
  rows.outages[5] = {
      .start = now - 1, .end = now, .ssid = L"A\r\nB", .target = L"", .reconnects = 2, .open = true};  // still open
  // Ended, though after "now": the clock has been set back since.
  rows.outages[6] = {now - 10, now + 65, L"Home", L"", 7, OutageEnd::Stopped, true};
  rows.outages[6].kind = OutageKind::SignIn;
  rows.outages[7] = {now - 20, now - 19, L"Home", L"", 0, OutageEnd::SessionEnd};
  rows.outages[7].kind = OutageKind::Internet;
  const std::vector<OutageRow> list = OutageRows(rows, Zone(9 * 60));
  ASSERT_EQ(list.size(), 100u);
  EXPECT_EQ(list[0], (OutageRow{L"2026/12/08 20:59:59", L"1秒", L"A  B", L"2回", L"継続中", L"Wi-Fi"}));
  EXPECT_EQ(list[1],
            (OutageRow{L"2026/12/08 20:59:50", L"1分15秒", L"Home", L"7回", L"監視停止（上限で中止）", L"サインイン"}));
  EXPECT_EQ(list[2].end, L"Windows終了");
  EXPECT_EQ(list[2].kind, L"インターネット");
  EXPECT_EQ(list[3].start, L"2026/12/07 22:59:00");   // the others from minute 119 down,
  EXPECT_EQ(list[99].start, L"2026/12/07 21:21:00");  // without 65, 102 and 19, to minute 21
}

}  // namespace
}  // namespace moorlink
