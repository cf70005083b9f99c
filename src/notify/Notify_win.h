#pragma once
// The Windows half of the notification dispatcher: the balloon from the tray icon and
// the message box.
#include <windows.h>

#include "notify/NotifyUser.h"

namespace moorlink {

// The window that owns the tray icon (uID 1) and the message boxes; set when it is
// created, cleared when it is destroyed.
void SetNotifyWindow(HWND window);

// The dispatcher's ports on Windows: Shell_NotifyIconW, MessageBoxW, detached threads
// and the log writer.
NotifyPorts WindowsNotifyPorts();

// The link of the balloon shown last, handed over once (empty when it had none): what a
// click on the balloon (NIN_BALLOONUSERCLICK) opens.
std::wstring TakeBalloonLink();

}  // namespace moorlink
