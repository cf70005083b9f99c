#include <climits>
#include <gtest/gtest.h>
#include <tuple>
#include <utility>

#include "app/SettingsPages.h"
#include "settings/Policy.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace moorlink {
namespace {

TEST(MonitorPage, ShowsStoredValuesByThePageRules) {
  test::ScopedSettingsFile ini(
      "[AutoReconnect]\r\nTargetSSID= Home \r\nMaxRetryCount=-3\r\nMonitorRevivalInterval=0\r\nPingTimeout=5\r\n");
  const MonitorPageValues v = LoadMonitorPage();
  EXPECT_EQ(v.targetSsid, L"Home");  // the profile reader trims unquoted blanks
  EXPECT_EQ(v.numbers, (std::array<int, 5>{5, 0, 10, 10, 1}));
  EXPECT_TRUE(v.enableRevival);
  EXPECT_FALSE(v.notifyOnReconnect);
}

// Unsigned translation first, then the range as a signed 32-bit value; the first invalid
// field in page order wins.
TEST(MonitorPage, ValidatesInFieldOrder) {
  struct Case {
    std::array<NumberReading, 5> readings;
    int firstInvalid;
  };
  using R = std::array<NumberReading, 5>;
  const NumberReading ok{true, 10};
  const Case cases[] = {
      {R{{ok, ok, ok, ok, ok}}, -1},
      {R{{ok, {true, 0}, ok, ok, ok}}, -1},                         // a retry limit of 0 is valid
      {R{{ok, {true, 999999999}, ok, ok, {true, 999999999}}}, -1},  // nine typed digits
      {R{{{false, 0}, ok, ok, ok, ok}}, 0},                         // empty: does not translate
      {R{{{true, 3601}, {false, 0}, ok, ok, ok}}, 0},
      {R{{ok, {true, 4294967295u}, ok, ok, ok}}, 1},  // -1 as signed
      {R{{ok, {true, 2147483648u}, ok, ok, ok}}, 1},  // INT_MIN as signed
      {R{{ok, ok, {true, 0}, ok, ok}}, 2},
      {R{{ok, ok, ok, {true, 9}, ok}}, 3},
      {R{{ok, ok, ok, ok, {true, 0}}}, 4},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstInvalidNumber(c.readings), c.firstInvalid);
  EXPECT_EQ(RangeMessage(kMonitorNumberFields[0]), L"再接続コマンドの実行間隔は 1～3600 の範囲で入力して下さい。");
  EXPECT_EQ(RangeMessage(kMonitorNumberFields[3]), L"Pingの応答待ち時間は 10～30000 の範囲で入力して下さい。");
  EXPECT_EQ(RangeMessage(kMonitorNumberFields[4]), L"監視復活までの時間は 1～2147483647 の範囲で入力して下さい。");
}

TEST(MonitorPage, SavesEveryKeyAsTypedAndLogsTheUpdate) {
  test::ScopedSettingsFile ini;
  MonitorPageValues v;
  v.targetSsid = L" My \"Wi-Fi\" ";
  v.pingAddress = L"";
  v.numbers = {3600, 0, 1, 30000, 999999999};
  v.enableRevival = false;
  v.notifyOnReconnect = true;
  std::vector<std::wstring> log;
  SaveMonitorPage(
      v,
      [&](LogCategory c, const std::wstring& t, const std::wstring& m) {
        log.push_back(std::to_wstring(static_cast<int>(c)) + L"|" + t + L"|" + m);
      },
      [&](const std::wstring& m, const std::wstring&, NotifyKind) { log.push_back(L"told " + m); });
  const MonitorPageValues back = LoadMonitorPage();
  EXPECT_EQ(back.targetSsid, v.targetSsid);  // blanks and quotes survive the round trip
  EXPECT_EQ(back.numbers, v.numbers);
  EXPECT_FALSE(back.enableRevival);
  EXPECT_TRUE(back.notifyOnReconnect);
  EXPECT_EQ(log, std::vector<std::wstring>{L"4|設定更新|ユーザー設定が更新されました。"});
}

TEST(DetailPage, ValidatesItsLimits) {
  using R = std::array<NumberReading, 2>;
  const std::pair<R, int> cases[] = {
      {R{{{true, 1}, {true, 0}}}, -1},          {R{{{true, 10}, {true, 600}}}, -1}, {R{{{true, 0}, {true, 30}}}, 0},
      {R{{{true, 11}, {true, 601}}}, 0},        {R{{{true, 2}, {true, 601}}}, 1},   {R{{{true, 2}, {false, 0}}}, 1},
      {R{{{true, 2}, {true, 4294967295u}}}, 1},
  };
  for (const auto& [readings, invalid] : cases) EXPECT_EQ(FirstInvalidNumber(readings, kDetailNumberFields), invalid);
  EXPECT_EQ(RangeMessage(kDetailNumberFields[0]), L"再接続までの連続失敗回数は 1～10 の範囲で入力して下さい。");
  EXPECT_EQ(RangeMessage(kDetailNumberFields[1]), L"スリープ復帰後の待機時間は 0～600 の範囲で入力して下さい。");
}

// Only a change of what the run reads at its start asks for a restart, and is logged.
TEST(DetailPage, RestartsTheRunOnlyForItsKeys) {
  test::ScopedSettingsFile ini("[AutoReconnect]\r\nResumeGraceSeconds=900\r\n");
  const DetailPageValues loaded = LoadDetailPage();
  EXPECT_EQ(loaded.numbers, (std::array<int, 2>{1, 600}));  // the default, and a stored value clamped
  EXPECT_TRUE(loaded.useHistory);
  const std::pair<DetailPageValues, bool> steps[] = {
      {{{1, 600}, false}, false}, {{{3, 600}, false}, true}, {{{3, 0}, false}, true}, {{{3, 0}, true}, false}};
  for (const auto& [values, restart] : steps) {
    int logged = 0;
    EXPECT_EQ(SaveDetailPage(
                  values, [&](LogCategory, const std::wstring&, const std::wstring&) { ++logged; }, nullptr),
              restart);
    EXPECT_EQ(logged, restart ? 1 : 0);
    const DetailPageValues back = LoadDetailPage();
    EXPECT_EQ(back.numbers, values.numbers);
    EXPECT_EQ(back.useHistory, values.useHistory);
  }
}

TEST(LogPage, CategoriesSurviveLoggingSwitchedOff) {
  test::ScopedSettingsFile ini("[Log]\r\nUseLog=false\r\nLogPing=false\r\n");
  LogPageValues v = LoadLogPage();
  EXPECT_EQ(v, (LogPageValues{false, true, true, false, true, true}));
  v[0] = true;
  v[5] = false;
  SaveLogPage(v, nullptr);
  EXPECT_EQ(LoadLogPage(), (LogPageValues{true, true, true, false, true, false}));
}

TEST(OtherPage, ModeEntriesVoicesAndWheel) {
  // Each entry at its NotifyMode index, and whether its mode speaks.
  const std::pair<const wchar_t*, bool> modes[] = {
      {L"バルーンのみ", false},    {L"メッセージボックスのみ", false},    {L"音声のみ", true},
      {L"音声 ＋ バルーン", true}, {L"音声 ＋ メッセージボックス", true},
  };
  for (int mode = 0; mode < 5; ++mode) {
    EXPECT_STREQ(kNotifyModeEntries[mode], modes[mode].first) << mode;
    EXPECT_EQ(SpeechControlsEnabled(mode), modes[mode].second) << mode;
  }
  const std::vector<std::wstring> names = {L"Haruka", L"VOICEVOX: A(b)", L"Ayumi"};
  EXPECT_EQ(VoiceEntries(names), (std::vector<std::wstring>{L"既定の音声", L"Haruka", L"VOICEVOX: A(b)", L"Ayumi"}));
  EXPECT_EQ(VoiceEntries({}), std::vector<std::wstring>{L"既定の音声"});
  EXPECT_EQ(VoiceSelection(names, L"voicevox: a(B)"), 2);
  EXPECT_EQ(VoiceSelection(names, L"Nobody"), 0);
  EXPECT_EQ(VoiceSelection(names, L""), 0);
  EXPECT_EQ(VoiceSelection({}, L"Haruka"), 0);
  const std::pair<std::pair<int, int>, int> wheel[] = {
      {{98, 120}, 100}, {{3, -120}, 0}, {{50, 1}, 55}, {{50, -480}, 45}};
  for (const auto& [in, out] : wheel) EXPECT_EQ(WheelVolume(in.first, in.second), out);
}

TEST(OtherPage, SavesAndKeepsTheShortcutInStepWithTheBox) {
  struct Case {
    bool box;
    bool exists;
    const char* expected;  // c: created, r: removed, -: untouched
  };
  const Case cases[] = {{true, false, "c"}, {false, true, "r"}, {true, true, "-"}, {false, false, "-"}};
  for (const Case& c : cases) {
    test::ScopedSettingsFile ini;
    std::string did = "-";
    StartupShortcutPorts shortcut{[&] { return c.exists; },
                                  [&](const std::wstring& arguments) {
                                    did = arguments.empty() ? "c" : "c+args";
                                    return true;
                                  },
                                  [&] { did = "r"; }};
    SaveOtherPage({7, 3, L"Ayumi", 250, c.box}, shortcut, nullptr);
    EXPECT_EQ(did, c.expected);
    EXPECT_EQ(NotifyMode(), 4);
    EXPECT_EQ(VoiceName(), L"Ayumi");
    EXPECT_EQ(VoiceVolume(), 100);
  }
}

// The default entry stores an empty name; a greyed-out list (no speech) keeps the stored one.
TEST(OtherPage, SavesTheVoiceOnlyForAModeWithSpeech) {
  const std::tuple<int, int, const wchar_t*, const wchar_t*> cases[] = {{4, 0, L"既定の音声", L""},
                                                                        {2, 3, L"Ayumi", L"Ayumi"},
                                                                        {1, 0, L"既定の音声", L"VOICEVOX: Gone(a)"},
                                                                        {0, 2, L"Haruka", L"VOICEVOX: Gone(a)"},
                                                                        {3, -1, L"", L"VOICEVOX: Gone(a)"}};
  for (const auto& [mode, voice, text, stored] : cases) {
    test::ScopedSettingsFile ini("[Notify]\r\nVoiceName=VOICEVOX: Gone(a)\r\n");
    SaveOtherPage({mode, voice, text, 60, false}, {}, nullptr);
    EXPECT_EQ(VoiceName(), stored) << mode << " " << voice;
  }
}

// Every page tells a failed save once, with the path, and never logs it as an update.
TEST(SettingsPages, AFailedSaveIsReportedWithThePath) {
  const std::function<void(const LogWriterFunction&, const NotifyUserFn&)> saves[] = {
      [](const LogWriterFunction& log, const NotifyUserFn& tell) { SaveMonitorPage(MonitorPageValues{}, log, tell); },
      [](const LogWriterFunction&, const NotifyUserFn& tell) { SaveLogPage(LogPageValues{}, tell); },
      [](const LogWriterFunction&, const NotifyUserFn& tell) {
        SaveOtherPage({2, -1, L"", 60, false}, {}, tell);
      },
      [](const LogWriterFunction& log, const NotifyUserFn& tell) {
        SaveDetailPage({{3, 0}, false}, log, tell);
      },
  };
  for (const auto& save : saves) {
    test::ScopedSettingsFile ini;
    const std::wstring saved = SettingsPath;
    SettingsPath.clear();  // writes fail
    std::vector<std::wstring> told;
    save([&](LogCategory, const std::wstring& t, const std::wstring&) { told.push_back(L"log " + t); },
         [&](const std::wstring& m, const std::wstring& t, NotifyKind k) {
           told.push_back(t + L"|" + m + L"|" + std::to_wstring(static_cast<int>(k)));
         });
    SettingsPath = saved;
    EXPECT_EQ(told,
              std::vector<std::wstring>{L"設定の保存に失敗|設定の保存に失敗しました。\n\n\u00A0\u00A0\u00A0\u00A0|2"});
  }
}

// Whichever shown pages ask, the monitor restarts once, after the last of them; a round
// cut short leaves nothing for the next.
TEST(SettingsSheet, RestartsOnceAfterTheRound) {
  using Steps = std::vector<std::tuple<int, bool, bool>>;  // page, asks, restarts now
  const std::pair<ShownPages, Steps> cases[] = {
      {{true, false, false, true}, {{0, true, false}, {3, true, true}}},
      {{true, false, false, true}, {{0, true, false}, {3, false, true}, {0, false, false}, {3, false, false}}},
      {{true, true, true, false}, {{0, true, false}, {1, false, false}, {2, false, true}}},
      {{true, false, true, true}, {{0, true, false}, {0, false, false}, {2, false, false}, {3, false, false}}},
      {{false, false, false, true}, {{3, false, false}, {3, true, true}}},
  };
  for (const auto& [shown, steps] : cases) {
    ApplyRound round;
    for (const auto& [page, asks, now] : steps) EXPECT_EQ(round.Saved(page, shown, asks), now) << page;
  }
  EXPECT_TRUE(ApplyRound::Begins(1, {false, true, false, true}));
  EXPECT_FALSE(ApplyRound::Begins(3, {false, true, false, true}));
}

// A key a policy sets locks its controls on its own page only, with the type it takes.
TEST(SettingsPages, PolicyLocksTheControlsOfTheKeysItSets) {
  SetPolicyReaderForTesting([](PolicyScope scope, const std::wstring&, const std::wstring& key) {
    if (scope == PolicyScope::User && key == L"PingInterval") return std::optional<PolicyValue>({true, 5, L""});
    if (key == L"GatewayAddress") return std::optional<PolicyValue>({true, 1, L""});  // a number: no policy
    return std::optional<PolicyValue>();
  });
  EXPECT_EQ(PolicyLockedControls(kMonitorSheetPage),
            (std::vector<int>{IDC_PING_INTERVAL_LABEL, IDC_PING_INTERVAL, IDC_PING_INTERVAL_SPIN}));
  EXPECT_TRUE(PolicyLockedControls(kDetailSheetPage).empty());
  SetPolicyReaderForTesting(nullptr);
}

}  // namespace
}  // namespace moorlink
