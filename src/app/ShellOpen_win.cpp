#include "app/ShellOpen_win.h"

#include <shellapi.h>

#include "app/AppTexts.h"
#include "log/LogTexts.h"
#include "log/LogWriter.h"

namespace moorlink {

bool OpenWithShell(HWND owner, const std::wstring& target, const LogWriterFunction& writeLog) {
  // Values above 32 mean success; the rest are the old WinExec error codes.
  const auto result =
      reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result > 32) return true;
  const std::wstring message = kOpenFailedLead + target + kOpenFailedMiddle + std::to_wstring(result) + kOpenFailedTail;
  if (writeLog) {
    writeLog(LogCategory::Other, kErrorTitle, message);
  } else {
    WriteLog(LogCategory::Other, kErrorTitle, message);
  }
  return false;
}

}  // namespace moorlink
