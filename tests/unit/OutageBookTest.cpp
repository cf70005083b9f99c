#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "monitor/OutageBook.h"

namespace moorlink::test {
namespace {

constexpr int64_t kS = 1'000'000'000;

// A book on its own, its wall clock as far ahead of the monotonic one as `shift` says.
struct Books {
  OutageBook book;
  WallSeconds shift = 1'800'000'000;
  int64_t now = 100 * kS;
  std::vector<OutageRecord> outages;
  std::vector<MonitoredSpan> spans;
  void Start() {
    HistoryPorts p;
    p.WallNow = [this] { return shift + now / kS; };
    p.RecordOutage = [this](const OutageRecord& r) { outages.push_back(r); };
    p.RecordSpan = [this](const MonitoredSpan& r) { spans.push_back(r); };
    book.RunStarts(p, L"Home", L"127.0.0.1", now);
  }
  int64_t At(int64_t seconds) { return now = seconds * kS; }
  WallSeconds Wall(int64_t seconds) const { return shift + seconds; }
};

// Stopped at the retry limit, the outage waits unmonitored for the revival; a sleep, an
// exit or the end of the session then ends it where it happened, not hours later.
TEST(OutageBookTest, TheCarriedOutageEndsWhereTheWaitEnded) {
  const struct {
    const char* name;
    int end;  // 0 sleep, 1 exit, 2 end of session
    OutageEnd how;
  } cases[] = {
      {"sleep", 0, OutageEnd::Sleep}, {"exit", 1, OutageEnd::ProgramExit}, {"session", 2, OutageEnd::SessionEnd}};
  for (const auto& c : cases) {
    Books b;
    b.Start();
    b.book.OutageBegins(b.At(110));
    b.book.CommandLaunched();
    b.book.RunEnds(std::nullopt, b.At(130));
    ASSERT_TRUE(b.book.HasOutage()) << c.name;
    b.At(500);
    if (c.end == 0) b.book.Suspend(b.now);
    if (c.end == 1) b.book.EndCarried(OutageEnd::ProgramExit, b.now);
    if (c.end == 2) b.book.EndSession(b.now);
    b.book.EndCarried(OutageEnd::ProgramExit, b.At(30000));  // the exit after a long sleep changes nothing
    EXPECT_THAT(b.outages,
                ::testing::ElementsAre(OutageRecord{b.Wall(110), b.Wall(500), L"Home", L"127.0.0.1", 1, c.how, true}))
        << c.name;
    EXPECT_THAT(b.spans, ::testing::ElementsAre(MonitoredSpan{b.Wall(100), b.Wall(130), L"Home", L"127.0.0.1"}));
  }
}

// The end of the session writes what is open and takes nothing after it; the open rows the
// view adds last as long as the monotonic clock says, whatever the wall clock did.
TEST(OutageBookTest, SessionEndSealsAndOpenRowsFollowTheMonotonicClock) {
  Books b;
  b.Start();
  b.book.OutageBegins(b.At(160));
  b.shift -= 3600;  // the clock set back an hour
  HistoryRows open;
  b.book.AddOpenRows(open, b.At(280));
  ASSERT_EQ(open.outages.size(), 1u);
  EXPECT_EQ(open.outages[0].end - open.outages[0].start, 120);
  EXPECT_TRUE(open.outages[0].open && open.spans.at(0).open);
  EXPECT_EQ(open.spans[0].end - open.spans[0].start, 180);
  b.book.EndSession(b.At(300));
  b.book.Answered(b.At(301));
  b.book.RunEnds(OutageEnd::ProgramExit, b.At(302));
  ASSERT_EQ(b.outages.size(), 1u);
  EXPECT_EQ(b.outages[0].how, OutageEnd::SessionEnd);
  EXPECT_EQ(b.outages[0].end - b.outages[0].start, 140);
  ASSERT_EQ(b.spans.size(), 1u);
  EXPECT_EQ(b.spans[0].end - b.spans[0].start, 200);
  HistoryRows none;
  b.book.AddOpenRows(none, b.At(400));
  EXPECT_TRUE(none.outages.empty() && none.spans.empty());
}

}  // namespace
}  // namespace moorlink::test
