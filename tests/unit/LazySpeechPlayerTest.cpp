#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"

namespace moorlink {
namespace {

std::shared_ptr<SpeechPlayer> NewPlayer() { return std::make_shared<SpeechPlayer>(nullptr, L"", nullptr, nullptr); }

// A notification worker and the settings sheet ask at once: one player, made once.
TEST(LazySpeechPlayerTest, TwoThreadsAskingAtOnceGetOnePlayer) {
  std::atomic<int> made{0};
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  LazySpeechPlayer speech([&] {
    if (made++ == 0) {
      entered.set_value();
      released.wait();
    }
    return NewPlayer();
  });
  std::shared_ptr<SpeechPlayer> first, second;
  std::thread worker([&] { first = speech.Get(); });
  entered.get_future().wait();
  EXPECT_EQ(speech.IfMade(), nullptr);  // answers at once: no lock is held while making
  std::thread sheet([&] { second = speech.Get(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  release.set_value();
  worker.join();
  sheet.join();
  EXPECT_EQ(made, 1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(second, first);
  EXPECT_EQ(speech.IfMade(), first);
  EXPECT_EQ(speech.Close(), first);
  EXPECT_EQ(speech.Get(), nullptr);
}

TEST(LazySpeechPlayerTest, ExitMakesNothingAndDropsAPlayerMadeTooLate) {
  int made = 0;
  LazySpeechPlayer never([&] { return ++made, NewPlayer(); });
  EXPECT_EQ(never.IfMade(), nullptr);
  EXPECT_EQ(never.Close(), nullptr);
  EXPECT_EQ(never.Get(), nullptr);
  EXPECT_EQ(made, 0);

  // Exit comes while the player is being made: its maker lets it go.
  std::weak_ptr<SpeechPlayer> late;
  LazySpeechPlayer* self = nullptr;
  LazySpeechPlayer closing([&] {
    auto player = NewPlayer();
    late = player;
    self->Close();
    return player;
  });
  self = &closing;
  EXPECT_EQ(closing.Get(), nullptr);
  EXPECT_TRUE(late.expired());
}

}  // namespace
}  // namespace moorlink
