// A stand-in for the system's netsh.exe, built as netsh.exe beside the test programs:
// CreateProcessW finds a bare program name in the starting exe's folder first.
//
// Environment (all optional):
//   MOORLINK_NETSH_RECORD    file to which each run appends its full command line
//                            (GetCommandLineW, UTF-8) and a line feed
//   MOORLINK_NETSH_ARGV      file to which each run appends the arguments its C runtime
//                            split from that line (argv[1..]), each as the hex digits of
//                            its UTF-8 bytes, separated by blanks, then a line feed
//   MOORLINK_NETSH_REPEAT    how many times the standard-output text is printed (default 1)
//   MOORLINK_NETSH_SLEEP_MS  milliseconds to wait after printing, before exiting (default 0)
//   MOORLINK_NETSH_MODE      "hang" or "spawn" (see ScriptedNetshText.h)
//   MOORLINK_NETSH_PID_FILE  file into which a run in a mode writes its process id
//
// Output, in code page 932: "インターフェイス "Wi-Fi" で接続要求が正常に完了しました。"
// CR LF on standard output, then "標準エラー出力: ソフト表示" CR LF on standard error.
// Exit code 0.
#include <windows.h>

#include <cwchar>
#include <string>
#include <string_view>

#include "support/ScriptedNetshText.h"

namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
  if (n == 0 || n >= 32768) return {};
  return std::wstring(buffer, n);
}

unsigned long Number(const wchar_t* name, unsigned long fallback) {
  const std::wstring text = Variable(name);
  if (text.empty()) return fallback;
  return std::wcstoul(text.c_str(), nullptr, 10);
}

void WriteAll(HANDLE h, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) return;
    bytes.remove_prefix(written);
  }
}

void WritePid(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteAll(file, std::to_string(GetCurrentProcessId()));
  CloseHandle(file);
}

// A plain copy of this program that inherits the standard handles.
void SpawnLingeringCopy() {
  SetEnvironmentVariableW(moorlink::test::kNetshModeVariable, nullptr);
  SetEnvironmentVariableW(moorlink::test::kNetshPidVariable, nullptr);
  wchar_t self[MAX_PATH];
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return;
  std::wstring line = L"netsh";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  SetHandleInformation(startup.hStdOutput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  SetHandleInformation(startup.hStdError, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  PROCESS_INFORMATION info = {};
  if (CreateProcessW(self, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
}

std::string Utf8(const wchar_t* text) {
  const int length = static_cast<int>(std::wcslen(text));
  std::string utf8(static_cast<size_t>(length) * 4 + 1, '\0');
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return utf8;
}

// Hex keeps every byte of an argument (blanks, quotes, line breaks) on one line.
std::string HexArguments(int argc, wchar_t** argv) {
  static const char digits[] = "0123456789abcdef";
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    for (const unsigned char b : Utf8(argv[i])) {
      line += digits[b >> 4];
      line += digits[b & 15];
    }
  }
  return line;
}

void Append(const std::wstring& path, std::string utf8) {
  utf8 += '\n';
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteAll(file, utf8);
  CloseHandle(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace moorlink::test;
  // Recorded first: once the caller sees the process end, the record is complete.
  const std::wstring record = Variable(kNetshRecordVariable);
  if (!record.empty()) Append(record, Utf8(GetCommandLineW()));
  const std::wstring argvRecord = Variable(kNetshArgvVariable);
  if (!argvRecord.empty()) Append(argvRecord, HexArguments(argc, argv));
  const std::wstring mode = Variable(kNetshModeVariable);
  const std::wstring pidFile = Variable(kNetshPidVariable);
  if (!mode.empty() && !pidFile.empty()) WritePid(pidFile);
  if (mode == L"spawn") {
    SpawnLingeringCopy();
    return 0;
  }
  const unsigned long repeat = Number(kNetshRepeatVariable, 1);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  for (unsigned long i = 0; i < repeat; ++i) WriteAll(out, kNetshStdoutCp932);
  WriteAll(GetStdHandle(STD_ERROR_HANDLE), kNetshStderrCp932);
  const unsigned long sleepMs = Number(kNetshSleepVariable, 0);
  if (sleepMs > 0) Sleep(sleepMs);
  if (mode == L"hang") Sleep(INFINITE);
  return 0;
}
