#include "monitor/NetworkWatch.h"

namespace moorlink {

std::unique_ptr<NetworkWatch> StartNetworkWatch(void (*)()) { return nullptr; }

}  // namespace moorlink
