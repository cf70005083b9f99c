// Runs the real monitor (controller, run, probe, reconnect command, Wi-Fi queries) with
// the tray and the notifications recorded to shell.txt beside the exe, until a file
// stop.flag appears there (or three minutes pass). Then it stops monitoring as the
// program's exit does and records how long that took: "stopped <ms>".
#include <windows.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/MonitorWiring_win.h"
#include "common/PathHelpers.h"
#include "common/Text.h"
#include "log/LogWriter.h"
#include "monitor/MonitorController.h"
#include "monitor/MonitorRun.h"
#include "settings/Settings.h"

namespace {

using Clock = std::chrono::steady_clock;

std::mutex g_recordLock;
std::wstring g_recordPath;

void Record(const std::wstring& line) {
  std::lock_guard<std::mutex> lock(g_recordLock);
  std::ofstream out(moorlink::ToFsPath(g_recordPath), std::ios::binary | std::ios::app);
  const std::string bytes = moorlink::WideToUtf8(line) + "\n";
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::wstring OneLine(std::wstring text) {
  for (wchar_t& c : text) {
    if (c == L'\n' || c == L'\r') c = L' ';
  }
  return text;
}

}  // namespace

int wmain() {
  using namespace moorlink;
  ComputeSettingsPath();
  const std::wstring folder = ExeFolderPath();
  g_recordPath = folder + L"\\shell.txt";
  const std::wstring stopFlag = folder + L"\\stop.flag";

  ShellPorts shell;
  shell.SetTrayIcon = [](int id) {
    Record(L"icon " + std::to_wstring(id));
    return true;
  };
  shell.SetTrayTip = [](const std::wstring& text) { Record(L"tip " + text); };
  shell.NotifyUser = [](const std::wstring& message, const std::wstring& title, NotifyKind kind) {
    Record(L"notify " + std::to_wstring(static_cast<int>(kind)) + L" " + title + L" " + OneLine(message));
  };
  const MonitorPorts ports = SystemMonitorPorts(shell);

  ControllerPorts controller;
  controller.MonitorRun = [ports] { MonitorRun(ports); };
  controller.NotifyUser = shell.NotifyUser;
  controller.WriteLog = WriteLog;
  SetControllerPorts(controller);

  StartMonitor();
  const auto giveUp = Clock::now() + std::chrono::minutes(3);
  while (GetFileAttributesW(stopFlag.c_str()) == INVALID_FILE_ATTRIBUTES && Clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const auto t0 = Clock::now();
  StopMonitorForExit();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  Record(L"stopped " + std::to_wstring(ms));
  return 0;
}
