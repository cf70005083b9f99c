#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "common/PathHelpers.h"
#include "common/Text.h"
#include "log/LogWriter.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

std::atomic<int> g_fakeDay{7};
std::atomic<int> g_fakeMs{45};

LocalTime FakeClock() { return LocalTime{2026, 12, g_fakeDay.load(), 8, 3, 7, g_fakeMs.load()}; }
// Midnight passes between any two readings of this clock.
LocalTime TurningClock() { return LocalTime{2026, 12, g_fakeDay++, 8, 3, 7, 45}; }

const std::string kBom = "\xEF\xBB\xBF";

// A log folder in a temporary place, settings with logging on, and a fixed clock.
class LogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fakeDay = 7;
    g_fakeMs = 45;
    SetLogClockForTesting(&FakeClock);
    SetLogFolderForTesting(folder_);
    WriteSetting(keys::UseLog, true);
  }
  void TearDown() override { SetLogClockForTesting(nullptr); }

  std::wstring File(const std::wstring& date = L"2026_12_07") const {
    return folder_ + kPathSeparator + date + L".txt";
  }

  ScopedSettingsFile settings_;
  TempDir root_;
  std::wstring folder_ = root_.Child(L"staff_log");
};

TEST_F(LogWriterTest, FirstLineOfADayHasTheMarkAndTheSecondDoesNot) {
  WriteLog(LogCategory::Process, L"ソフト起動", L"本ソフトが起動されました。");
  EXPECT_EQ(ReadFileBytes(File()),
            kBom +
                "[08:03:07.045][Process][\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\xE8\xB5\xB7\xE5\x8B\x95]"
                "\xE6\x9C\xAC\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\xE3\x81\x8C\xE8\xB5\xB7\xE5\x8B\x95\xE3\x81\x95"
                "\xE3\x82\x8C\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82\r\n");
  g_fakeMs = 46;
  WriteLog(LogCategory::Other, L"", L"");
  const std::string bytes = ReadFileBytes(File());
  ASSERT_GE(bytes.size(), 25u);
  EXPECT_EQ(bytes.substr(bytes.size() - 25), "[08:03:07.046][Other][]\r\n");
  EXPECT_EQ(bytes.rfind(kBom), 0u);  // the mark appears once, at the start
}

TEST_F(LogWriterTest, ANewDayStartsANewFile) {
  WriteLog(LogCategory::Monitor, L"a", L"b");
  g_fakeDay = 8;
  WriteLog(LogCategory::Monitor, L"c", L"d");
  EXPECT_EQ(ReadFileBytes(File()), kBom + "[08:03:07.045][Monitor][a]b\r\n");
  EXPECT_EQ(ReadFileBytes(File(L"2026_12_08")), kBom + "[08:03:07.045][Monitor][c]d\r\n");
}

TEST_F(LogWriterTest, TheFileALineCreatesStartsWithTheMarkWhenTheDateTurnsMidWrite) {
  const std::string line = "[08:03:07.045][Monitor][a]b\r\n";
  for (const bool earlierDayLogged : {false, true}) {
    std::error_code ec;
    std::filesystem::remove_all(ToFsPath(folder_), ec);
    g_fakeDay = 7;
    if (earlierDayLogged) WriteLog(LogCategory::Monitor, L"x", L"y");
    g_fakeDay = 10;
    SetLogClockForTesting(&TurningClock);
    WriteLog(LogCategory::Monitor, L"a", L"b");
    SetLogClockForTesting(&FakeClock);
    // Whichever day the line went to, that file is new, so it begins with the mark.
    int holding = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(folder_))) {
      const std::string bytes = ReadFileBytes(Utf8ToWide(entry.path().string()));
      if (entry.path().filename() == "2026_12_07.txt") continue;
      EXPECT_EQ(bytes, kBom + line) << entry.path();
      ++holding;
    }
    EXPECT_EQ(holding, 1) << earlierDayLogged;
  }
}

TEST_F(LogWriterTest, SwitchesOffCreateNoFolderAndNoFile) {
  struct Case {
    const char* ini;
    LogCategory category;
  };
  const Case cases[] = {
      {"[Log]\r\nUseLog=false\r\n", LogCategory::Process},
      {"[Log]\r\n", LogCategory::Process},  // logging is off by default
      {"[Log]\r\nUseLog=true\r\nLogProcess=false\r\n", LogCategory::Process},
      {"[Log]\r\nUseLog=true\r\nLogMonitor=no\r\n", LogCategory::Monitor},
      {"[Log]\r\nUseLog=true\r\nLogPing=\r\n", LogCategory::Ping},
      {"[Log]\r\nUseLog=true\r\nLogNetsh=0\r\n", LogCategory::Netsh},
      {"[Log]\r\nUseLog=true\r\nLogOther=off\r\n", LogCategory::Other},
      {"[Log]\r\nUseLog=true\r\n", static_cast<LogCategory>(5)},
      {"[Log]\r\nUseLog=true\r\n", static_cast<LogCategory>(-1)},
  };
  for (const Case& c : cases) {
    WriteFileBytes(settings_.path(), c.ini);
    WriteLog(c.category, L"t", L"m");
    EXPECT_FALSE(PathExists(folder_)) << c.ini;
  }
}

TEST_F(LogWriterTest, EachEnabledCategoryWritesItsLabel) {
  WriteLog(LogCategory::Process, L"", L"1");
  WriteLog(LogCategory::Monitor, L"", L"2");
  WriteLog(LogCategory::Ping, L"", L"3");
  WriteLog(LogCategory::Netsh, L"", L"4");
  WriteLog(LogCategory::Other, L"", L"5");
  EXPECT_EQ(ReadFileBytes(File()), kBom +
                                       "[08:03:07.045][Process][]1\r\n"
                                       "[08:03:07.045][Monitor][]2\r\n"
                                       "[08:03:07.045][Ping][]3\r\n"
                                       "[08:03:07.045][Netsh][]4\r\n"
                                       "[08:03:07.045][Other][]5\r\n");
}

TEST_F(LogWriterTest, ExistingFileIsAppendedWithoutAMark) {
  std::filesystem::create_directories(ToFsPath(folder_));
  WriteFileBytes(File(), "old\r\n");
  WriteLog(LogCategory::Ping, L"x", L"y");
  EXPECT_EQ(ReadFileBytes(File()), "old\r\n[08:03:07.045][Ping][x]y\r\n");
}

TEST_F(LogWriterTest, UnwritableFolderDropsTheLineQuietly) {
  // A plain file where the folder should be: neither the folder nor the line can be made.
  WriteFileBytes(folder_, "not a folder");
  WriteLog(LogCategory::Process, L"t", L"m");
  EXPECT_EQ(ReadFileBytes(folder_), "not a folder");
}

TEST_F(LogWriterTest, TwoThreadsWriteWholeLines) {
  constexpr int kLines = 1000;
  auto writer = [](const wchar_t* who) {
    for (int i = 0; i < kLines; ++i) WriteLog(LogCategory::Monitor, who, L"行" + std::to_wstring(i));
  };
  std::thread a(writer, L"A");
  std::thread b(writer, L"B");
  a.join();
  b.join();
  const std::string bytes = ReadFileBytes(File());
  ASSERT_EQ(bytes.rfind(kBom), 0u);
  std::istringstream in(bytes.substr(3));
  const std::string kana = "\xE8\xA1\x8C";  // the message's leading kanji
  int count = 0;
  int next[2] = {0, 0};
  for (std::string l; std::getline(in, l); ++count) {
    // "[08:03:07.045][Monitor][A]" + kanji + digits + CR
    ASSERT_GE(l.size(), 31u) << l;
    ASSERT_EQ(l.substr(0, 24), "[08:03:07.045][Monitor][") << l;
    ASSERT_TRUE(l[24] == 'A' || l[24] == 'B') << l;
    ASSERT_EQ(l.substr(25, 4), "]" + kana) << l;
    ASSERT_EQ(l.back(), '\r') << l;
    const std::string digits = l.substr(29, l.size() - 30);
    ASSERT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << l;
    // Each writer's own lines stay in order.
    EXPECT_EQ(std::stoi(digits), next[l[24] - 'A']++);
  }
  EXPECT_EQ(count, 2 * kLines);
}

TEST_F(LogWriterTest, ScopedLogLineWritesOnEveryWayOut) {
  try {
    ScopedLogLine line(LogCategory::Process, L"ソフト終了", L"本ソフトが終了しました。");
    throw std::runtime_error("leaving by an exception");
  } catch (const std::runtime_error&) {
  }
  { ScopedLogLine line(LogCategory::Other, L"end", L"normal"); }
  const std::string text = ReadFileBytes(File());
  EXPECT_NE(text.find("[Process][\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\xE7\xB5\x82\xE4\xBA\x86]"), std::string::npos);
  EXPECT_NE(text.find("[Other][end]normal\r\n"), std::string::npos);
}

TEST_F(LogWriterTest, ScopedLogLineSwallowsAThrowingWriter) {
  EXPECT_NO_THROW({
    ScopedLogLine line(LogCategory::Other, L"t", L"m",
                       [](LogCategory, const std::wstring&, const std::wstring&) { throw std::runtime_error("x"); });
  });
}

TEST_F(LogWriterTest, LogFilePathFollowsTheDate) {
  EXPECT_EQ(LogFilePath(), File());
  g_fakeDay = 9;
  EXPECT_EQ(LogFilePath(), File(L"2026_12_09"));
}

TEST(LogLineTest, FormatsExactBytes) {
  struct Case {
    const char* name;
    LogCategory category;
    std::wstring title;
    std::wstring message;
    LocalTime time;
    std::string expected;
  };
  const Case cases[] = {
      {"padding", LogCategory::Ping, L"a", L"b", {2026, 1, 5, 9, 5, 3, 7}, "[09:05:03.007][Ping][a]b\r\n"},
      {"widest", LogCategory::Netsh, L"", L"", {2026, 1, 5, 23, 59, 59, 999}, "[23:59:59.999][Netsh][]\r\n"},
      {"line breaks removed",
       LogCategory::Other,
       L"a\r\nb",
       L"\r\n",
       {2026, 1, 5, 0, 0, 0, 0},
       "[00:00:00.000][Other][ab]\r\n"},
      {"other control characters stay",
       LogCategory::Monitor,
       L"\t",
       L"x\u0001y",
       {2026, 1, 5, 1, 2, 3, 4},
       "[01:02:03.004][Monitor][\t]x\x01y\r\n"},
      {"kana is three bytes",
       LogCategory::Process,
       L"\u3042",
       L"",
       {2026, 1, 5, 1, 2, 3, 4},
       "[01:02:03.004][Process][\xE3\x81\x82]\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatLogLine(c.category, c.title, c.message, c.time), c.expected) << c.name;
}

TEST(LogLineTest, FormatsDates) {
  EXPECT_EQ(FormatLogDate({2026, 1, 5}), L"2026_01_05");
  EXPECT_EQ(FormatLogDate({2026, 12, 7}), L"2026_12_07");
  EXPECT_EQ(FormatLogDate({987, 10, 31}), L"0987_10_31");
}

TEST(LogPathTest, SanitizeFileName) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"staff", L"staff"},
      {L"a:b", L"a_b"},
      {L"\\/:*?\"<>|", L"_________"},
      {L"tab\there", L"tab_here"},
      {L"name...", L"name"},
      {L"name. . ", L"name"},
      {L". .", L"file"},
      {L"", L"file"},
      {L".hidden", L".hidden"},
      {L"\u5c71\u7530", L"\u5c71\u7530"},
  };
  for (auto [in, expected] : cases) {
    std::wstring name = in;
    SanitizeFileName(name);
    EXPECT_EQ(name, expected);
  }
}

TEST(LogPathTest, ComposeLogFolder) {
  const std::wstring sep(1, kPathSeparator);
  EXPECT_EQ(ComposeLogFolder(L"base", L"a:b"), L"base" + sep + L"a_b_log");
  EXPECT_EQ(ComposeLogFolder(L"base", L". ."), L"base" + sep + L"file_log");
  EXPECT_EQ(ComposeLogFolder(L"", L"staff"), L"");
  EXPECT_EQ(ComposeLogFolder(L"base", L""), L"");
}

TEST(LogPathTest, FolderOfPath) {
  EXPECT_EQ(FolderOfPath(L"C:\\Tools\\watch\\app.exe"), L"C:\\Tools\\watch");
  EXPECT_EQ(FolderOfPath(L"/opt/watch/app"), L"/opt/watch");
  EXPECT_EQ(FolderOfPath(L"app.exe"), L"");
}

TEST(LogPathTest, ExeFolderPathHoldsThisTestProgram) {
  const std::wstring folder = ExeFolderPath();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), L'\\');
  EXPECT_NE(folder.back(), L'/');
  EXPECT_EQ(ModuleFilePath().rfind(folder, 0), 0u);
}

}  // namespace
}  // namespace moorlink::test
