#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>

#include "common/Text.h"
#include "log/History.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

const std::string kHead =
    std::string(kHistoryBom) + "種別,開始,終了,秒数,SSID,Ping先,再接続回数,終わり方,UTCオフセット,種類\r\n";
constexpr WallSeconds kT = 1796731503;  // 2026/12/08 21:05:03 in Japan
constexpr WallSeconds kYear = 365 * 86400;

void SetZone(const char* zone) {
#ifdef _WIN32
  _putenv_s("TZ", zone);
  _tzset();
#else
  setenv("TZ", zone, 1);
  tzset();
#endif
}

struct ScopedZone {
  explicit ScopedZone(const char* zone) { SetZone(zone); }
  ~ScopedZone() { SetZone("JST-9"); }
};

class HistoryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SetZone("JST-9"); }
};

std::vector<int> Fields(const LocalTime& l) { return {l.year, l.month, l.day, l.hour, l.minute, l.second}; }

// The rows' times are checked by the format tests; here the edges of the way back.
TEST_F(HistoryTest, LocalTimeBothWays) {
  EXPECT_EQ(Fields(ToLocalTime(1709218799)), Fields({2024, 2, 29, 23, 59, 59}));
  EXPECT_EQ(FromLocalTime({2024, 2, 29, 23, 59, 59}), 1709218799);
  for (const LocalTime& t : {LocalTime{2026, 2, 29}, LocalTime{2026, 12, 8, 24}}) EXPECT_FALSE(FromLocalTime(t));
}

TEST_F(HistoryTest, RowsAreWrittenAsDocumentedAndHostileSsidsComeBackExactly) {
  EXPECT_EQ(FormatHistoryRow(OutageRecord{kT, kT + 133, L"Home", L"192.168.1.1", 3, OutageEnd::Recovered}),
            "切断,2026/12/08 21:05:03,2026/12/08 21:07:16,133,Home,192.168.1.1,3,回復,+09:00,Wi-Fi\r\n");
  EXPECT_EQ(
      FormatHistoryRow(OutageRecord{kT, kT + 86400, L"", L"127.0.0.1", 0, OutageEnd::SessionEnd, true}),
      "切断,2026/12/08 21:05:03,2026/12/09 21:05:03,86400,,127.0.0.1,0,Windows終了（上限で中止）,+09:00,Wi-Fi\r\n");
  EXPECT_EQ(FormatHistoryRow(MonitoredSpan{kT, kT, L"Home", L"10.0.0.1"}),
            "監視,2026/12/08 21:05:03,2026/12/08 21:05:03,0,Home,10.0.0.1,,,+09:00,\r\n");
  const struct {
    std::wstring ssid;
    std::string field;
  } cases[] = {{L"a\"b", "\"a\"\"b\""},
               {L"\"", "\"\"\"\""},
               {L"a,b", "\"a,b\""},
               {L"x\r\ny", "\"x\r\ny\""},
               {L"\n\n", "\"\n\n\""},
               {L" lead", "\" lead\""},
               {L"trail ", "\"trail \""},
               {L"+1", "\"+1\""},
               {L"-", "\"-\""},
               {L"=cmd|' /C calc'!A0", "\"=cmd|' /C calc'!A0\""},
               {L"@x", "\"@x\""},
               {L"\tt", "\"\tt\""},
               {L"", ""},
               {L"\U0001F600ホーム", "\xF0\x9F\x98\x80ホーム"},
               {L"\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},
               {std::wstring(L"n\0l", 3), std::string("n\0l", 3)},
               {L"a\"\",,\"\r", "\"a\"\"\"\",,\"\"\r\""},
               {L"in side", "in side"}};
  std::string file = kHead;
  HistoryRows expected;
  for (const auto& c : cases) {
    OutageRecord outage{kT, kT + 5, c.ssid, L"127.0.0.1", 2, OutageEnd(expected.outages.size() % 5)};
    outage.kind = OutageKind(expected.outages.size() % 3);
    const MonitoredSpan span{kT - 60, kT + 60, c.ssid, c.ssid};
    const std::string row = FormatHistoryRow(outage);
    EXPECT_NE(row.find("," + c.field + ",127.0.0.1,"), std::string::npos) << row;
    file += row + FormatHistoryRow(span);
    expected.outages.push_back(outage);
    expected.spans.push_back(span);
  }
  const HistoryRows rows = ParseHistory(file);
  EXPECT_EQ(rows.outages, expected.outages);
  EXPECT_EQ(rows.spans, expected.spans);
}

TEST_F(HistoryTest, ForeignLinesAreSkippedWhenReadAndKeptWhenPruned) {
  const std::string now = "切断,2026/12/08 21:05:03,2026/12/08 21:07:16,133,Home,1.1.1.1,3,回復\r\n";
  const std::string excel = "監視,2026/12/8 21:05,2026/12/8 22:05,3600,Home,1.1.1.1,,\n";
  const std::string yearOld = "監視,2025/12/08 21:05:03,2025/12/08 21:07:16,133,Home,1.1.1.1,,\r\n";
  const std::string tooOld = "切断,2025/12/08 21:05:03,2025/12/08 21:07:15,132,Home,1.1.1.1,1,回復\r\n";
  const std::string foreign[] = {"切断,2026/13/01 00:00:00,2026/13/01 00:00:01,1,a,b,0,回復\r\n",
                                 "切断,2026/12/08 21:05:03,2026/12/08 21:07:16,133,a,b,0,回復,+09:00,Wi-Fi,extra\r\n",
                                 "切断,2026/12/08 21:05:03,2026/12/08 21:07:16,133,a,b,0,壊れた\r\n",
                                 "hello, \"world\n",
                                 "\"open quote,\n",
                                 "\r\n",
                                 "x\"y\r\n"};
  // The open quote must not swallow the rows after it.
  const std::string body = now + foreign[0] + tooOld + foreign[1] + foreign[2] + foreign[3] + foreign[4] + excel +
                           foreign[6] + foreign[5] + yearOld + "切断,2026/12/08 21:05:03,2026/12";
  const WallSeconds nowSeconds = *FromLocalTime({2026, 12, 8, 21, 7, 16});
  const std::string oldHead = std::string(kHistoryBom) + "種別,開始,終了,秒数,SSID,Ping先,再接続回数,終わり方\r\n";
  const std::string head9 = kHead.substr(0, kHead.size() - std::string(",種類\r\n").size()) + "\r\n";
  for (const std::string& file : {body, kHead + body, oldHead + body, head9 + body, std::string(kHistoryBom) + body}) {
    const HistoryRows rows = ParseHistory(file);
    EXPECT_EQ(rows.outages, (std::vector<OutageRecord>{{kT, kT + 133, L"Home", L"1.1.1.1", 3},
                                                       {kT - kYear, kT - kYear + 132, L"Home", L"1.1.1.1", 1}}));
    EXPECT_EQ(rows.spans, (std::vector<MonitoredSpan>{{kT - 3, kT + 3597, L"Home", L"1.1.1.1"},
                                                      {kT - kYear, kT - kYear + 133, L"Home", L"1.1.1.1"}}));
    const std::string pruned = PruneHistory(file, nowSeconds);
    EXPECT_EQ(pruned, kHead + now + foreign[0] + foreign[1] + foreign[2] + foreign[3] + foreign[4] + excel +
                          foreign[6] + foreign[5] + yearOld + "切断,2026/12/08 21:05:03,2026/12\r\n");
    EXPECT_EQ(PruneHistory(pruned, nowSeconds), pruned);
  }
}

TEST_F(HistoryTest, OutagesOfOlderFilesOrOfAnUnknownKindReadAsWiFi) {
  const std::string start = "2026/12/08 21:05:03,2026/12/08 21:07:16,133,Home,1.1.1.1,";
  const std::string outage = "切断," + start + "3,回復", span = "監視," + start + ",";
  const struct {
    std::string line;
    std::optional<OutageKind> outage;  // nullopt: no outage read
    size_t spans;
  } cases[] = {{outage + "\r\n", OutageKind::WiFi, 0},  // 8 columns
               {outage + ",+09:00\r\n", OutageKind::WiFi, 0},
               {outage + ",+09:00,インターネット\r\n", OutageKind::Internet, 0},
               {outage + ",+09:00,\"サインイン\"\r\n", OutageKind::SignIn, 0},
               {outage + ",+09:00,衛星\r\n", OutageKind::WiFi, 0},
               {span + ",+09:00,\r\n", std::nullopt, 1},
               {span + ",+09:00,Wi-Fi\r\n", std::nullopt, 0}};
  for (const auto& c : cases) {
    const HistoryRows rows = ParseHistory(c.line);
    OutageRecord read{kT, kT + 133, L"Home", L"1.1.1.1", 3};
    read.kind = c.outage.value_or(OutageKind::WiFi);
    EXPECT_EQ(rows.outages, c.outage ? std::vector{read} : std::vector<OutageRecord>{}) << c.line;
    EXPECT_EQ(rows.spans.size(), c.spans) << c.line;
    EXPECT_EQ(PruneHistory(c.line, kT), kHead + c.line);
  }
}

TEST_F(HistoryTest, TheOffsetMakesEveryStartExactInAnyZone) {
  const OutageRecord outage{kT, kT + 5, L"Home", L"127.0.0.1", 1};
  std::string row;
  {
    const ScopedZone zone("NST3:30");
    row = FormatHistoryRow(outage);
    EXPECT_EQ(row, "切断,2026/12/08 08:35:03,2026/12/08 08:35:08,5,Home,127.0.0.1,1,回復,-03:30,Wi-Fi\r\n");
  }
  EXPECT_EQ(ParseHistory(row).outages, std::vector{outage});
  const ScopedZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  // Wherever the C runtime puts the end of daylight saving, the hour it repeats.
  WallSeconds first = kT - 80 * 86400;
  while (first < kT && Fields(ToLocalTime(first)) != Fields(ToLocalTime(first + 3600))) first += 900;
  ASSERT_LT(first, kT);
  // Both in one file: the C runtime cannot tell them apart by guessing.
  const std::vector<MonitoredSpan> spans{{first, first + 5, L"Home", L""}, {first + 3600, first + 3605, L"Home", L""}};
  EXPECT_EQ(ParseHistory(FormatHistoryRow(spans[0]) + FormatHistoryRow(spans[1])).spans, spans);
}

TEST_F(HistoryTest, AnyProfileNameIsWrittenAndReadAndALongerTextCut) {
  auto times = [](const std::wstring& unit, size_t n) {
    std::wstring text;
    while (n-- > 0) text += unit;
    return text;
  };
  const struct {
    std::wstring written, read;
  } cases[] = {{times(L"漢", 90), times(L"漢", 90)},                  // 270 bytes
               {times(L"漢", 341) + L"a", times(L"漢", 341) + L"a"},  // 1024 bytes, the limit
               {times(L"漢", 342), times(L"漢", 341)},                // cut before the character that does not fit
               {times(L"\U0001F600", 257), times(L"\U0001F600", 256)}};
  for (const auto& c : cases) {
    OutageRecord read{kT, kT + 1, c.read, c.read, 1};
    EXPECT_EQ(ParseHistory(FormatHistoryRow(OutageRecord{kT, kT + 1, c.written, c.written, 1})).outages,
              std::vector{read});
  }
}

TEST_F(HistoryTest, PruningBelievesNoClockFarBeyondTheNewestRow) {
  const std::string older = FormatHistoryRow(MonitoredSpan{kT - 340 * 86400, kT - 340 * 86400, L"Home", L""});
  const std::string newest = FormatHistoryRow(OutageRecord{kT, kT + 10, L"Home", L"127.0.0.1", 1});
  const struct {
    WallSeconds now;
    std::string kept;
  } cases[] = {{kT + 20 * 86400, older + newest}, {kT + 26 * 86400, newest}, {kT + 2 * kYear, newest}};
  for (const auto& c : cases) EXPECT_EQ(PruneHistory(kHead + older + newest, c.now), kHead + c.kept) << c.now;
}

TEST_F(HistoryTest, ViewArithmetic) {
  const std::pair<int64_t, std::wstring> durations[] = {{-5, L"0秒"},     {0, L"0秒"},           {45, L"45秒"},
                                                        {60, L"1分"},     {133, L"2分13秒"},     {3599, L"59分59秒"},
                                                        {3600, L"1時間"}, {3959, L"1時間5分"},   {86399, L"23時間59分"},
                                                        {86400, L"1日"},  {273600, L"3日4時間"}, {273659, L"3日4時間"}};
  for (const auto& [seconds, text] : durations) EXPECT_EQ(DurationText(seconds), text) << seconds;

  using S = SlotState;
  // Monitored 0-150 (two overlapping spans) and 300-400; outages 90-120, 200-250 (not
  // monitored) and one of no length at 350.
  HistoryRows rows;
  for (auto [start, end] : {std::pair{90, 120}, {200, 250}, {350, 350}}) rows.outages.push_back({start, end, L"", L""});
  for (auto [start, end] : {std::pair{0, 100}, {50, 150}, {300, 400}}) rows.spans.push_back({start, end, L"", L""});
  EXPECT_EQ(HistorySlots(rows, 0, 400, 8), (std::vector<S>{S::Answered, S::Outage, S::Outage, S::NotMonitored,
                                                           S::NotMonitored, S::NotMonitored, S::Answered, S::Outage}));
  EXPECT_EQ(HistorySlots(rows, 100, 130, 3), (std::vector<S>{S::Outage, S::Outage, S::Answered}));
  EXPECT_EQ(HistorySlots(rows, 0, 400, 0), std::vector<S>{});
  EXPECT_EQ(HistorySlots(rows, 400, 400, 4), std::vector<S>{});
  const struct {
    WallSeconds from, to;
    std::optional<double> percent;
  } cases[] = {{0, 400, 88.0}, {100, 200, 60.0}, {150, 300, std::nullopt}, {95, 115, 0.0}, {-1000, 50, 100.0}};
  for (const auto& c : cases) EXPECT_EQ(AvailabilityPercent(rows, c.from, c.to), c.percent) << c.from;
  // An outage carried across the unmonitored wait for a revival (100-200).
  const HistoryRows carried{{{50, 250, L"", L""}}, {{0, 100, L"", L""}, {200, 300, L"", L""}}};
  EXPECT_EQ(HistorySlots(carried, 0, 300, 6),
            (std::vector<S>{S::Answered, S::Outage, S::NotMonitored, S::NotMonitored, S::Outage, S::Answered}));
  EXPECT_EQ(AvailabilityPercent(carried, 0, 300), 50.0);
}

TEST_F(HistoryTest, AWiFiOutageOutweighsAnInternetSideOneWhereTheyOverlap) {
  using S = SlotState;
  // Monitored 0-305 and 320-400; sign-in 300-310 is watched until 305, 390 has no length.
  HistoryRows rows{{{120, 200, L"", L""}, {100, 150, L"", L""}, {300, 310, L"", L""}, {390, 390, L"", L""}},
                   {{0, 305, L"", L""}, {320, 400, L"", L""}}};
  rows.outages[0].kind = rows.outages[3].kind = OutageKind::Internet;
  rows.outages[2].kind = OutageKind::SignIn;
  EXPECT_EQ(HistorySlots(rows, 0, 400, 8),
            (std::vector<S>{S::Answered, S::Answered, S::Outage, S::InternetOutage, S::Answered, S::Answered,
                            S::InternetOutage, S::InternetOutage}));
  // Of 105 s of outage time, 50 were the Wi-Fi's.
  EXPECT_DOUBLE_EQ(*AvailabilityPercent(rows, 0, 400), 100.0 * 280 / 385);
  const struct {
    WallSeconds from, to;
    std::optional<double> share;
  } cases[] = {{0, 400, 100.0 * 55 / 105}, {150, 400, 100.0}, {100, 150, 0.0}, {0, 100, std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(InternetOutageShare(rows, c.from, c.to), c.share) << c.from;
}

TEST_F(HistoryTest, StorePrunesAppendsAndReportsAFailureStreakOnce) {
  ScopedSettingsFile settings;
  TempDir dir;
  const std::wstring path = ComposeHistoryPath(dir.Child(L"staff_Moorlink.ini"));
  ASSERT_EQ(path, dir.Child(L"staff_history.csv"));
  const OutageRecord old{1000, 1060, L"Old", L"127.0.0.1", 1};
  const OutageRecord fresh{kT, kT + 10, L"Home", L"127.0.0.1", 2, OutageEnd::ProgramExit};
  const MonitoredSpan span{kT, kT + 20, L"Home", L"127.0.0.1"};
  WriteFileBytes(path, FormatHistoryRow(old) + "junk\r\n" + FormatHistoryRow(fresh));
  std::vector<std::wstring> logged;
  int heard = 0;
  SetHistoryLogForTesting([&](const std::wstring& message) { logged.push_back(message); });
  SetHistoryListener([&] { ++heard; });
  OpenHistory(path);
  EXPECT_EQ(ReadFileBytes(path), kHead + "junk\r\n" + FormatHistoryRow(fresh));
  RecordOutage(fresh);
  RecordSpan(span);
  EXPECT_EQ(ReadFileBytes(path),
            kHead + "junk\r\n" + FormatHistoryRow(fresh) + FormatHistoryRow(fresh) + FormatHistoryRow(span));
  EXPECT_EQ(heard, 1);
  // Off: remembered for the view, not written.
  WriteSetting(keys::UseHistory, false);
  const std::string before = ReadFileBytes(path);
  RecordOutage(fresh);
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_EQ(HistorySnapshot().outages.size(), 3u);
  // A folder where the file should be: rows wait, in order, for the next write; one line
  // and one call per streak of failures.
  WriteSetting(keys::UseHistory, true);
  const std::wstring blocked = dir.Child(L"blocked.csv");
  std::vector<std::wstring> told;
  SetHistoryWriteFailureListener([&](const std::wstring& failed) { told.push_back(failed); });
  std::filesystem::create_directory(ToFsPath(blocked));
  OpenHistory(blocked);
  RecordOutage(fresh);
  RecordSpan(span);
  std::filesystem::remove(ToFsPath(blocked));
  RecordOutage(old);  // written after the two waiting: the streak ends
  EXPECT_EQ(ReadFileBytes(blocked), kHead + FormatHistoryRow(fresh) + FormatHistoryRow(span) + FormatHistoryRow(old));
  std::filesystem::remove(ToFsPath(blocked));
  std::filesystem::create_directory(ToFsPath(blocked));
  RecordOutage(fresh);  // the oldest waiting, dropped once the bound is passed
  WriteSetting(keys::UseHistory, false);
  RecordOutage(old);  // off: nothing waits
  WriteSetting(keys::UseHistory, true);
  std::string waiting;
  for (WallSeconds i = 0; i < static_cast<WallSeconds>(kMaxPendingHistoryRows); ++i) {
    RecordSpan(MonitoredSpan{kT + i, kT + i, L"", L""});
    waiting += FormatHistoryRow(MonitoredSpan{kT + i, kT + i, L"", L""});
  }
  std::filesystem::remove(ToFsPath(blocked));
  FlushHistory();
  EXPECT_EQ(ReadFileBytes(blocked), kHead + waiting);
  EXPECT_EQ(logged, std::vector<std::wstring>(2, L"接続履歴ファイルに書き込めませんでした。" + blocked));
  EXPECT_EQ(told, std::vector<std::wstring>(2, blocked));
  EXPECT_EQ(heard, 6);
  SetHistoryWriteFailureListener(nullptr);
  SetHistoryLogForTesting(nullptr);
  SetHistoryListener(nullptr);
  OpenHistory({});
}

}  // namespace
}  // namespace moorlink::test
