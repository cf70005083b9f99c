#include "monitor/IcmpProbe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/Text.h"
#include "log/LogWriter.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

EchoResult Reply(uint32_t status, uint32_t roundTripMs, uint16_t dataSize, uint8_t ttl) {
  EchoResult r;
  r.kind = EchoResult::Kind::Reply;
  r.status = status;
  r.roundTripMs = roundTripMs;
  r.dataSize = dataSize;
  r.ttl = ttl;
  return r;
}

EchoResult Failed(uint32_t errorCode) {
  EchoResult r;
  r.kind = EchoResult::Kind::Failed;
  r.errorCode = errorCode;
  return r;
}

TEST(DescribeEchoTest, EveryOutcome) {
  EchoResult noHandle;
  noHandle.kind = EchoResult::Kind::NoHandle;
  EchoResult successWithStaleCode = Reply(0, 3, 5, 64);
  successWithStaleCode.errorCode = kIpReqTimedOut;  // only the kind decides
  struct Case {
    std::wstring address;
    EchoResult result;
    std::wstring title;
    std::wstring message;
  };
  const Case cases[] = {
      {L"192.168.0.1", Reply(0, 3, 5, 64), L"成功", L"192.168.0.1 からの応答: バイト数=5 時間=3ms TTL=64"},
      {L"10.0.0.1", Reply(0, 0, 5, 128), L"成功", L"10.0.0.1 からの応答: バイト数=5 時間=0ms TTL=128"},
      {L"1.1.1.1", Reply(0, 4294967295u, 65535, 255), L"成功",
       L"1.1.1.1 からの応答: バイト数=65535 時間=4294967295ms TTL=255"},
      {L"1.1.1.1", Reply(0, 1000, 0, 0), L"成功", L"1.1.1.1 からの応答: バイト数=0 時間=1000ms TTL=0"},
      {L"1.1.1.1", successWithStaleCode, L"成功", L"1.1.1.1 からの応答: バイト数=5 時間=3ms TTL=64"},
      {L"172.16.0.1", Reply(11003, 7, 0, 250), L"エラー", L"172.16.0.1 からの応答: エラー (Status=11003)"},
      {L"172.16.0.1", Reply(4294967295u, 0, 5, 64), L"エラー", L"172.16.0.1 からの応答: エラー (Status=4294967295)"},
      {L"192.168.0.254", Failed(11010), L"タイムアウト", L"192.168.0.254 からの応答: 要求がタイムアウトしました。"},
      {L"192.168.0.254", Failed(11050), L"エラー", L"192.168.0.254 への Ping 失敗 (エラーコード: 11050)"},
      {L"192.168.0.254", Failed(0), L"エラー", L"192.168.0.254 への Ping 失敗 (エラーコード: 0)"},
      {L"192.168.0.254", Failed(1231), L"エラー", L"192.168.0.254 への Ping 失敗 (エラーコード: 1231)"},
      {L"192.168.0.254", noHandle, L"エラー", L"ICMPハンドルの作成に失敗しました。"},
  };
  for (const Case& c : cases) {
    const PingLogLine line = DescribeEcho(c.address, c.result);
    EXPECT_EQ(line.title, c.title) << WideToUtf8(c.message);
    EXPECT_EQ(line.message, c.message);
  }
}

LocalTime FixedClock() { return LocalTime{2026, 12, 7, 8, 3, 7, 45}; }

bool LoopbackSilenced() { return std::getenv("MOORLINK_LOOPBACK_SILENCED") != nullptr; }

// Logging on, into a temporary folder, with a fixed clock: each test reads the real file.
class PingOnceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogClockForTesting(&FixedClock);
    SetLogFolderForTesting(folder_);
    WriteSetting(keys::UseLog, true);
  }
  void TearDown() override { SetLogClockForTesting(nullptr); }

  // The file's lines without the byte-order mark and without their CR LF.
  std::vector<std::string> TakeLogLines() {
    const std::wstring file = folder_ + kPathSeparator + L"2026_12_07.txt";
    std::string bytes = ReadFileBytes(file);
    std::error_code ec;
    std::filesystem::remove(ToFsPath(file), ec);
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    std::vector<std::string> lines;
    for (size_t at = 0; at < bytes.size();) {
      const size_t end = bytes.find("\r\n", at);
      if (end == std::string::npos) {
        lines.push_back(bytes.substr(at) + "<no CR LF>");
        break;
      }
      lines.push_back(bytes.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }

  static std::string Line(const std::wstring& title, const std::wstring& message) {
    return "[08:03:07.045][Ping][" + WideToUtf8(title) + "]" + WideToUtf8(message);
  }

  ScopedSettingsFile settings_;
  TempDir root_;
  std::wstring folder_ = root_.Child(L"tester_log");
};

TEST_F(PingOnceTest, TextsThatAreNotDottedIPv4AreRejectedWithOneLine) {
  const std::wstring texts[] = {
      L"", L"localhost", L"::1", L"256.1.1.1", L"1.2.3", L"1.2.3.4.5", std::wstring(L"127.0.0.1\0junk", 14),
  };
  for (const std::wstring& text : texts) {
    EXPECT_FALSE(PingOnce(text, 1000)) << WideToUtf8(text);
    const std::vector<std::string> expected{Line(L"エラー", L"IPアドレスの形式が不正です: " + text)};
    EXPECT_EQ(TakeLogLines(), expected);
  }
}

TEST_F(PingOnceTest, LoopbackAnswers) {
  if (LoopbackSilenced()) GTEST_SKIP() << "loopback is silenced here";
  ASSERT_TRUE(PingOnce(L"127.0.0.1", 2000));
  const std::vector<std::string> lines = TakeLogLines();
  ASSERT_EQ(lines.size(), 1u);
  // The time varies; the rest is fixed. Both the Linux stack and Wine answer with TTL 64.
  const std::string head = Line(L"成功", L"127.0.0.1 からの応答: バイト数=5 時間=");
  const std::string tail = "ms TTL=64";
  const std::string& line = lines[0];
  ASSERT_GT(line.size(), head.size() + tail.size()) << line;
  EXPECT_EQ(line.substr(0, head.size()), head) << line;
  EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
  const std::string time = line.substr(head.size(), line.size() - head.size() - tail.size());
  EXPECT_EQ(time.find_first_not_of("0123456789"), std::string::npos) << line;
}

// Run by ctest IcmpProbe.silenced inside a network namespace where loopback ignores echo
// requests; skipped anywhere else.
using IcmpProbeSilencedLoopback = PingOnceTest;

TEST_F(IcmpProbeSilencedLoopback, NoAnswerIsATimeoutAfterAboutTheTimeout) {
  if (!LoopbackSilenced()) GTEST_SKIP() << "needs the silenced loopback of ctest IcmpProbe.silenced";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(PingOnce(L"127.0.0.1", 300));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(250));
  EXPECT_LE(elapsed, std::chrono::milliseconds(2000));
  const std::vector<std::string> expected{Line(L"タイムアウト", L"127.0.0.1 からの応答: 要求がタイムアウトしました。")};
  EXPECT_EQ(TakeLogLines(), expected);
}

}  // namespace
}  // namespace moorlink::test
