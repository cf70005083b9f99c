// The real notification path under Wine and Xvfb: a hidden window with a tray icon, the
// real speech player (Windows Runtime backend, VOICEVOX library beside the exe) and the
// real dispatcher. It shows a balloon and then a message box with speech, finds each on
// screen, and records what it saw to notify.txt beside the exe. Before it takes each one
// down it writes "<name>.ready" and waits for "<name>.shot", so a script can take a
// screenshot.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "common/PathHelpers.h"
#include "common/Text.h"
#include "log/LogWriter.h"
#include "notify/Notify_win.h"
#include "notify/TrayIconRecord_win.h"
#include "settings/Settings.h"
#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"
#include "speech/WindowsSpeech_win.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace moorlink;

std::wstring g_folder;

// The box's thread records too: one line at a time, so appends cannot overwrite each other.
void Record(const std::wstring& line) {
  static std::mutex lock;
  std::lock_guard guard(lock);
  std::ofstream out(ToFsPath(g_folder + L"\\notify.txt"), std::ios::binary | std::ios::app);
  const std::string bytes = WideToUtf8(line) + "\n";
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Pump(int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, nullptr);
  return text;
}

struct Search {
  const wchar_t* className;
  std::wstring text;  // wanted in the window's text
  HWND found = nullptr;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  if (IsWindowVisible(window) && wcscmp(cls, s->className) == 0 && TextOf(window).find(s->text) != std::wstring::npos) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}

// Generous: the other end-to-end tests load the machine while this one runs.
constexpr int kShowWithinMs = 20000;

HWND WaitForWindow(const wchar_t* className, const std::wstring& text, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    Search s{className, text};
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    Pump(50);
  }
  return nullptr;
}

BOOL CALLBACK FindStatic(HWND child, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  if (_wcsicmp(cls, L"Static") == 0 && TextOf(child).find(s->text) != std::wstring::npos) {
    s->found = child;
    return FALSE;
  }
  return TRUE;
}

void Screenshot(const std::wstring& name) {
  Record(L"ready " + name);
  HANDLE ready =
      CreateFileW((g_folder + L"\\" + name + L".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  const auto end = Clock::now() + std::chrono::seconds(30);
  while (!Exists(g_folder + L"\\" + name + L".shot") && Clock::now() < end) Pump(50);
}

// On a missing window: every top-level window, to tell "never created" from "not found".
BOOL CALLBACK RecordWindow(HWND window, LPARAM) {
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  Record(L"  window " + std::wstring(cls) + L" visible " + std::to_wstring(IsWindowVisible(window) ? 1 : 0) +
         L" thread " + std::to_wstring(GetWindowThreadProcessId(window, nullptr)) + L" \"" + TextOf(window) + L"\"");
  return TRUE;
}

long long MicrosecondsOf(const std::function<void()>& f) {
  const auto t0 = Clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count();
}

}  // namespace

int wmain() {
  ComputeSettingsPath();
  g_folder = ExeFolderPath();
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;

  std::shared_ptr<SpeechPlayer> player;
  const long long constructUs = MicrosecondsOf([&player] {
    player =
        std::make_shared<SpeechPlayer>(CreateWindowsSpeechBackend(), ExeFolderPath(), BindVoicevoxLibrary, WriteLog);
  });
  Record(L"player " + std::to_wstring(constructUs) + L" us, " + std::to_wstring(player->VoiceNames().size()) +
         L" voices");
  for (const std::wstring& name : player->VoiceNames()) Record(L"voice " + name);
  // Without a media player (Wine) an utterance is refused at once, and its waiter released.
  Record(L"speak " + std::to_wstring(MicrosecondsOf([&player] {
           player->Speak(L"テスト", L"");
           player->WaitUntilFinished();
         })) +
         L" us");

  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"MoorlinkNotifyDriver";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  SetTrayIconWindow(window);
  NOTIFYICONDATAW icon = TrayIconRecord();
  icon.uFlags = NIF_ICON | NIF_TIP;
  icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wcscpy(icon.szTip, L"Moorlink");
  Record(L"tray " + std::to_wstring(Shell_NotifyIconW(NIM_ADD, &icon) ? 1 : 0));
  NotifyPorts ports = WindowsNotifyPorts();
  // The box's own thread says when it starts and ends, so a missing box can be placed.
  ports.ShowMessageBox = [show = ports.ShowMessageBox](uintptr_t owner, const std::wstring& message,
                                                       const std::wstring& titleText, NotifyKind kind) {
    Record(L"box thread " + std::to_wstring(GetCurrentThreadId()));
    show(owner, message, titleText, kind);
    Record(L"box returned, last error " + std::to_wstring(GetLastError()));
  };
  SetNotifyPorts(std::move(ports));
  RegisterSpeechPlayer(std::make_shared<LazySpeechPlayer>(player));

  // A balloon, mode 0.
  const std::wstring outage = L"Wi-Fiの切断を検知しました。再接続を試みます。";
  WriteSetting(keys::NotifyMode, 0);
  Record(L"balloon call " +
         std::to_wstring(MicrosecondsOf([&] { NotifyUser(outage, L"切断検知", NotifyKind::Warning); })) + L" us");
  if (HWND tip = WaitForWindow(L"tooltips_class32", outage, kShowWithinMs)) {
    Record(L"balloon shown " + TextOf(tip));
    Screenshot(L"balloon");
  } else {
    Record(L"balloon missing");
  }

  // A message box with speech, mode 4.
  const std::wstring stop = L"再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止。";
  WriteSetting(keys::NotifyMode, 4);
  const auto showBox = [&] {
    Record(L"box call " +
           std::to_wstring(MicrosecondsOf([&] { NotifyUser(stop, L"監視処理中止", NotifyKind::Error); })) + L" us");
    return WaitForWindow(L"#32770", L"監視処理中止 - Moorlink", kShowWithinMs);
  };
  HWND box = showBox();
  if (!box) {
    // Seen rarely under Wine on a loaded machine: record what is there, then ask once more.
    Record(L"box missing");
    EnumWindows(RecordWindow, 0);
    if ((box = showBox())) Record(L"box retried");
  }
  if (box) {
    Search s{L"Static", stop};
    EnumChildWindows(box, FindStatic, reinterpret_cast<LPARAM>(&s));
    Record(L"box shown " + TextOf(box) + L" | " + (s.found ? TextOf(s.found) : L"(no text)"));
    Screenshot(L"box");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (IsWindow(box) && Clock::now() < end) Pump(50);
    Record(IsWindow(box) ? L"box still open" : L"box closed");
  } else {
    Record(L"box missing");
  }

  RegisterSpeechPlayer(nullptr);
  player.reset();
  SetTrayIconWindow(nullptr);
  Shell_NotifyIconW(NIM_DELETE, &icon);
  DestroyWindow(window);
  CoUninitialize();
  Record(L"done");
  return 0;
}
