#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Text.h"
#include "monitor/ReconnectCommand.h"
#include "support/ReconnectLogTest.h"
#include "support/ScriptedNetshText.h"

namespace moorlink::test {
namespace {

using Args = std::vector<std::wstring>;

TEST(ReconnectCommandLineTest, EscapesTheSsidByteForByte) {
  struct Case {
    std::wstring ssid;
    std::string commandLine;  // UTF-8
  };
  const Case cases[] = {
      {L"Home", R"(netsh wlan connect name="Home")"},
      {L"My \"AP\"", R"(netsh wlan connect name="My \"AP\"")"},
      {L"A\\B", R"(netsh wlan connect name="A\B")"},
      {L"Net\\", R"(netsh wlan connect name="Net\\")"},
      {L"\\\"Q\\\"", R"(netsh wlan connect name="\\\"Q\\\"")"},
      {L"\"", R"(netsh wlan connect name="\"")"},
      {L"a\\\\b", R"(netsh wlan connect name="a\\b")"},        // a run not before a quote stays
      {L"a\\\\\"b", R"(netsh wlan connect name="a\\\\\"b")"},  // two before a quote: 2n+1
      {L"\\\\", R"(netsh wlan connect name="\\\\")"},          // two at the end: doubled
      {L"x\\ \\\"", R"(netsh wlan connect name="x\ \\\"")"},   // the count restarts after a blank
      {L"$(id) `id` %PATH%", R"(netsh wlan connect name="$(id) `id` %PATH%")"},
      {L"自宅 Wi-Fi", "netsh wlan connect name=\"\xE8\x87\xAA\xE5\xAE\x85 Wi-Fi\""},
      {L"", R"(netsh wlan connect name="")"},
  };
  for (const Case& c : cases) EXPECT_EQ(WideToUtf8(ReconnectCommandLine(c.ssid)), c.commandLine) << c.commandLine;
  // The escaping itself adds no quotes.
  EXPECT_EQ(EscapeQuotedArgument(L"Net\\"), L"Net\\\\");
  EXPECT_EQ(EscapeQuotedArgument(L"\"a\""), L"\\\"a\\\"");
}

TEST(ReconnectCommandLineTest, SplitFollowsTheWindowsArgumentRules) {
  const std::pair<std::wstring, Args> cases[] = {
      {L"netsh wlan connect name=\"Home\"", {L"netsh", L"wlan", L"connect", L"name=Home"}},
      // The program name keeps its backslashes; quotes only group it.
      {L"\"C:\\Program Files\\x.exe\" a", {L"C:\\Program Files\\x.exe", L"a"}},
      {L"C:\\dir\\p.exe  \"a b\"\tc\\\\d", {L"C:\\dir\\p.exe", L"a b", L"c\\\\d"}},
      {L"p e\\\\\\\"f", {L"p", L"e\\\"f"}},    // 2n+1 backslashes: n and a literal quote
      {L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},  // 2n backslashes: n and a grouping quote
      {L"p a\\", {L"p", L"a\\"}},              // a trailing backslash stays
      {L"p \"\" x", {L"p", L"", L"x"}},        // an empty quoted argument
      {L"p \"a\"\"b\"", {L"p", L"a\"b"}},      // "" inside quotes is one quote
      {L"p \"open ended", {L"p", L"open ended"}},
      {L"", {}},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(SplitCommandLine(line), expected) << WideToUtf8(line);
}

// Whatever the SSID, a program that reads its arguments by the Windows rules gets it back
// whole as the fourth argument.
TEST(ReconnectCommandLineTest, EveryEscapedSsidSplitsBackToItself) {
  std::vector<std::wstring> ssids = {
      L"Home", L"My \"AP\"", L"A\\B",     L"Net\\", L"\\\"Q\\\"", L" lead and trail ",
      L"\t",   L"a\"\"b",    L"\\\\\\\"", L"\"\\",  L"自宅\\",    L"",
  };
  std::mt19937 random(20261208);
  const wchar_t alphabet[] = {L'a', L' ', L'\t', L'\\', L'"', L'自'};
  std::uniform_int_distribution<size_t> pick(0, std::size(alphabet) - 1);
  std::uniform_int_distribution<int> length(1, 12);
  for (int i = 0; i < 3000; ++i) {
    std::wstring s;
    for (int n = length(random); n > 0; --n) s += alphabet[pick(random)];
    ssids.push_back(s);
  }
  for (const std::wstring& ssid : ssids) {
    const std::wstring line = ReconnectCommandLine(ssid);
    ASSERT_EQ(SplitCommandLine(line), (Args{L"netsh", L"wlan", L"connect", L"name=" + ssid})) << WideToUtf8(line);
  }
}

TEST(Cp932Test, DecodesJapaneseConsoleText) {
  const std::pair<std::string, std::wstring> cases[] = {
      {std::string(kNetshStdoutCp932), L"インターフェイス \"Wi-Fi\" で接続要求が正常に完了しました。\r\n"},
      {std::string(kNetshStderrCp932), L"標準エラー出力: ソフト表示\r\n"},
      {"", L""},
      {"C:\\path~", L"C:\\path~"},              // 0x5C and 0x7E stay backslash and tilde
      {"\xB1\xB2\xDF", L"\uFF71\uFF72\uFF9F"},  // half-width katakana are single bytes
      {"\x81\x60\x81\x5F", L"\uFF5E\uFF3C"},    // the code page's own wave dash and backslash
      {"\x87\x40\xED\x40", L"\u2460\u7E8A"},    // its extensions: circled one, an IBM kanji
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(Cp932ToWide(bytes), text) << bytes;
}

TEST(Cp932Test, InvalidBytesStillGiveTheTextAroundThem) {
  // A lead byte with a trail byte the code page lacks, between valid text.
  const std::wstring middle = Cp932ToWide("OK \x81\x7F \x8C\xE3");
  EXPECT_EQ(middle.substr(0, 3), L"OK ");
  ASSERT_GE(middle.size(), 5u);
  EXPECT_EQ(middle.substr(middle.size() - 2), L" 後");
  // A lead byte cut off at the end.
  const std::wstring cut = Cp932ToWide("abc\x82");
  EXPECT_EQ(cut.substr(0, 3), L"abc");
#ifndef _WIN32
  // Here the replacement is ours: one U+FFFD per rejected byte, and decoding goes on.
  EXPECT_EQ(middle, L"OK \uFFFD\u007F 後");
  EXPECT_EQ(cut, L"abc\uFFFD");
  EXPECT_EQ(Cp932ToWide("\xFF\xFF"
                        "a"),
            L"\uFFFD\uFFFDa");
#endif
}

using RunReconnectCommandTest = ReconnectLogTest;

TEST_F(RunReconnectCommandTest, EmptySsidLogsTheErrorAndReleasesTheFlag) {
  RunReconnectCommand(L"");
  EXPECT_FALSE(ReconnectCommandBusy.load());
  EXPECT_EQ(LogBytes(),
            std::string(kBom) +
                "[10:20:30.040][Netsh][\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC]"
                "SSID \xE3\x81\x8C\xE8\xA8\xAD\xE5\xAE\x9A\xE3\x81\x95\xE3\x82\x8C\xE3\x81\xA6\xE3\x81\x84\xE3\x81\xBE"
                "\xE3\x81\x9B\xE3\x82\x93\xE3\x80\x82\r\n");

  // No process is started for it.
  int runs = 0;
  ReconnectCommandBusy.store(true);
  RunReconnectCommandWith(L"", [&](const std::wstring&) {
    ++runs;
    return CommandOutcome();
  });
  EXPECT_EQ(runs, 0);
  EXPECT_FALSE(ReconnectCommandBusy.load());
}

TEST_F(RunReconnectCommandTest, OutputIsTheTitleAndTheCommandLineTheMessage) {
  std::wstring ran;
  RunReconnectCommandWith(L"My \"AP\"", [&](const std::wstring& commandLine) {
    ran = commandLine;
    EXPECT_TRUE(ReconnectCommandBusy.load());  // held while the command runs
    return CommandOutcome{L"一行目\r\n二行目\r\n"};
  });
  EXPECT_EQ(ran, L"netsh wlan connect name=\"My \\\"AP\\\"\"");
  EXPECT_FALSE(ReconnectCommandBusy.load());
  EXPECT_EQ(LogBytes(), kBom + NetshLine(L"一行目二行目", L"netsh wlan connect name=\"My \\\"AP\\\"\""));
}

TEST_F(RunReconnectCommandTest, AThrowingRunnerStillReleasesTheFlag) {
  const std::vector<CommandRunner> runners = {
      [](const std::wstring&) -> CommandOutcome { throw std::runtime_error("no process"); },
      [](const std::wstring&) -> CommandOutcome { throw 42; },
      CommandRunner(),  // calling an empty function throws too
  };
  for (const CommandRunner& runner : runners) {
    ReconnectCommandBusy.store(true);
    EXPECT_NO_THROW(RunReconnectCommandWith(L"Home", runner));
    EXPECT_FALSE(ReconnectCommandBusy.load());
  }
  EXPECT_FALSE(PathExists(LogFile()));
}

TEST_F(RunReconnectCommandTest, ACommandThatCannotStartLogsAnEmptyTitle) {
  EXPECT_EQ(RunCommandCapture(L"moorlink-no-such-program wlan").output, L"");
  EXPECT_EQ(RunCommandCapture(L"").output, L"");
  RunReconnectCommandWith(L"Home", [](const std::wstring& commandLine) {
    return RunCommandCapture(L"moorlink-no-such-program " + commandLine);
  });
  EXPECT_FALSE(ReconnectCommandBusy.load());
  EXPECT_EQ(LogBytes(), std::string(kBom) + "[10:20:30.040][Netsh][]netsh wlan connect name=\"Home\"\r\n");
}

// Reports what it is given, after letting something happen during the first wait.
struct FakeWatch : ConnectionWatch {
  FakeWatch(ConnectionReport r, std::function<void()> m) : report(std::move(r)), meanwhile(std::move(m)) {}
  ConnectionReport report;
  std::function<void()> meanwhile;
  ConnectionReport WaitForReport(std::chrono::milliseconds) override {
    EXPECT_FALSE(ReconnectCommandBusy.load());  // the wait holds no flag
    if (meanwhile) std::exchange(meanwhile, nullptr)();
    return report;
  }
};

TEST_F(RunReconnectCommandTest, WindowsReportIsLoggedAfterTheCommandsLineUnlessSuperseded) {
  using Kind = ConnectionReport::Kind;
  const std::wstring command = L"netsh wlan connect name=\"Home\"";
  const CommandRunner newer = [](const std::wstring&) { return CommandOutcome{L"次"}; };
  const struct {
    ConnectionReport report;
    std::function<void()> meanwhile;
    std::string lines;
  } cases[] = {
      {{Kind::Completed, L""}, nullptr, NetshLine(L"接続完了", L"「Home」への接続が完了しました。")},
      {{Kind::Failed, L"理由の文"}, nullptr, NetshLine(L"接続失敗", L"「Home」への接続に失敗しました。理由: 理由の文")},
      {{Kind::None, L""}, nullptr, NetshLine(L"接続結果不明", L"Windowsから接続の結果が通知されませんでした。")},
      {{Kind::Completed, L""}, [&] { RunReconnectCommandWith(L"Home", newer); }, NetshLine(L"次", command)},
      {{Kind::Completed, L""}, EndConnectionReportWaits, ""},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(ToFsPath(LogFile()));
    ReconnectCommandBusy.store(true);
    bool watching = false;
    // The watch starts before netsh: a report that comes while netsh runs is not missed.
    const CommandRunner netsh = [&](const std::wstring&) {
      EXPECT_TRUE(watching);
      return CommandOutcome{L"出力"};
    };
    RunReconnectCommandWith(
        L"Home", netsh,
        [&](const std::wstring& ssid) {
          watching = ssid == L"Home";
          return std::make_unique<FakeWatch>(c.report, c.meanwhile);
        },
        std::chrono::milliseconds(30));
    EXPECT_EQ(LogBytes(), kBom + NetshLine(L"出力", command) + c.lines) << c.lines;
  }
}

}  // namespace
}  // namespace moorlink::test
