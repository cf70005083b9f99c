#include <gtest/gtest.h>

#include "common/Platform.h"
#include "common/Text.h"
#include "settings/Policy.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

TEST(SettingsTest, MissingFileGivesEveryDefault) {
  ScopedSettingsFile settings;  // no file at all
  EXPECT_EQ(TargetSSID(), L"");
  EXPECT_EQ(ReconnectInterval(), 5);
  EXPECT_EQ(MaxRetryCount(), 20);
  EXPECT_EQ(PingAddress(), L"");
  EXPECT_EQ(PingInterval(), 10);
  EXPECT_EQ(PingTimeout(), 2000);
  EXPECT_TRUE(EnableMonitorRevival());
  EXPECT_EQ(MonitorRevivalInterval(), 1200);
  EXPECT_FALSE(NotifyOnReconnect());
  EXPECT_EQ(ResumeGraceSeconds(), 30);
  EXPECT_FALSE(UseLog());
  EXPECT_TRUE(LogProcess());
  EXPECT_TRUE(LogMonitor());
  EXPECT_TRUE(LogPing());
  EXPECT_TRUE(LogNetsh());
  EXPECT_TRUE(LogOther());
  EXPECT_EQ(NotifyMode(), 0);
  EXPECT_EQ(VoiceName(), L"");
  EXPECT_EQ(VoiceVolume(), 60);
  EXPECT_FALSE(PathExists(settings.path()));  // reading never creates the file
}

struct ClampCase {
  const char* section;
  const char* key;
  const char* stored;
  int (*getter)();
  int expected;
};

TEST(SettingsTest, StoredIntegersAreClampedOnRead) {
  const ClampCase cases[] = {
      {"AutoReconnect", "PingTimeout", "5", PingTimeout, 10},
      {"AutoReconnect", "PingTimeout", "50000", PingTimeout, 30000},
      {"AutoReconnect", "PingTimeout", "1500", PingTimeout, 1500},
      {"AutoReconnect", "ReconnectInterval", "0", ReconnectInterval, 1},
      {"AutoReconnect", "ReconnectInterval", "3601", ReconnectInterval, 3600},
      {"AutoReconnect", "PingInterval", "4000", PingInterval, 3600},
      {"AutoReconnect", "PingInterval", "-1", PingInterval, 1},
      {"AutoReconnect", "MaxRetryCount", "-3", MaxRetryCount, 0},
      {"AutoReconnect", "MaxRetryCount", "100000", MaxRetryCount, 100000},
      {"AutoReconnect", "MonitorRevivalInterval", "0", MonitorRevivalInterval, 1},
      {"AutoReconnect", "MonitorRevivalInterval", "100000", MonitorRevivalInterval, 100000},
      {"AutoReconnect", "ResumeGraceSeconds", "601", ResumeGraceSeconds, 600},
      {"AutoReconnect", "ResumeGraceSeconds", "-1", ResumeGraceSeconds, 0},
      {"Notify", "NotifyMode", "7", NotifyMode, 4},
      {"Notify", "NotifyMode", "-1", NotifyMode, 0},
      {"Notify", "VoiceVolume", "150", VoiceVolume, 100},
      {"Notify", "VoiceVolume", "-5", VoiceVolume, 0},
      // Malformed text: the profile reader takes the leading number, or 0, then the clamp applies.
      {"AutoReconnect", "PingInterval", "12abc", PingInterval, 12},
      {"AutoReconnect", "PingTimeout", "abc", PingTimeout, 10},
      {"AutoReconnect", "PingTimeout", " 300", PingTimeout, 300},
      // An empty value reads as the default.
      {"AutoReconnect", "PingTimeout", "", PingTimeout, 2000},
  };
  for (const ClampCase& c : cases) {
    ScopedSettingsFile settings(std::string("[") + c.section + "]\r\n" + c.key + "=" + c.stored + "\r\n");
    EXPECT_EQ(c.getter(), c.expected) << c.key << "=" << c.stored;
  }
}

TEST(SettingsTest, BooleanRule) {
  const std::pair<const char*, bool> cases[] = {
      {"1", true},   {"true", true},   {"TRUE", true}, {"on", true},     {"On", true}, {"yes", true},
      {"Yes", true}, {"0", false},     {"no", false},  {"y", false},     {"2", false}, {"enabled", false},
      {"", false},   {"false", false}, {"off", false}, {"truex", false},
  };
  for (const auto& [stored, expected] : cases) {
    // LogPing defaults to true, so only the stored text can make it false.
    ScopedSettingsFile settings(std::string("[Log]\r\nUseLog=") + stored + "\r\nLogPing=" + stored + "\r\n");
    EXPECT_EQ(UseLog(), expected) << stored;
    EXPECT_EQ(LogPing(), expected) << stored;
  }
}

TEST(SettingsTest, MissingBooleanKeyGivesItsDefault) {
  ScopedSettingsFile settings("[Log]\r\nUseLog=yes\r\n");
  EXPECT_TRUE(LogPing());
  EXPECT_FALSE(NotifyOnReconnect());
  EXPECT_TRUE(EnableMonitorRevival());
}

TEST(SettingsTest, KeysAndSectionsIgnoreLetterCase) {
  ScopedSettingsFile settings("[autoreconnect]\r\npinginterval=30\r\n");
  EXPECT_EQ(PingInterval(), 30);
}

TEST(SettingsTest, ComposeSettingsPath) {
#ifdef _WIN32
  const std::wstring exe = L"C:\\Tools\\watch\\app.exe";
  const std::wstring folder = L"C:\\Tools\\watch\\";
#else
  const std::wstring exe = L"/opt/tools/watch/app";
  const std::wstring folder = L"/opt/tools/watch/";
#endif
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"staff", L"staff_Moorlink.ini"}, {L"a:b", L"a_b_Moorlink.ini"},
      {L"who?", L"who__Moorlink.ini"},   {L"...", L"file_Moorlink.ini"},
      {L"name. ", L"name_Moorlink.ini"}, {L"\u5c71\u7530", L"\u5c71\u7530_Moorlink.ini"},
  };
  for (const auto& [user, file] : cases) EXPECT_EQ(ComposeSettingsPath(exe, user), folder + file);
  EXPECT_EQ(ComposeSettingsPath(L"app.exe", L"staff"), L"");
}

TEST(SettingsTest, ComputeSettingsPathSitsBesideTheExecutable) {
  const std::wstring saved = SettingsPath;
  ASSERT_TRUE(ComputeSettingsPath());
  const std::wstring path = SettingsPath;
  SettingsPath = saved;
  // The test program's own folder, as the system reports it.
  const std::wstring exe = ModuleFilePath();
  const std::wstring folder = exe.substr(0, exe.find_last_of(kPathSeparator) + 1);
  ASSERT_GT(folder.size(), 1u);
  ASSERT_GT(path.size(), folder.size() + 13);
  EXPECT_EQ(path.substr(0, folder.size()), folder) << path;
  const std::wstring file = path.substr(folder.size());
  EXPECT_EQ(file.find(kPathSeparator), std::wstring::npos) << path;
  EXPECT_EQ(file.substr(file.size() - 13), L"_Moorlink.ini");
}

struct RoundTripCase {
  const char* name;
  std::wstring value;
};

TEST(SettingsTest, StringsReadBackExactlyAsWritten) {
  const RoundTripCase cases[] = {
      {"ascii", L"Home"},
      {"japanese ssid", L"\u81ea\u5b85\u306eWi-Fi\uff08\uff15\uff27\uff09"},
      {"emoji voice", L"VOICEVOX: \u305a\u3093\u3060\u3082\u3093(\u30ce\u30fc\u30de\u30eb)\U0001F3A4"},
      {"leading and trailing blanks", L"  Cafe  "},
      {"ideographic space at the edge", L"\u3000\u81ea\u5b85"},
      {"quoted", L"\"AP\""},
      {"single-quoted", L"'AP'"},
      {"one quote", L"\"AP"},
      {"equals and semicolon", L"a=b;c"},
      {"empty", L""},
  };
  ScopedSettingsFile settings;
  for (const RoundTripCase& c : cases) {
    ASSERT_TRUE(WriteSetting(keys::TargetSSID, c.value)) << c.name;
    EXPECT_EQ(TargetSSID(), c.value) << c.name;
    ASSERT_TRUE(WriteSetting(keys::VoiceName, c.value)) << c.name;
    EXPECT_EQ(VoiceName(), c.value) << c.name;
  }
}

TEST(SettingsTest, ValuesLongerThanTheBufferAreCut) {
  ScopedSettingsFile settings;
  const std::wstring longValue(3000, L'x');
  ASSERT_TRUE(WriteSetting(keys::PingAddress, longValue));
  EXPECT_EQ(PingAddress(), std::wstring(2047, L'x'));
}

TEST(SettingsTest, LineBreaksAreRefusedAndKeepTheOldValue) {
  ScopedSettingsFile settings;
  ASSERT_TRUE(WriteSetting(keys::TargetSSID, std::wstring(L"Home")));
  EXPECT_FALSE(WriteSetting(keys::TargetSSID, std::wstring(L"Evil\r\n[Log]\r\nUseLog=true")));
  EXPECT_EQ(TargetSSID(), L"Home");
  EXPECT_FALSE(UseLog());
}

TEST(SettingsTest, WritersClampAndFormat) {
  ScopedSettingsFile settings;
  ASSERT_TRUE(WriteSetting(keys::PingTimeout, 99999));
  ASSERT_TRUE(WriteSetting(keys::MaxRetryCount, -4));
  ASSERT_TRUE(WriteSetting(keys::MonitorRevivalInterval, 0));
  ASSERT_TRUE(WriteSetting(keys::UseLog, true));
  ASSERT_TRUE(WriteSetting(keys::NotifyOnReconnect, false));
  EXPECT_EQ(ReadSettingString(L"AutoReconnect", L"PingTimeout", L"?"), L"30000");
  EXPECT_EQ(ReadSettingString(L"AutoReconnect", L"MaxRetryCount", L"?"), L"0");
  EXPECT_EQ(ReadSettingString(L"AutoReconnect", L"MonitorRevivalInterval", L"?"), L"1");
  EXPECT_EQ(ReadSettingString(L"Log", L"UseLog", L"?"), L"true");
  EXPECT_EQ(ReadSettingString(L"AutoReconnect", L"NotifyOnReconnect", L"?"), L"false");
}

TEST(SettingsTest, RewritingAKeyKeepsEveryOtherSetting) {
  ScopedSettingsFile settings;
  ASSERT_TRUE(WriteSetting(keys::TargetSSID, std::wstring(L"Home")));
  ASSERT_TRUE(WriteSetting(keys::PingInterval, 30));
  ASSERT_TRUE(WriteSetting(keys::UseLog, true));
  ASSERT_TRUE(WriteSetting(keys::VoiceVolume, 80));
  ASSERT_TRUE(WriteSetting(keys::PingInterval, 45));
  EXPECT_EQ(TargetSSID(), L"Home");
  EXPECT_EQ(PingInterval(), 45);
  EXPECT_TRUE(UseLog());
  EXPECT_EQ(VoiceVolume(), 80);
}

TEST(SettingsTest, EmptySettingsPathReadsDefaultsAndWritesNothing) {
  const std::wstring saved = SettingsPath;
  SettingsPath.clear();
  EXPECT_EQ(PingTimeout(), 2000);
  EXPECT_TRUE(LogOther());
  EXPECT_FALSE(WriteSetting(keys::PingTimeout, 100));
  SettingsPath = saved;
}

// A policy value wins over the settings file, the machine's over the user's; a value of
// the wrong type is none; the key's clamp applies to it as to the file's.
TEST(SettingsTest, PolicyWinsOverTheFileAndTheMachineOverTheUser) {
  struct Stored {
    std::optional<PolicyValue> machine, user;
  };
  auto number = [](uint32_t n) { return PolicyValue{true, n, L""}; };
  auto text = [](const wchar_t* t) { return PolicyValue{false, 0, t}; };
  const struct {
    const char* name;
    const wchar_t* key;
    Stored stored;
    std::wstring expected;  // as the getter gives it
    bool set;
  } cases[] = {
      {"file only", L"PingInterval", {}, L"30", false},
      {"user over file", L"PingInterval", {std::nullopt, number(20)}, L"20", true},
      {"machine over user", L"PingInterval", {number(15), number(20)}, L"15", true},
      {"clamped like the file", L"PingInterval", {number(0xFFFFFFFF), std::nullopt}, L"3600", true},
      {"clamped below", L"PingTimeout", {number(1), std::nullopt}, L"10", true},
      {"text for a number is none", L"PingInterval", {text(L"5"), number(20)}, L"20", true},
      {"text key", L"PingAddress", {text(L"127.0.0.5"), text(L"127.0.0.6")}, L"127.0.0.5", true},
      {"number for a text key is none", L"PingAddress", {number(1), std::nullopt}, L"127.0.0.9", false},
      {"boolean 0 over the file's true", L"NotifyOnReconnect", {number(0), std::nullopt}, L"0", true},
      {"boolean nonzero", L"EnableGatewayCheck", {std::nullopt, number(1)}, L"1", true},
  };
  ScopedSettingsFile file(
      "[AutoReconnect]\r\nPingInterval=30\r\nPingAddress=127.0.0.9\r\nNotifyOnReconnect=true\r\n"
      "EnableGatewayCheck=false\r\n");
  for (const auto& c : cases) {
    SetPolicyReaderForTesting([&c](PolicyScope scope, const std::wstring& section, const std::wstring& key) {
      if (section != L"AutoReconnect" || key != c.key) return std::optional<PolicyValue>();
      return scope == PolicyScope::Machine ? c.stored.machine : c.stored.user;
    });
    const std::wstring key = c.key;
    std::wstring got;
    if (key == L"PingInterval") got = std::to_wstring(PingInterval());
    if (key == L"PingTimeout") got = std::to_wstring(PingTimeout());
    if (key == L"PingAddress") got = PingAddress();
    if (key == L"NotifyOnReconnect") got = NotifyOnReconnect() ? L"1" : L"0";
    if (key == L"EnableGatewayCheck") got = EnableGatewayCheck() ? L"1" : L"0";
    EXPECT_EQ(got, c.expected) << c.name;
    EXPECT_EQ(SetByPolicy(L"AutoReconnect", key, key != L"PingAddress"), c.set) << c.name;
  }
  // The sheet's write of a key the policy sets leaves the file's value.
  SetPolicyReaderForTesting([](PolicyScope, const std::wstring&, const std::wstring& key) {
    return key == L"PingInterval" ? std::optional<PolicyValue>(PolicyValue{true, 15, L""}) : std::nullopt;
  });
  EXPECT_TRUE(WriteSetting(keys::PingInterval, 99));
  SetPolicyReaderForTesting(nullptr);
  EXPECT_EQ(PingInterval(), 30);
}

}  // namespace
}  // namespace moorlink::test
