#pragma once
// Doubles for the speech player: a scripted SpeechBackend that records what it is asked,
// and a VOICEVOX function table answered by one process-wide fake library.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "speech/SpeechBackend.h"
#include "speech/VoicevoxApi.h"

namespace moorlink::test {

class FakeSpeechBackend : public SpeechBackend {
 public:
  // What the backend saw, shared so a test can read it after the player is gone.
  struct Record {
    std::mutex lock;
    std::vector<std::wstring> calls;  // "text <voice index> <text>", "wav <size>", "play", "halt", "volume <v>"
    std::function<void()> handler;    // the playback-finished handler the player set
    std::atomic<bool> destroyed{false};
    void Add(std::wstring call);
    std::vector<std::wstring> Calls();
    void Finish();  // the media player's end (or failure) of playback
  };

  explicit FakeSpeechBackend(std::shared_ptr<Record> record) : record_(std::move(record)) {}
  ~FakeSpeechBackend() override { record_->destroyed = true; }

  std::vector<InstalledVoice> voices;
  std::vector<SpeechStartupFailure> failures;
  bool canPlay = true;
  int32_t synthesisError = 0;             // thrown by SynthesizeText when not 0
  std::function<void()> duringSynthesis;  // runs inside SynthesizeText and SoundFromWav

  std::vector<SpeechStartupFailure> StartupFailures() const override { return failures; }
  bool CanPlay() const override { return canPlay; }
  std::vector<InstalledVoice> InstalledVoices() override { return voices; }
  void SetPlaybackFinishedHandler(std::function<void()> handler) override;
  std::unique_ptr<PreparedSound> SynthesizeText(const std::wstring& text, int voiceIndex) override;
  std::unique_ptr<PreparedSound> SoundFromWav(const uint8_t* data, size_t size) override;
  void SetVolume(double volume) override;
  void Play(PreparedSound& sound) override;
  void Halt() noexcept override;

 private:
  std::shared_ptr<Record> record_;
};

// The fake VOICEVOX library: one per process, reset by each test.
struct FakeVoicevoxLibrary {
  std::vector<std::string> calls;            // function names (and arguments) in call order
  std::set<std::string> failing;             // functions that return 1 (or null)
  std::map<std::string, std::string> metas;  // model file name -> metadata JSON
  std::map<std::string, int> liveHandles;    // "dictionary", "synthesizer", "model" -> count
  std::string lastDictionaryPath;
  std::string lastText;                                   // "<text>#<style id>" of the last synthesis
  std::string openedModel;                                // file name of the model opened last
  std::function<void(const std::string& kind)> onDelete;  // runs as each handle is deleted

  static FakeVoicevoxLibrary& Instance();
  void Reset();
  const VoicevoxApi* Api() const;  // the bound table
};

}  // namespace moorlink::test
