// The gateway query's Win32 half against hand-built adapter lists and the real API, and
// the WLAN queries against Wine's own wlanapi.dll.
#include <windows.h>

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "monitor/WifiQueries_win.h"

namespace moorlink::test {
namespace {

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

sockaddr_in V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  const uint8_t bytes[4] = {a, b, c, d};
  std::memcpy(&in.sin_addr, bytes, 4);
  return in;
}

TEST(WifiGatewayWinTest, ChainBecomesTheAdapterWalk) {
  sockaddr_in wired = V4(10, 0, 0, 1);
  sockaddr_in6 linkLocal{};
  linkLocal.sin6_family = AF_INET6;
  sockaddr_in wireless = V4(192, 168, 10, 1);

  IP_ADAPTER_GATEWAY_ADDRESS wiredGateway{};
  wiredGateway.Address = {reinterpret_cast<SOCKADDR*>(&wired), sizeof wired};
  IP_ADAPTER_GATEWAY_ADDRESS v6Gateway{};
  IP_ADAPTER_GATEWAY_ADDRESS v4Gateway{};
  IP_ADAPTER_GATEWAY_ADDRESS noAddress{};
  v6Gateway.Address = {reinterpret_cast<SOCKADDR*>(&linkLocal), sizeof linkLocal};
  v6Gateway.Next = &v4Gateway;
  v4Gateway.Address = {reinterpret_cast<SOCKADDR*>(&wireless), sizeof wireless};
  v4Gateway.Next = &noAddress;

  IP_ADAPTER_ADDRESSES ethernet{};
  IP_ADAPTER_ADDRESSES wifi{};
  IP_ADAPTER_ADDRESSES wifiDown{};
  ethernet.IfType = IF_TYPE_ETHERNET_CSMACD;
  ethernet.OperStatus = IfOperStatusUp;
  ethernet.FirstGatewayAddress = &wiredGateway;
  ethernet.Next = &wifi;
  wifi.IfType = IF_TYPE_IEEE80211;
  wifi.OperStatus = IfOperStatusUp;
  wifi.FirstGatewayAddress = &v6Gateway;
  wifi.Next = &wifiDown;
  wifiDown.IfType = IF_TYPE_IEEE80211;
  wifiDown.OperStatus = IfOperStatusDown;

  const std::vector<AdapterInfo> adapters = AdaptersFromChain(&ethernet);
  ASSERT_EQ(adapters.size(), 3u);
  EXPECT_EQ(adapters[0].interfaceType, 6u);
  EXPECT_EQ(adapters[0].operStatus, 1);
  ASSERT_EQ(adapters[0].gateways.size(), 1u);
  EXPECT_EQ(adapters[0].gateways[0].ipv4, (std::array<uint8_t, 4>{10, 0, 0, 1}));
  EXPECT_EQ(adapters[1].interfaceType, 71u);
  ASSERT_EQ(adapters[1].gateways.size(), 2u);  // the entry without an address is dropped
  EXPECT_EQ(adapters[1].gateways[0].family, AF_INET6);
  EXPECT_EQ(adapters[1].gateways[1].family, AF_INET);
  EXPECT_EQ(adapters[1].gateways[1].ipv4, (std::array<uint8_t, 4>{192, 168, 10, 1}));
  EXPECT_EQ(adapters[2].operStatus, 2);
  EXPECT_TRUE(adapters[2].gateways.empty());

  EXPECT_EQ(ChooseWifiGateway(adapters, Ipv4ToText), L"192.168.10.1");
  EXPECT_TRUE(AdaptersFromChain(nullptr).empty());
}

TEST(WifiGatewayWinTest, Ipv4Text) {
  EXPECT_EQ(Ipv4ToText({192, 168, 1, 254}), L"192.168.1.254");
  EXPECT_EQ(Ipv4ToText({255, 255, 255, 255}), L"255.255.255.255");
}

TEST(WifiGatewayWinTest, WineBuiltinWlanHasNoInterface) {
  if (!UnderWine()) GTEST_SKIP() << "a fact of Wine's wlanapi.dll";
  EXPECT_FALSE(HasWlanProfile(L"Home"));
  EXPECT_EQ(GetConnectedSsid().ssid, L"");
  EXPECT_EQ(GetPreferredProfileSsid(), L"");
}

// Wine lists the host's adapters; a wired one with a gateway must not be taken for Wi-Fi.
TEST(WifiGatewayWinTest, RealWiredGatewayIsNotChosen) {
  ULONG size = 65536;
  std::vector<uint8_t> buffer(size);
  auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
  ASSERT_EQ(GetAdaptersAddresses(AF_INET, GAA_FLAG_INCLUDE_GATEWAYS, nullptr, first, &size), NO_ERROR);
  bool wiredGateway = false;
  for (const IP_ADAPTER_ADDRESSES* a = first; a != nullptr; a = a->Next) {
    if (a->IfType == IF_TYPE_IEEE80211) GTEST_SKIP() << "this machine has a wireless adapter";
    const IP_ADAPTER_GATEWAY_ADDRESS* g = a->FirstGatewayAddress;
    if (a->OperStatus == IfOperStatusUp && g != nullptr && g->Address.lpSockaddr->sa_family == AF_INET) {
      wiredGateway = true;
    }
  }
  if (!wiredGateway) GTEST_SKIP() << "no wired adapter with an IPv4 gateway here";
  EXPECT_EQ(GetWifiGateway(), L"");
}

}  // namespace
}  // namespace moorlink::test
