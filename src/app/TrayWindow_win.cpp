#include "app/TrayWindow_win.h"

#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/AboutDialog_win.h"
#include "app/AppTexts.h"
#include "app/HistoryDialog_win.h"
#include "app/MonitorWiring_win.h"
#include "app/SettingsSheet_win.h"
#include "app/ShellOpen_win.h"
#include "app/ShellRules.h"
#include "app/TrayIcon_win.h"
#include "common/Files.h"
#include "common/PathHelpers.h"
#include "common/Product.h"
#include "common/Text.h"
#include "common/UniqueHandle_win.h"
#include "log/EventLog.h"
#include "log/History.h"
#include "log/LogTexts.h"
#include "log/LogWriter.h"
#include "monitor/MonitorController.h"
#include "monitor/MonitorRun.h"
#include "monitor/ReconnectCommand.h"
#include "notify/Notify_win.h"
#include "notify/TrayIconRecord_win.h"
#include "resources/resource.h"
#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"

namespace moorlink {
namespace {

// All of these are used on the user interface thread only.
UINT g_taskbarCreatedMessage = 0;
bool g_modalDialogOpen = false;
std::shared_ptr<LazySpeechPlayer> g_speech;
ScopedLogLine* g_endLine = nullptr;

// Windows allows a few seconds between the end of the session and the end of the process.
constexpr int64_t kSessionEndWaitMs = 2000;
// Posted to itself after the session's end: the usual exit, should the process live on.
constexpr UINT kCloseAfterSessionMessage = WM_APP + 2;

void ShowTrayMenu(HWND window) {
  POINT cursor{};
  GetCursorPos(&cursor);
  // The menu closes when the user clicks elsewhere only if our window is in front.
  SetForegroundWindow(window);
  const UniqueMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAYMENU)));
  if (!menu) return;
  if (HMENU popup = GetSubMenu(menu.get(), 0)) {
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
  }
}

LRESULT OnCreate(HWND window) {
  SetTrayIconWindow(window);
  if (!AddTrayIcon()) {
    const wchar_t* text = kTrayIconFailedMessage;
    WriteLog(LogCategory::Other, kErrorTitle, text);
    MessageBoxW(window, text, (std::wstring(kErrorCaptionLead) + kProductTitle).c_str(), MB_ICONERROR);
    return -1;
  }
  WireNotifications(g_speech);
  // Rows that cannot be written wait in the history; the user learns why the file lags.
  SetHistoryWriteFailureListener([](const std::wstring& path) {
    ReportNotableEvent(EventId::HistoryWriteFailed, NotifyKind::Warning, kHistoryWriteFailedNoticeLead + path, {path});
    NotifyUser(kHistoryWriteFailedNoticeLead + path, kHistoryWriteFailedNoticeTitle, NotifyKind::Warning);
  });
  g_taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
  StartMonitor();
  return 0;
}

void OnDestroy() {
  CloseHistoryDialog();  // owned windows are gone by now; this only forgets it
  if (TrayIconWindow()) RemoveTrayIcon();
  SetHistoryWriteFailureListener(nullptr);  // nothing left to show a warning on
  // The exit path: no run starts afterwards, not from a restart or a revival either.
  StopMonitorForExit();
  // A reconnect thread still waiting for Windows' report about its connection logs nothing now.
  EndConnectionReportWaits();
  EndCarriedOutage(OutageEnd::ProgramExit);
  FlushHistory();  // rows still waiting for the file, the last chance
  // The icon's record lets go of the window: a notification still under way shows its box
  // without an owner rather than on a window that is gone.
  SetTrayIconWindow(nullptr);
  PostQuitMessage(0);
}

// Windows may end the process as soon as WM_ENDSESSION returns, without WM_DESTROY: the
// history's rows and the last log line are written here, in a bounded time.
void OnEndSession(HWND window) {
  StopMonitorForSessionEnd(kSessionEndWaitMs);
  EndConnectionReportWaits();
  FlushHistory();
  if (g_endLine) g_endLine->WriteNow();
  PostMessageW(window, kCloseAfterSessionMessage, 0, 0);
}

// Any click silences a spoken notification; a player not made yet has nothing to silence.
void StopSpeech() {
  if (const std::shared_ptr<SpeechPlayer> player = g_speech ? g_speech->IfMade() : nullptr) player->Stop();
}

void OnTrayCallback(HWND window, LPARAM mouseMessage) {
  switch (mouseMessage) {
    case WM_RBUTTONUP:
      StopSpeech();
      ShowTrayMenu(window);
      break;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
      StopSpeech();
      break;
    case NIN_BALLOONUSERCLICK: {
      StopSpeech();
      const std::wstring link = TakeBalloonLink();
      if (!link.empty()) OpenWithShell(nullptr, link);
      break;
    }
  }
}

void OnOpenLogFolder() {
  const std::wstring folder = LogFolderPath();
  if (folder.empty()) return;
  if (CreateFolders(folder)) OpenWithShell(nullptr, folder);
}

bool OnCommand(HWND window, int command) {
  if (g_modalDialogOpen && IgnoredWhileModalOpen(command)) return true;
  switch (command) {
    case IDM_EXIT:
      DestroyWindow(window);
      return true;
    case IDM_ABOUT:
      g_modalDialogOpen = true;
      ShowAboutDialog(window);
      g_modalDialogOpen = false;
      return true;
    case IDM_README: {
      const std::wstring readme = ReadmePath(ExeFolderPath());
      if (!readme.empty()) OpenWithShell(nullptr, readme);
      return true;
    }
    case IDM_SETTINGS:
      g_modalDialogOpen = true;
      ShowSettingsSheet(window, g_speech.get());
      g_modalDialogOpen = false;
      return true;
    case IDM_OPEN_EXE_FOLDER: {
      const std::wstring folder = ExeFolderPath();
      if (!folder.empty()) OpenWithShell(nullptr, folder);
      return true;
    }
    case IDM_OPEN_LOG_FOLDER:
      OnOpenLogFolder();
      return true;
    case IDM_HISTORY:
      ShowHistoryDialog(window);
      return true;
    case IDM_RESTART_MONITOR:
      RestartMonitor();
      return true;
  }
  return false;
}

void OnPowerBroadcast(WPARAM event) {
  switch (event) {
    case PBT_APMSUSPEND:
      NoteSystemSuspend(MonotonicNowNs());
      break;
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMESUSPEND:
      NoteSystemResume(MonotonicNowNs());
      break;
  }
}

}  // namespace

void SetWindowSpeechPlayer(std::shared_ptr<LazySpeechPlayer> speech) { g_speech = std::move(speech); }

void SetProgramEndLine(ScopedLogLine* line) { g_endLine = line; }

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_taskbarCreatedMessage != 0 && message == g_taskbarCreatedMessage) {
    AddTrayIcon();  // the shell restarted and lost the icon
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      return OnCreate(window);
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case kTrayCallbackMessage:
      OnTrayCallback(window, lParam);
      return 0;
    case WM_COMMAND:
      if (OnCommand(window, LOWORD(wParam))) return 0;
      break;
    case WM_POWERBROADCAST:
      OnPowerBroadcast(wParam);
      return TRUE;
    case WM_SETTINGCHANGE:
      // Group Policy tells a refresh so; the values are read at each use, the run restarts for them.
      if (lParam != 0 && lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"Policy") == 0) RestartMonitorForPolicy();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // never in the way of a sign-out or shutdown
    case WM_ENDSESSION:
      if (wParam) OnEndSession(window);
      return 0;
    case kCloseAfterSessionMessage:
      DestroyWindow(window);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace moorlink
