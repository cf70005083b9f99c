#include <windows.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "common/UniqueHandle_win.h"
#include "monitor/ReconnectCommand.h"

namespace moorlink {

std::wstring RunCommandCapture(const std::wstring& commandLine) {
  try {
    SECURITY_ATTRIBUTES security = {};
    security.nLength = sizeof security;
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = TRUE;
    UniqueKernelHandle readEnd;
    UniqueKernelHandle writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &security, 0)) return {};
    // Only the write end goes to the child; an inherited read end would keep the pipe open.
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    // CreateProcessW may write into the command line, so it gets its own copy.
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
      return {};  // the handle objects close both pipe ends
    }
    const UniqueKernelHandle process(info.hProcess);
    const UniqueKernelHandle thread(info.hThread);
    // Our copy of the write end goes at once, so that reading ends when the child exits.
    writeEnd.reset();

    std::string bytes;
    char chunk[256];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
      bytes.append(chunk, got);
    }
    WaitForSingleObject(process.get(), INFINITE);
    if (bytes.empty()) return {};
    return Cp932ToWide(bytes);
  } catch (...) {
    return {};
  }
}

}  // namespace moorlink
