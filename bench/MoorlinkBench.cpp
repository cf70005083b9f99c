// Budgets: WriteLog with logging on (settings read per line, file opened and closed per
// line) at least 5,000 lines/s; one idle monitor tick under 20 microseconds; NotifyUser
// returns without waiting for the user or the speech.
#include <benchmark/benchmark.h>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/Text.h"
#include "common/Thread.h"
#include "log/LogWriter.h"
#include "monitor/MonitorRun.h"
#include "notify/NotifyUser.h"
#include "settings/Settings.h"
#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"
#include "support/FakeMonitor.h"
#include "support/FakeSpeech.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

void BM_WriteLog(benchmark::State& state) {
  ScopedSettingsFile settings("[Log]\r\nUseLog=true\r\n");
  TempDir root;
  SetLogFolderForTesting(root.Child(L"bench_log"));
  const std::wstring title = L"成功";
  const std::wstring message = L"127.0.0.1 からの応答: バイト数=5 時間=0ms TTL=64";
  for (auto _ : state) WriteLog(LogCategory::Ping, title, message);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteLog)->Unit(benchmark::kMicrosecond);

void BM_IdleMonitorTick(benchmark::State& state) {
  ScopedSettingsFile settings("[AutoReconnect]\r\nTargetSSID=Home\r\nPingAddress=127.0.0.1\r\nPingInterval=3600\r\n");
  constexpr int kTicks = 20000;
  int64_t ticks = 0;
  for (auto _ : state) {
    FakeMonitor m;
    m.profiles = {L"Home"};
    int slept = 0;
    m.afterSleep = [&slept](double) {
      if (++slept >= kTicks) StopRequested.store(true);
    };
    m.Run();
    ticks += slept;
  }
  // Seconds per tick; the run's start and end are spread over the 20,000 ticks.
  state.counters["per_tick"] =
      benchmark::Counter(static_cast<double>(ticks), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_IdleMonitorTick)->Unit(benchmark::kMillisecond);

// NotifyUser in one mode, with real worker threads; every message box stays open and
// every utterance plays until the benchmark ends, as a user who has not looked yet.
void NotifyLatency(benchmark::State& state, const char* ini) {
  ScopedSettingsFile settings(ini);
  struct User {
    std::mutex lock;
    std::condition_variable looks;
    bool looked = false;
  };
  auto user = std::make_shared<User>();  // box threads may outlive this function
  NotifyPorts ports;
  ports.ShowBalloon = [](const BalloonText& b) { benchmark::DoNotOptimize(b.message.data()); };
  ports.MessageBoxOwner = [] { return uintptr_t{0}; };
  ports.ShowMessageBox = [user](uintptr_t, const std::wstring&, const std::wstring&, NotifyKind) {
    std::unique_lock l(user->lock);
    user->looks.wait(l, [&] { return user->looked; });
  };
  ports.StartDetachedThread = StartDetachedThread;
  SetNotifyPorts(ports);
  auto record = std::make_shared<FakeSpeechBackend::Record>();
  RegisterSpeechPlayer(std::make_shared<LazySpeechPlayer>(
      std::make_shared<SpeechPlayer>(std::make_unique<FakeSpeechBackend>(record), L"", nullptr, nullptr)));
  for (auto _ : state) NotifyUser(L"Wi-Fiの切断を検知しました。再接続を試みます。", L"切断検知", NotifyKind::Warning);
  {
    std::lock_guard l(user->lock);
    user->looked = true;
  }
  user->looks.notify_all();
  RegisterSpeechPlayer(nullptr);
  // Speech threads end with the playback; the boxes close on their own now.
  for (int i = 0; i < 200; ++i) {
    record->Finish();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  SetNotifyPorts({});
}
void BM_NotifyUserBalloon(benchmark::State& state) { NotifyLatency(state, "[Notify]\r\nNotifyMode=0\r\n"); }
void BM_NotifyUserVoiceAndBox(benchmark::State& state) { NotifyLatency(state, "[Notify]\r\nNotifyMode=4\r\n"); }
BENCHMARK(BM_NotifyUserBalloon)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NotifyUserVoiceAndBox)->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace
}  // namespace moorlink::test

BENCHMARK_MAIN();
