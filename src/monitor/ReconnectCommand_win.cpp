#include "monitor/ReconnectCommand.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "common/Text.h"
#include "common/UniqueHandle_win.h"

namespace moorlink {
namespace {

using Clock = std::chrono::steady_clock;

// How often an empty pipe is looked at again. The pipe is polled rather than read with a
// blocking ReadFile, which something the child started could hold open for good.
constexpr DWORD kPollMs = 10;
// How long a process that has been told to end may take to go.
constexpr DWORD kEndWaitMs = 1000;

DWORD MsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<DWORD>(std::clamp<int64_t>(left, 0, 3'600'000));
}

}  // namespace

CommandOutcome RunCommandCapture(const std::wstring& commandLine, std::chrono::milliseconds limit) {
  try {
    const Clock::time_point deadline = Clock::now() + limit;
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
    bool ended = false;
    for (;;) {
      DWORD available = 0;
      if (!PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr)) {
        // Every write end has closed: what is left is read without blocking.
        if (GetLastError() == ERROR_BROKEN_PIPE) {
          DWORD got = 0;
          while (ReadFile(readEnd.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
        }
        ended = true;
        break;
      }
      if (available > 0) {
        DWORD got = 0;
        if (!ReadFile(readEnd.get(), chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr)) {
          ended = true;
          break;
        }
        bytes.append(chunk, got);
        if (Clock::now() >= deadline) break;  // a child that never stops writing
        continue;
      }
      const DWORD waitMs = MsUntil(deadline);
      if (waitMs == 0) break;
      Sleep(std::min(waitMs, kPollMs));
    }
    CommandOutcome outcome;
    outcome.timedOut = !ended || WaitForSingleObject(process.get(), MsUntil(deadline)) != WAIT_OBJECT_0;
    if (outcome.timedOut) {
      // A child that has already gone (its own child holds the pipe) makes this a no-op.
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), kEndWaitMs);
    }
    if (!bytes.empty()) outcome.output = Cp932ToWide(bytes);
    return outcome;
  } catch (...) {
    return {};
  }
}

}  // namespace moorlink
