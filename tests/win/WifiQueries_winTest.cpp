// The WLAN queries against the scripted wlanapi.dll that lies beside this exe
// (run with WINEDLLOVERRIDES=wlanapi=n).
#include <windows.h>

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "monitor/ConnectionWatch.h"
#include "monitor/WifiQueries.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

#define FIRST "{6c8b7a34-1f0e-4d2a-9b3c-0a1b2c3d4e5f}"
#define SECOND "{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}"

// Points the double at a scenario file and a call log in a temporary folder.
class ScriptedWlan {
 public:
  explicit ScriptedWlan(std::string_view scenario)
      : scenarioPath_(dir_.Child(L"scenario.txt")), logPath_(dir_.Child(L"calls.txt")) {
    WriteFileBytes(scenarioPath_, scenario);
    SetEnvironmentVariableW(L"MOORLINK_WLAN_SCENARIO", scenarioPath_.c_str());
    SetEnvironmentVariableW(L"MOORLINK_WLAN_LOG", logPath_.c_str());
  }
  ~ScriptedWlan() {
    SetEnvironmentVariableW(L"MOORLINK_WLAN_SCENARIO", nullptr);
    SetEnvironmentVariableW(L"MOORLINK_WLAN_LOG", nullptr);
  }

  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(logPath_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  void ForgetCalls() const { DeleteFileW(logPath_.c_str()); }

 private:
  TempDir dir_;
  std::wstring scenarioPath_;
  std::wstring logPath_;
};

// Every open asks for version 2, every handle opened is closed, every block handed out is
// freed once, and only the first interface is ever asked about.
void ExpectCleanCalls(const std::vector<std::string>& calls) {
  int open = 0;
  std::map<std::string, int> blocks;
  for (const std::string& call : calls) {
    std::istringstream words(call);
    std::string verb, first, second;
    words >> verb >> first >> second;
    if (verb == "open") {
      EXPECT_EQ(first, "2") << call;
      if (second == "0") ++open;
    } else if (verb == "close") {
      EXPECT_EQ(first, "0") << call;
      --open;
    } else if (verb == "alloc") {
      ++blocks[first];
    } else if (verb == "free") {
      EXPECT_NE(first, "bad") << call;
      --blocks[first];
    } else if (verb == "query") {
      EXPECT_EQ(first, "0") << call;
      EXPECT_TRUE(second == "7" || second == "4") << call;  // current connection, radio state
    } else if (verb == "profiles") {
      EXPECT_EQ(first, "0") << call;
    }
  }
  EXPECT_EQ(open, 0) << "handles left open";
  for (const auto& [kind, count] : blocks) EXPECT_EQ(count, 0) << kind << " blocks not freed once";
}

struct WlanCase {
  const char* name;
  const char* scenario;
  std::wstring connected;
  std::wstring preferred;
  std::wstring wanted;
  bool hasWanted;
  friend void PrintTo(const WlanCase& c, std::ostream* os) { *os << c.name; }
};

class WlanQueriesTest : public ::testing::TestWithParam<WlanCase> {};

TEST_P(WlanQueriesTest, AnswerFromTheFirstInterface) {
  const WlanCase& c = GetParam();
  const ScriptedWlan wlan(c.scenario);
  EXPECT_EQ(GetConnectedSsid().ssid, c.connected);
  EXPECT_EQ(GetPreferredProfileSsid(), c.preferred);
  EXPECT_EQ(HasWlanProfile(c.wanted), c.hasWanted);
  const std::vector<std::string> calls = wlan.Calls();
  ASSERT_FALSE(calls.empty()) << "the scripted wlanapi.dll was not loaded";
  ExpectCleanCalls(calls);
}

const std::wstring k32Chars = L"0123456789abcdefghijklmnopqrstuv";

INSTANTIATE_TEST_SUITE_P(
    Cases, WlanQueriesTest,
    ::testing::Values(
        WlanCase{"ConnectedAscii", "interface " FIRST " 1 486f6d65\nprofile Home\nprofile Office\n", L"Home", L"Home",
                 L"Office", true},
        WlanCase{"FirstInterfaceOnly",
                 "interface " FIRST " 4\nprofile Office\ninterface " SECOND " 1 43616665\nprofile Cafe\n", L"",
                 L"Office", L"Cafe", false},
        WlanCase{"DisconnectedStillHasProfiles", "interface " FIRST " 4 486f6d65\nprofile Home\n", L"", L"Home",
                 L"Home", true},
        WlanCase{"AssociatingGivesNoSsid", "interface " FIRST " 5 486f6d65\nprofile Home\n", L"", L"Home", L"Home",
                 true},
        WlanCase{"JapaneseSsidAndProfile",
                 "interface " FIRST " 1 e887aae5ae85e381ae57692d4669\n"
                 "profile \xE8\x87\xAA\xE5\xAE\x85\xE3\x81\xAE"
                 "Wi-Fi\n",
                 L"\u81ea\u5b85\u306eWi-Fi", L"\u81ea\u5b85\u306eWi-Fi", L"\u81ea\u5b85\u306eWi-Fi", true},
        WlanCase{"HiddenSsidIsEmpty", "interface " FIRST " 1 486f6d65 0\nprofile Home\n", L"", L"Home", L"Home", true},
        WlanCase{"InvalidUtf8SsidStillGivesText", "interface " FIRST " 1 41ff42\n", L"A\uFFFDB", L"", L"A", false},
        WlanCase{"SsidLengthAbove32IsCut",
                 "interface " FIRST " 1 303132333435363738396162636465666768696a6b6c6d6e6f70717273747576 40\n",
                 k32Chars, L"", L"x", false},
        WlanCase{"CaseDifferentProfilesDoNotMatch", "interface " FIRST " 1 486f6d65\nprofile home\nprofile HOME\n",
                 L"Home", L"home", L"Home", false},
        WlanCase{"NoTrimmingOfProfileNames", "interface " FIRST " 4\nprofile Home \nprofile  Home\n", L"", L"Home ",
                 L"Home", false},
        WlanCase{"EmptyProfileList", "interface " FIRST " 1 486f6d65\n", L"Home", L"", L"Home", false},
        WlanCase{"NoInterfaces", "# nothing\n", L"", L"", L"Home", false},
        WlanCase{"OpenFails", "fail open\ninterface " FIRST " 1 486f6d65\nprofile Home\n", L"", L"", L"Home", false},
        WlanCase{"EnumFails", "fail enum\ninterface " FIRST " 1 486f6d65\nprofile Home\n", L"", L"", L"Home", false},
        WlanCase{"QueryFails", "fail query\ninterface " FIRST " 1 486f6d65\nprofile Home\n", L"", L"Home", L"Home",
                 true},
        WlanCase{"ProfileListFails", "fail profiles\ninterface " FIRST " 1 486f6d65\nprofile Home\n", L"Home", L"",
                 L"Home", false}),
    [](const auto& info) { return std::string(info.param.name); });

// What the run is told about the connection and the state of Wi-Fi.
TEST(WlanQueriesTest, ConnectionAndReadiness) {
  using R = SsidQueryResult;
  using W = WifiReadiness;
  const struct {
    const char* scenario;
    R connection;
    W readiness;
  } cases[] = {
      {"fail query\ninterface " FIRST " 1 486f6d65\n", R::Denied, W::Ready},
      {"interface " FIRST " 0\nradio off on\n", R::NotConnected, W::RadioOffSoftware},
      {"interface " FIRST " 0\nradio on off\n", R::NotConnected, W::RadioOffHardware},
  };
  for (const auto& c : cases) {
    const ScriptedWlan wlan(c.scenario);
    EXPECT_EQ(GetConnectedSsid().result, c.connection) << c.scenario;
    EXPECT_EQ(QueryWifiReadiness(), c.readiness) << c.scenario;
    ExpectCleanCalls(wlan.Calls());
  }
}

TEST(WlanQueriesTest, EmptyNameNeverOpens) {
  const ScriptedWlan wlan("interface " FIRST " 1 486f6d65\nprofile Home\n");
  ASSERT_TRUE(HasWlanProfile(L"Home"));
  ASSERT_FALSE(wlan.Calls().empty());  // the double is there and logs
  wlan.ForgetCalls();
  EXPECT_FALSE(HasWlanProfile(L""));
  EXPECT_TRUE(wlan.Calls().empty());
}

TEST(WlanQueriesTest, OpenFailureClosesNothing) {
  const ScriptedWlan wlan("fail open\n");
  EXPECT_EQ(GetConnectedSsid().result, SsidQueryResult::Failed);
  const std::vector<std::string> calls = wlan.Calls();
  EXPECT_EQ(calls, std::vector<std::string>{"open 2 1062"});
}

TEST(ConnectionWatchTest, ReportsTheFirstAcmOutcomeForItsProfileAndUnregistersBeforeClosing) {
  using Kind = ConnectionReport::Kind;
  const struct {
    const char* acm;
    std::wstring ssid;
    Kind kind;
    std::wstring reason;
  } cases[] = {
      {"acm complete 0\n", L"Home", Kind::Completed, L""},
      {"acm complete 229377\n", L"Home", Kind::Failed, L"スクリプトの理由（コード 229377）"},
      {"acm fail 163851\nacm complete 0\n", L"Home", Kind::Failed, L"スクリプトの理由（コード 163851）"},
      {"acm complete 0\n", L"Office", Kind::None, L""},  // the notification names another profile
      {"", L"Home", Kind::None, L""},
  };
  for (const auto& c : cases) {
    const ScriptedWlan wlan(std::string("interface " FIRST " 1 486f6d65\nprofile Home\nprofile Office\n") + c.acm);
    {
      const std::unique_ptr<ConnectionWatch> watch = StartConnectionWatch(c.ssid);
      ASSERT_NE(watch, nullptr) << c.acm;
      const ConnectionReport report = watch->WaitForReport(std::chrono::seconds(c.kind == Kind::None ? 1 : 10));
      EXPECT_EQ(report.kind, c.kind) << c.acm;
      EXPECT_EQ(report.reason, c.reason) << c.acm;
    }
    const std::vector<std::string> calls = wlan.Calls();
    ExpectCleanCalls(calls);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()),
              (std::vector<std::string>{"register 0 0", "close 0"}));
  }
}

}  // namespace
}  // namespace moorlink::test
