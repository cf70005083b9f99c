#include <chrono>
#include <climits>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "monitor/MonitorController.h"
#include "monitor/MonitorRun.h"

namespace moorlink {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs that behave like the real one towards the controller: they poll StopRequested,
// may end at "the limit" and arm a revival, and clear MonitorRunning as their last act.
class ControllerTest : public ::testing::Test {
 protected:
  struct Plan {
    std::chrono::milliseconds stopPoll{2};   // how often the run looks at StopRequested
    std::chrono::milliseconds endAfter{0};   // 0: run until stopped; else end at the limit then
    int64_t revivalSeconds = 0;              // armed at the limit when > 0
    std::chrono::milliseconds finishing{0};  // work after arming, before the run is done
  };

  void SetUp() override {
    ResetControllerForTesting();
    RestartBusy.store(false);
    ControllerPorts ports;
    ports.MonitorRun = [this] { Body(); };
    ports.NotifyUser = [this](const std::wstring& message, const std::wstring& title, NotifyKind kind) {
      std::lock_guard<std::mutex> lock(mutex_);
      notifications_.push_back(title + L"|" + message + L"|" + std::to_wstring(static_cast<int>(kind)));
    };
    ports.WriteLog = [this](LogCategory, const std::wstring& title, const std::wstring& message) {
      std::lock_guard<std::mutex> lock(mutex_);
      logs_.push_back(title + L"|" + message);
    };
    ports.CreateThread = [this](std::function<void()> body) {
      if (passThreads_.load() > 0) {
        --passThreads_;
      } else if (failThreads_.load() > 0) {
        --failThreads_;
        if (failWithBadAlloc_.load()) throw std::bad_alloc();
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      }
      return Thread(std::move(body));
    };
    SetControllerPorts(std::move(ports));
  }

  void TearDown() override {
    ResetControllerForTesting();
    EXPECT_FALSE(ControllerHoldsThreadsForTesting());
    EXPECT_FALSE(MonitorRunning.load());
    SetControllerPorts({});
  }

  void Body() {
    Plan plan;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      plan = plans_.empty() ? Plan{} : plans_.front();
      if (plans_.size() > 1) plans_.erase(plans_.begin());
    }
    const int active = ++active_;
    int seen = maxActive_.load();
    while (active > seen && !maxActive_.compare_exchange_weak(seen, active)) {
    }
    ++started_;
    const auto start = Clock::now();
    bool atLimit = false;
    while (!StopRequested.load()) {
      if (plan.endAfter.count() > 0 && Clock::now() - start >= plan.endAfter) {
        atLimit = true;
        break;
      }
      std::this_thread::sleep_for(plan.stopPoll);
    }
    if (atLimit && plan.revivalSeconds > 0) StartRevivalTimer(plan.revivalSeconds);
    std::this_thread::sleep_for(plan.finishing);
    --active_;
    ++finished_;
    MonitorRunning.store(false);
  }

  void Plans(std::vector<Plan> plans) {
    std::lock_guard<std::mutex> lock(mutex_);
    plans_ = std::move(plans);
  }

  template <typename Pred>
  static bool WaitFor(Pred pred, std::chrono::milliseconds limit = 5000ms) {
    const auto end = Clock::now() + limit;
    while (!pred()) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  std::mutex mutex_;
  std::vector<Plan> plans_;
  std::vector<std::wstring> notifications_;
  std::vector<std::wstring> logs_;
  std::atomic<int> started_{0};
  std::atomic<int> finished_{0};
  std::atomic<int> active_{0};
  std::atomic<int> maxActive_{0};
  std::atomic<int> failThreads_{0};
  std::atomic<int> passThreads_{0};  // creations that succeed before failThreads_ apply
  std::atomic<bool> failWithBadAlloc_{false};
};

TEST_F(ControllerTest, StartRunsOnceAndStopWaitsForTheRun) {
  StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return started_ == 1; }));
  StartMonitor();  // a run is in progress: nothing happens
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(started_, 1);
  StopMonitor();
  EXPECT_EQ(finished_, 1);  // StopMonitor returned only after the run ended
  EXPECT_FALSE(MonitorRunning.load());
  EXPECT_FALSE(ControllerHoldsThreadsForTesting());
}

TEST_F(ControllerTest, SecondRestartWhileOneRunsIsRefusedWithItsMessage) {
  Plans({Plan{50ms}});  // runs notice a stop only every 50 ms
  StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return started_ == 1; }));
  RestartMonitor();
  RestartMonitor();
  ASSERT_TRUE(WaitFor([&] { return !RestartBusy.load(); }));
  ASSERT_TRUE(WaitFor([&] { return started_ == 2; }));
  std::lock_guard<std::mutex> lock(mutex_);
  ASSERT_EQ(notifications_.size(), 1u);
  EXPECT_EQ(
      notifications_[0],
      L"監視処理再起動失敗|監視処理の再起動処理がすでに実行中の為、新たに再起動処理を実行できませんでした。\nその為、最新の設定が反映されない可能性が有ります。\n最新の設定を確実に反映させる場合は、改めて「監視処理を再起動」を実行して下さい。|2");
}

TEST_F(ControllerTest, RevivalStartsANewRunAfterItsInterval) {
  Plans({Plan{2ms, 10ms, 1}, Plan{}});
  const auto t0 = Clock::now();
  StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return started_ == 2; }, 4000ms));
  EXPECT_GE(Clock::now() - t0, 1000ms);
  EXPECT_TRUE(MonitorRunning.load());
}

TEST_F(ControllerTest, RevivalDueWhileTheArmingRunStillFinishesIsNotLost) {
  // The run arms a 1 s revival and needs 1.5 s more to finish.
  Plans({Plan{2ms, 10ms, 1, 1500ms}, Plan{}});
  StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return started_ == 2; }, 5000ms));
  EXPECT_EQ(maxActive_, 1);
}

TEST_F(ControllerTest, RestartWhileRevivalPendingStartsAtOnce) {
  Plans({Plan{2ms, 10ms, 3600}, Plan{}});
  StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return RevivalArmedForTesting() && !MonitorRunning.load(); }));
  const auto t0 = Clock::now();
  RestartMonitor();
  ASSERT_TRUE(WaitFor([&] { return started_ == 2; }, 1000ms));
  EXPECT_LT(Clock::now() - t0, 1000ms);
  EXPECT_FALSE(RevivalArmedForTesting());
}

TEST_F(ControllerTest, ExitWhileRevivalPendingDoesNotWaitForIt) {
  Plans({Plan{2ms, 10ms, 3600}});
  StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return RevivalArmedForTesting() && !MonitorRunning.load(); }));
  const auto t0 = Clock::now();
  StopMonitorForExit();
  EXPECT_LT(Clock::now() - t0, 2000ms);  // a wait for the hour-long timer would be far longer
  EXPECT_FALSE(RevivalArmedForTesting());
  EXPECT_FALSE(ControllerHoldsThreadsForTesting());
  EXPECT_EQ(started_, 1);
}

TEST_F(ControllerTest, TimerOfNearlyTwoToTheThirtyOneSecondsWaitsAndCancels) {
  Plans({Plan{2ms, 10ms, INT32_MAX}});
  StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return RevivalArmedForTesting() && !MonitorRunning.load(); }));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(started_, 1);  // an overflowed deadline would have fired at once
  EXPECT_TRUE(RevivalArmedForTesting());
  const auto t0 = Clock::now();
  StopMonitor();
  EXPECT_LT(Clock::now() - t0, 2000ms);
  EXPECT_FALSE(RevivalArmedForTesting());
}

TEST(RevivalDeadlineTest, SaturatesInsteadOfOverflowing) {
  constexpr int64_t kMax = INT64_MAX;
  const int64_t hour = 3600LL * 1'000'000'000;
  const struct {
    int64_t now;
    int64_t seconds;
    int64_t expected;
  } cases[] = {
      {hour, 0, hour},
      {hour, -5, hour},
      {hour, 1, hour + 1'000'000'000},
      {hour, INT32_MAX, hour + INT32_MAX * 1'000'000'000LL},
      {hour, kMax, kMax},
      {kMax - 10, 1, kMax},
      {hour, kMax / 1'000'000'000, kMax},
  };
  for (const auto& c : cases) EXPECT_EQ(RevivalDeadline(c.now, c.seconds), c.expected) << c.seconds;
}

TEST_F(ControllerTest, RevivalArmedAfterStopIsRefused) {
  StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return started_ == 1; }));
  StopMonitor();
  EXPECT_FALSE(StartRevivalTimer(1));  // the stop cancelled what the run could arm
  EXPECT_FALSE(RevivalArmedForTesting());
}

TEST_F(ControllerTest, ExitDuringARestartLeavesNoRunAndNoThread) {
  Plans({Plan{100ms}});  // slow to notice a stop, so the restart sits in its StopMonitor
  StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return started_ == 1; }));
  RestartMonitor();
  std::this_thread::sleep_for(10ms);
  StopMonitorForExit();
  EXPECT_FALSE(RestartBusy.load());
  EXPECT_FALSE(MonitorRunning.load());
  EXPECT_FALSE(ControllerHoldsThreadsForTesting());
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(started_, 1);  // the restart started nothing after the exit
  EXPECT_EQ(active_, 0);
}

// Whatever a failed creation throws, its flag is cleared, the failure logged, nothing
// escapes a thread, and the next attempt works.
TEST_F(ControllerTest, ThreadsThatCannotBeCreatedAreLoggedAndNothingBreaks) {
  struct Path {
    const char* name;
    bool inRun;  // done while a run is in progress, as the run arms its revival
    int pass;    // creations that succeed before the one that fails
    void (*act)();
    std::wstring log;
  };
  const Path paths[] = {
      {"start", false, 0, [] { StartMonitor(); }, L"エラー|監視処理のスレッドを作成できませんでした。"},
      {"restart", false, 0, [] { RestartMonitor(); }, L"エラー|監視処理を再起動するスレッドを作成できませんでした。"},
      {"start within a restart", false, 1, [] { RestartMonitor(); },
       L"エラー|監視処理のスレッドを作成できませんでした。"},
      {"revival timer", true, 0, [] { StartRevivalTimer(3600); },
       L"エラー|監視処理復活タイマーのスレッドを作成できませんでした。"},
  };
  for (const bool badAlloc : {false, true}) {
    for (const Path& path : paths) {
      const std::string name = std::string(path.name) + (badAlloc ? " / bad_alloc" : " / system_error");
      ResetControllerForTesting();
      if (path.inRun) {
        const int before = started_;
        StartMonitor();
        ASSERT_TRUE(WaitFor([&] { return started_ == before + 1; })) << name;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        logs_.clear();
      }
      failWithBadAlloc_ = badAlloc;
      passThreads_ = path.pass;
      failThreads_ = 1;
      path.act();
      EXPECT_TRUE(WaitFor([] { return !RestartBusy.load(); })) << name;
      EXPECT_EQ(MonitorRunning.load(), path.inRun) << name;
      EXPECT_FALSE(RevivalArmedForTesting()) << name;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        EXPECT_THAT(logs_, ::testing::ElementsAre(path.log)) << name;
      }
      // Nothing was left set: the same again succeeds.
      const int before = started_;
      path.act();
      EXPECT_TRUE(WaitFor([&] { return path.inRun ? RevivalArmedForTesting() : started_ == before + 1; })) << name;
    }
  }
}

// Start, stop, restart and revival from several threads at random, bounded in time.
TEST_F(ControllerTest, RandomizedStressKeepsAtMostOneRunAndLeaksNoThread) {
  std::vector<Plan> plans;
  for (int i = 0; i < 64; ++i)
    plans.push_back(i % 3 == 0 ? Plan{1ms, 5ms, 1} : Plan{1ms, std::chrono::milliseconds(i % 7)});
  plans.push_back(Plan{1ms});
  Plans(plans);
  const auto end = Clock::now() + 1500ms;
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([t, end] {
      std::mt19937 rng(1234u + static_cast<unsigned>(t));
      while (Clock::now() < end) {
        switch (rng() % 4) {
          case 0:
            StartMonitor();
            break;
          case 1:
            StopMonitor();
            break;
          case 2:
            RestartMonitor();
            break;
          case 3:
            StartRevivalTimer(1);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 5));
      }
    });
  }
  for (std::thread& c : callers) c.join();
  StopMonitorForExit();
  EXPECT_LE(maxActive_, 1);
  EXPECT_GT(started_, 1);
  EXPECT_EQ(active_, 0);
  EXPECT_EQ(started_, finished_);
  EXPECT_FALSE(RestartBusy.load());
  EXPECT_FALSE(RevivalArmedForTesting());
  EXPECT_FALSE(ControllerHoldsThreadsForTesting());
}

}  // namespace
}  // namespace moorlink
