#include "notify/Notify_win.h"

#include <shellapi.h>

#include <mutex>
#include <string>
#include <utility>

#include "common/Thread.h"
#include "log/LogWriter.h"
#include "notify/TrayIconRecord_win.h"

namespace moorlink {

static_assert(BalloonIconFlag(NotifyKind::Info) == NIIF_INFO && BalloonIconFlag(NotifyKind::Warning) == NIIF_WARNING &&
              BalloonIconFlag(NotifyKind::Error) == NIIF_ERROR);
static_assert(MessageBoxIcon(NotifyKind::Info) == MB_ICONINFORMATION &&
              MessageBoxIcon(NotifyKind::Warning) == MB_ICONWARNING &&
              MessageBoxIcon(NotifyKind::Error) == MB_ICONERROR);
namespace {

std::mutex g_linkLock;
std::wstring g_balloonLink;  // of the balloon shown last

template <size_t N>
void CopyText(wchar_t (&field)[N], const std::wstring& text) {
  const size_t n = text.size() < N ? text.size() : N - 1;
  text.copy(field, n);
  field[n] = L'\0';
}

void ShowBalloon(const BalloonText& balloon) {
  // Built per call: the monitor thread and the main thread may notify at once.
  NOTIFYICONDATAW record = TrayIconRecord();
  record.uFlags = NIF_INFO;
  CopyText(record.szInfo, balloon.message);
  CopyText(record.szInfoTitle, balloon.title);
  record.dwInfoFlags = BalloonIconFlag(balloon.kind);
  record.uTimeout = kBalloonTimeoutMs;
  {
    // The click reports no balloon of its own: it belongs to the one shown last.
    std::lock_guard lock(g_linkLock);
    g_balloonLink = balloon.link;
  }
  Shell_NotifyIconW(NIM_MODIFY, &record);
}

uintptr_t MessageBoxOwner() {
  HWND window = TrayIconWindow();
  return (window && IsWindow(window)) ? reinterpret_cast<uintptr_t>(window) : 0;
}

void ShowMessageBox(uintptr_t owner, const std::wstring& message, const std::wstring& titleText, NotifyKind kind) {
  MessageBoxW(reinterpret_cast<HWND>(owner), message.c_str(), titleText.c_str(), MessageBoxIcon(kind));
}

}  // namespace

std::wstring TakeBalloonLink() {
  std::lock_guard lock(g_linkLock);
  return std::exchange(g_balloonLink, {});
}

NotifyPorts WindowsNotifyPorts() {
  NotifyPorts ports;
  ports.ShowBalloon = ShowBalloon;
  ports.MessageBoxOwner = MessageBoxOwner;
  ports.ShowMessageBox = ShowMessageBox;
  ports.StartDetachedThread = StartDetachedThread;
  ports.WriteLog = WriteLog;
  return ports;
}

}  // namespace moorlink
