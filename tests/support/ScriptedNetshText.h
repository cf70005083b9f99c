#pragma once
// What the scripted netsh doubles print and the environment variables that steer them.
// Header only: the Windows double (win/ScriptedNetsh.cpp) uses it without linking anything.
#include <string_view>

namespace moorlink::test {

// File to which every run appends its command line (UTF-8) and a line feed.
inline constexpr wchar_t kNetshRecordVariable[] = L"MOORLINK_NETSH_RECORD";
// File to which every run appends its arguments as split by its C runtime (hex UTF-8).
inline constexpr wchar_t kNetshArgvVariable[] = L"MOORLINK_NETSH_ARGV";
// How many times the standard-output text is printed (default 1).
inline constexpr wchar_t kNetshRepeatVariable[] = L"MOORLINK_NETSH_REPEAT";
// Milliseconds to wait after printing, before exiting (default 0).
inline constexpr wchar_t kNetshSleepVariable[] = L"MOORLINK_NETSH_SLEEP_MS";
// "hang": never exit after printing. "spawn": start a plain copy of itself that inherits
// the output (and so holds the pipe for its sleep), then exit at once without printing.
inline constexpr wchar_t kNetshModeVariable[] = L"MOORLINK_NETSH_MODE";
// File into which a run in a mode writes its process id (decimal).
inline constexpr wchar_t kNetshPidVariable[] = L"MOORLINK_NETSH_PID_FILE";

// Standard output, code page 932: the text below followed by CR LF (59 bytes).
inline constexpr std::string_view kNetshStdoutCp932 =
    "\x83\x43\x83\x93\x83\x5E\x81\x5B\x83\x74\x83\x46\x83\x43\x83\x58\x20\x22\x57\x69\x2D\x46\x69\x22\x20\x82"
    "\xC5\x90\xDA\x91\xB1\x97\x76\x8B\x81\x82\xAA\x90\xB3\x8F\xED\x82\xC9\x8A\xAE\x97\xB9\x82\xB5\x82\xDC\x82"
    "\xB5\x82\xBD\x81\x42\x0D\x0A";
inline constexpr std::wstring_view kNetshStdoutText = L"インターフェイス \"Wi-Fi\" で接続要求が正常に完了しました。";

// Standard error, printed after standard output; its ソ and 表 have 0x5C (a backslash) as
// their second byte.
inline constexpr std::string_view kNetshStderrCp932 =
    "\x95\x57\x8F\x80\x83\x47\x83\x89\x81\x5B\x8F\x6F\x97\xCD\x3A\x20\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6"
    "\x0D\x0A";
inline constexpr std::wstring_view kNetshStderrText = L"標準エラー出力: ソフト表示";

}  // namespace moorlink::test
