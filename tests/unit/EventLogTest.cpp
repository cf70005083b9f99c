#include <gtest/gtest.h>

#include "log/EventLog.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

// Events are written in order, off the caller's thread, and only while UseEventLog is on.
TEST(EventLog, WritesInOrderOnlyWhileSwitchedOn) {
  for (const bool on : {true, false}) {
    ScopedSettingsFile settings(on ? "[Log]\r\nUseEventLog=true\r\n" : "[Log]\r\nUseEventLog=false\r\n");
    std::vector<NotableEvent> written;
    SetEventWriterForTesting([&written](const NotableEvent& e) {
      written.push_back(e);
      return true;
    });
    ReportNotableEvent(EventId::OutageDetected, NotifyKind::Warning, L"切断", {L"Home", L"127.0.0.1"});
    ReportNotableEvent(EventId::Recovered, NotifyKind::Info, L"回復", {L"Home", L"12", L"1", L"Wi-Fi"});
    WaitForEventsForTesting();
    SetEventWriterForTesting(nullptr);
    if (!on) {
      EXPECT_TRUE(written.empty());
      continue;
    }
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].id, EventId::OutageDetected);
    EXPECT_EQ(written[0].strings, (std::vector<std::wstring>{L"切断", L"Home", L"127.0.0.1"}));
    EXPECT_EQ(written[1].level, NotifyKind::Info);
    EXPECT_EQ(written[1].strings.back(), L"Wi-Fi");
  }
}

}  // namespace
}  // namespace moorlink::test
