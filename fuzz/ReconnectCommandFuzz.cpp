// The reconnect command line on arbitrary SSIDs: the arguments a Windows C runtime (and the
// POSIX runner) reads back from it are exactly netsh's four, the SSID intact. Input: the
// SSID as UTF-8 (NULs dropped: a command line cannot carry one). The same bytes are also
// split as a raw command line, which must not crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "monitor/ReconnectCommand.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace moorlink;
  const std::wstring text = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size));
  (void)SplitCommandLine(text);

  std::wstring ssid;
  for (const wchar_t c : text) {
    if (c != L'\0') ssid += c;
  }
  const std::vector<std::wstring> expected{L"netsh", L"wlan", L"connect", L"name=" + ssid};
  if (SplitCommandLine(ReconnectCommandLine(ssid)) != expected) __builtin_trap();
  return 0;
}
