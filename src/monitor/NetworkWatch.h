#pragma once
// Changes of the Wi-Fi connection as Windows reports them, so that the run need not wait
// for its next ping to see one: the WLAN service's disconnect and connect notices for the
// first wireless interface, and the system's connectivity hint where it exists.
// StartNetworkWatch is platform code: NetworkWatch_win.cpp, and NetworkWatch_posix.cpp
// (nothing to watch). Nothing throws to the caller.
#include <functional>
#include <memory>

namespace moorlink {

class NetworkWatch {
 public:
  virtual ~NetworkWatch() = default;
};

// Calls onChange, on a thread of the system's, for every change until the watch goes;
// null when nothing can be watched. onChange must be quick and must not throw.
std::unique_ptr<NetworkWatch> StartNetworkWatch(void (*onChange)());

}  // namespace moorlink
