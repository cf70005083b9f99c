#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <system_error>

#include "monitor/MonitorRun.h"
#include "support/FakeMonitor.h"

namespace moorlink::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::wstring kUserTitle = L"再接続先SSIDユーザー設定";
const std::wstring kAutoTitle = L"再接続先SSID自動取得";
const std::wstring kDenied =
    L"ユーザー設定のSSIDが有効ではなく、位置情報へのアクセスが許可されていない為に接続中のSSIDも取得できない為、\n";
const std::wstring kLimitText = L"再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止しました。";

std::string Ini(const std::string& autoReconnect) { return "[AutoReconnect]\r\n" + autoReconnect; }

std::vector<double> Times(const std::vector<Stamped>& v) {
  std::vector<double> t;
  for (const Stamped& s : v) t.push_back(s.at);
  return t;
}

std::vector<std::wstring> Whats(const std::vector<Stamped>& v) {
  std::vector<std::wstring> w;
  for (const Stamped& s : v) w.push_back(s.what);
  return w;
}

// The worked example: interval 10, timeout 2000 ms, reconnect interval 5, limit 3, no
// revival; the target goes away at T+10.
TEST(MonitorRunTest, WorkedExampleTickByTick) {
  FakeMonitor m(
      Ini("TargetSSID=Home\r\nPingAddress=127.0.0.1\r\nPingInterval=10\r\nPingTimeout=2000\r\n"
          "ReconnectInterval=5\r\nMaxRetryCount=3\r\nEnableMonitorRevival=false\r\nNotifyOnReconnect=true\r\n"));
  m.profiles = {L"Home"};
  m.answers = [](int64_t s) { return s < 10; };
  m.Run();

  EXPECT_THAT(Times(m.pings), ElementsAre(0, 10, 13, 16, 19, 22));
  EXPECT_THAT(Whats(m.pings), ::testing::Each(std::wstring(L"127.0.0.1")));
  EXPECT_THAT(Times(m.launches), ElementsAre(12, 18, 24));
  EXPECT_THAT(Whats(m.launches), ::testing::Each(std::wstring(L"Home")));
  // Step 8, then the first tick's own "ensure", then the outage, then the end at T+25.
  EXPECT_THAT(m.icons, ElementsAre(Stamped{0, L"100"}, Stamped{0, L"100"}, Stamped{12, L"101"}, Stamped{25, L"102"}));
  EXPECT_THAT(m.tips, ElementsAre(L"Home - Moorlink", L"Moorlink"));
  EXPECT_THAT(m.LogTitles(), ElementsAre(L"監視処理開始", kUserTitle, L"切断検知", L"監視処理中止", L"監視処理終了"));
  EXPECT_EQ(m.logs[2], (LoggedLine{LogCategory::Monitor, L"切断検知", L"Wi-Fiの切断を検知。再接続処理に移行。"}));
  EXPECT_EQ(m.logs[3], (LoggedLine{LogCategory::Monitor, L"監視処理中止",
                                   L"再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止。"}));
  EXPECT_EQ(m.logs[4], (LoggedLine{LogCategory::Monitor, L"監視処理終了", L"切断監視処理が終了しました。"}));
  ASSERT_EQ(m.notifications.size(), 3u);
  EXPECT_EQ(m.notifications[1],
            (Notification{L"Wi-Fiの切断を検知しました。再接続を試みます。", L"Wi-Fi切断検知", NotifyKind::Warning}));
  EXPECT_EQ(m.notifications[2], (Notification{kLimitText, L"監視処理中止", NotifyKind::Error}));
  EXPECT_THAT(m.revivalTimers, IsEmpty());
  EXPECT_FALSE(MonitorRunning.load());
  EXPECT_EQ(m.endedAt, 25);
}

TEST(MonitorRunTest, OneAnsweredPingResetsCountAndAnnouncement) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nPingAddress=127.0.0.1\r\nMaxRetryCount=3\r\nEnableMonitorRevival=false\r\n"));
  m.profiles = {L"Home"};
  m.answers = [](int64_t s) { return s < 10 || s == 19; };
  m.Run();

  // After the answer at T+19 the count starts again from 0: three more launches are needed.
  EXPECT_THAT(Times(m.pings), ElementsAre(0, 10, 13, 16, 19, 29, 32, 35, 38, 41));
  EXPECT_THAT(Times(m.launches), ElementsAre(12, 18, 31, 37, 43));
  EXPECT_THAT(m.LogTitles(), ElementsAre(L"監視処理開始", kUserTitle, L"切断検知", L"接続回復", L"切断検知",
                                         L"監視処理中止", L"監視処理終了"));
  EXPECT_THAT(m.icons, ElementsAre(Stamped{0, L"100"}, Stamped{0, L"100"}, Stamped{12, L"101"}, Stamped{19, L"100"},
                                   Stamped{31, L"101"}, Stamped{44, L"102"}));
}

struct SsidCase {
  const char* name;
  std::wstring target;
  std::set<std::wstring> profiles;
  std::wstring connected;
  std::wstring preferred;
  std::wstring expectedSsid;
  std::wstring expectedTitle;
  std::wstring expectedMessage;
  SsidQueryResult connectedResult = SsidQueryResult::Connected;
  std::vector<std::wstring> networkNames = {};
  friend void PrintTo(const SsidCase& c, std::ostream* os) { *os << c.name; }
};

class SsidChoiceTest : public ::testing::TestWithParam<SsidCase> {};

TEST_P(SsidChoiceTest, ChoosesAndAnnounces) {
  const SsidCase& c = GetParam();
  FakeMonitor m(Ini("PingAddress=127.0.0.1\r\nMaxRetryCount=1\r\nEnableMonitorRevival=false\r\n"));
  m.settings.targetSsid = c.target;
  m.profiles = c.profiles;
  m.connectedSsid = c.connected;
  m.preferredSsid = c.preferred;
  m.connectedResult = c.connectedResult;
  m.networkNames = c.networkNames;
  m.answers = [](int64_t) { return false; };
  m.Run();

  // A refused query is asked once, and told once with the way to the setting.
  const bool denied = c.connectedResult == SsidQueryResult::Denied;
  EXPECT_LE(std::count(m.order.begin(), m.order.end(), L"connected?"), 1);
  ASSERT_GE(m.notifications.size(), 2u);
  EXPECT_EQ(m.notifications[1].link, denied ? std::wstring(kLocationSettingsUri) : L"");
  EXPECT_EQ(m.notifications[1].kind, denied ? NotifyKind::Warning : NotifyKind::Error);
  const std::wstring note = L"（Ping先はユーザー設定の「127.0.0.1」です。）";
  ASSERT_FALSE(m.tips.empty());
  EXPECT_EQ(m.tips.front(), c.expectedSsid + L" - Moorlink");
  ASSERT_FALSE(m.notifications.empty());
  EXPECT_EQ(m.notifications.front(),
            (Notification{c.expectedMessage + L"\n" + note, c.expectedTitle, NotifyKind::Info}));
  ASSERT_GE(m.logs.size(), 2u);
  EXPECT_EQ(m.logs[1], (LoggedLine{LogCategory::Monitor, c.expectedTitle, c.expectedMessage + note}));
  ASSERT_EQ(m.launches.size(), 1u);
  EXPECT_EQ(m.launches[0].what, c.expectedSsid);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SsidChoiceTest,
    ::testing::Values(
        SsidCase{"SavedProfileWinsOverConnection",
                 L"Home",
                 {L"Home", L"Cafe"},
                 L"Cafe",
                 L"Cafe",
                 L"Home",
                 kUserTitle,
                 L"ユーザー設定のSSID「Home」を再接続先にしました。"},
        SsidCase{"JapaneseProfileName",
                 L"自宅のWi-Fi",
                 {L"自宅のWi-Fi"},
                 L"",
                 L"",
                 L"自宅のWi-Fi",
                 kUserTitle,
                 L"ユーザー設定のSSID「自宅のWi-Fi」を再接続先にしました。"},
        SsidCase{"CaseDifferentProfileFallsBackToConnected",
                 L"home",
                 {L"Home"},
                 L"Cafe",
                 L"Home",
                 L"Cafe",
                 kAutoTitle,
                 L"ユーザー設定のSSIDが有効ではない為、\n現在接続中のSSID「Cafe」を再接続先に採用しました。"},
        SsidCase{"EmptyTargetUsesConnected",
                 L"",
                 {L"Home"},
                 L"Cafe",
                 L"Home",
                 L"Cafe",
                 kAutoTitle,
                 L"ユーザー設定のSSIDが有効ではない為、\n現在接続中のSSID「Cafe」を再接続先に採用しました。"},
        SsidCase{
            "NotConnectedUsesPreferredProfile",
            L"Gone",
            {L"Office", L"Home"},
            L"",
            L"Office",
            L"Office",
            kAutoTitle,
            L"ユーザー設定のSSIDが有効ではなく、現在接続中でもない為、\nPC内の最優先プロファイルのSSID「Office」を再接続先に採用しました。"},
        SsidCase{"DeniedAdoptsTheConnectedNetworkThatIsAProfile",
                 L"",
                 {L"Office", L"Home"},
                 L"",
                 L"Office",
                 L"Home",
                 kAutoTitle,
                 kDenied + L"接続中のネットワーク名と一致するプロファイル「Home」を再接続先に採用しました。",
                 SsidQueryResult::Denied,
                 {L"", L"home", L"Home"}},
        SsidCase{"DeniedWithoutAMatchUsesPreferredProfile",
                 L"",
                 {L"Office"},
                 L"",
                 L"Office",
                 L"Office",
                 kAutoTitle,
                 kDenied + L"PC内の最優先プロファイルのSSID「Office」を再接続先に採用しました。",
                 SsidQueryResult::Denied,
                 {L"Office 2"}}),
    [](const ::testing::TestParamInfo<SsidCase>& info) { return std::string(info.param.name); });

TEST(MonitorRunTest, NoSsidEndsEarlyWithoutPingOrRevival) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nEnableMonitorRevival=true\r\n"));  // no profiles, not connected
  m.Run();
  EXPECT_THAT(m.pings, IsEmpty());
  EXPECT_THAT(m.tips, IsEmpty());
  EXPECT_THAT(m.icons, ElementsAre(Stamped{0, L"102"}));
  EXPECT_THAT(m.notifications, ElementsAre(Notification{L"再接続先のSSIDが見つからない為、監視処理を実行しません。",
                                                        L"監視処理起動失敗", NotifyKind::Error}));
  EXPECT_THAT(m.logs,
              ElementsAre(LoggedLine{LogCategory::Monitor, L"監視処理開始", L"切断監視処理を開始しました。"},
                          LoggedLine{LogCategory::Monitor, L"エラー", L"再接続先のSSIDの取得に失敗。監視処理を終了。"},
                          LoggedLine{LogCategory::Monitor, L"監視処理終了", L"切断監視処理が終了しました。"}));
  EXPECT_THAT(m.revivalTimers, IsEmpty());
  EXPECT_FALSE(MonitorRunning.load());
}

struct TargetCase {
  const char* name;
  std::wstring address;
  std::wstring gateway;
  std::wstring expectedTarget;
  std::wstring expectedNote;
  friend void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }
};

class PingTargetTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(PingTargetTest, ChoosesAndExplains) {
  const TargetCase& c = GetParam();
  FakeMonitor m(Ini("TargetSSID=Home\r\nMaxRetryCount=1\r\nEnableMonitorRevival=false\r\n"));
  m.settings.pingAddress = c.address;
  m.profiles = {L"Home"};
  m.gateway = c.gateway;
  m.answers = [](int64_t) { return false; };  // the fake pings nobody
  m.Run();
  ASSERT_FALSE(m.pings.empty());
  EXPECT_EQ(m.pings[0].what, c.expectedTarget);
  const std::wstring ssidMessage = L"ユーザー設定のSSID「Home」を再接続先にしました。";
  EXPECT_EQ(m.notifications.front().message, ssidMessage + L"\n" + c.expectedNote);
  EXPECT_EQ(m.logs[1].message, ssidMessage + c.expectedNote);
}

const std::wstring kGatewayNote = L"（Ping先はユーザー設定が有効ではない為、Wi-Fiのゲートウェイの「127.0.0.2」です。）";
const std::wstring kDnsNote =
    L"（Ping先は、ユーザー設定が有効ではなく、またWi-Fiのゲートウェイの取得にも失敗した為、「Google Public DNS」の「8.8.8.8」です。）";

INSTANTIATE_TEST_SUITE_P(
    Cases, PingTargetTest,
    ::testing::Values(TargetCase{"ValidUserAddress", L"127.0.0.1", L"127.0.0.2", L"127.0.0.1",
                                 L"（Ping先はユーザー設定の「127.0.0.1」です。）"},
                      TargetCase{"EmptyUsesGateway", L"", L"127.0.0.2", L"127.0.0.2", kGatewayNote},
                      TargetCase{"PartAbove255UsesGateway", L"256.1.1.1", L"127.0.0.2", L"127.0.0.2", kGatewayNote},
                      TargetCase{"ThreePartsUsesGateway", L"1.2.3", L"127.0.0.2", L"127.0.0.2", kGatewayNote},
                      TargetCase{"HostNameUsesGateway", L"localhost", L"127.0.0.2", L"127.0.0.2", kGatewayNote},
                      TargetCase{"NoGatewayUsesPublicDns", L"localhost", L"", L"8.8.8.8", kDnsNote}),
    [](const ::testing::TestParamInfo<TargetCase>& info) { return std::string(info.param.name); });

TEST(MonitorRunTest, MaxRetryCountZeroRunsUntilStopped) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nMaxRetryCount=0\r\nReconnectInterval=1\r\nPingTimeout=10\r\n"));
  m.profiles = {L"Home"};
  m.answers = [](int64_t) { return false; };
  m.afterSleep = [&m](double) {
    if (m.launches.size() >= 50) StopRequested.store(true);
  };
  m.Run();
  EXPECT_EQ(m.launches.size(), 50u);
  EXPECT_THAT(m.LogTitles(),
              ElementsAre(L"監視処理開始", kUserTitle, L"切断検知", L"監視処理手動中止", L"監視処理終了"));
  EXPECT_EQ(m.logs[3].message, L"ユーザーの何らかのアクションにより、監視処理を中止。");
  EXPECT_THAT(m.revivalTimers, IsEmpty());
}

TEST(MonitorRunTest, MaxRetryCountOneEndsAfterTheLaunchTicksWait) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nMaxRetryCount=1\r\nPingTimeout=2000\r\nEnableMonitorRevival=false\r\n"));
  m.profiles = {L"Home"};
  m.answers = [](int64_t) { return false; };
  m.Run();
  EXPECT_THAT(Times(m.launches), ElementsAre(2));
  EXPECT_EQ(m.icons.back(), (Stamped{3, L"102"}));
  EXPECT_EQ(m.pings.size(), 1u);
}

TEST(MonitorRunTest, BusyCommandThatNeverEndsIsNotCountedAgain) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nMaxRetryCount=2\r\nReconnectInterval=1\r\n"));
  m.profiles = {L"Home"};
  m.commandsEnd = false;
  m.answers = [](int64_t) { return false; };
  m.afterSleep = [&m](double) {
    if (m.pings.size() >= 30) StopRequested.store(true);
  };
  m.Run();
  EXPECT_EQ(m.launches.size(), 1u);
  EXPECT_EQ(m.pings.size(), 30u);  // pinging goes on; the limit of 2 is never reached
  EXPECT_THAT(m.LogTitles(), ::testing::Contains(std::wstring(L"監視処理手動中止")));
  EXPECT_TRUE(ReconnectCommandBusy.load());
}

TEST(MonitorRunTest, StopRequestWinsOverTheLimitInTheSameTick) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nMaxRetryCount=1\r\nEnableMonitorRevival=true\r\n"));
  m.profiles = {L"Home"};
  m.answers = [](int64_t) { return false; };
  m.afterSleep = [&m](double) {
    if (!m.launches.empty()) StopRequested.store(true);
  };
  m.Run();
  EXPECT_EQ(m.launches.size(), 1u);
  EXPECT_THAT(m.LogTitles(),
              ElementsAre(L"監視処理開始", kUserTitle, L"切断検知", L"監視処理手動中止", L"監視処理終了"));
  EXPECT_THAT(m.revivalTimers, IsEmpty());
  EXPECT_EQ(m.notifications.size(), 1u);  // only the start announcement
}

TEST(MonitorRunTest, StopRequestedBeforeTheLoopPingsNothing) {
  FakeMonitor m(Ini("TargetSSID=Home\r\n"));
  m.profiles = {L"Home"};
  StopRequested.store(true);
  m.Run();
  EXPECT_THAT(m.pings, IsEmpty());
  EXPECT_THAT(m.LogTitles(), ElementsAre(L"監視処理開始", kUserTitle, L"監視処理手動中止", L"監視処理終了"));
  EXPECT_EQ(m.icons.back().what, L"102");
}

TEST(MonitorRunTest, RevivalArmedBeforeAnythingIsShown) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nMaxRetryCount=2\r\nEnableMonitorRevival=yes\r\nMonitorRevivalInterval=7\r\n"));
  m.profiles = {L"Home"};
  m.answers = [](int64_t) { return false; };
  m.Run();
  const std::wstring text = kLimitText + L"\n「7」秒後に監視処理を自動復活させます。";
  EXPECT_THAT(m.revivalTimers, ElementsAre(7));
  EXPECT_EQ(m.notifications.back(), (Notification{text, L"監視処理中止＆自動復活", NotifyKind::Error}));
  EXPECT_EQ(m.logs[m.logs.size() - 2], (LoggedLine{LogCategory::Monitor, L"監視処理中止＆自動復活", text}));
  EXPECT_THAT(m.tips, ElementsAre(L"Home - Moorlink", L"Moorlink", L"監視処理復活タイマー作動中 - Moorlink"));
  const std::vector<std::wstring> tail(m.order.end() - 7, m.order.end());
  EXPECT_THAT(tail, ElementsAre(L"icon 102", L"tip", L"revival", L"notify 監視処理中止＆自動復活",
                                L"log 監視処理中止＆自動復活", L"tip", L"log 監視処理終了"));
}

TEST(MonitorRunTest, NotifyOnReconnectIsReadAtEachAnnouncement) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nMaxRetryCount=0\r\nNotifyOnReconnect=false\r\n"));
  m.profiles = {L"Home"};
  // Two outages with an answer in between; the switch is turned on during the first.
  m.answers = [](int64_t s) { return s < 10 || (s >= 20 && s < 25); };
  bool switched = false;
  m.afterSleep = [&switched, &m](double s) {
    if (s >= 13 && !switched) switched = m.notifyOnReconnect = true;
    if (s >= 45) StopRequested.store(true);
  };
  m.Run();
  int warnings = 0;
  for (const Notification& n : m.notifications) warnings += n.kind == NotifyKind::Warning;
  EXPECT_EQ(warnings, 1);
  int announced = 0;
  for (const LoggedLine& l : m.logs) announced += l.title == L"切断検知";
  EXPECT_EQ(announced, 2);
}

TEST(MonitorRunTest, FirstLaunchWaitsUntilUptimeReachesTheInterval) {
  FakeMonitor m(
      Ini("TargetSSID=Home\r\nReconnectInterval=5\r\nPingTimeout=10\r\nMaxRetryCount=1\r\n"
          "EnableMonitorRevival=false\r\n"));
  m.profiles = {L"Home"};
  m.start = 2 * kSecond;  // the system started two seconds ago
  m.answers = [](int64_t) { return false; };
  m.Run();
  ASSERT_EQ(m.launches.size(), 1u);
  // Ticks at uptime 2, 3.01, 4.02, 5.03: the first with 5 whole seconds of uptime launches.
  EXPECT_NEAR(m.launches[0].at, 3.04, 1e-9);
}

TEST(MonitorRunTest, ThreadThatCannotStartIsLoggedAndRetriedNextTick) {
  const std::function<void()> failures[] = {
      nullptr,  // the start reports false
      [] { throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again)); },
      [] { throw std::bad_alloc(); },
  };
  for (const std::function<void()>& failure : failures) {
    FakeMonitor m(Ini(
        "TargetSSID=Home\r\nReconnectInterval=1\r\nPingTimeout=10\r\nMaxRetryCount=1\r\nEnableMonitorRevival=false\r\n"));
    m.profiles = {L"Home"};
    m.threadStartFailures = 1;
    m.threadStartThrow = failure;
    m.answers = [](int64_t) { return false; };
    m.Run();
    EXPECT_EQ(m.launches.size(), 1u);
    EXPECT_EQ(m.pings.size(), 2u);  // the failed start did not count towards the limit of 1
    EXPECT_THAT(m.logs, ::testing::Contains(LoggedLine{LogCategory::Monitor, L"エラー",
                                                       L"再接続コマンドを実行するスレッドを作成できませんでした。"}));
    EXPECT_FALSE(ReconnectCommandBusy.load());
    EXPECT_THAT(m.LogTitles(), ::testing::Contains(std::wstring(L"監視処理中止")));
  }
}

TEST(MonitorRunTest, FailedTrayIconIsRetriedOnTheNextTick) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nMaxRetryCount=0\r\n"));
  m.profiles = {L"Home"};
  m.trayIconFailures = 3;  // step 8 and the first two ensures fail
  m.afterSleep = [](double s) {
    if (s >= 4) StopRequested.store(true);
  };
  m.Run();
  EXPECT_THAT(m.icons, ElementsAre(Stamped{0, L"100"}, Stamped{0, L"100"}, Stamped{1, L"100"}, Stamped{2, L"100"},
                                   Stamped{4, L"102"}));
}

TEST(MonitorRunTest, ExceptionInAPortStillEndsTheRunCleanly) {
  FakeMonitor m(Ini("TargetSSID=Home\r\n"));
  m.profiles = {L"Home"};
  m.onPing = [] { throw std::runtime_error("probe failed"); };
  m.Run();
  EXPECT_FALSE(MonitorRunning.load());
  EXPECT_EQ(m.logs.back(), (LoggedLine{LogCategory::Monitor, L"監視処理終了", L"切断監視処理が終了しました。"}));
  EXPECT_EQ(m.icons.back().what, L"102");
}

// Sleep and wake, limit 3: no answer in [failFrom, failUntil); events at seconds after T.
struct SleepCase {
  const char* name;
  int grace, failFrom, failUntil, suspendAt, resumeAt, jumpAt, stopAt;
  std::vector<double> pings, launches;
  std::vector<std::wstring> lines;  // titles after the choice; the power lines with their texts
  friend void PrintTo(const SleepCase& c, std::ostream* os) { *os << c.name; }
};

class MonitorRunSleepTest : public ::testing::TestWithParam<SleepCase> {};

TEST_P(MonitorRunSleepTest, ReplaysTheOutage) {
  const SleepCase& c = GetParam();
  FakeMonitor m(
      Ini("TargetSSID=Home\r\nPingAddress=127.0.0.1\r\nMaxRetryCount=3\r\nEnableMonitorRevival=0\r\n"
          "ResumeGraceSeconds=" +
          std::to_string(c.grace)));
  m.profiles = {L"Home"};
  m.answers = [&c](int64_t s) { return s < c.failFrom || s >= c.failUntil; };
  if (c.resumeAt < 0) LastResumeNs.store(m.start + c.resumeAt * kSecond);  // before the run
  m.afterSleep = [&](double at) {
    if (at == c.suspendAt) NoteSystemSuspend(m.NowNs());
    if (at == c.resumeAt) NoteSystemResume(m.NowNs());
    if (at == c.jumpAt) m.Advance(100 * kSecond);  // a wake no notice announced
    if (at >= c.stopAt) StopRequested.store(true);
  };
  m.Run();
  EXPECT_THAT(Times(m.pings), ::testing::ElementsAreArray(c.pings));
  EXPECT_THAT(Times(m.launches), ::testing::ElementsAreArray(c.launches));
  std::vector<std::wstring> lines;
  for (size_t i = 2; i + 1 < m.logs.size(); ++i) {
    const bool power = m.logs[i].title.find(L"スリープ") == 0 || m.logs[i].title == L"復帰待機終了";
    lines.push_back(m.logs[i].title + (power ? L" " + m.logs[i].message : L""));
  }
  EXPECT_THAT(lines, ::testing::ElementsAreArray(c.lines));
}

std::wstring Begin(int s) {
  return L"スリープ復帰 スリープからの復帰を検知。" + std::to_wstring(s) + L"秒間は切断と判定しません。";
}
const std::wstring kElapsed = L"復帰待機終了 復帰待機時間が過ぎた為、通常の監視に戻ります。";
constexpr int kNever = 1'000'000;

INSTANTIATE_TEST_SUITE_P(
    Cases, MonitorRunSleepTest,
    ::testing::Values(
        SleepCase{"ClockJumpStartsTheGrace",
                  30,
                  100,
                  115,
                  kNever,
                  kNever,
                  5,
                  120,
                  {0, 105, 108, 111, 114, 117},
                  {},
                  {Begin(30), L"復帰待機終了 Pingの応答を確認した為、通常の監視に戻ります。", L"監視処理手動中止"}},
        SleepCase{"SuspendPausesAndKeepsTheCount",
                  5,
                  10,
                  kNever,
                  19,
                  50,
                  kNever,
                  kNever,
                  {0, 10, 13, 16, 50, 53},
                  {12, 18, 55},
                  {L"切断検知", L"スリープ スリープに入る為、監視を一時停止。", Begin(5), kElapsed, L"監視処理中止"}},
        SleepCase{"WakeJustBeforeTheRun",
                  30,
                  0,
                  25,
                  kNever,
                  -10,
                  kNever,
                  28,
                  {0, 3, 6, 9, 12, 15, 18, 21, 24, 27},
                  {20, 26},
                  {Begin(30), kElapsed, L"切断検知", L"接続回復", L"監視処理手動中止"}},
        SleepCase{"SuspendWithoutResumeEndsAfterAMinute",
                  5,
                  10,
                  kNever,
                  19,
                  kNever,
                  kNever,
                  kNever,
                  {0, 10, 13, 16, 80, 83},
                  {12, 18, 85},
                  {L"切断検知", L"スリープ スリープに入る為、監視を一時停止。", Begin(5), kElapsed, L"監視処理中止"}},
        SleepCase{"GraceZeroIsTheUsualRun",
                  0,
                  10,
                  kNever,
                  14,
                  5,
                  kNever,
                  kNever,
                  {0, 10, 13, 16, 19, 22},
                  {12, 18, 24},
                  {L"切断検知", L"監視処理中止"}}),
    [](const ::testing::TestParamInfo<SleepCase>& info) { return std::string(info.param.name); });

// A network that cannot be chosen yet: told once with its cause, asked again every 30 s,
// monitored once a profile appears (at T+70 here); or, stopped meanwhile, ended quietly.
TEST(MonitorRunTest, WaitsForWifi) {
  const struct {
    WifiReadiness cause;
    const wchar_t* causeWords;
    bool stop;  // at T+45, while waiting
  } cases[] = {{WifiReadiness::ServiceStopped, L"WLAN AutoConfig", false},
               {WifiReadiness::NoInterface, L"アダプターが見つかりません", false},
               {WifiReadiness::RadioOffSoftware, L"ネットワークとインターネット", false},
               {WifiReadiness::RadioOffHardware, L"本体のスイッチ", false},
               {WifiReadiness::Ready, L"プロファイルがありません", true}};
  for (const auto& c : cases) {
    FakeMonitor m(Ini("PingAddress=127.0.0.1\r\nMaxRetryCount=1\r\nEnableMonitorRevival=0\r\n"));
    m.readiness = [&c](int64_t) { return c.cause; };
    m.answers = [](int64_t) { return false; };
    m.afterSleep = [&](double at) {
      if (at == 70) m.preferredSsid = L"Home";
      if (c.stop && at == 45) StopRequested.store(true);
    };
    m.Run();
    const std::wstring told = m.notifications.at(0).message;
    EXPECT_EQ(told.find(L"再接続先のSSIDが見つからない為、監視処理を実行しません。\n"), 0u) << told;
    EXPECT_NE(told.find(c.causeWords), std::wstring::npos) << told;
    EXPECT_EQ(m.tips.front(), L"Wi-Fiの準備待ち - Moorlink");
    // Asked at the start and every 30 s; monitoring from the first answer that names a network.
    EXPECT_EQ(std::count(m.order.begin(), m.order.end(), L"connected?"), c.stop ? 2 : 4) << told;
    EXPECT_EQ(m.pings.empty() ? -1 : m.pings[0].at, c.stop ? -1 : 90);
  }
}

// Between pings the run sleeps until the next one is due; a change Windows reports wakes
// it to ping at once, and ends the wait for a network as well.
TEST(MonitorRunTest, SleepsUntilDueAndWakesOnAReportedChange) {
  const struct {
    const char* name;
    std::vector<double> changes;
    double stopAt;
    std::vector<double> pings;
    int sleeps;
  } cases[] = {{"idle", {}, 60, {0, 10, 20, 30, 40, 50}, 6},
               {"change", {3}, 30, {0, 3, 13, 23}, 4},
               {"change at a due ping", {10}, 25, {0, 10, 20}, 3}};
  for (const auto& c : cases) {
    FakeMonitor m(Ini("TargetSSID=Home\r\nPingAddress=127.0.0.1\r\nMaxRetryCount=0\r\n"));
    m.profiles = {L"Home"};
    m.afterSleep = [&c](double at) {
      if (std::count(c.changes.begin(), c.changes.end(), at)) NoteNetworkChange();
      if (at >= c.stopAt) StopRequested.store(true);
    };
    m.Run();
    EXPECT_THAT(Times(m.pings), ::testing::ElementsAreArray(c.pings)) << c.name;
    EXPECT_EQ(m.sleeps, c.sleeps) << c.name;
  }
  FakeMonitor m(Ini("PingAddress=127.0.0.1\r\nMaxRetryCount=0\r\n"));
  m.readiness = [](int64_t) { return WifiReadiness::Ready; };
  m.afterSleep = [&m](double at) {
    if (at == 12) {
      m.preferredSsid = L"Home";  // a profile saved, and the connection told
      NoteNetworkChange();
    }
    if (at >= 20) StopRequested.store(true);
  };
  m.Run();
  EXPECT_THAT(Times(m.pings), ElementsAre(12));
}

// The notable events for the Event Log: each with its level, the logged text first and
// the facts apart, so that a collector need not parse the text.
TEST(MonitorRunTest, NotableEventsCarryTheirFacts) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nPingAddress=127.0.0.1\r\nMaxRetryCount=0\r\n"));
  m.profiles = {L"Home"};
  m.answers = [](int64_t s) { return s < 10 || s >= 20; };
  m.afterSleep = [](double at) {
    if (at >= 30) StopRequested.store(true);
  };
  m.Run();
  std::vector<EventId> ids;
  for (const NotableEvent& e : m.events) ids.push_back(e.id);
  std::vector<EventId> expected{EventId::MonitoringStarted, EventId::OutageDetected};
  expected.insert(expected.end(), m.launches.size(), EventId::ReconnectLaunched);
  expected.push_back(EventId::Recovered);
  ASSERT_EQ(ids, expected);
  EXPECT_EQ(m.events[0].strings, (std::vector<std::wstring>{m.logs[1].message, L"Home", L"127.0.0.1"}));
  EXPECT_EQ(m.events[1].level, NotifyKind::Warning);
  EXPECT_EQ(m.events[2].strings.back(), L"1");  // the first command of the outage
  const NotableEvent& recovered = m.events.back();
  EXPECT_EQ(recovered.strings[0], m.logs.at(m.logs.size() - 3).message);
  EXPECT_EQ(recovered.strings[1], L"Home");
  EXPECT_NE(recovered.strings[0].find(L"切断時間 " + recovered.strings[2] + L"秒"), std::wstring::npos);
  EXPECT_EQ(recovered.strings[3], std::to_wstring(m.launches.size()));
  EXPECT_EQ(recovered.strings[4], L"Wi-Fi");
}

// Radio off: nothing launched or counted, told once; radio back: announced and answered.
TEST(MonitorRunTest, RadioOffLaunchesNothing) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nPingAddress=127.0.0.1\r\nMaxRetryCount=2\r\nEnableMonitorRevival=0\r\n"));
  m.profiles = {L"Home"};
  m.answers = [](int64_t s) { return s < 10; };
  m.readiness = [](int64_t s) { return s < 40 ? WifiReadiness::RadioOffSoftware : WifiReadiness::Ready; };
  m.Run();
  EXPECT_THAT(Times(m.launches), ElementsAre(42, 48));
  EXPECT_THAT(m.LogTitles(),
              ElementsAre(L"監視処理開始", kUserTitle, L"Wi-Fiオフ", L"切断検知", L"監視処理中止", L"監視処理終了"));
  EXPECT_EQ(m.icons[2], (Stamped{12, L"101"}));
}

// The threshold, the recovery notice and the history row of each way an outage ends.
struct OutageCase {
  const char* name;
  int threshold;
  int failFrom, failUntil;  // pings started in [failFrom, failUntil) fail
  int stopAt;               // seconds; StopRequested then (ExitRequested too when exiting)
  bool exiting;
  int suspendAt;
  std::vector<double> launches;
  std::vector<OutageRecord> rows;  // start/end as seconds after T
  std::wstring recovery;           // the 接続回復 text, empty for none
  friend void PrintTo(const OutageCase& c, std::ostream* os) { *os << c.name; }
};
class MonitorRunOutageTest : public ::testing::TestWithParam<OutageCase> {};

TEST_P(MonitorRunOutageTest, TellsAndRecords) {
  const OutageCase& c = GetParam();
  FakeMonitor m(
      Ini("TargetSSID=Home\r\nPingAddress=127.0.0.1\r\nMaxRetryCount=0\r\nNotifyOnReconnect=1\r\n"
          "FailuresBeforeReconnect=" +
          std::to_string(c.threshold) + "\r\nResumeGraceSeconds=5\r\n"));
  m.profiles = {L"Home"};
  m.answers = [&c](int64_t s) { return s < c.failFrom || s >= c.failUntil; };
  m.afterSleep = [&](double at) {
    if (at == c.suspendAt) NoteSystemSuspend(m.NowNs());
    if (at >= c.stopAt) ExitRequested.store(c.exiting), StopRequested.store(true);
  };
  m.Run();
  ExitRequested.store(false);
  EXPECT_THAT(Times(m.launches), ::testing::ElementsAreArray(c.launches));
  std::vector<OutageRecord> rows = m.outages;
  for (OutageRecord& r : rows) r.start -= kWallAtT, r.end -= kWallAtT;
  EXPECT_THAT(rows, ::testing::ElementsAreArray(c.rows));
  std::wstring told;
  for (const LoggedLine& l : m.logs) {
    if (l.title == L"接続回復") told = l.message;
  }
  EXPECT_EQ(told, c.recovery);
  EXPECT_EQ(
      std::count(m.notifications.begin(), m.notifications.end(), Notification{told, L"接続回復", NotifyKind::Info}),
      told.empty() ? 0 : 1);
}

OutageRecord Row(WallSeconds start, WallSeconds end, int reconnects, OutageEnd how) {
  return OutageRecord{start, end, L"Home", L"127.0.0.1", reconnects, how, false};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MonitorRunOutageTest,
    ::testing::Values(
        OutageCase{"RecoveryToldWithLengthAndCommands",
                   1,
                   10,
                   20,
                   30,
                   false,
                   kNever,
                   {12, 18},
                   {Row(12, 22, 2, OutageEnd::Recovered)},
                   L"Wi-Fiの接続が回復しました。（切断時間 10秒、再接続 2回）"},
        OutageCase{"ThresholdIgnoresAShortLoss", 3, 10, 16, 30, false, kNever, {}, {}, L""},
        OutageCase{"ThresholdWaitsForTheThirdFailure",
                   3,
                   10,
                   25,
                   40,
                   false,
                   kNever,
                   {18, 24},
                   {Row(18, 25, 2, OutageEnd::Recovered)},
                   L"Wi-Fiの接続が回復しました。（切断時間 7秒、再接続 2回）"},
        OutageCase{
            "StoppedInAnOutage", 1, 10, kNever, 20, false, kNever, {12, 18}, {Row(12, 22, 2, OutageEnd::Stopped)}, L""},
        OutageCase{
            "ExitInAnOutage", 1, 10, kNever, 20, true, kNever, {12, 18}, {Row(12, 22, 2, OutageEnd::ProgramExit)}, L""},
        OutageCase{"SleepEndsTheRow", 1, 10, kNever, 30, false, 16, {12}, {Row(12, 16, 1, OutageEnd::Sleep)}, L""}),
    [](const ::testing::TestParamInfo<OutageCase>& info) { return std::string(info.param.name); });

// Stopped at the retry limit, the outage goes on into the revived run and ends there.
TEST(MonitorRunTest, OutageSpansTheRetryLimit) {
  FakeMonitor m(Ini("TargetSSID=Home\r\nPingAddress=127.0.0.1\r\nMaxRetryCount=2\r\n"));
  m.profiles = {L"Home"};
  m.answers = [&m](int64_t) { return m.revivalTimers.size() == 1; };  // back once revived
  m.afterSleep = [&m](double) {
    if (!m.outages.empty()) StopRequested.store(true);
  };
  m.Run();
  EXPECT_THAT(m.outages, IsEmpty());
  m.Run();
  ASSERT_EQ(m.outages.size(), 1u);
  EXPECT_EQ(m.outages[0],
            (OutageRecord{m.outages[0].start, m.outages[0].end, L"Home", L"127.0.0.1", 2, OutageEnd::Recovered, true}));
  EXPECT_EQ(std::count_if(m.logs.begin(), m.logs.end(), [](auto& l) { return l.title == L"接続回復"; }), 1);
}

// The history over sleeps, freezes, clock changes and the radio, on the fake clocks: rows as
// "<kind> <start>-<end> [<ending> <commands>]", in seconds of wall time after T.
struct HistoryCase {
  const char* name;
  int grace, failFrom, failUntil, stopAt;
  int eventAt;            // the event, at this second after T
  int suspend, freeze;    // a suspend notice (1) or not (0), then the process frozen this long
  WallSeconds wallShift;  // the wall clock set by this much at eventAt
  int radioOffUntil;      // the radio off from eventAt to here
  std::vector<std::string> rows;
  friend void PrintTo(const HistoryCase& c, std::ostream* os) { *os << c.name; }
};
class MonitorRunHistoryTest : public ::testing::TestWithParam<HistoryCase> {};

TEST_P(MonitorRunHistoryTest, RowsFollowTheMonotonicClock) {
  const HistoryCase& c = GetParam();
  FakeMonitor m(Ini("TargetSSID=Home\r\nPingAddress=127.0.0.1\r\nMaxRetryCount=0\r\nResumeGraceSeconds=" +
                    std::to_string(c.grace)));
  m.profiles = {L"Home"};
  m.answers = [&c](int64_t s) { return s < c.failFrom || s >= c.failUntil; };
  m.readiness = [&c](int64_t s) {
    return s >= c.eventAt && s < c.radioOffUntil ? WifiReadiness::RadioOffSoftware : WifiReadiness::Ready;
  };
  m.afterSleep = [&](double at) {
    if (at == c.eventAt) {
      if (c.suspend) NoteSystemSuspend(m.NowNs());
      m.Advance(c.freeze * kSecond);
      if (c.suspend) NoteSystemResume(m.NowNs());
      m.wallShift = c.wallShift;
    }
    if (at >= c.stopAt) StopRequested.store(true);
  };
  m.Run();
  std::vector<std::string> rows;
  auto at = [](WallSeconds t) { return std::to_string(t - kWallAtT); };
  for (const MonitoredSpan& r : m.spans) rows.push_back("監視 " + at(r.start) + "-" + at(r.end));
  const char* const ends[] = {"回復", "監視停止", "プログラム終了", "スリープ", "Windows終了"};
  for (const OutageRecord& r : m.outages) {
    rows.push_back("切断 " + at(r.start) + "-" + at(r.end) + " " + ends[static_cast<int>(r.how)] + " " +
                   std::to_string(r.reconnects));
  }
  EXPECT_THAT(rows, ::testing::ElementsAreArray(c.rows));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MonitorRunHistoryTest,
    ::testing::Values(
        // The rows end at the notice, not at the tick after the wake.
        HistoryCase{"SuspendThenFrozen",
                    5,
                    10,
                    kNever,
                    80,
                    16,
                    1,
                    40,
                    0,
                    0,
                    {"監視 0-16", "監視 56-80", "切断 12-16 スリープ 1", "切断 61-80 監視停止 4"}},
        HistoryCase{"SuspendWithoutGrace",
                    0,
                    10,
                    kNever,
                    80,
                    16,
                    1,
                    40,
                    0,
                    0,
                    {"監視 0-16", "監視 56-80", "切断 12-16 スリープ 1", "切断 58-80 監視停止 4"}},
        // Nobody announced it: they end at the last tick before the gap.
        HistoryCase{"FrozenUnannounced",
                    5,
                    10,
                    kNever,
                    80,
                    16,
                    0,
                    40,
                    0,
                    0,
                    {"監視 0-13", "監視 56-80", "切断 12-13 スリープ 1", "切断 61-80 監視停止 4"}},
        HistoryCase{
            "ClockSetBackInAnOutage", 5, 10, 130, 140, 60, 0, 0, -3600, 0, {"監視 0-140", "切断 12-130 回復 20"}},
        HistoryCase{
            "ClockSetForwardInAnOutage", 5, 10, 130, 140, 60, 0, 0, 3600, 0, {"監視 0-140", "切断 12-130 回復 20"}},
        // Switched off while connected: the PC has no network, an outage all the same.
        HistoryCase{"RadioOffWhileConnected", 5, 20, 50, 60, 20, 0, 0, 0, 50, {"監視 0-60", "切断 22-50 回復 0"}},
        HistoryCase{"CheckpointEveryTenMinutes",
                    5,
                    kNever,
                    kNever,
                    1300,
                    kNever,
                    0,
                    0,
                    0,
                    0,
                    {"監視 0-600", "監視 600-1200", "監視 1200-1300"}}),
    [](const ::testing::TestParamInfo<HistoryCase>& info) { return std::string(info.param.name); });

// The link check and Windows' view: what an outage behind the router is told and recorded.
struct RemedyRunCase {
  const char* name;
  std::string ini;  // besides TargetSSID, NotifyOnReconnect=1 and MaxRetryCount=0
  int failFrom, failUntil;
  std::function<bool(int64_t)> gateway;      // null: no link check port
  std::function<WindowsView(int64_t)> view;  // null: no view port
  std::vector<double> launches;
  std::wstring row;                         // "kind start-end reconnects"
  std::vector<std::wstring> monitorTitles;  // between the run's announcement and 監視処理手動中止
  std::wstring recovery;
  // The name only: the bytes of the lambdas and strings differ from run to run.
  friend void PrintTo(const RemedyRunCase& c, std::ostream* os) { *os << c.name; }
};
class MonitorRunRemedyTest : public ::testing::TestWithParam<RemedyRunCase> {};

TEST_P(MonitorRunRemedyTest, TellsTheRightRemedy) {
  const RemedyRunCase& c = GetParam();
  FakeMonitor m(Ini("TargetSSID=Home\r\nNotifyOnReconnect=1\r\nMaxRetryCount=0\r\n" + c.ini));
  m.profiles = {L"Home"};
  m.gateway = L"127.0.0.1";
  m.notifyOnReconnect = true;
  m.answers = [&c](int64_t s) { return s < c.failFrom || s >= c.failUntil; };
  m.gatewayAnswers = c.gateway;
  m.windowsView = c.view;
  m.afterSleep = [&c](double at) {
    // Windows tells each change of its view, as its connectivity hint does.
    if (c.view && c.view(static_cast<int64_t>(at)) != c.view(static_cast<int64_t>(at) - 1)) NoteNetworkChange();
    if (at >= 120) StopRequested.store(true);
  };
  m.Run();
  EXPECT_THAT(Times(m.launches), ::testing::ElementsAreArray(c.launches));
  std::wstring rows;
  for (const OutageRecord& r : m.outages) {
    const wchar_t* kind = r.kind == OutageKind::Internet ? L"Internet"
                          : r.kind == OutageKind::SignIn ? L"SignIn"
                                                         : L"WiFi";
    rows += kind + (L" " + std::to_wstring(r.start - kWallAtT) + L"-" + std::to_wstring(r.end - kWallAtT) + L" " +
                    std::to_wstring(r.reconnects));
  }
  EXPECT_EQ(rows, c.row);
  std::vector<std::wstring> titles;
  std::wstring recovery;
  for (const LoggedLine& l : m.logs) {
    if (l.category != LogCategory::Monitor || l.title == L"監視処理開始" || l.title == kUserTitle) continue;
    if (l.title == L"監視処理手動中止") break;
    titles.push_back(l.title);
    if (l.title == L"接続回復") recovery = l.message;
  }
  EXPECT_EQ(titles, c.monitorTitles);
  EXPECT_EQ(recovery, c.recovery);
  const bool behind = c.monitorTitles.front() != L"切断検知";
  const std::vector<std::wstring> icons = Whats(m.icons);
  EXPECT_EQ(std::count(icons.begin(), icons.end(), L"103") > 0, behind) << "the fourth icon";
  for (const Notification& n : m.notifications) {
    if (n.title == L"サインインが必要") EXPECT_EQ(n.link, L"http://www.msftconnecttest.com/redirect");
    if (n.title == L"インターネット切断検知" || n.title == L"サインインが必要") EXPECT_EQ(n.kind, NotifyKind::Warning);
  }
}

const auto kGatewayAnswers = [](int64_t) { return true; };
const auto kGatewaySilent = [](int64_t) { return false; };

// One case a line or two, as a table reads.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, MonitorRunRemedyTest,
    ::testing::Values(
        RemedyRunCase{"GatewayAnswersNoCommand", "PingAddress=127.0.0.2\r\n", 10, 40, kGatewayAnswers, nullptr,
            {}, L"Internet 12-40 0", {L"インターネット切断検知", L"接続回復"},
            L"インターネットの接続が回復しました。（切断時間 28秒、再接続 0回）"},
        // A silent gateway costs its own short wait before each command.
        RemedyRunCase{"GatewaySilentReconnects", "PingAddress=127.0.0.2\r\n", 10, 25, kGatewaySilent, nullptr,
            {13, 20, 27}, L"WiFi 13-28 3", {L"切断検知", L"接続回復"},
            L"Wi-Fiの接続が回復しました。（切断時間 15秒、再接続 3回）"},
        RemedyRunCase{"GatewayLostLaterReconnects", "PingAddress=127.0.0.2\r\n", 10, 40,
            [](int64_t s) { return s < 20; }, nullptr, {25, 32, 39}, L"WiFi 12-40 3",
            {L"インターネット切断検知", L"切断検知", L"接続回復"},
            L"Wi-Fiの接続が回復しました。（切断時間 28秒、再接続 3回）"},
        RemedyRunCase{"CheckOffReconnectsAsBefore", "PingAddress=127.0.0.2\r\nEnableGatewayCheck=0\r\n", 10, 20,
            kGatewayAnswers, [](int64_t) { return WindowsView::SignIn; }, {12, 18}, L"WiFi 12-22 2",
            {L"切断検知", L"接続回復"}, L"Wi-Fiの接続が回復しました。（切断時間 10秒、再接続 2回）"},
        RemedyRunCase{"PortalAsksForASignIn", "PingAddress=127.0.0.2\r\n", 10, 40, kGatewaySilent,
            [](int64_t s) { return s >= 10 && s < 40 ? WindowsView::SignIn : WindowsView::Internet; },
            {}, L"SignIn 12-40 0", {L"サインインが必要", L"接続回復"},
            L"サインインが必要な状態から回復しました。（切断時間 28秒、再接続 0回）"},
        // The default target, the gateway itself, answers while Windows sees no internet.
        RemedyRunCase{"GatewayAsTargetWithLocalAccessOnly", "", kNever, kNever, nullptr,
            [](int64_t s) { return s >= 20 && s < 100 ? WindowsView::LocalOnly : WindowsView::Internet; },
            {}, L"Internet 50-100 0", {L"インターネット切断検知", L"接続回復"},
            L"インターネットの接続が回復しました。（切断時間 50秒、再接続 0回）"},
        // The router's address typed as the target is the same.
        RemedyRunCase{"TypedRouterAddressWithLocalAccessOnly", "PingAddress=127.0.0.1\r\n", kNever, kNever, nullptr,
            [](int64_t s) { return s >= 20 && s < 100 ? WindowsView::LocalOnly : WindowsView::Internet; },
            {}, L"Internet 50-100 0", {L"インターネット切断検知", L"接続回復"},
            L"インターネットの接続が回復しました。（切断時間 50秒、再接続 0回）"}),
    [](const ::testing::TestParamInfo<RemedyRunCase>& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace moorlink::test
