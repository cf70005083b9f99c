#pragma once
// The notification dispatcher: one titled message shown as a balloon, a message box
// and/or speech, by the NotifyMode setting read at every call. NotifyUser never waits for
// the user or the speech, never throws, and never ends the calling thread.
// Platform half: Notify_win.cpp (Shell_NotifyIconW balloon, MessageBoxW).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "log/LogCategory.h"
#include "notify/NotifyKind.h"

namespace moorlink {

class LazySpeechPlayer;

// What the mode asks for.
struct NotifyRoute {
  bool speech = false;
  bool balloon = false;
  bool messageBox = false;
};
// The modes at their NotifyMode index: the settings sheet's label and the route, whose
// speech also tells whether the sheet's voice and volume apply.
struct NotifyModeEntry {
  const wchar_t* label;
  NotifyRoute route;
};
inline constexpr auto kNotifyModes = std::to_array<NotifyModeEntry>({
    {L"バルーンのみ", {false, true, false}},
    {L"メッセージボックスのみ", {false, false, true}},
    {L"音声のみ", {true, false, false}},
    {L"音声 ＋ バルーン", {true, true, false}},
    {L"音声 ＋ メッセージボックス", {true, false, true}},
});
NotifyRoute RouteForMode(int mode);  // clamped to kNotifyModes first

// The icons of a kind; any kind other than Warning and Error is shown as Info.
// The SDK's numbers, checked against NIIF_* and MB_ICON* in Notify_win.cpp.
constexpr uint32_t BalloonIconFlag(NotifyKind kind) {
  return kind == NotifyKind::Warning ? 2 : kind == NotifyKind::Error ? 3 : 1;
}
constexpr uint32_t MessageBoxIcon(NotifyKind kind) {
  return kind == NotifyKind::Warning ? 0x30 : kind == NotifyKind::Error ? 0x10 : 0x40;
}

// "Moorlink" alone for an empty title, else title + " - Moorlink".
std::wstring NotifyTitleText(const std::wstring& title);
// "タイトル、" + title + "。本文、" + message.
std::wstring SpokenText(const std::wstring& title, const std::wstring& message);

inline constexpr size_t kBalloonMessageUnits = 255;
inline constexpr size_t kBalloonTitleUnits = 63;
inline constexpr uint32_t kBalloonTimeoutMs = 3000;

// The balloon as it is sent: texts already cut.
struct BalloonText {
  std::wstring message;
  std::wstring title;
  NotifyKind kind = NotifyKind::Info;
  std::wstring link;  // opened when the balloon is clicked; empty for none
};

struct NotifyPorts {
  // Shows the balloon at once, on the calling thread.
  std::function<void(const BalloonText& balloon)> ShowBalloon;
  // The owner of a message box asked for now: the main window while it exists, else 0.
  std::function<uintptr_t()> MessageBoxOwner;
  // Shows a message box and returns when the user has closed it (on its own thread).
  std::function<void(uintptr_t owner, const std::wstring& message, const std::wstring& titleText, NotifyKind kind)>
      ShowMessageBox;
  // Runs the body on a new detached thread; false (or a throw) when none could be started.
  std::function<bool(std::function<void()> body)> StartDetachedThread;
  LogWriterFunction WriteLog;
};

// Set once at start-up, before the first notification.
void SetNotifyPorts(NotifyPorts ports);
// The player that speaks notifications, made by the first job that speaks; null
// unregisters. Jobs already started keep the holder they were given.
void RegisterSpeechPlayer(std::shared_ptr<LazySpeechPlayer> speech);

void NotifyUser(const std::wstring& message, const std::wstring& title, NotifyKind kind) noexcept;
// The same; a click on the balloon (when the mode shows one) opens the link.
void NotifyUserWithLink(const std::wstring& message, const std::wstring& title, NotifyKind kind,
                        const std::wstring& link) noexcept;

}  // namespace moorlink
