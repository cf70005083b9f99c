// The smallest tray program there is: a hidden window, one icon, a message loop. The
// yardstick for Moorlink's start-up time and memory under the same Wine.
#include <windows.h>
#include <shellapi.h>

namespace {

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

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"MinimalTrayClass";
  RegisterClassW(&windowClass);
  CreateWindowW(windowClass.lpszClassName, L"Minimal", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
