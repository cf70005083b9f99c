#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <string>

#include "common/Text.h"
#include "log/LogWriter.h"
#include "monitor/IcmpProbe.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

using Kind = EchoResult::Kind;

TEST(DescribeEchoTest, EveryOutcome) {
  struct Case {
    std::wstring address;
    EchoResult result;
    std::wstring title;
    std::wstring message;
  };
  const Case cases[] = {
      {L"192.168.0.1",
       {.kind = Kind::Reply, .roundTripMs = 3, .dataSize = 5, .ttl = 64},
       L"成功",
       L"192.168.0.1 からの応答: バイト数=5 時間=3ms TTL=64"},
      {L"10.0.0.1",
       {.kind = Kind::Reply, .roundTripMs = 0, .dataSize = 5, .ttl = 128},
       L"成功",
       L"10.0.0.1 からの応答: バイト数=5 時間=0ms TTL=128"},
      // Only the kind decides: a stale error code on a reply is not looked at.
      {L"1.1.1.1",
       {.kind = Kind::Reply, .roundTripMs = 4294967295u, .dataSize = 65535, .ttl = 255, .errorCode = kIpReqTimedOut},
       L"成功",
       L"1.1.1.1 からの応答: バイト数=65535 時間=4294967295ms TTL=255"},
      {L"172.16.0.1",
       {.kind = Kind::Reply, .status = 11003, .dataSize = 5, .ttl = 250},
       L"エラー",
       L"172.16.0.1 からの応答: エラー (Status=11003)"},
      {L"172.16.0.1",
       {.kind = Kind::Reply, .status = 4294967295u},
       L"エラー",
       L"172.16.0.1 からの応答: エラー (Status=4294967295)"},
      {L"192.168.0.254",
       {.kind = Kind::Failed, .errorCode = 11010},
       L"タイムアウト",
       L"192.168.0.254 からの応答: 要求がタイムアウトしました。"},
      {L"192.168.0.254",
       {.kind = Kind::Failed, .errorCode = 11050},
       L"エラー",
       L"192.168.0.254 への Ping 失敗 (エラーコード: 11050)"},
      {L"192.168.0.254",
       {.kind = Kind::Failed, .errorCode = 0},
       L"エラー",
       L"192.168.0.254 への Ping 失敗 (エラーコード: 0)"},
      {L"192.168.0.254", {.kind = Kind::NoHandle}, L"エラー", L"ICMPハンドルの作成に失敗しました。"},
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

  // The file's text after its byte-order mark; the file is removed for the next case.
  std::string TakeLog() {
    const std::wstring file = folder_ + kPathSeparator + L"2026_12_07.txt";
    const std::string bytes = ReadFileBytes(file);
    std::error_code ec;
    std::filesystem::remove(ToFsPath(file), ec);
    return bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : "<no mark>" + bytes;
  }

  static std::string Line(const std::wstring& title, const std::wstring& message) {
    return "[08:03:07.045][Ping][" + WideToUtf8(title) + "]" + WideToUtf8(message) + "\r\n";
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
    EXPECT_EQ(TakeLog(), Line(L"エラー", L"IPアドレスの形式が不正です: " + text));
  }
}

TEST_F(PingOnceTest, LoopbackAnswers) {
  if (LoopbackSilenced()) GTEST_SKIP() << "loopback is silenced here";
  ASSERT_TRUE(PingOnce(L"127.0.0.1", 2000));
  // One line; only the time varies. Both the Linux stack and Wine answer with TTL 64.
  const std::string log = TakeLog();
  std::string head = Line(L"成功", L"127.0.0.1 からの応答: バイト数=5 時間=");
  head.resize(head.size() - 2);  // without its line end
  const std::string tail = "ms TTL=64\r\n";
  ASSERT_GT(log.size(), head.size() + tail.size()) << log;
  EXPECT_EQ(log.substr(0, head.size()), head) << log;
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << log;
  const std::string time = log.substr(head.size(), log.size() - head.size() - tail.size());
  EXPECT_EQ(time.find_first_not_of("0123456789"), std::string::npos) << log;
}

// Every way through, the unexpected ones included, writes exactly one Ping line.
TEST_F(PingOnceTest, EveryPathWritesExactlyOnePingLine) {
  auto answer = [](EchoResult r) { return [r](const std::array<uint8_t, 4>&, uint32_t) { return r; }; };
  struct Case {
    const char* name;
    std::wstring address;
    EchoSender send;
    bool ok;
  };
  const Case cases[] = {
      {"not an address", L"localhost", answer({.kind = Kind::Reply}), false},
      {"answered", L"127.0.0.1", answer({.kind = Kind::Reply, .dataSize = 5, .ttl = 64}), true},
      {"error status", L"127.0.0.1", answer({.kind = Kind::Reply, .status = 11003}), false},
      {"timeout", L"127.0.0.1", answer({.kind = Kind::Failed, .errorCode = kIpReqTimedOut}), false},
      {"failed", L"127.0.0.1", answer({.kind = Kind::Failed, .errorCode = 5}), false},
      {"no handle", L"127.0.0.1", answer({.kind = Kind::NoHandle}), false},
      {"unknown kind", L"127.0.0.1", answer({.kind = static_cast<Kind>(7)}), false},
      {"out of memory", L"127.0.0.1",
       [](const std::array<uint8_t, 4>&, uint32_t) -> EchoResult { throw std::bad_alloc(); }, false},
      {"other exception", L"127.0.0.1",
       [](const std::array<uint8_t, 4>&, uint32_t) -> EchoResult { throw std::runtime_error("probe"); }, false},
      {"no sender", L"127.0.0.1", EchoSender(), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PingOnceWith(c.address, 1000, c.send), c.ok) << c.name;
    const std::string log = TakeLog();
    size_t lines = 0;
    for (size_t at = log.find("\r\n"); at != std::string::npos; at = log.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 1u) << c.name << ": " << log;
    EXPECT_EQ(log.rfind("[08:03:07.045][Ping][", 0), 0u) << c.name << ": " << log;
  }
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
  EXPECT_EQ(TakeLog(), Line(L"タイムアウト", L"127.0.0.1 からの応答: 要求がタイムアウトしました。"));
}

}  // namespace
}  // namespace moorlink::test
