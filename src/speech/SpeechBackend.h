#pragma once
// The OS half of the speech player: the Windows speech synthesizer and the one media
// player. Platform implementation: WindowsSpeech_win.cpp (Windows Runtime). Tests use a
// fake. Every operation that can fail throws SpeechError; the player absorbs it.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace moorlink {

// A failure of the speech platform, carrying its HRESULT.
class SpeechError : public std::exception {
 public:
  SpeechError(int32_t hr, const char* what) : hr_(hr), what_(what) {}
  int32_t hr() const { return hr_; }
  const char* what() const noexcept override { return what_; }

 private:
  int32_t hr_;
  const char* what_;
};

inline constexpr int32_t kSpeechEFail = static_cast<int32_t>(0x80004005);

// One voice installed in the system, in the system's order.
struct InstalledVoice {
  std::wstring language;     // BCP-47 tag, "ja-JP" for Japanese
  std::wstring displayName;  // the name the user sees
};

// A failure met while the backend was being created, for the player to log.
struct SpeechStartupFailure {
  std::wstring component;  // the platform class that failed, e.g. "Windows.Media.Playback.MediaPlayer"
  int32_t hr = 0;
};

// A sound ready to be handed to the media player (a media source).
class PreparedSound {
 public:
  virtual ~PreparedSound() = default;
};

class SpeechBackend {
 public:
  virtual ~SpeechBackend() = default;

  // What failed while the backend was created; empty when everything is there.
  virtual std::vector<SpeechStartupFailure> StartupFailures() const = 0;
  // False when there is no media player: nothing can be played at all.
  virtual bool CanPlay() const = 0;

  // The installed voices of every language, in the system's order. Throws SpeechError.
  virtual std::vector<InstalledVoice> InstalledVoices() = 0;

  // Called, from any thread, when the playing sound has reached its end or has failed.
  // Set once, before the first Play; the callback must stay callable for the backend's life.
  virtual void SetPlaybackFinishedHandler(std::function<void()> handler) = 0;

  // Synthesises plain text. voiceIndex is an index into InstalledVoices(); -1 is the
  // system's default voice, the one a new synthesizer has. Blocks until the sound is
  // ready. Throws SpeechError.
  virtual std::unique_ptr<PreparedSound> SynthesizeText(const std::wstring& text, int voiceIndex) = 0;
  // A sound from a complete WAV file image, copied into memory. Throws SpeechError.
  virtual std::unique_ptr<PreparedSound> SoundFromWav(const uint8_t* data, size_t size) = 0;

  // 0.0 to 1.0; acts on the playing sound too. Throws SpeechError.
  virtual void SetVolume(double volume) = 0;
  // Makes the sound the player's source and starts playback. Throws SpeechError.
  virtual void Play(PreparedSound& sound) = 0;
  // Pauses the player and clears its source. Never throws.
  virtual void Halt() noexcept = 0;
};

}  // namespace moorlink
