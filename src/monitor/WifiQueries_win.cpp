#include "monitor/WifiQueries_win.h"

#include <windows.h>
#include <netlistmgr.h>
#include <wlanapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>

#include "common/UniqueHandle_win.h"

namespace moorlink {

// The portable classifications read these numbers; they are the SDK's.
static_assert(wlan_numbers::kAfInet == AF_INET);
static_assert(wlan_numbers::kIfTypeIeee80211 == IF_TYPE_IEEE80211);
static_assert(wlan_numbers::kIfOperStatusUp == IfOperStatusUp);
static_assert(wlan_numbers::kNoError == ERROR_SUCCESS);
static_assert(wlan_numbers::kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(wlan_numbers::kErrorInvalidState == ERROR_INVALID_STATE);
static_assert(wlan_numbers::kErrorServiceNotActive == ERROR_SERVICE_NOT_ACTIVE);
static_assert(wlan_numbers::kErrorServiceDisabled == ERROR_SERVICE_DISABLED);
static_assert(wlan_numbers::kRadioOn == dot11_radio_state_on);
static_assert(wlan_numbers::kRadioOff == dot11_radio_state_off);
static_assert(wlan_numbers::kIpv4Subnet == NLM_CONNECTIVITY_IPV4_SUBNET);
static_assert(wlan_numbers::kIpv4LocalNetwork == NLM_CONNECTIVITY_IPV4_LOCALNETWORK);
static_assert(wlan_numbers::kIpv4Internet == NLM_CONNECTIVITY_IPV4_INTERNET);
static_assert(wlan_numbers::kIpv6Internet == NLM_CONNECTIVITY_IPV6_INTERNET);
static_assert(wlan_numbers::kInternetWebHijack == NLM_INTERNET_CONNECTIVITY_WEBHIJACK);

namespace {

constexpr DWORD kWlanClientVersion = 2;
constexpr size_t kGatewayTextLength = 22;
constexpr int kMaxNetworks = 64;
// Declared here rather than taken from an import library.
constexpr CLSID kClsidNetworkListManager = {
    0xDCB00C01, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
constexpr IID kIidNetworkListManager = {0xDCB00000, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
constexpr IID kIidPropertyBag = {0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
// The property that carries NLM_INTERNET_CONNECTIVITY flags; netlistmgr.h does not name it.
constexpr wchar_t kInternetConnectivityV4[] = L"NA_InternetConnectivityV4";

}  // namespace

// A WLAN client handle, or an empty one when the service cannot be opened. As with every
// WLAN call here, what the API hands back is owned only once the call has succeeded.
UniqueWlanHandle OpenWlanClient() {
  DWORD negotiated = 0;
  HANDLE handle = nullptr;
  if (WlanOpenHandle(kWlanClientVersion, nullptr, &negotiated, &handle) != ERROR_SUCCESS) return {};
  return UniqueWlanHandle(handle);
}

// The first interface the service lists; the others are never consulted.
bool FirstWlanInterface(const UniqueWlanHandle& client, GUID& guid) {
  PWLAN_INTERFACE_INFO_LIST raw = nullptr;
  if (WlanEnumInterfaces(client.get(), nullptr, &raw) != ERROR_SUCCESS) return false;
  const UniqueWlanMemory<WLAN_INTERFACE_INFO_LIST> list(raw);
  if (!list || list.get()->dwNumberOfItems == 0) return false;
  guid = list.get()->InterfaceInfo[0].InterfaceGuid;
  return true;
}

namespace {

// Profile names in preference order.
bool ReadProfileNames(const UniqueWlanHandle& client, const GUID& guid, std::vector<std::wstring>& names) {
  PWLAN_PROFILE_INFO_LIST raw = nullptr;
  if (WlanGetProfileList(client.get(), &guid, nullptr, &raw) != ERROR_SUCCESS) return false;
  const UniqueWlanMemory<WLAN_PROFILE_INFO_LIST> list(raw);
  if (!list) return false;
  for (DWORD i = 0; i < list.get()->dwNumberOfItems; ++i) {
    const WCHAR* name = list.get()->ProfileInfo[i].strProfileName;
    // Bounded: a name without its terminator must not run into the next item.
    names.emplace_back(name, wcsnlen(name, WLAN_MAX_NAME_LENGTH));
  }
  return true;
}

}  // namespace

bool HasWlanProfile(const std::wstring& name) {
  if (name.empty()) return false;
  try {
    const UniqueWlanHandle client = OpenWlanClient();
    if (!client) return false;
    GUID guid{};
    if (!FirstWlanInterface(client, guid)) return false;
    std::vector<std::wstring> names;
    if (!ReadProfileNames(client, guid, names)) return false;
    return HasExactProfileName(names, name);
  } catch (...) {
    return false;
  }
}

SsidQuery GetConnectedSsid() {
  SsidQuery answer;
  try {
    const UniqueWlanHandle client = OpenWlanClient();
    if (!client) return answer;
    GUID guid{};
    if (!FirstWlanInterface(client, guid)) return answer;
    DWORD size = 0;
    void* raw = nullptr;
    WLAN_OPCODE_VALUE_TYPE valueType = wlan_opcode_value_type_invalid;
    const DWORD result =
        WlanQueryInterface(client.get(), &guid, wlan_intf_opcode_current_connection, nullptr, &size, &raw, &valueType);
    const UniqueWlanMemory<WLAN_CONNECTION_ATTRIBUTES> attributes(
        result == ERROR_SUCCESS ? static_cast<WLAN_CONNECTION_ATTRIBUTES*>(raw) : nullptr);
    if (result == ERROR_SUCCESS && (!attributes || size < sizeof(WLAN_CONNECTION_ATTRIBUTES))) return answer;
    const bool connected = result == ERROR_SUCCESS && attributes.get()->isState == wlan_interface_state_connected;
    answer.result = ClassifyConnectionQuery(result, connected);
    if (answer.result == SsidQueryResult::Connected) {
      const DOT11_SSID& ssid = attributes.get()->wlanAssociationAttributes.dot11Ssid;
      answer.ssid = DecodeSsid(ssid.ucSSID, ssid.uSSIDLength);
    }
    return answer;
  } catch (...) {
    return SsidQuery{};
  }
}

WifiReadiness QueryWifiReadiness() {
  try {
    DWORD negotiated = 0;
    HANDLE handle = nullptr;
    const DWORD opened = WlanOpenHandle(kWlanClientVersion, nullptr, &negotiated, &handle);
    if (opened != ERROR_SUCCESS) return ClassifyReadiness(opened, 0, {});
    const UniqueWlanHandle client(handle);
    PWLAN_INTERFACE_INFO_LIST rawList = nullptr;
    if (WlanEnumInterfaces(client.get(), nullptr, &rawList) != ERROR_SUCCESS) return ClassifyReadiness(0, -1, {});
    const UniqueWlanMemory<WLAN_INTERFACE_INFO_LIST> list(rawList);
    const int count = list ? static_cast<int>(list.get()->dwNumberOfItems) : -1;
    std::vector<RadioSwitches> phys;
    if (count > 0) {
      DWORD size = 0;
      void* raw = nullptr;
      if (WlanQueryInterface(client.get(), &list.get()->InterfaceInfo[0].InterfaceGuid, wlan_intf_opcode_radio_state,
                             nullptr, &size, &raw, nullptr) == ERROR_SUCCESS) {
        const UniqueWlanMemory<WLAN_RADIO_STATE> radio(static_cast<WLAN_RADIO_STATE*>(raw));
        if (radio && size >= sizeof(DWORD)) {
          // Only the PHYs the block really holds.
          const size_t room = (size - offsetof(WLAN_RADIO_STATE, PhyRadioState)) / sizeof(WLAN_PHY_RADIO_STATE);
          const size_t n = std::min<size_t>({radio.get()->dwNumberOfPhys, room, WLAN_MAX_PHY_INDEX});
          for (size_t i = 0; i < n; ++i) {
            const WLAN_PHY_RADIO_STATE& phy = radio.get()->PhyRadioState[i];
            phys.push_back({static_cast<uint32_t>(phy.dot11SoftwareRadioState),
                            static_cast<uint32_t>(phy.dot11HardwareRadioState)});
          }
        }
      }
    }
    return ClassifyReadiness(0, count, phys);
  } catch (...) {
    return WifiReadiness::Unknown;
  }
}

std::vector<std::wstring> GetConnectedNetworkNames() {
  std::vector<std::wstring> names;
  // The monitor thread may or may not have COM yet; whatever this call starts, it ends.
  const ScopedComInit com(COINIT_MULTITHREADED);
  try {
    INetworkListManager* manager = nullptr;
    if (SUCCEEDED(CoCreateInstance(kClsidNetworkListManager, nullptr, CLSCTX_ALL, kIidNetworkListManager,
                                   reinterpret_cast<void**>(&manager)))) {
      IEnumNetworks* networks = nullptr;
      if (SUCCEEDED(manager->GetNetworks(NLM_ENUM_NETWORK_CONNECTED, &networks)) && networks != nullptr) {
        INetwork* network = nullptr;
        ULONG fetched = 0;
        for (int i = 0; i < kMaxNetworks && networks->Next(1, &network, &fetched) == S_OK && network != nullptr; ++i) {
          BSTR name = nullptr;
          if (SUCCEEDED(network->GetName(&name)) && name != nullptr) names.emplace_back(name, SysStringLen(name));
          SysFreeString(name);
          network->Release();
          network = nullptr;
        }
        networks->Release();
      }
      manager->Release();
    }
  } catch (...) {
    names.clear();
  }
  return names;
}

namespace {

// The IPv4 internet flags of a connection; false when it has none to tell.
bool ReadInternetFlags(INetworkConnection* connection, uint32_t& flags) {
  IPropertyBag* bag = nullptr;
  if (FAILED(connection->QueryInterface(kIidPropertyBag, reinterpret_cast<void**>(&bag))) || bag == nullptr) {
    return false;
  }
  VARIANT value;
  VariantInit(&value);
  const bool read = SUCCEEDED(bag->Read(kInternetConnectivityV4, &value, nullptr)) &&
                    (value.vt == VT_UI4 || value.vt == VT_I4 || value.vt == VT_UINT || value.vt == VT_INT);
  if (read) flags = value.ulVal;
  VariantClear(&value);
  bag->Release();
  return read;
}

ConnectivityReport ReadConnectivity(const GUID& adapter) {
  ConnectivityReport report;
  INetworkListManager* manager = nullptr;
  if (FAILED(CoCreateInstance(kClsidNetworkListManager, nullptr, CLSCTX_ALL, kIidNetworkListManager,
                              reinterpret_cast<void**>(&manager))) ||
      manager == nullptr) {
    return report;
  }
  IEnumNetworkConnections* connections = nullptr;
  if (SUCCEEDED(manager->GetNetworkConnections(&connections)) && connections != nullptr) {
    INetworkConnection* connection = nullptr;
    ULONG fetched = 0;
    for (int i = 0; i < kMaxNetworks && !report.found && connections->Next(1, &connection, &fetched) == S_OK &&
                    connection != nullptr;
         ++i) {
      GUID id{};
      NLM_CONNECTIVITY connectivity = NLM_CONNECTIVITY_DISCONNECTED;
      if (SUCCEEDED(connection->GetAdapterId(&id)) && IsEqualGUID(id, adapter) &&
          SUCCEEDED(connection->GetConnectivity(&connectivity))) {
        report.found = true;
        report.connectivity = static_cast<uint32_t>(connectivity);
        report.hasInternetFlags = ReadInternetFlags(connection, report.internetFlags);
      }
      connection->Release();
      connection = nullptr;
    }
    connections->Release();
  }
  manager->Release();
  return report;
}

}  // namespace

WindowsView QueryWifiWindowsView() {
  try {
    GUID adapter{};
    {
      const UniqueWlanHandle client = OpenWlanClient();
      if (!client || !FirstWlanInterface(client, adapter)) return WindowsView::Unknown;
    }
    // The WLAN interface's GUID is its adapter's, as the Network List Manager names it.
    const ScopedComInit com(COINIT_MULTITHREADED);
    return ClassifyConnectivity(ReadConnectivity(adapter));
  } catch (...) {
    return WindowsView::Unknown;
  }
}

std::wstring GetPreferredProfileSsid() {
  try {
    const UniqueWlanHandle client = OpenWlanClient();
    if (!client) return {};
    GUID guid{};
    if (!FirstWlanInterface(client, guid)) return {};
    std::vector<std::wstring> names;
    if (!ReadProfileNames(client, guid, names) || names.empty()) return {};
    return names.front();
  } catch (...) {
    return {};
  }
}

std::vector<AdapterInfo> AdaptersFromChain(const IP_ADAPTER_ADDRESSES* first) {
  std::vector<AdapterInfo> adapters;
  for (const IP_ADAPTER_ADDRESSES* adapter = first; adapter != nullptr; adapter = adapter->Next) {
    AdapterInfo info;
    info.interfaceType = adapter->IfType;
    info.operStatus = static_cast<int>(adapter->OperStatus);
    for (const IP_ADAPTER_GATEWAY_ADDRESS* gateway = adapter->FirstGatewayAddress; gateway != nullptr;
         gateway = gateway->Next) {
      const SOCKADDR* address = gateway->Address.lpSockaddr;
      if (address == nullptr) continue;
      AdapterGateway entry;
      entry.family = address->sa_family;
      if (entry.family == AF_INET) {
        if (gateway->Address.iSockaddrLength < static_cast<INT>(sizeof(sockaddr_in))) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        std::memcpy(entry.ipv4.data(), &in->sin_addr, entry.ipv4.size());
      }
      info.gateways.push_back(entry);
    }
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
      const SOCKADDR* address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET ||
          unicast->Address.iSockaddrLength < static_cast<INT>(sizeof(sockaddr_in))) {
        continue;
      }
      std::array<uint8_t, 4> bytes{};
      std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, bytes.size());
      info.ipv4.push_back(bytes);
    }
    adapters.push_back(std::move(info));
  }
  return adapters;
}

std::wstring Ipv4ToText(const std::array<uint8_t, 4>& address) {
  IN_ADDR in{};
  std::memcpy(&in, address.data(), address.size());
  wchar_t text[kGatewayTextLength] = {};
  if (InetNtopW(AF_INET, &in, text, kGatewayTextLength) == nullptr) return {};
  return text;
}

namespace {

// The adapters as GetAdaptersAddresses lists them now; empty when the call fails.
std::vector<AdapterInfo> CurrentAdapters() {
  // The vector's storage comes from operator new, aligned enough for the adapter records.
  std::vector<uint8_t> buffer;
  const bool ok = FetchAdapterBuffer(
      [](uint8_t* data, uint32_t& size) -> uint32_t {
        ULONG length = size;
        const ULONG result = GetAdaptersAddresses(AF_INET, GAA_FLAG_INCLUDE_GATEWAYS, nullptr,
                                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(data), &length);
        size = length;
        return result;
      },
      buffer);
  if (!ok || buffer.empty()) return {};
  return AdaptersFromChain(reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()));
}

}  // namespace

std::wstring GetWifiGateway() {
  try {
    return ChooseWifiGateway(CurrentAdapters(), Ipv4ToText);
  } catch (...) {
    return {};
  }
}

std::wstring GetWifiSourceAddress() {
  try {
    return ChooseWifiSource(CurrentAdapters(), Ipv4ToText);
  } catch (...) {
    return {};
  }
}

}  // namespace moorlink
