#pragma once
// The program's one tray icon as Shell_NotifyIconW addresses it: the window that owns it
// and its id. The tray (app/TrayIcon_win) adds, changes and removes the icon through it,
// the balloon is shown from it, and its window owns the message boxes. Any thread may
// read it.
#include <windows.h>
#include <shellapi.h>

namespace moorlink {

inline constexpr UINT kTrayIconUid = 1;

// The window is set when it is created and cleared when it is destroyed.
void SetTrayIconWindow(HWND window);
HWND TrayIconWindow();

// A record addressed to the icon (size, window, id) and nothing else set; its hWnd is
// null while there is no window. The window is read once, so a check of hWnd and the
// call that follows agree.
NOTIFYICONDATAW TrayIconRecord();

}  // namespace moorlink
