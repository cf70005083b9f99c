#pragma once
// Questions to the OS about Wi-Fi: saved profiles, the current connection and the Wi-Fi
// adapter's gateway. The four queries are implemented in WifiQueries_win.cpp (WLAN API,
// IP Helper); Linux has no WLAN service and is not a target for them. The decoding and
// the adapter walk are portable (WifiQueries.cpp). Every failure is an empty string or false.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace moorlink {

bool HasWlanProfile(const std::wstring& name);
std::wstring GetConnectedSsid();
std::wstring GetPreferredProfileSsid();
std::wstring GetWifiGateway();

// SSID bytes (0 to 32) as text: UTF-8 where it decodes, one character per byte otherwise.
std::wstring DecodeSsid(const uint8_t* bytes, uint32_t length);

struct AdapterGateway {
  int family = 0;  // the socket address family; 2 is IPv4
  std::array<uint8_t, 4> ipv4{};
};
struct AdapterInfo {
  uint32_t interfaceType = 0;  // 71 is IEEE 802.11 wireless
  int operStatus = 0;          // 1 is up
  std::vector<AdapterGateway> gateways;
};

// The first IPv4 gateway of the first wireless adapter that is up, converted to text by
// toText (empty text means "could not convert": the walk goes on).
std::wstring ChooseWifiGateway(const std::vector<AdapterInfo>& adapters,
                               const std::function<std::wstring(const std::array<uint8_t, 4>&)>& toText);

}  // namespace moorlink
