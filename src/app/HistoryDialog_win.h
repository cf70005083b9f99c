#pragma once
// The availability view: a modeless dialog opened from the tray menu, one at a time. It
// redraws when the history records an outage and once a minute while it is open.
#include <windows.h>

namespace moorlink {

// Opens the dialog, or brings the open one to the front.
void ShowHistoryDialog(HWND owner);
// For the message loop: true when the message was the open dialog's (IsDialogMessage);
// the loop then neither translates nor dispatches it.
bool IsHistoryDialogMessage(MSG& message);
// Destroys the open dialog, if any (the program's exit).
void CloseHistoryDialog();

}  // namespace moorlink
