#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "common/Text.h"
#include "speech/SpeechPlayer.h"
#include "support/FakeSpeech.h"
#include "support/TempDir.h"

namespace moorlink {
namespace {

using test::FakeSpeechBackend;
using test::FakeVoicevoxLibrary;

// A player over the fake backend and, beside a fake exe, the fake VOICEVOX library with
// one model: speaker S, styles N (id 7) and the Windows voice's name "Haruka" (id 8).
class SpeechPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {kVoicevoxCoreName, kVoicevoxRuntimeName}) test::WriteFileBytes(dir.Child(name), "");
    std::filesystem::create_directories(ToFsPath(dir.Child(kVoicevoxDictionaryName)));
    std::filesystem::create_directories(ToFsPath(dir.Child(kVoicevoxModelsName)));
    test::WriteFileBytes(dir.Child(kVoicevoxModelsName) + kPathSeparator + L"m.vvm", "");
    Fresh();
  }

  // A new backend and record, and the library as it was at the start.
  void Fresh() {
    FakeVoicevoxLibrary::Instance().Reset();
    FakeVoicevoxLibrary::Instance().metas["m.vvm"] =
        R"([{"name":"S","styles":[{"name":"N","id":7}]},{"name":"S","styles":[{"name":"N","id":9}]}])";
    record = std::make_shared<FakeSpeechBackend::Record>();
    backend = std::make_unique<FakeSpeechBackend>(record);
    backend->voices = {
        {L"ja-JP", L"Haruka"}, {L"en-US", L"Zira"}, {L"ja-JP", L"Ayumi"}, {L"ja-JP", L"Haruka"}, {L"ja-jp", L"Ichiro"}};
  }

  std::shared_ptr<SpeechPlayer> Make(bool withVoicevox = true) {
    return std::make_shared<SpeechPlayer>(
        std::move(backend), withVoicevox ? dir.path() : L"",
        [](const std::wstring&) { return FakeVoicevoxLibrary::Instance().Api(); },
        [this](LogCategory c, const std::wstring& title, const std::wstring& message) {
          log.push_back(std::to_wstring(static_cast<int>(c)) + L"|" + title + L"|" + message);
        });
  }

  long Plays() const {
    const auto calls = record->Calls();
    return std::count(calls.begin(), calls.end(), L"play");
  }

  test::TempDir dir;
  std::shared_ptr<FakeSpeechBackend::Record> record;
  std::unique_ptr<FakeSpeechBackend> backend;  // until a player takes it
  std::vector<std::wstring> log;
};

TEST_F(SpeechPlayerTest, ListsJapaneseWindowsVoicesThenVoicevoxVoices) {
  auto player = Make();
  EXPECT_EQ(player->VoiceNames(),
            (std::vector<std::wstring>{L"Haruka", L"Ayumi", L"Haruka", L"VOICEVOX: S(N)", L"VOICEVOX: S(N)"}));
  EXPECT_TRUE(log.empty());
}

TEST_F(SpeechPlayerTest, ChoosesTheRouteByExactName) {
  auto player = Make();
  struct Case {
    std::wstring voice;
    std::wstring call;
  };
  const Case cases[] = {
      {L"", L"text -1 t"},                                   // the system's default voice
      {L"Haruka", L"text 0 t"},                              // a name listed twice speaks with the first voice
      {L"Ayumi", L"text 2 t"},   {L"haruka", L"text -1 t"},  // letter case differs: not found
      {L"Zira", L"text -1 t"},                               // not Japanese, not listed
      {L"Ichiro", L"text -1 t"}, {L"VOICEVOX: S(N)", L"wav 44 RIFF"},  // the first style id of a duplicate name
  };
  for (const Case& c : cases) {
    const size_t before = record->Calls().size();
    player->Speak(L"t", c.voice);
    const auto calls = record->Calls();
    ASSERT_EQ(calls.size(), before + 2) << c.voice;
    EXPECT_EQ(calls[before], c.call) << c.voice;
    EXPECT_EQ(calls[before + 1], L"play") << c.voice;
  }
  EXPECT_EQ(FakeVoicevoxLibrary::Instance().lastText, "t#7");
  EXPECT_EQ(FakeVoicevoxLibrary::Instance().liveHandles["wav"], 0);
}

// Each way an utterance can end releases the waiting thread; only a sound that was
// prepared and not stopped is played.
TEST_F(SpeechPlayerTest, EveryEndOfAnUtteranceReleasesTheWait) {
  struct Case {
    const char* name;
    std::function<void(FakeSpeechBackend&, std::shared_ptr<SpeechPlayer>&)> arrange;
    std::wstring voice;
    bool played;
    bool finishPlayback;  // the media player reports the end (or a failure) of playback
  };
  const Case cases[] = {
      {"end of playback", {}, L"", true, true},
      {"synthesis fails", [](auto& b, auto&) { b.synthesisError = kSpeechEFail; }, L"", false, false},
      {"VOICEVOX synthesis fails", [](auto&, auto&) { FakeVoicevoxLibrary::Instance().failing = {"synthesizer_tts"}; },
       L"VOICEVOX: S(N)", false, false},
      {"stop while synthesising", [](auto& b, auto& p) { b.duringSynthesis = [&p] { p->Stop(); }; }, L"", false, false},
      {"stop while VOICEVOX synthesises", [](auto& b, auto& p) { b.duringSynthesis = [&p] { p->Stop(); }; },
       L"VOICEVOX: S(N)", false, false},
      {"no media player", [](auto& b, auto&) { b.canPlay = false; }, L"", false, false},
  };
  for (const Case& c : cases) {
    Fresh();
    std::shared_ptr<SpeechPlayer> player;
    if (c.arrange) c.arrange(*backend, player);
    player = Make();
    player->Speak(L"t", c.voice);
    EXPECT_EQ(Plays(), c.played ? 1 : 0) << c.name;
    if (c.finishPlayback) record->Finish();
    player->WaitUntilFinished();  // a fault here hangs the test
  }
}

TEST_F(SpeechPlayerTest, WithoutAMediaPlayerItLogsOnceAndNeverSynthesises) {
  backend->canPlay = false;
  backend->failures = {{L"Windows.Media.Playback.MediaPlayer", static_cast<int32_t>(0x80040154)}};
  auto player = Make(false);
  EXPECT_EQ(log, std::vector<std::wstring>{
                     L"4|エラー|音声機能を初期化できません。(Windows.Media.Playback.MediaPlayer、HRESULT 0x80040154)"});
  EXPECT_EQ(player->VoiceNames().size(), 3u);
  player->SetVolume(50);
  player->Speak(L"t", L"");
  player->WaitUntilFinished();
  EXPECT_TRUE(record->Calls().empty());
}

TEST_F(SpeechPlayerTest, VolumeIsClampedPercent) {
  auto player = Make(false);
  for (int percent : {150, -5, 60}) player->SetVolume(percent);
  EXPECT_EQ(record->Calls(), (std::vector<std::wstring>{L"volume 1.000000", L"volume 0.000000", L"volume 0.600000"}));
}

TEST_F(SpeechPlayerTest, OverlappingUtterancesAreReleasedTogether) {
  auto player = Make(false);
  auto released = std::make_shared<std::atomic<int>>(0);
  std::vector<std::thread> speakers;
  for (int i = 0; i < 3; ++i) {
    speakers.emplace_back([player, released] {
      player->Speak(L"t", L"");
      player->WaitUntilFinished();
      ++*released;
    });
  }
  const auto until = [](auto done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
  };
  EXPECT_TRUE(until([&] { return Plays() == 3; })) << Plays() << " plays";
  record->Finish();  // one end of playback
  EXPECT_TRUE(until([&] { return *released == 3; })) << *released << " of 3 released by one end of playback";
  // A failure ends here, not in a hang: stops free the speakers left waiting, and any still
  // stuck are left behind.
  until([&] {
    player->Stop();
    return *released == 3;
  });
  for (auto& t : speakers) *released == 3 ? t.join() : t.detach();
}

TEST_F(SpeechPlayerTest, TeardownDeletesTheEngineHandlesAfterTheBackend) {
  std::vector<std::string> deleted;  // each engine handle, and whether the backend was gone by then
  {
    auto player = Make();
    EXPECT_EQ(FakeVoicevoxLibrary::Instance().liveHandles["synthesizer"], 1);
    FakeVoicevoxLibrary::Instance().onDelete = [this, &deleted](const std::string& kind) {
      deleted.push_back(kind + (record->destroyed ? " after the backend" : " before the backend"));
    };
  }
  FakeVoicevoxLibrary::Instance().onDelete = nullptr;
  EXPECT_EQ(deleted, (std::vector<std::string>{"synthesizer after the backend", "dictionary after the backend"}));
  EXPECT_TRUE(record->destroyed);
  EXPECT_EQ(FakeVoicevoxLibrary::Instance().liveHandles["synthesizer"], 0);
  EXPECT_EQ(FakeVoicevoxLibrary::Instance().liveHandles["dictionary"], 0);
  // A late event from the media player reaches only the shared completion state.
  record->Finish();
}

}  // namespace
}  // namespace moorlink
