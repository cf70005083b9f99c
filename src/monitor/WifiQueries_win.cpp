#include "monitor/WifiQueries_win.h"

#include <windows.h>
#include <wlanapi.h>

#include <cstring>
#include <cwchar>

#include "common/UniqueHandle_win.h"

namespace moorlink {
namespace {

constexpr DWORD kWlanClientVersion = 2;
constexpr size_t kGatewayTextLength = 22;

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

std::wstring GetConnectedSsid() {
  try {
    const UniqueWlanHandle client = OpenWlanClient();
    if (!client) return {};
    GUID guid{};
    if (!FirstWlanInterface(client, guid)) return {};
    DWORD size = 0;
    void* raw = nullptr;
    WLAN_OPCODE_VALUE_TYPE valueType = wlan_opcode_value_type_invalid;
    if (WlanQueryInterface(client.get(), &guid, wlan_intf_opcode_current_connection, nullptr, &size, &raw,
                           &valueType) != ERROR_SUCCESS) {
      return {};
    }
    const UniqueWlanMemory<WLAN_CONNECTION_ATTRIBUTES> attributes(static_cast<WLAN_CONNECTION_ATTRIBUTES*>(raw));
    if (!attributes || size < sizeof(WLAN_CONNECTION_ATTRIBUTES)) return {};
    if (attributes.get()->isState != wlan_interface_state_connected) return {};
    const DOT11_SSID& ssid = attributes.get()->wlanAssociationAttributes.dot11Ssid;
    return DecodeSsid(ssid.ucSSID, ssid.uSSIDLength);
  } catch (...) {
    return {};
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

std::wstring GetWifiGateway() {
  try {
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
    const auto* first = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
    return ChooseWifiGateway(AdaptersFromChain(first), Ipv4ToText);
  } catch (...) {
    return {};
  }
}

}  // namespace moorlink
