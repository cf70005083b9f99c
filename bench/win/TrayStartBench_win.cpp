// Start to tray icon: starts a tray program RUNS times and measures, each time, how long
// it takes from CreateProcess until the shell knows its icon (uID 1 of the first window
// of the class; a NIM_MODIFY that changes nothing succeeds only then). Each run ends the
// program with WM_COMMAND 40001 (Moorlink's exit) and waits for it.
//   tray_start_bench <exe> <window class> <runs>     prints one "<ms>" line per run
// With 0 runs it only sends that exit command to a running window of the class.
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const std::wstring exe = argv[1];
  const wchar_t* windowClass = argv[2];
  const int runs = _wtoi(argv[3]);
  if (runs == 0) {
    if (HWND window = FindWindowW(windowClass, nullptr)) PostMessageW(window, WM_COMMAND, 40001, 0);
    return 0;
  }
  for (int run = 0; run < runs; ++run) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    const auto t0 = std::chrono::steady_clock::now();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
      return 1;
    }
    HWND window = nullptr;
    double ms = -1;
    while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(30)) {
      if (!window) window = FindWindowW(windowClass, nullptr);
      if (window) {
        NOTIFYICONDATAW icon{};
        icon.cbSize = sizeof(icon);
        icon.hWnd = window;
        icon.uID = 1;
        if (Shell_NotifyIconW(NIM_MODIFY, &icon)) {
          ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
          break;
        }
      }
      Sleep(1);
    }
    std::printf("%.1f\n", ms);
    std::fflush(stdout);
    if (window) PostMessageW(window, WM_COMMAND, 40001, 0);
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    Sleep(500);
  }
  return 0;
}
