#pragma once
// The one tray icon of the hidden main window (addressed by notify/TrayIconRecord_win),
// and the helpers the monitor uses to show its state. SetTrayIcon and SetTrayTip store the value first, so that the next
// AddTrayIcon (after a shell restart) shows it, and may be called from any thread.
#include <windows.h>

#include <string>

namespace moorlink {

inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;  // 0x8001

bool AddTrayIcon();
bool SetTrayIcon(int iconId);
bool SetTrayTip(const std::wstring& text);
void RemoveTrayIcon();

}  // namespace moorlink
