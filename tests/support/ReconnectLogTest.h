#pragma once
// A fixture for tests that read the Netsh lines of the reconnect command from the real log
// file: settings with logging on, a log folder in a temporary place, a fixed clock, and the
// busy flag set as the monitor run sets it before it starts a command.
#include <gtest/gtest.h>
#include <string>

#include "common/Text.h"
#include "log/LogWriter.h"
#include "monitor/MonitorRun.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace moorlink::test {

class ReconnectLogTest : public ::testing::Test {
 protected:
  static LocalTime FixedClock() { return LocalTime{2026, 3, 14, 10, 20, 30, 40}; }

  void SetUp() override {
    SetLogClockForTesting(&FixedClock);
    SetLogFolderForTesting(folder_);
    ASSERT_TRUE(WriteSetting(keys::UseLog, true));
    ReconnectCommandBusy.store(true);
  }
  void TearDown() override {
    SetLogClockForTesting(nullptr);
    ReconnectCommandBusy.store(false);
  }

  std::wstring LogFile() const { return folder_ + kPathSeparator + L"2026_03_14.txt"; }
  std::string LogBytes() const { return ReadFileBytes(LogFile()); }
  // One Netsh line as the log writer formats it at the fixed time.
  static std::string NetshLine(const std::wstring& title, const std::wstring& message) {
    return "[10:20:30.040][Netsh][" + WideToUtf8(title) + "]" + WideToUtf8(message) + "\r\n";
  }

  static constexpr const char* kBom = "\xEF\xBB\xBF";

  ScopedSettingsFile settings_;
  TempDir root_;
  std::wstring folder_ = root_.Child(L"tester_log");
};

}  // namespace moorlink::test
