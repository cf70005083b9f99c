#pragma once
// The Win32 pieces of the gateway query, exposed so they can be tested against
// hand-built adapter lists.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "monitor/WifiQueries.h"

namespace moorlink {

// The adapter chain that GetAdaptersAddresses returned, as the portable walk sees it.
std::vector<AdapterInfo> AdaptersFromChain(const IP_ADAPTER_ADDRESSES* first);

// Dotted IPv4 text by InetNtopW; empty when it fails.
std::wstring Ipv4ToText(const std::array<uint8_t, 4>& address);

}  // namespace moorlink
