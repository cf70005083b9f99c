// A simulated day of monitoring: the real run, controller, reconnect command body and log
// writer on real threads, with a fake clock, outages from a seeded schedule, revivals at
// the retry limit and restarts requested from another thread. What must have happened
// (every ping, every log line with its time stamp, the launches) comes from a small model
// of the timing rules fed with the same schedule; threads and heap must not grow.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Text.h"
#include "log/LogWriter.h"
#include "monitor/MonitorController.h"
#include "monitor/MonitorRun.h"
#include "monitor/ReconnectCommand.h"
#include "settings/Settings.h"
#include "support/ProcessStats.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kNs = 1'000'000'000;
// The settings of the soak; the model below uses the same numbers.
constexpr int64_t kPingInterval = 10;
constexpr int64_t kPingTimeoutS = 2;
constexpr int64_t kReconnectInterval = 6;
constexpr int kMaxRetry = 10;
constexpr int64_t kRevivalSeconds = 60;
const char* const kIni =
    "[AutoReconnect]\r\nTargetSSID=Home\r\nPingAddress=127.0.0.1\r\nPingInterval=10\r\nPingTimeout=2000\r\n"
    "ReconnectInterval=6\r\nMaxRetryCount=10\r\nEnableMonitorRevival=true\r\nMonitorRevivalInterval=60\r\n"
    "NotifyOnReconnect=true\r\n[Log]\r\nUseLog=true\r\n";
const std::wstring kNetshAnswer = L"接続要求は正常に完了しました。";

const std::wstring kStart = L"監視処理開始";
const std::wstring kUserSsid = L"再接続先SSIDユーザー設定";
const std::wstring kDetected = L"切断検知";
const std::wstring kRecovered = L"接続回復";
const std::wstring kManualStop = L"監視処理手動中止";
const std::wstring kLimitRevival = L"監視処理中止＆自動復活";
const std::wstring kEnd = L"監視処理終了";

struct Outage {
  int64_t from;  // seconds of the day, first silent second
  int64_t to;    // first answered second
};

struct Schedule {
  int64_t end = 0;  // a stop is requested at the first wait that ends at or after this
  std::vector<Outage> outages;
  std::vector<int64_t> restarts;  // due at the first wait that ends at or after each
};

// Outages every 3 to 12 minutes, 4 s to 2 min long; restarts every 40 to 80 minutes. The
// last quarter hour is calm, so the day ends with a run in its loop.
Schedule MakeSchedule(uint32_t seed, int64_t end) {
  std::mt19937 rng(seed);
  auto between = [&rng](int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(rng() % (hi - lo + 1)); };
  Schedule s;
  s.end = end;
  for (int64_t t = between(180, 720);; t += between(180, 720)) {
    const int64_t length = between(4, 120);
    if (t + length > end - 900) break;
    s.outages.push_back({t, t + length});
    t += length;
  }
  for (int64_t r = between(600, 2400); r < end - 900; r += between(2400, 4800)) s.restarts.push_back(r);
  return s;
}

bool Down(const Schedule& s, int64_t second) {
  for (const Outage& o : s.outages) {
    if (second >= o.from && second < o.to) return true;
  }
  return false;
}

struct Line {
  int64_t at;  // seconds of the day
  std::wstring title;
  bool operator==(const Line&) const = default;
};

struct Expected {
  std::vector<int64_t> pings;
  std::vector<Line> lines;  // Monitor and Netsh lines, in file order
  int launches = 0;
  int runs = 0;
  int revivals = 0;
  int restarts = 0;
  int detections = 0;
};

// The timing rules, by hand: a tick pings when the last ping failed or is an interval old;
// a failed ping costs its timeout and launches when the last launch is a reconnect
// interval old; every tick is followed by a one-second wait, after which a pending stop
// ends the run; the limit ends it with a revival due after the revival interval.
Expected Model(const Schedule& s) {
  Expected e;
  int64_t t = 0;
  size_t nextRestart = 0;
  bool open = false;  // an announced outage not yet over; a stop at the limit keeps it
  for (bool dayOver = false; !dayOver;) {
    ++e.runs;
    e.lines.push_back({t, kStart});
    e.lines.push_back({t, kUserSsid});
    bool lastOk = false;
    int64_t lastPing = 0;
    int64_t lastLaunch = INT64_MIN / 2;
    int retries = 0;
    bool announced = false;
    bool stopped = false;
    while (retries < kMaxRetry) {
      if (lastOk && t - lastPing < kPingInterval) {
        retries = 0;
        announced = false;
      } else {
        e.pings.push_back(t);
        lastOk = !Down(s, t);
        lastPing = t;
        if (lastOk) {
          if (open) e.lines.push_back({t, kRecovered});
          open = false;
          retries = 0;
          announced = false;
        } else {
          t += kPingTimeoutS;
          if (t - lastLaunch >= kReconnectInterval) {
            if (!announced) {
              e.lines.push_back({t, kDetected});
              ++e.detections;
              announced = open = true;
            }
            e.lines.push_back({t, kNetshAnswer});
            ++e.launches;
            ++retries;
            lastLaunch = t;
          }
        }
      }
      t += 1;
      if (t >= s.end) {
        dayOver = stopped = true;
        break;
      }
      if (nextRestart < s.restarts.size() && t >= s.restarts[nextRestart]) {
        ++nextRestart;
        ++e.restarts;
        stopped = true;
        break;
      }
    }
    open = open && !stopped;
    e.lines.push_back({t, stopped ? kManualStop : kLimitRevival});
    e.lines.push_back({t, kEnd});
    if (!stopped) {
      ++e.revivals;
      t += kRevivalSeconds;
    }
  }
  return e;
}

// The world the real code runs in for one simulated day. The fake clock moves only when
// the run sleeps or a ping times out; the log writer stamps lines with it.
class SoakWorld {
 public:
  SoakWorld(const Schedule& schedule, int dayIndex) : schedule_(schedule), dayIndex_(dayIndex) {}

  static std::atomic<SoakWorld*> current;

  static LocalTime LogClock() {
    const SoakWorld* w = current.load();
    const int64_t s = w ? w->Seconds() : 0;
    return LocalTime{2024,
                     1,
                     1 + (w ? w->dayIndex_ : 0),
                     static_cast<int>(s / 3600),
                     static_cast<int>(s / 60 % 60),
                     static_cast<int>(s % 60),
                     0};
  }

  int64_t Seconds() const { return (now_.load() - kBoot) / kNs; }

  MonitorPorts Ports() {
    MonitorPorts p;
    p.HasWlanProfile = [](const std::wstring& name) { return name == L"Home"; };
    p.GetConnectedSsid = [] { return SsidQuery{SsidQueryResult::Connected, L"Home"}; };
    p.GetPreferredProfileSsid = [] { return std::wstring(L"Home"); };
    p.GetWifiGateway = [] { return std::wstring(L"127.0.0.1"); };
    p.InetPtonW = [](const std::wstring& text) { return text == L"127.0.0.1" ? 1 : 0; };
    p.PingOnce = [this](const std::wstring& target, uint32_t timeoutMs) {
      const int64_t s = Seconds();
      pings.push_back(s);
      if (target != L"127.0.0.1") wrongTarget = true;
      if (!Down(schedule_, s)) return true;
      now_ += static_cast<int64_t>(timeoutMs) * 1'000'000;
      return false;
    };
    p.RunReconnectCommand = [this](std::wstring ssid) {
      RunReconnectCommandWith(std::move(ssid), [this](const std::wstring& commandLine) {
        ++launches;
        if (commandLine != L"netsh wlan connect name=\"Home\"") wrongCommand = true;
        return CommandOutcome{kNetshAnswer, false};
      });
    };
    // The command body runs at once on this thread. On a thread of its own it would make
    // the next launch depend on the scheduler (the run skips a launch while the previous
    // command runs), and a thread per launch would take the day well past its few seconds
    // under the sanitizers; the controller's threads are all real.
    p.StartDetachedThread = [](std::function<void()> body) {
      body();
      return true;
    };
    p.SetTrayIcon = [](int) { return true; };
    p.SetTrayTip = [](const std::wstring&) {};
    p.NotifyUser = [this](const std::wstring&, const std::wstring& title, NotifyKind) { ++notifications[title]; };
    p.WriteLog = WriteLog;
    // The controller's timer runs on the real clock: armed for no time at all, it starts
    // the next run as soon as this one has finished, and that run begins `seconds` later
    // on the fake clock.
    p.StartRevivalTimer = [this](int64_t seconds) {
      revivalDue_ = now_.load() + seconds * kNs;
      ++revivals;
      return moorlink::StartRevivalTimer(0);
    };
    p.Now = [this] { return now_.load(); };
    // A second at a time, as the schedule counts; a requested stop ends the sleep.
    p.Sleep = [this](uint32_t ms) {
      for (const int64_t end = now_ + ms * int64_t{1'000'000}; now_ < end && !StopRequested.load();) {
        now_ += std::min(end - now_.load(), kNs);
        AfterSleep();
      }
    };
    return p;
  }

  // The body the controller runs on its monitor thread.
  void RunOnce() {
    if (revivalDue_ != 0) {
      now_.store(revivalDue_);
      revivalDue_ = 0;
    }
    MonitorRun(ports_);
  }

  // Runs the day from the calling thread, with restarts from a thread of its own.
  void RunDay() {
    ports_ = Ports();
    std::thread requester([this] { RequestRestarts(); });
    StartMonitor();
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!signal_.wait_for(lock, 120s, [this] { return endReached_; })) stuck = true;
    }
    StopMonitor();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    signal_.notify_all();
    requester.join();
    ResetControllerForTesting();
  }

  std::vector<int64_t> pings;
  std::atomic<int> launches{0};
  int revivals = 0;
  int restarts = 0;
  std::map<std::wstring, int> notifications;
  int peakThreads = 0;
  bool wrongTarget = false;
  std::atomic<bool> wrongCommand{false};
  std::atomic<bool> stuck{false};

 private:
  static constexpr int64_t kBoot = 7 * 3600 * kNs;  // the system has been up for hours

  void AfterSleep() {
    const int64_t s = Seconds();
    if (s >= nextThreadSample_) {
      peakThreads = std::max(peakThreads, ThreadCount());
      nextThreadSample_ = s + 600;
    }
    if (s >= schedule_.end) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        endReached_ = true;
      }
      signal_.notify_all();
      AwaitStopRequest();
    } else if (nextRestart_ < schedule_.restarts.size() && s >= schedule_.restarts[nextRestart_]) {
      ++nextRestart_;
      ++restarts;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        restartWanted_ = true;
      }
      signal_.notify_all();
      AwaitStopRequest();
    }
  }

  // Holds the run in its sleep until the requested stop has reached it, so that it ends at
  // this very second of the fake clock.
  void AwaitStopRequest() {
    const auto limit = std::chrono::steady_clock::now() + 30s;
    while (!StopRequested.load()) {
      if (std::chrono::steady_clock::now() > limit) {
        stuck = true;
        StopRequested.store(true);
        return;
      }
      std::this_thread::sleep_for(50us);
    }
  }

  void RequestRestarts() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      signal_.wait(lock, [this] { return restartWanted_ || quit_; });
      if (quit_) return;
      restartWanted_ = false;
      lock.unlock();
      // One restart at a time: a second one while the first still runs is refused.
      while (RestartBusy.load()) std::this_thread::sleep_for(50us);
      RestartMonitor();
      lock.lock();
    }
  }

  const Schedule& schedule_;
  const int dayIndex_;
  MonitorPorts ports_;
  std::atomic<int64_t> now_{kBoot};
  int64_t revivalDue_ = 0;
  size_t nextRestart_ = 0;
  int64_t nextThreadSample_ = 0;
  std::mutex mutex_;
  std::condition_variable signal_;
  bool endReached_ = false;
  bool restartWanted_ = false;
  bool quit_ = false;
};

std::atomic<SoakWorld*> SoakWorld::current{nullptr};

// The Monitor and Netsh lines of one day's log file: time stamp in seconds and title.
std::vector<Line> ReadLogLines(const std::wstring& file) {
  std::vector<Line> lines;
  std::istringstream in(ReadFileBytes(file));
  std::string raw;
  while (std::getline(in, raw)) {
    if (raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
    // [HH:MM:SS.mmm][Category][title]message
    if (raw.size() < 16 || raw[0] != '[') continue;
    const int64_t at =
        std::stoll(raw.substr(1, 2)) * 3600 + std::stoll(raw.substr(4, 2)) * 60 + std::stoll(raw.substr(7, 2));
    const size_t titleOpen = raw.find('[', 15);
    const size_t titleClose = raw.find(']', titleOpen);
    if (titleOpen == std::string::npos || titleClose == std::string::npos) continue;
    lines.push_back({at, Utf8ToWide(raw.substr(titleOpen + 1, titleClose - titleOpen - 1))});
  }
  return lines;
}

std::string Describe(const std::vector<Line>& v, size_t at) {
  std::ostringstream out;
  for (size_t i = at >= 3 ? at - 3 : 0; i < v.size() && i < at + 3; ++i) {
    out << "  #" << i << " " << v[i].at << "s " << WideToUtf8(v[i].title) << "\n";
  }
  return out.str();
}

size_t FirstDifference(const std::vector<Line>& a, const std::vector<Line>& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

class MonitorSoakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetControllerForTesting();
    RestartBusy.store(false);
    StopRequested.store(false);
    ReconnectCommandBusy.store(false);
    SetLogFolderForTesting(folder_);
    SetLogClockForTesting(&SoakWorld::LogClock);
    ControllerPorts ports;
    ports.MonitorRun = [] { SoakWorld::current.load()->RunOnce(); };
    ports.NotifyUser = [this](const std::wstring&, const std::wstring& title, NotifyKind) {
      controllerNotes_.push_back(title);
    };
    ports.WriteLog = WriteLog;
    SetControllerPorts(std::move(ports));
  }

  void TearDown() override {
    ResetControllerForTesting();
    SetControllerPorts({});
    SetLogClockForTesting(nullptr);
    SoakWorld::current = nullptr;
  }

  // One simulated day against its model; returns the figures for the report.
  void Day(int index, uint32_t seed, int64_t length) {
    SCOPED_TRACE("day " + std::to_string(index) + ", seed " + std::to_string(seed));
    const Schedule schedule = MakeSchedule(seed, length);
    const Expected expected = Model(schedule);
    const auto t0 = std::chrono::steady_clock::now();
    SoakWorld world(schedule, index);
    SoakWorld::current = &world;
    world.RunDay();
    SoakWorld::current = nullptr;
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    ASSERT_FALSE(world.stuck) << "a stop request never reached the run";
    EXPECT_FALSE(world.wrongTarget);
    EXPECT_FALSE(world.wrongCommand.load());
    EXPECT_EQ(world.pings.size(), expected.pings.size());
    const auto [pingDiff, modelDiff] =
        std::mismatch(world.pings.begin(), world.pings.end(), expected.pings.begin(), expected.pings.end());
    EXPECT_TRUE(pingDiff == world.pings.end() && modelDiff == expected.pings.end())
        << "first differing ping #" << (pingDiff - world.pings.begin()) << ": "
        << (pingDiff == world.pings.end() ? -1 : *pingDiff) << " s, model "
        << (modelDiff == expected.pings.end() ? -1 : *modelDiff) << " s";
    EXPECT_EQ(world.launches.load(), expected.launches);
    EXPECT_EQ(world.revivals, expected.revivals);
    EXPECT_EQ(world.restarts, expected.restarts);

    const std::vector<Line> logged =
        ReadLogLines(folder_ + kPathSeparator + L"2024_01_0" + std::to_wstring(1 + index) + L".txt");
    EXPECT_EQ(logged.size(), expected.lines.size());
    const size_t diff = FirstDifference(logged, expected.lines);
    EXPECT_EQ(diff, std::max(logged.size(), expected.lines.size()))
        << "first difference at line " << diff << "\nlogged:\n"
        << Describe(logged, diff) << "model:\n"
        << Describe(expected.lines, diff);

    // The run's own notifications: one per run, one per detection, one per limit.
    EXPECT_EQ(world.notifications[kUserSsid], expected.runs);
    EXPECT_EQ(world.notifications[L"Wi-Fi切断検知"], expected.detections);
    EXPECT_EQ(world.notifications[L"監視処理中止＆自動復活"], expected.revivals);
    EXPECT_TRUE(controllerNotes_.empty()) << "a restart was refused";
    peakThreads_ = std::max(peakThreads_, world.peakThreads);

    std::cout << "[ soak     ] day " << index << ": " << length << " s simulated in " << took << " s real; "
              << expected.runs << " runs, " << expected.pings.size() << " pings, " << schedule.outages.size()
              << " outages, " << expected.detections << " detections, " << expected.launches << " launches, "
              << expected.revivals << " revivals, " << expected.restarts << " restarts, " << expected.lines.size()
              << " log lines\n";
  }

  TempDir root_;
  std::wstring folder_ = root_.Child(L"soak_log");
  ScopedSettingsFile settings_{kIni};
  std::vector<std::wstring> controllerNotes_;
  int peakThreads_ = 0;
};

// The model itself on a schedule small enough to follow by hand: one outage of 70 s from
// 100 s (the limit of 10 launches, then a revival after 60 s), a restart due at 300 s, the
// end at 400 s.
TEST(MonitorSoakModelTest, FollowsTheTimingRulesOnAHandWorkedSchedule) {
  Schedule s;
  s.end = 400;
  s.outages = {{100, 170}};
  s.restarts = {300};
  const Expected e = Model(s);
  // Answered pings every 10 s up to 90; from 100 failed ones every 3 s (2 s timeout + 1 s
  // wait) up to 154; the revived run's first ping at 217 answers and ends the outage.
  std::vector<int64_t> head{0, 10, 20, 30, 40, 50, 60, 70, 80, 90};
  for (int64_t t = 100; t <= 154; t += 3) head.push_back(t);
  head.push_back(217);
  head.push_back(227);
  ASSERT_GE(e.pings.size(), head.size());
  EXPECT_EQ(std::vector<int64_t>(e.pings.begin(), e.pings.begin() + static_cast<ptrdiff_t>(head.size())), head);
  EXPECT_EQ(e.pings.back(), 390);
  EXPECT_EQ(e.launches, 10);
  EXPECT_EQ(e.detections, 1);
  EXPECT_EQ(e.revivals, 1);
  EXPECT_EQ(e.restarts, 1);
  EXPECT_EQ(e.runs, 3);
  // Launches every 6 s from 102; the limit ends the run after the wait that follows the
  // tenth; the restart lands at the wait ending at 300, the end at the one ending at 400.
  std::vector<Line> expected{{0, kStart}, {0, kUserSsid}, {102, kDetected}};
  for (int64_t t = 102; t <= 156; t += 6) expected.push_back({t, kNetshAnswer});
  expected.insert(expected.end(), {{157, kLimitRevival},
                                   {157, kEnd},
                                   {217, kStart},
                                   {217, kUserSsid},
                                   {217, kRecovered},
                                   {300, kManualStop},
                                   {300, kEnd},
                                   {300, kStart},
                                   {300, kUserSsid},
                                   {400, kManualStop},
                                   {400, kEnd}});
  EXPECT_EQ(e.lines, expected);
}

TEST_F(MonitorSoakTest, ADayAndAQuarterMatchTheModelWithoutGrowth) {
  // The second, shorter day only shows whether anything still grows once the first has
  // warmed up whatever lasts.
#if defined(__SANITIZE_THREAD__)
  // ThreadSanitizer makes every thread start and lock several times dearer.
  constexpr int64_t kLength = 8 * 3600;
#else
  constexpr int64_t kLength = 86400 - 600;
#endif
  constexpr int64_t kSecondLength = 6 * 3600;
  // The sanitizers start a helper thread of their own with the process's first thread.
  std::thread([] {}).join();
  const int threadsBefore = ThreadCount();
  const int64_t heapBefore = HeapInUseBytes();
  const int64_t rssBefore = ResidentBytes();
  ASSERT_GT(threadsBefore, 0);

  Day(0, 20240101u, kLength);
  if (HasFatalFailure()) return;
  const int64_t heapAfterFirst = HeapInUseBytes();
  Day(1, 20240102u, kSecondLength);
  if (HasFatalFailure()) return;
  const int64_t heapAfterSecond = HeapInUseBytes();
  const int64_t rssAfter = ResidentBytes();

  // Detached threads (reconnect commands, restarts) may still be on their way out.
  int threadsAfter = ThreadCount();
  for (int i = 0; i < 400 && threadsAfter > threadsBefore; ++i) {
    std::this_thread::sleep_for(5ms);
    threadsAfter = ThreadCount();
  }
  EXPECT_LE(threadsAfter, threadsBefore);
  // At any sampled moment: the restart requester, the monitor thread and a few on their
  // way in or out (the previous run, timer, restart, reconnect command).
  EXPECT_LE(peakThreads_, threadsBefore + 6);
  // The first day may warm up caches that last; the second must leave nothing behind.
  EXPECT_LT(heapAfterSecond - heapAfterFirst, 64 * 1024);
  std::cout << "[ soak     ] threads " << threadsBefore << " before, peak " << peakThreads_ << ", " << threadsAfter
            << " after; heap in use " << heapBefore << " -> " << heapAfterFirst << " -> " << heapAfterSecond
            << " bytes; RSS " << rssBefore / 1024 << " -> " << rssAfter / 1024 << " KiB\n";
}

}  // namespace
}  // namespace moorlink::test
