#pragma once
// The hidden main window: it owns the tray icon, shows the menu and carries out its
// commands, starts monitoring when it is created and stops it when it is destroyed.
#include <windows.h>

#include <memory>

namespace moorlink {

class LazySpeechPlayer;

inline constexpr wchar_t kMainWindowClass[] = L"MoorlinkClass";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The player the window hands to the dispatcher, silences on a click (when made) and asks
// for the settings sheet's voice list; set before the window is created, cleared after
// the message loop.
void SetWindowSpeechPlayer(std::shared_ptr<LazySpeechPlayer> speech);

class ScopedLogLine;
// The program's last log line, written at the end of the Windows session when the process
// may not reach its own end; set before the window is created.
void SetProgramEndLine(ScopedLogLine* line);

}  // namespace moorlink
