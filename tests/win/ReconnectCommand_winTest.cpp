// The reconnect command against CreateProcessW and a scripted netsh.exe beside this exe.
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "common/PathHelpers.h"
#include "common/Text.h"
#include "common/UniqueHandle_win.h"
#include "monitor/ReconnectCommand.h"
#include "support/ReconnectLogTest.h"
#include "support/ScriptedNetshText.h"

namespace moorlink::test {
namespace {

std::vector<std::wstring> WindowsArgs(const std::wstring& line) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::wstring> args;
  if (argv == nullptr) return args;
  for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

class ScriptedNetshWinTest : public ReconnectLogTest {
 protected:
  void SetUp() override {
    ReconnectLogTest::SetUp();
    ASSERT_TRUE(PathExists(ExeFolderPath() + L"\\netsh.exe")) << "the scripted netsh.exe is not beside the test";
    SetEnvironmentVariableW(kNetshRecordVariable, record_.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(kNetshRecordVariable, nullptr);
    SetEnvironmentVariableW(kNetshRepeatVariable, nullptr);
    SetEnvironmentVariableW(kNetshSleepVariable, nullptr);
    SetEnvironmentVariableW(kNetshModeVariable, nullptr);
    SetEnvironmentVariableW(kNetshPidVariable, nullptr);
    ReconnectLogTest::TearDown();
  }

  std::wstring record_ = root_.Child(L"record.txt");
};

TEST_F(ScriptedNetshWinTest, RunsNetshWithTheEscapedSsidAndLogsItsMergedOutput) {
  struct Case {
    std::wstring ssid;
    std::string recorded;  // the child's GetCommandLineW, UTF-8
  };
  const Case cases[] = {
      {L"Home", "netsh wlan connect name=\"Home\"\n"},
      {L"My \"AP\"", "netsh wlan connect name=\"My \\\"AP\\\"\"\n"},
      {L"\\\"Q\\\"", "netsh wlan connect name=\"\\\\\\\"Q\\\\\\\"\"\n"},
      {L"Net\\", "netsh wlan connect name=\"Net\\\\\"\n"},
      {L"自宅 Wi-Fi", "netsh wlan connect name=\"\xE8\x87\xAA\xE5\xAE\x85 Wi-Fi\"\n"},
  };
  const std::wstring title = std::wstring(kNetshStdoutText) + std::wstring(kNetshStderrText);
  std::string expectedLog = kBom;
  for (const Case& c : cases) {
    DeleteFileW(record_.c_str());
    ReconnectCommandBusy.store(true);
    RunReconnectCommand(c.ssid);
    EXPECT_FALSE(ReconnectCommandBusy.load());
    EXPECT_EQ(ReadFileBytes(record_), c.recorded);
    expectedLog += NetshLine(title, ReconnectCommandLine(c.ssid));
  }
  EXPECT_EQ(LogBytes(), expectedLog);
}

TEST_F(ScriptedNetshWinTest, CaptureKeepsLineEndsAndReadsPastThePipeBuffer) {
  // 3000 lines of 59 bytes: more than a pipe holds, and double-byte characters that
  // straddle the 256-byte reads.
  SetEnvironmentVariableW(kNetshRepeatVariable, L"3000");
  std::wstring expected;
  for (int i = 0; i < 3000; ++i) expected += std::wstring(kNetshStdoutText) + L"\r\n";
  expected += std::wstring(kNetshStderrText) + L"\r\n";
  const std::wstring output = RunCommandCapture(L"netsh wlan show interfaces").output;
  EXPECT_EQ(output.size(), expected.size());
  EXPECT_TRUE(output == expected);
  EXPECT_EQ(ReadFileBytes(record_), "netsh wlan show interfaces\n");
}

// A netsh that never ends, and one whose own child keeps the output open after it has
// gone, are given up at the limit; a netsh still running then is ended.
TEST_F(ScriptedNetshWinTest, ACommandStillRunningAtTheLimitIsEnded) {
  using namespace std::chrono_literals;
  const std::wstring pidFile = root_.Child(L"pid.txt");
  SetEnvironmentVariableW(kNetshPidVariable, pidFile.c_str());
  SetEnvironmentVariableW(kNetshSleepVariable, L"3000");  // the lingering copy's hold on the pipe
  const std::wstring modes[] = {L"hang", L"spawn"};
  constexpr auto kLimit = 1500ms;
  for (const std::wstring& mode : modes) {
    SetEnvironmentVariableW(kNetshModeVariable, mode.c_str());
    const auto start = std::chrono::steady_clock::now();
    const CommandOutcome outcome = RunCommandCapture(L"netsh wlan connect name=\"Home\"", kLimit);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(outcome.timedOut) << WideToUtf8(mode);
    EXPECT_GE(elapsed, kLimit) << WideToUtf8(mode);
    EXPECT_LT(elapsed, kLimit + 2000ms) << WideToUtf8(mode);
    // netsh itself is gone: a process nobody holds any more cannot even be opened.
    const DWORD pid = std::stoul(ReadFileBytes(pidFile));
    const UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    DWORD code = 0;
    EXPECT_TRUE(!process || (GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE)) << WideToUtf8(mode);
  }
  // The hanging netsh printed before it hung: what came is kept.
  SetEnvironmentVariableW(kNetshModeVariable, L"hang");
  EXPECT_EQ(RunCommandCapture(L"netsh", 1000ms).output,
            std::wstring(kNetshStdoutText) + L"\r\n" + std::wstring(kNetshStderrText) + L"\r\n");
}

// The system's own parser agrees with ours on every escaped SSID, so the SSID netsh
// reads is the one we meant.
TEST(CommandLineWinTest, SplitAgreesWithCommandLineToArgvW) {
  const std::wstring lines[] = {
      L"netsh wlan connect name=\"Home\"",
      L"\"C:\\Program Files\\x.exe\" a",
      L"C:\\dir\\p.exe  \"a b\"\tc\\\\d",
      L"p e\\\\\\\"f",
      L"p a\\\\\"b c\"",
      L"p a\\",
      L"p \"\" x",
  };
  for (const std::wstring& line : lines) EXPECT_EQ(SplitCommandLine(line), WindowsArgs(line)) << WideToUtf8(line);
  const std::wstring ssids[] = {
      L"Home", L"My \"AP\"", L"A\\B",     L"Net\\", L"\\\"Q\\\"", L" lead and trail ",
      L"\t",   L"a\"\"b",    L"\\\\\\\"", L"\"\\",  L"自宅\\",
  };
  for (const std::wstring& ssid : ssids) {
    const std::wstring line = ReconnectCommandLine(ssid);
    EXPECT_EQ(WindowsArgs(line), (std::vector<std::wstring>{L"netsh", L"wlan", L"connect", L"name=" + ssid}))
        << WideToUtf8(line);
  }
}

}  // namespace
}  // namespace moorlink::test
