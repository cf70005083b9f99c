#pragma once
// The category of a log line; each has its own switch in the settings and its label in
// the file. And the one type of "write a log line" that ports and callers take.
#include <functional>
#include <string>

namespace moorlink {

enum class LogCategory : int { Process = 0, Monitor = 1, Ping = 2, Netsh = 3, Other = 4 };

using LogWriterFunction = std::function<void(LogCategory, const std::wstring& title, const std::wstring& message)>;

}  // namespace moorlink
