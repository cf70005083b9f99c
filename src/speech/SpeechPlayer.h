#pragma once
// The one speech object of the process: voice lists, synthesis and playback through a
// SpeechBackend, and the VOICEVOX engine as a second voice source. Nothing here throws
// to its caller: a failure means nothing is heard, and a waiting thread is released.
//
// Lifetime: the player is shared (std::shared_ptr). Every notification job holds it for
// as long as its thread runs, so no thread can reach a destroyed player. Playback events
// reach only the completion state, which the backend's handler shares.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "log/LogCategory.h"
#include "speech/SpeechBackend.h"
#include "speech/Voicevox.h"

namespace moorlink {

// The completion flag with its lock; every event that sets it wakes every waiting thread.
struct SpeechCompletion {
  std::mutex completionMutex;
  std::condition_variable completionCondition;
  bool completed = false;

  void Set();
  void Clear();
  void Wait();
};

class SpeechPlayer {
 public:
  // Lists the Japanese voices of the backend, then loads the VOICEVOX engine from
  // exeFolder. A backend that failed at its creation is logged (one Other line per
  // failure, with its HRESULT); without a media player every Speak is refused at once.
  SpeechPlayer(std::unique_ptr<SpeechBackend> backend, const std::wstring& exeFolder, const VoicevoxBinder& bind,
               const LogWriterFunction& log);
  ~SpeechPlayer();
  SpeechPlayer(const SpeechPlayer&) = delete;
  SpeechPlayer& operator=(const SpeechPlayer&) = delete;

  // Windows voices first, then VOICEVOX voices, in the order found; duplicates stay.
  const std::vector<std::wstring>& VoiceNames() const { return voiceNames; }
  // Clamped to 0..100, then percent / 100.0.
  void SetVolume(int percent) noexcept;
  // Prepares the sound and starts playback; returns without waiting for its end.
  void Speak(const std::wstring& text, const std::wstring& voiceName) noexcept;
  // Blocks until the utterance has ended, failed, been refused or been stopped.
  void WaitUntilFinished();
  // Halts playback and releases every waiting thread.
  void Stop() noexcept;

 private:
  void LoadWindowsVoices(const LogWriterFunction& log);

  std::unique_ptr<SpeechBackend> backend_;
  std::vector<std::wstring> voiceNames;
  std::map<std::wstring, int> windowsVoices;  // display name -> index into the backend's voices
  std::map<std::wstring, VoicevoxStyleId> voicevoxStyles;
  VoicevoxEngine voicevox;
  std::shared_ptr<SpeechCompletion> completion_;
};

}  // namespace moorlink
