#pragma once
// The modal about dialog (resource 2000) with its hyperlink-style label.
#include <windows.h>

namespace moorlink {

// Runs the dialog modally, owned by the given window.
void ShowAboutDialog(HWND owner);

}  // namespace moorlink
