#include "app/TrayIcon_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/TrayState.h"
#include "common/UniqueHandle_win.h"
#include "notify/TrayIconRecord_win.h"

namespace moorlink {
namespace {

// The frame drawn for the small-icon size of the current DPI (16 px at 100 %, 24 at 150 %),
// not the 32-px one shrunk. The shell keeps a copy of what it is given, so the loaded icon
// goes once the call returns.
UniqueIcon LoadTrayIcon(int iconId) {
  UniqueIcon icon;
  if (FAILED(LoadIconMetric(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IconToShow(iconId)), LIM_SMALL, icon.put()))) {
    return {};
  }
  return icon;
}

void CopyTip(NOTIFYICONDATAW& record, const std::wstring& text) {
  const std::wstring tip = TipForShell(text);
  tip.copy(record.szTip, tip.size());
  record.szTip[tip.size()] = L'\0';
}

}  // namespace

bool AddTrayIcon() {
  NOTIFYICONDATAW record = TrayIconRecord();
  if (!record.hWnd) return false;
  const UniqueIcon icon = LoadTrayIcon(Tray().Icon());
  if (!icon) return false;
  record.hIcon = icon.get();
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kTrayCallbackMessage;
  CopyTip(record, Tray().Tip());
  return Shell_NotifyIconW(NIM_ADD, &record) != FALSE;
}

bool SetTrayIcon(int iconId) {
  Tray().SetIcon(iconId);
  NOTIFYICONDATAW record = TrayIconRecord();
  if (!record.hWnd) return false;
  const UniqueIcon icon = LoadTrayIcon(iconId);
  if (!icon) return false;
  record.hIcon = icon.get();
  record.uFlags = NIF_ICON;
  return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

bool SetTrayTip(const std::wstring& text) {
  Tray().SetTip(text);
  NOTIFYICONDATAW record = TrayIconRecord();
  if (!record.hWnd) return false;
  record.uFlags = NIF_TIP;
  CopyTip(record, text);
  return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

void RemoveTrayIcon() {
  NOTIFYICONDATAW record = TrayIconRecord();
  if (!record.hWnd) return;
  Shell_NotifyIconW(NIM_DELETE, &record);
}

}  // namespace moorlink
