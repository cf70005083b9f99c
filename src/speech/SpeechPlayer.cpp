#include "speech/SpeechPlayer.h"

#include <algorithm>
#include <cstdio>

#include "log/LogTexts.h"
#include "speech/SpeechTexts.h"

namespace moorlink {
namespace {

std::wstring HexHresult(int32_t hr) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(hr));
  return text;
}

}  // namespace

void SpeechCompletion::Set() {
  {
    std::lock_guard lock(completionMutex);
    completed = true;
  }
  // Every waiter: overlapping utterances share the one flag.
  completionCondition.notify_all();
}

void SpeechCompletion::Clear() {
  std::lock_guard lock(completionMutex);
  completed = false;
}

void SpeechCompletion::Wait() {
  std::unique_lock lock(completionMutex);
  completionCondition.wait(lock, [this] { return completed; });
}

SpeechPlayer::SpeechPlayer(std::unique_ptr<SpeechBackend> backend, const std::wstring& exeFolder,
                           const VoicevoxBinder& bind, const LogWriterFunction& log)
    : backend_(std::move(backend)), completion_(std::make_shared<SpeechCompletion>()) {
  if (backend_) {
    for (const SpeechStartupFailure& failure : backend_->StartupFailures()) {
      if (log) {
        log(LogCategory::Other, kErrorTitle,
            kSpeechStartFailedLead + failure.component + kSpeechStartFailedHresult + HexHresult(failure.hr) +
                kSpeechStartFailedTail);
      }
    }
    LoadWindowsVoices(log);
    // The handler holds the completion state, not the player: an event that arrives
    // late never reaches a destroyed player.
    backend_->SetPlaybackFinishedHandler([completion = completion_] { completion->Set(); });
  }
  std::vector<VoicevoxVoice> voices;
  voicevox.LoadVoicevox(exeFolder, bind, voices);
  for (VoicevoxVoice& voice : voices) {
    voicevoxStyles.emplace(voice.name, voice.styleId);
    voiceNames.push_back(std::move(voice.name));
  }
}

SpeechPlayer::~SpeechPlayer() {
  // The backend goes first: its event registrations end before the engine's handles do.
  backend_.reset();
}

void SpeechPlayer::LoadWindowsVoices(const LogWriterFunction& log) {
  try {
    const std::vector<InstalledVoice> voices = backend_->InstalledVoices();
    for (size_t i = 0; i < voices.size(); ++i) {
      if (voices[i].language != L"ja-JP") continue;
      voiceNames.push_back(voices[i].displayName);
      windowsVoices.emplace(voices[i].displayName, static_cast<int>(i));
    }
  } catch (const SpeechError& e) {
    if (log) log(LogCategory::Other, kErrorTitle, kVoiceListFailedLead + HexHresult(e.hr()) + kVoiceListFailedTail);
  } catch (...) {
  }
}

void SpeechPlayer::SetVolume(int percent) noexcept {
  if (!backend_ || !backend_->CanPlay()) return;
  try {
    backend_->SetVolume(std::clamp(percent, 0, 100) / 100.0);
  } catch (...) {
  }
}

void SpeechPlayer::Speak(const std::wstring& text, const std::wstring& voiceName) noexcept {
  completion_->Clear();
  if (!backend_ || !backend_->CanPlay()) {
    completion_->Set();
    return;
  }
  try {
    std::unique_ptr<PreparedSound> sound;
    const auto windows = voiceName.empty() ? windowsVoices.end() : windowsVoices.find(voiceName);
    const auto style =
        (voiceName.empty() || windows != windowsVoices.end()) ? voicevoxStyles.end() : voicevoxStyles.find(voiceName);
    if (style != voicevoxStyles.end()) {
      if (voicevox.Ready()) {
        const VoicevoxWav wav = voicevox.SynthesizeVoicevox(text, style->second);
        sound = backend_->SoundFromWav(wav.data(), wav.size());
      }
    } else {
      sound = backend_->SynthesizeText(text, windows != windowsVoices.end() ? windows->second : -1);
    }

    std::unique_lock lock(completion_->completionMutex);
    if (completion_->completed || !sound) {
      // A Stop came while the sound was prepared, or there is nothing to play.
      completion_->completed = true;
      lock.unlock();
      completion_->completionCondition.notify_all();
      return;
    }
    backend_->Play(*sound);
  } catch (...) {
    completion_->Set();
  }
}

void SpeechPlayer::WaitUntilFinished() { completion_->Wait(); }

void SpeechPlayer::Stop() noexcept {
  // The flag first: a Speak deciding to play either sees it, or has called Play before
  // the halt below.
  completion_->Set();
  if (backend_) backend_->Halt();
}

}  // namespace moorlink
