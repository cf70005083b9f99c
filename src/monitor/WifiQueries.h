#pragma once
// Questions to the OS about Wi-Fi: saved profiles, the current connection and the Wi-Fi
// adapter's gateway. The queries are implemented in WifiQueries_win.cpp (WLAN API, IP
// Helper, Network List Manager); Linux has no WLAN service and is not a target for them.
// The decoding, the classification of the service's answers and the adapter walk are
// portable (WifiQueries.cpp). Every other failure is an empty string or false.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "monitor/Remedy.h"

namespace moorlink {

// What asking for the connected network found. Denied: Windows refused to tell, as it
// does without consent to location access (Windows 11 24H2 and later).
enum class SsidQueryResult { Connected, NotConnected, Denied, Failed };
struct SsidQuery {
  SsidQueryResult result = SsidQueryResult::Failed;
  std::wstring ssid;  // with Connected only; empty for a hidden network
};

// Why Wi-Fi cannot be used at the moment, as far as the WLAN service tells.
enum class WifiReadiness { Ready, ServiceStopped, NoInterface, RadioOffSoftware, RadioOffHardware, Unknown };

bool HasWlanProfile(const std::wstring& name);
SsidQuery GetConnectedSsid();
std::wstring GetPreferredProfileSsid();
std::wstring GetWifiGateway();
WifiReadiness QueryWifiReadiness();
// The names of the networks Windows counts as connected (Network List Manager), which
// location access does not gate. A Wi-Fi network's name is usually its profile's name.
std::vector<std::wstring> GetConnectedNetworkNames();
// The IPv4 address of the Wi-Fi adapter that is up (empty: none), for an echo that only
// the Wi-Fi link can carry.
std::wstring GetWifiSourceAddress();
// What Windows reports for the Wi-Fi adapter's connection (Network List Manager).
WindowsView QueryWifiWindowsView();

// Windows' report as read: whether the Wi-Fi adapter's connection was found, its
// connectivity flags and, when it could be read, its IPv4 internet-connectivity property.
struct ConnectivityReport {
  bool found = false;
  uint32_t connectivity = 0;  // NLM_CONNECTIVITY flags
  bool hasInternetFlags = false;
  uint32_t internetFlags = 0;  // NLM_INTERNET_CONNECTIVITY flags
};
WindowsView ClassifyConnectivity(const ConnectivityReport& report);

// The SDK's numbers the classifications below read, so that they stay portable
// (WifiQueries_win.cpp checks each against the SDK's own).
namespace wlan_numbers {
inline constexpr int kAfInet = 2;
inline constexpr uint32_t kIfTypeIeee80211 = 71;
inline constexpr int kIfOperStatusUp = 1;
inline constexpr uint32_t kNoError = 0;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidState = 5023;
inline constexpr uint32_t kErrorServiceNotActive = 1062;
inline constexpr uint32_t kErrorServiceDisabled = 1058;
inline constexpr uint32_t kRadioOn = 1;
inline constexpr uint32_t kRadioOff = 2;
inline constexpr uint32_t kIpv4Subnet = 0x10;
inline constexpr uint32_t kIpv4LocalNetwork = 0x20;
inline constexpr uint32_t kIpv4Internet = 0x40;
inline constexpr uint32_t kIpv6Internet = 0x400;
inline constexpr uint32_t kInternetWebHijack = 0x1;
}  // namespace wlan_numbers

// The current-connection query's answer: the call's result code and, on success, whether
// the interface is connected.
SsidQueryResult ClassifyConnectionQuery(uint32_t error, bool connected);

// The radio switches of one PHY; 0 unknown, 1 on, 2 off.
struct RadioSwitches {
  uint32_t software = 0;
  uint32_t hardware = 0;
};
// openError: WlanOpenHandle's result; interfaces: how many the service lists (or -1 when
// the list failed); phys: the first interface's radio state (empty when unknown). Off only
// when every PHY is off; the hardware switch wins, since software cannot turn it on.
WifiReadiness ClassifyReadiness(uint32_t openError, int interfaces, const std::vector<RadioSwitches>& phys);

inline constexpr uint32_t kMaxSsidLength = 32;

// SSID bytes (0 to 32) as text: UTF-8 where it decodes, one character per byte otherwise.
// A length above 32 is cut to 32, so a bad length never reads past the SSID field.
std::wstring DecodeSsid(const uint8_t* bytes, uint32_t length);

// True when one of the names equals the wanted one exactly: same length, same characters,
// case and surrounding spaces included. An empty wanted name never matches.
bool HasExactProfileName(const std::vector<std::wstring>& names, const std::wstring& wanted);

struct AdapterGateway {
  int family = 0;  // the socket address family; 2 is IPv4
  std::array<uint8_t, 4> ipv4{};
};
struct AdapterInfo {
  uint32_t interfaceType = 0;  // 71 is IEEE 802.11 wireless
  int operStatus = 0;          // 1 is up
  std::vector<AdapterGateway> gateways;
  std::vector<std::array<uint8_t, 4>> ipv4 = {};  // its unicast IPv4 addresses
};

// The first IPv4 gateway of the first wireless adapter that is up, converted to text by
// toText (empty text means "could not convert": the walk goes on).
std::wstring ChooseWifiGateway(const std::vector<AdapterInfo>& adapters,
                               const std::function<std::wstring(const std::array<uint8_t, 4>&)>& toText);

// The first IPv4 address of the first wireless adapter that is up and has a gateway (the
// one ChooseWifiGateway would ask), as text; empty when there is none.
std::wstring ChooseWifiSource(const std::vector<AdapterInfo>& adapters,
                              const std::function<std::wstring(const std::array<uint8_t, 4>&)>& toText);

// The adapter list's buffer: start with 15000 zero-filled bytes; when the call answers
// ERROR_BUFFER_OVERFLOW (111) it has written the needed size back, and the buffer is
// replaced by a zero-filled one of that size. At most 3 calls in all.
inline constexpr uint32_t kAdapterBufferInitialSize = 15000;
inline constexpr int kAdapterBufferMaxCalls = 3;
inline constexpr uint32_t kErrorBufferOverflow = 111;

// call(data, size) is one GetAdaptersAddresses call: it returns the OS result and may
// change size. True with the filled buffer on 0 (NO_ERROR); false on any other result,
// a third overflow or a buffer that cannot be allocated.
bool FetchAdapterBuffer(const std::function<uint32_t(uint8_t* data, uint32_t& size)>& call,
                        std::vector<uint8_t>& buffer);

}  // namespace moorlink
