#include "notify/NotifyUser.h"

#include <algorithm>
#include <mutex>

#include "common/Product.h"
#include "common/Text.h"
#include "log/LogTexts.h"
#include "notify/NotifyTexts.h"
#include "settings/Settings.h"
#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"

namespace moorlink {
namespace {

// The dispatcher's state is made once and never destroyed: a thread that notifies while
// the process exits must not find it gone.
NotifyPorts& g_ports = *new NotifyPorts;

// Guards the registered player only; never held while calling out.
std::mutex& g_playerLock = *new std::mutex;
std::shared_ptr<LazySpeechPlayer>& g_speech = *new std::shared_ptr<LazySpeechPlayer>;

std::shared_ptr<LazySpeechPlayer> RegisteredSpeech() {
  std::lock_guard lock(g_playerLock);
  return g_speech;
}

// Starts a worker; a thread that cannot be started is logged and reported as false.
bool StartWorker(std::function<void()> body) {
  bool started = false;
  try {
    // Nothing may escape a thread body: that would end the process.
    auto guarded = [body = std::move(body)]() noexcept {
      try {
        body();
      } catch (...) {
      }
    };
    started = g_ports.StartDetachedThread && g_ports.StartDetachedThread(std::move(guarded));
  } catch (...) {
    started = false;
  }
  if (!started) {
    try {
      if (g_ports.WriteLog) g_ports.WriteLog(LogCategory::Other, kErrorTitle, kNotifyThreadFailedMessage);
    } catch (...) {
    }
  }
  return started;
}

void ShowBalloon(const std::wstring& message, const std::wstring& title, NotifyKind kind, const std::wstring& link) {
  if (!g_ports.ShowBalloon) return;
  g_ports.ShowBalloon(BalloonText{CutUtf16(message, kBalloonMessageUnits),
                                  CutUtf16(NotifyTitleText(title), kBalloonTitleUnits), kind, link});
}

}  // namespace

// The stored mode's range is the table's.
static_assert(keys::NotifyMode.min == 0 && keys::NotifyMode.max == static_cast<int>(kNotifyModes.size()) - 1);

NotifyRoute RouteForMode(int mode) {
  return kNotifyModes[static_cast<size_t>(std::clamp(mode, 0, static_cast<int>(kNotifyModes.size()) - 1))].route;
}

std::wstring NotifyTitleText(const std::wstring& title) {
  return title.empty() ? std::wstring(kProductTitle) : title + L" - " + kProductTitle;
}

std::wstring SpokenText(const std::wstring& title, const std::wstring& message) {
  return kSpokenTitleLead + title + kSpokenMessageLead + message;
}

void SetNotifyPorts(NotifyPorts ports) { g_ports = std::move(ports); }

void RegisterSpeechPlayer(std::shared_ptr<LazySpeechPlayer> speech) {
  std::lock_guard lock(g_playerLock);
  g_speech = std::move(speech);
}

void NotifyUser(const std::wstring& message, const std::wstring& title, NotifyKind kind) noexcept {
  NotifyUserWithLink(message, title, kind, {});
}

void NotifyUserWithLink(const std::wstring& message, const std::wstring& title, NotifyKind kind,
                        const std::wstring& link) noexcept {
  try {
    const NotifyRoute route = RouteForMode(NotifyMode());
    std::shared_ptr<LazySpeechPlayer> speech = RegisteredSpeech();

    if (route.speech && speech) {
      const std::wstring voice = VoiceName();
      const int volume = VoiceVolume();
      // The job owns copies, the holder and then a share of the player for as long as its
      // thread runs. The first such job makes the player on its own thread: the caller
      // never waits for it.
      StartWorker([speech, text = SpokenText(title, message), voice, volume] {
        const std::shared_ptr<SpeechPlayer> player = speech->Get();
        if (!player) return;
        player->SetVolume(volume);
        player->Speak(text, voice);
        player->WaitUntilFinished();
      });
    }
    if (!route.balloon && !route.messageBox) return;

    if (route.messageBox) {
      const uintptr_t owner = g_ports.MessageBoxOwner ? g_ports.MessageBoxOwner() : 0;
      // The job holds everything it uses, the way to show the box included.
      if (StartWorker(
              [show = g_ports.ShowMessageBox, speech, owner, message, titleText = NotifyTitleText(title), kind] {
                try {
                  if (show) show(owner, message, titleText, kind);
                } catch (...) {
                }
                // Closing the box silences any notification speech still playing.
                if (const auto player = speech ? speech->IfMade() : nullptr) player->Stop();
              })) {
        return;
      }
      // No thread for the box: the balloon still tells the user.
    }
    ShowBalloon(message, title, kind, link);
  } catch (...) {
    // Out of memory while building a notification: it is lost, the caller goes on.
  }
}

}  // namespace moorlink
