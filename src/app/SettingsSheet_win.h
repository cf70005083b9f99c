#pragma once
// The settings sheet: the pages of SettingsPages_win.h in one modal property sheet.
#include <windows.h>

namespace moorlink {

class LazySpeechPlayer;

// Returns when the sheet is closed. The voice list comes from the player (made here when
// nothing has spoken yet); without one the list holds the default voice only.
void ShowSettingsSheet(HWND window, LazySpeechPlayer* speech);

// Moves the settings sheet that owns this page to the centre of its monitor's work area,
// once per sheet, and gives it a taskbar button.
void CenterSheetOnce(HWND page);

}  // namespace moorlink
