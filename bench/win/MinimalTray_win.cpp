// The smallest tray program there is: a hidden window, one icon, a message loop. The
// yardstick for Moorlink's start-up time and memory under the same Wine.
// Built a second time with MOORLINK_FLOOR as "the floor": the same plus what Moorlink's
// features need at start (COM in the multithreaded apartment, common controls v6 through
// the manifest, Winsock, one WLAN handle, one ICMP handle, a thread ticking every second).
#include <windows.h>
#include <shellapi.h>
#ifdef MOORLINK_FLOOR
#include <winsock2.h>
#include <iphlpapi.h>
#include <commctrl.h>
#include <icmpapi.h>
#include <objbase.h>
#include <wlanapi.h>
#endif

namespace {

#ifdef MOORLINK_FLOOR
constexpr wchar_t kClass[] = L"FloorTrayClass";
#else
constexpr wchar_t kClass[] = L"MinimalTrayClass";
#endif

NOTIFYICONDATAW g_icon{};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_icon.cbSize = sizeof(g_icon);
      g_icon.hWnd = window;
      g_icon.uID = 1;
      g_icon.uFlags = NIF_ICON | NIF_TIP;
      g_icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
      lstrcpyW(g_icon.szTip, L"Minimal");
      return Shell_NotifyIconW(NIM_ADD, &g_icon) ? 0 : -1;
    case WM_COMMAND:  // any command ends it, as Moorlink's exit command does
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      Shell_NotifyIconW(NIM_DELETE, &g_icon);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

#ifdef MOORLINK_FLOOR
DWORD WINAPI Ticker(void*) {
  for (;;) Sleep(1000);
}

// Kept open for the life of the process, as Moorlink keeps its own.
void StartWhatTheFeaturesNeed() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  WSADATA winsock;
  WSAStartup(MAKEWORD(2, 2), &winsock);
  DWORD version = 0;
  HANDLE wlan = nullptr;
  WlanOpenHandle(2, nullptr, &version, &wlan);
  IcmpCreateFile();
  if (HANDLE ticker = CreateThread(nullptr, 0, Ticker, nullptr, 0, nullptr)) CloseHandle(ticker);
}
#endif

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
#ifdef MOORLINK_FLOOR
  StartWhatTheFeaturesNeed();
#endif
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClass;
  RegisterClassW(&windowClass);
  CreateWindowW(windowClass.lpszClassName, L"Minimal", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
