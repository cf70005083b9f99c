#include "notify/Notify_win.h"

#include <shellapi.h>

#include <atomic>

#include "common/Thread.h"
#include "log/LogWriter.h"

namespace moorlink {
namespace {

std::atomic<HWND> g_window{nullptr};

template <size_t N>
void CopyText(wchar_t (&field)[N], const std::wstring& text) {
  const size_t n = text.size() < N ? text.size() : N - 1;
  text.copy(field, n);
  field[n] = L'\0';
}

void ShowBalloon(const BalloonText& balloon) {
  // Built per call: the monitor thread and the main thread may notify at once.
  NOTIFYICONDATAW record{};
  record.cbSize = sizeof(record);
  record.hWnd = g_window.load();
  record.uID = 1;
  record.uFlags = NIF_INFO;
  CopyText(record.szInfo, balloon.message);
  CopyText(record.szInfoTitle, balloon.title);
  record.dwInfoFlags = BalloonIconFlag(balloon.kind);
  record.uTimeout = kBalloonTimeoutMs;
  Shell_NotifyIconW(NIM_MODIFY, &record);
}

uintptr_t MessageBoxOwner() {
  HWND window = g_window.load();
  return (window && IsWindow(window)) ? reinterpret_cast<uintptr_t>(window) : 0;
}

void ShowMessageBox(uintptr_t owner, const std::wstring& message, const std::wstring& titleText, NotifyKind kind) {
  MessageBoxW(reinterpret_cast<HWND>(owner), message.c_str(), titleText.c_str(), MessageBoxIcon(kind));
}

}  // namespace

void SetNotifyWindow(HWND window) { g_window.store(window); }

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
