#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

#include "notify/NotifyUser.h"

// The documented values of NIIF_INFO/WARNING/ERROR and MB_ICONINFORMATION/WARNING/ERROR.
constexpr uint32_t NIIF_INFO = 0x1, NIIF_WARNING = 0x2, NIIF_ERROR = 0x3;
constexpr uint32_t MB_ICONINFORMATION = 0x40, MB_ICONWARNING = 0x30, MB_ICONERROR = 0x10;

#include "common/Text.h"
#include "settings/Settings.h"
#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"
#include "support/FakeSpeech.h"
#include "support/TempDir.h"

namespace moorlink {
namespace {

using test::FakeSpeechBackend;

// The dispatcher over recording ports. Worker threads are real; the test joins them.
class NotifyUserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NotifyPorts ports;
    ports.ShowBalloon = [this](const BalloonText& b) {
      Add(L"balloon " + b.title + L"|" + b.message + L"|" + std::to_wstring(BalloonIconFlag(b.kind)));
    };
    ports.MessageBoxOwner = [] { return uintptr_t{42}; };
    ports.ShowMessageBox = [this](uintptr_t owner, const std::wstring& message, const std::wstring& title,
                                  NotifyKind kind) {
      Add(L"box " + std::to_wstring(owner) + L" " + title + L"|" + message + L"|" +
          std::to_wstring(MessageBoxIcon(kind)));
      std::unique_lock lock(mutex);
      boxOpen.wait(lock, [this] { return !holdBoxes; });
    };
    ports.StartDetachedThread = [this](std::function<void()> body) {
      if (threadFailure == 1) return false;
      if (threadFailure == 2) throw std::bad_alloc();
      auto done = std::make_shared<std::atomic<bool>>(false);
      std::lock_guard lock(mutex);
      threads.push_back({std::thread([body = std::move(body), done] {
                           body();
                           done->store(true);
                         }),
                         done});
      return true;
    };
    ports.WriteLog = [this](LogCategory c, const std::wstring& title, const std::wstring& message) {
      Add(L"log " + std::to_wstring(static_cast<int>(c)) + L"|" + title + L"|" + message);
    };
    SetNotifyPorts(std::move(ports));
    speech = std::make_shared<FakeSpeechBackend::Record>();
    RegisterSpeechPlayer(std::make_shared<LazySpeechPlayer>(
        std::make_shared<SpeechPlayer>(std::make_unique<FakeSpeechBackend>(speech), L"", nullptr, nullptr)));
  }

  void TearDown() override {
    ReleaseBoxes();
    JoinAll();
    RegisterSpeechPlayer(nullptr);
    SetNotifyPorts({});
  }

  void Add(std::wstring event) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
  }
  void JoinAll() {
    // Speech threads wait for the end of playback: the media player reports it.
    for (;;) {
      Worker w;
      {
        std::lock_guard lock(mutex);
        if (threads.empty()) return;
        w = std::move(threads.front());
        threads.erase(threads.begin());
      }
      while (!w.done->load()) {
        speech->Finish();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      w.thread.join();
    }
  }
  void ReleaseBoxes() {
    {
      std::lock_guard lock(mutex);
      holdBoxes = false;
    }
    boxOpen.notify_all();
  }
  std::vector<std::wstring> Events() {
    JoinAll();
    std::lock_guard lock(mutex);
    return events;
  }
  void Mode(int mode) { WriteSetting(keys::NotifyMode, mode); }

  test::ScopedSettingsFile settings;
  std::shared_ptr<FakeSpeechBackend::Record> speech;
  std::mutex mutex;
  std::condition_variable boxOpen;
  bool holdBoxes = false;
  int threadFailure = 0;  // 1: no thread, 2: thread creation throws
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::vector<Worker> threads;
  std::vector<std::wstring> events;
};

TEST(NotifyText, TitlesCutsAndIcons) {
  EXPECT_EQ(NotifyTitleText(L""), L"Moorlink");
  EXPECT_EQ(NotifyTitleText(L"監視処理中止"), L"監視処理中止 - Moorlink");
  EXPECT_EQ(SpokenText(L"", L"a\nb"), L"タイトル、。本文、a\nb");

  const std::wstring emoji = L"\U0001F600";  // two UTF-16 units
  struct Cut {
    std::wstring text;
    size_t units;
    std::wstring expected;
  };
  const Cut cuts[] = {
      {std::wstring(300, L'あ'), 255, std::wstring(255, L'あ')},
      {std::wstring(62, L'x') + emoji, 63, std::wstring(62, L'x')},  // the pair would straddle the end
      {std::wstring(61, L'x') + emoji + L"y", 63, std::wstring(61, L'x') + emoji},
      {L"short", 63, L"short"},
  };
  for (const Cut& c : cuts) EXPECT_EQ(CutUtf16(c.text, c.units), c.expected) << c.units;

  // The Windows headers' own constants where they exist; elsewhere their documented values.
  struct Icon {
    NotifyKind kind;
    uint32_t balloon, box;
  };
  const Icon icons[] = {
      {NotifyKind::Info, NIIF_INFO, MB_ICONINFORMATION},
      {NotifyKind::Warning, NIIF_WARNING, MB_ICONWARNING},
      {NotifyKind::Error, NIIF_ERROR, MB_ICONERROR},
      {static_cast<NotifyKind>(5), NIIF_INFO, MB_ICONINFORMATION},
      {static_cast<NotifyKind>(-1), NIIF_INFO, MB_ICONINFORMATION},
  };
  for (const Icon& i : icons) {
    EXPECT_EQ(BalloonIconFlag(i.kind), i.balloon) << static_cast<int>(i.kind);
    EXPECT_EQ(MessageBoxIcon(i.kind), i.box) << static_cast<int>(i.kind);
  }
}

TEST_F(NotifyUserTest, TheModeChoosesWhatIsShown) {
  struct Case {
    int mode;
    bool player;
    std::vector<std::wstring> expected;
  };
  const std::wstring balloon = L"balloon t - Moorlink|m|2";
  const std::wstring box = L"box 42 t - Moorlink|m|48";
  const Case cases[] = {
      {-1, true, {balloon}}, {0, true, {balloon}}, {1, true, {box}}, {2, true, {}},         {3, true, {balloon}},
      {4, true, {box}},      {7, true, {box}},     {2, false, {}},   {3, false, {balloon}}, {4, false, {box}},
  };
  for (const Case& c : cases) {
    if (!c.player) RegisterSpeechPlayer(nullptr);
    speech->calls.clear();
    events.clear();
    Mode(c.mode);
    NotifyUser(L"m", L"t", NotifyKind::Warning);
    EXPECT_EQ(Events(), c.expected) << c.mode;
    const auto calls = speech->Calls();
    // A box's Stop may come before or after the speech; only whether it spoke counts.
    const bool spoke = std::find(calls.begin(), calls.end(), L"text -1 タイトル、t。本文、m") != calls.end();
    EXPECT_EQ(spoke, c.player && c.mode >= 2) << c.mode;
  }
}

TEST_F(NotifyUserTest, SpeechUsesTheVoiceSettingsAndClosingTheBoxStopsIt) {
  Mode(4);
  WriteSetting(keys::VoiceVolume, 60);
  ASSERT_TRUE(WriteSetting(L"Notify", L"VoiceVolume", L"150"));
  ASSERT_TRUE(WriteSetting(keys::VoiceName, L"Nobody"));
  holdBoxes = true;
  NotifyUser(L"m", L"", NotifyKind::Info);
  // The call has returned while the box is open and the speech plays.
  while (speech->Calls().size() < 3) std::this_thread::yield();
  EXPECT_EQ(speech->Calls(), (std::vector<std::wstring>{L"volume 1.000000", L"text -1 タイトル、。本文、m", L"play"}));
  ReleaseBoxes();
  const auto events = Events();
  EXPECT_EQ(events, std::vector<std::wstring>{L"box 42 Moorlink|m|64"});
  EXPECT_EQ(speech->Calls().back(), L"halt");
}

TEST_F(NotifyUserTest, AWorkerThatCannotStartIsLoggedAndTheBalloonStillShows) {
  for (int failure : {1, 2}) {
    threadFailure = failure;
    for (int mode : {1, 3}) {
      events.clear();
      Mode(mode);
      NotifyUser(L"m", L"t", NotifyKind::Error);
      EXPECT_EQ(Events(), (std::vector<std::wstring>{L"log 4|エラー|通知用のスレッドを開始できませんでした。",
                                                     L"balloon t - Moorlink|m|3"}))
          << failure << " " << mode;
    }
  }
}

// Only a notification that speaks makes the player, and on its worker, never the caller.
TEST_F(NotifyUserTest, OnlySpeechMakesThePlayerOffTheCallersThread) {
  int made = 0;
  std::thread::id maker;
  RegisterSpeechPlayer(std::make_shared<LazySpeechPlayer>([&] {
    ++made;
    maker = std::this_thread::get_id();
    return std::make_shared<SpeechPlayer>(std::make_unique<FakeSpeechBackend>(speech), L"", nullptr, nullptr);
  }));
  for (const auto& [mode, expected] : {std::pair{0, 0}, {1, 0}, {2, 1}, {4, 1}, {3, 1}}) {
    Mode(mode);
    NotifyUser(L"m", L"t", NotifyKind::Info);
    Events();
    EXPECT_EQ(made, expected) << mode;
  }
  EXPECT_NE(maker, std::this_thread::get_id());
}

// The last share of the player may be a box closed after the program let the player go:
// the box's Stop reaches a live player, which is destroyed on that thread afterwards.
TEST_F(NotifyUserTest, APlayerOutlivesTheJobsThatHoldIt) {
  Mode(4);
  holdBoxes = true;
  std::thread mainThread([] { NotifyUser(L"m", L"t", NotifyKind::Info); });
  std::thread monitorThread([] { NotifyUser(L"n", L"u", NotifyKind::Info); });
  mainThread.join();
  monitorThread.join();
  RegisterSpeechPlayer(nullptr);  // the entry point's teardown
  EXPECT_FALSE(speech->destroyed);
  ReleaseBoxes();
  Events();
  EXPECT_TRUE(speech->destroyed);
}

}  // namespace
}  // namespace moorlink
