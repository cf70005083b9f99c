#pragma once
// The category of a log line; each has its own switch in the settings and its label in
// the file.

namespace moorlink {

enum class LogCategory : int { Process = 0, Monitor = 1, Ping = 2, Netsh = 3, Other = 4 };

}  // namespace moorlink
