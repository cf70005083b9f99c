// The entry point: one invisible, tray-resident process per logon.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/AppTexts.h"
#include "app/HistoryDialog_win.h"
#include "app/MonitorWiring_win.h"
#include "app/TrayWindow_win.h"
#include "common/Product.h"
#include "common/UniqueHandle_win.h"
#include "log/History.h"
#include "log/LogTexts.h"
#include "log/LogWriter.h"
#include "notify/NotifyUser.h"
#include "resources/resource.h"
#include "settings/Settings.h"
#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"

namespace {

using namespace moorlink;

int ReportComFailure(HRESULT hr) {
  wchar_t text[128];
  std::swprintf(text, 128, kComFailedFormat, static_cast<unsigned>(hr));
  WriteLog(LogCategory::Process, kErrorTitle, text);
  MessageBoxW(nullptr, text, (std::wstring(kErrorCaptionLead) + kProductTitle).c_str(), MB_ICONERROR);
  return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, L"Local\\Moorlink_Mutex"));
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    mutex.reset();
    MessageBoxW(nullptr, kAlreadyRunningMessage, kProductTitle, MB_ICONWARNING);
    return 0;
  }

  ComputeSettingsPath();
  OpenHistory(ComposeHistoryPath(SettingsPath));
  WriteLog(LogCategory::Process, kProgramStartTitle, kProgramStartMessage);
  // Written last, after the teardown below, on every path out.
  ScopedLogLine endLine(LogCategory::Process, kProgramEndTitle, kProgramEndMessage);
  SetProgramEndLine(&endLine);

  // Joined for the life of the process and never left. Detached notification threads
  // belong to the multithreaded apartment only through this membership, and they may still
  // speak or let go of the player's Windows Runtime objects after the teardown below, even
  // after this function returns: leaving it would unload those objects under them.
  const ScopedComInit& com = *new ScopedComInit(COINIT_MULTITHREADED);
  if (FAILED(com.result())) return ReportComFailure(com.result());

  // Made on first use (a notification that speaks, the settings sheet's voice list): a
  // run that never speaks never loads the speech components.
  const auto speech = std::make_shared<LazySpeechPlayer>(CreateSpeechPlayer);
  SetWindowSpeechPlayer(speech);

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  WireMonitor();
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_MONITORING));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kMainWindowClass;
  RegisterClassExW(&windowClass);
  // Never shown: the tray icon is the program's only presence.
  CreateWindowExW(0, kMainWindowClass, kProductTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);

  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The history dialog is modeless: Tab, Enter and Esc reach it through the dialog manager.
    if (IsHistoryDialogMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  SetProgramEndLine(nullptr);
  mutex.reset();  // a new instance may start from here on
  // Notification jobs still running keep their share; the rest of the player goes now.
  RegisterSpeechPlayer(nullptr);
  SetWindowSpeechPlayer(nullptr);
  if (std::shared_ptr<SpeechPlayer> player = speech->Close()) {
    player->Stop();
  }  // destroyed here unless a job still holds it
  return static_cast<int>(message.wParam);
}
