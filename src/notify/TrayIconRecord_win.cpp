#include "notify/TrayIconRecord_win.h"

#include <atomic>

namespace moorlink {
namespace {

// The monitor thread and notification threads read it while the main thread sets it.
std::atomic<HWND> g_trayIconWindow{nullptr};

}  // namespace

void SetTrayIconWindow(HWND window) { g_trayIconWindow.store(window); }
HWND TrayIconWindow() { return g_trayIconWindow.load(); }

NOTIFYICONDATAW TrayIconRecord() {
  NOTIFYICONDATAW record{};
  record.cbSize = sizeof(record);
  record.hWnd = TrayIconWindow();
  record.uID = kTrayIconUid;
  return record;
}

}  // namespace moorlink
