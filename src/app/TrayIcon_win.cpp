#include "app/TrayIcon_win.h"

#include <shellapi.h>

#include <atomic>

#include "app/TrayState.h"

namespace moorlink {
namespace {

std::atomic<HWND> g_trayWindow{nullptr};

NOTIFYICONDATAW Record(HWND window) {
  NOTIFYICONDATAW record{};
  record.cbSize = sizeof(record);
  record.hWnd = window;
  record.uID = kTrayIconUid;
  return record;
}

// Shared resource icons: loaded once by the system, never destroyed.
HICON LoadTrayIcon(int iconId) {
  return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IconToShow(iconId)));
}

void CopyTip(NOTIFYICONDATAW& record, const std::wstring& text) {
  const std::wstring tip = TipForShell(text);
  tip.copy(record.szTip, tip.size());
  record.szTip[tip.size()] = L'\0';
}

}  // namespace

void SetTrayWindow(HWND window) { g_trayWindow.store(window); }
HWND TrayWindow() { return g_trayWindow.load(); }

bool AddTrayIcon() {
  HWND window = TrayWindow();
  if (!window) return false;
  NOTIFYICONDATAW record = Record(window);
  record.hIcon = LoadTrayIcon(Tray().Icon());
  if (!record.hIcon) return false;
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kTrayCallbackMessage;
  CopyTip(record, Tray().Tip());
  return Shell_NotifyIconW(NIM_ADD, &record) != FALSE;
}

bool SetTrayIcon(int iconId) {
  Tray().SetIcon(iconId);
  HWND window = TrayWindow();
  if (!window) return false;
  NOTIFYICONDATAW record = Record(window);
  record.hIcon = LoadTrayIcon(iconId);
  if (!record.hIcon) return false;
  record.uFlags = NIF_ICON;
  return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

bool SetTrayTip(const std::wstring& text) {
  Tray().SetTip(text);
  HWND window = TrayWindow();
  if (!window) return false;
  NOTIFYICONDATAW record = Record(window);
  record.uFlags = NIF_TIP;
  CopyTip(record, text);
  return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

void RemoveTrayIcon() {
  HWND window = TrayWindow();
  if (!window) return;
  NOTIFYICONDATAW record = Record(window);
  Shell_NotifyIconW(NIM_DELETE, &record);
}

}  // namespace moorlink
