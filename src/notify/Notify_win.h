#pragma once
// The Windows half of the notification dispatcher: the balloon from the tray icon and
// the message box.
#include <windows.h>

#include "notify/NotifyUser.h"

namespace moorlink {

// The dispatcher's ports on Windows: Shell_NotifyIconW, MessageBoxW, detached threads
// and the log writer. Balloons come from the tray icon's record and the message boxes are
// owned by its window (notify/TrayIconRecord_win.h).
NotifyPorts WindowsNotifyPorts();

// The link of the balloon shown last, handed over once (empty when it had none): what a
// click on the balloon (NIN_BALLOONUSERCLICK) opens.
std::wstring TakeBalloonLink();

}  // namespace moorlink
