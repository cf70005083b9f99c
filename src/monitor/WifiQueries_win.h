#pragma once
// The Win32 pieces of the queries: the gateway walk, exposed so it can be tested against
// hand-built adapter lists, and the WLAN client steps the connection watch shares.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/UniqueHandle_win.h"
#include "monitor/WifiQueries.h"

namespace moorlink {

// A WLAN client handle (version 2), or an empty one when the service cannot be opened.
UniqueWlanHandle OpenWlanClient();
// The GUID of the first interface the service lists; false when there is none.
bool FirstWlanInterface(const UniqueWlanHandle& client, GUID& guid);

// The adapter chain that GetAdaptersAddresses returned, as the portable walk sees it.
std::vector<AdapterInfo> AdaptersFromChain(const IP_ADAPTER_ADDRESSES* first);

// Dotted IPv4 text by InetNtopW; empty when it fails.
std::wstring Ipv4ToText(const std::array<uint8_t, 4>& address);

}  // namespace moorlink
