#include "monitor/ConnectionWatch.h"

namespace moorlink {

// Linux has no WLAN service to ask: the reconnect command's lines are all there is.
std::unique_ptr<ConnectionWatch> StartConnectionWatch(const std::wstring&) { return nullptr; }

}  // namespace moorlink
