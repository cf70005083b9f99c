#pragma once
// What Windows tells about a connection a reconnect command asked for. netsh returns as
// soon as the request is accepted; only the WLAN service's notifications say how it ended.
// StartConnectionWatch is platform code: ConnectionWatch_win.cpp (ACM notifications of the
// first wireless interface) and ConnectionWatch_posix.cpp (no WLAN service: never a watch).
// Nothing throws to the caller.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace moorlink {

struct ConnectionReport {
  enum class Kind { None, Completed, Failed };
  Kind kind = Kind::None;
  std::wstring reason;  // Failed: the service's text for its reason code, else the code
};

class ConnectionWatch {
 public:
  virtual ~ConnectionWatch() = default;
  // The first report since the watch started, waiting for it at most `wait`; None when
  // none has come by then.
  virtual ConnectionReport WaitForReport(std::chrono::milliseconds wait) = 0;
};

// Watches for the outcome of a connection to the profile named ssid; null when nothing can
// be watched (no WLAN service or interface, registration refused, no WLAN API).
std::unique_ptr<ConnectionWatch> StartConnectionWatch(const std::wstring& ssid);

using ConnectionWatchFactory = std::function<std::unique_ptr<ConnectionWatch>(const std::wstring& ssid)>;

}  // namespace moorlink
