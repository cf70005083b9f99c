// The reconnect command against real processes: a scripted netsh first on PATH.
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <thread>

#include "common/Text.h"
#include "monitor/ReconnectCommand.h"
#include "support/ReconnectLogTest.h"
#include "support/ScriptedNetshText.h"

namespace moorlink::test {
namespace {

// printf(1) octal escapes for every byte, so that no byte means anything to the shell.
std::string Octal(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    out += '\\';
    out += static_cast<char>('0' + (b >> 6));
    out += static_cast<char>('0' + ((b >> 3) & 7));
    out += static_cast<char>('0' + (b & 7));
  }
  return out;
}

// Whether the process still runs (a zombie does not).
bool Running(const std::string& pid) {
  std::istringstream stat(ReadFileBytes(L"/proc/" + Utf8ToWide(pid) + L"/stat"));
  std::string skip, state;
  stat >> skip >> skip >> state;
  return !state.empty() && state != "Z" && state != "X";
}

void WriteScript(const std::wstring& path, const std::string& body) {
  WriteFileBytes(path, "#!/bin/sh\n" + body);
  std::filesystem::permissions(ToFsPath(path), std::filesystem::perms::owner_all);
}

class ScriptedNetshTest : public ReconnectLogTest {
 protected:
  void SetUp() override {
    ReconnectLogTest::SetUp();
    std::filesystem::create_directories(ToFsPath(bin_));
    // Standard output, then standard error, then standard output again; a failing exit code.
    WriteScript(bin_ + L"/netsh",
                "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> \"$MOORLINK_NETSH_RECORD\"\n"
                "printf '" +
                    Octal(kNetshStdoutCp932) +
                    "'\n"
                    "printf '" +
                    Octal(kNetshStderrCp932) +
                    "' >&2\n"
                    "printf '" +
                    Octal(kNetshStdoutCp932) +
                    "'\n"
                    "exit 3\n");
    const char* path = getenv("PATH");
    hadPath_ = path != nullptr;
    if (hadPath_) savedPath_ = path;
    SetPath(WideToUtf8(bin_) + (hadPath_ ? ":" + savedPath_ : ""));
    setenv("MOORLINK_NETSH_RECORD", WideToUtf8(record_).c_str(), 1);
  }
  void TearDown() override {
    if (hadPath_) {
      setenv("PATH", savedPath_.c_str(), 1);
    } else {
      unsetenv("PATH");
    }
    unsetenv("MOORLINK_NETSH_RECORD");
    ReconnectLogTest::TearDown();
  }
  static void SetPath(const std::string& value) { setenv("PATH", value.c_str(), 1); }

  std::wstring bin_ = root_.Child(L"bin");
  std::wstring record_ = root_.Child(L"record.txt");
  bool hadPath_ = false;
  std::string savedPath_;
};

TEST_F(ScriptedNetshTest, LogsTheMergedOutputAndPassesTheSsidAsOneLiteralArgument) {
  const std::wstring pwned = root_.Child(L"pwned");
  const std::string pwnedUtf8 = WideToUtf8(pwned);
  struct Case {
    std::wstring ssid;
    std::string recorded;  // the arguments netsh got, one a line
  };
  const Case cases[] = {
      {L"Home", "wlan\nconnect\nname=Home\n"},
      {L"My \"AP\"", "wlan\nconnect\nname=My \"AP\"\n"},
      {L"Net\\", "wlan\nconnect\nname=Net\\\n"},
      {L"\\\"Q\\\"", "wlan\nconnect\nname=\\\"Q\\\"\n"},
      {L"自宅 Wi-Fi", "wlan\nconnect\nname=\xE8\x87\xAA\xE5\xAE\x85 Wi-Fi\n"},
      // Shell syntax in an SSID is text, never run.
      {L"$(touch " + pwned + L")`touch " + pwned + L"`",
       "wlan\nconnect\nname=$(touch " + pwnedUtf8 + ")`touch " + pwnedUtf8 + "`\n"},
  };
  const std::wstring title =
      std::wstring(kNetshStdoutText) + std::wstring(kNetshStderrText) + std::wstring(kNetshStdoutText);
  std::string expectedLog = kBom;
  for (const Case& c : cases) {
    std::filesystem::remove(ToFsPath(record_));
    ReconnectCommandBusy.store(true);
    RunReconnectCommand(c.ssid);
    EXPECT_FALSE(ReconnectCommandBusy.load());
    EXPECT_EQ(ReadFileBytes(record_), c.recorded);
    expectedLog += NetshLine(title, ReconnectCommandLine(c.ssid));
  }
  EXPECT_EQ(LogBytes(), expectedLog);
  EXPECT_FALSE(PathExists(pwned));
  // The first line byte for byte.
  const std::string first =
      "[10:20:30.040][Netsh][\xE3\x82\xA4\xE3\x83\xB3\xE3\x82\xBF\xE3\x83\xBC"
      "\xE3\x83\x95\xE3\x82\xA7\xE3\x82\xA4\xE3\x82\xB9 \"Wi-Fi\" ";
  EXPECT_EQ(LogBytes().substr(3, first.size()), first);
  EXPECT_NE(LogBytes().find("]netsh wlan connect name=\"Home\"\r\n"), std::string::npos);
}

TEST_F(ScriptedNetshTest, NoNetshOnThePathLogsAnEmptyTitle) {
  const std::wstring empty = root_.Child(L"empty");
  std::filesystem::create_directories(ToFsPath(empty));
  SetPath(WideToUtf8(empty));
  RunReconnectCommand(L"Home");
  EXPECT_FALSE(ReconnectCommandBusy.load());
  EXPECT_EQ(LogBytes(), std::string(kBom) + "[10:20:30.040][Netsh][]netsh wlan connect name=\"Home\"\r\n");
  EXPECT_FALSE(PathExists(record_));
}

TEST_F(ScriptedNetshTest, CaptureReadsEverythingAndDecodesItWhole) {
  // 800 times 255 ASCII bytes and ソ (0x83 0x5C): far more than a pipe holds, and double-byte
  // characters that straddle the 256-byte reads.
  std::wstring many;
  for (int i = 0; i < 800; ++i) many += std::wstring(255, L'a') + L"ソ";
  struct Case {
    const char* name;
    std::string body;
    std::wstring expected;
  };
  const Case cases[] = {
      {"silent", "exit 0\n", L""},
      {"exit code ignored", "printf 'x'; exit 7\n", L"x"},
      {"stdin is empty", "cat; printf 'done'\n", L"done"},
      {"large", "i=0; while [ $i -lt 800 ]; do printf '" + std::string(255, 'a') + "\\203\\134'; i=$((i+1)); done\n",
       many},
  };
  // A folder with a blank: the program name must come back whole from its quotes.
  int index = 0;
  std::filesystem::create_directories(ToFsPath(root_.Child(L"with blank")));
  for (const Case& c : cases) {
    const std::wstring script = root_.Child(L"with blank") + L"/script" + std::to_wstring(index++) + L".sh";
    WriteScript(script, c.body);
    EXPECT_EQ(RunCommandCapture(L"\"" + script + L"\" arg").output, c.expected) << c.name;
  }
}

// A command that outlives the limit, or leaves behind a process that holds its output open,
// is ended at the limit with everything it started; what it printed is kept.
TEST_F(ScriptedNetshTest, ACommandStillRunningAtTheLimitIsEndedAndLogged) {
  using namespace std::chrono_literals;
  const std::string pids = WideToUtf8(root_.Child(L"pids"));
  const std::string cases[] = {
      "echo $$ >> " + pids + "; echo hi; exec sleep 10", "sleep 10 & echo $! >> " + pids + "; echo hi",
      "echo $$ >> " + pids + "; echo hi; exec sleep 10 >/dev/null 2>&1",  // closes its output only
  };
  constexpr auto kLimit = 300ms;
  std::string expectedLog = kBom;
  for (const std::string& script : cases) {
    ReconnectCommandBusy.store(true);
    const auto start = std::chrono::steady_clock::now();
    RunReconnectCommandWith(L"Home", [&](const std::wstring&) {
      return RunCommandCapture(L"/bin/sh -c \"" + Utf8ToWide(script) + L"\"", kLimit);
    });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, kLimit) << script;
    EXPECT_LT(elapsed, kLimit + 1500ms) << script;
    EXPECT_FALSE(ReconnectCommandBusy.load());
    expectedLog += NetshLine(L"hi", ReconnectCommandLine(L"Home")) +
                   NetshLine(L"エラー", L"netshコマンドが60秒以内に終了しなかったため、強制終了しました。");
  }
  EXPECT_EQ(LogBytes(), expectedLog);
  std::istringstream recorded(ReadFileBytes(Utf8ToWide(pids)));
  int checked = 0;
  for (std::string pid; recorded >> pid; ++checked) {
    // SIGKILL is delivered at once, but the process may take a moment to go.
    for (int i = 0; i < 100 && Running(pid); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(Running(pid)) << pid;
  }
  EXPECT_EQ(checked, 3);
}

}  // namespace
}  // namespace moorlink::test
