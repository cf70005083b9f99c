#include "monitor/WifiQueries.h"

#include <algorithm>
#include <new>
#include <string_view>

#include "common/Text.h"

namespace moorlink {

using namespace wlan_numbers;

SsidQueryResult ClassifyConnectionQuery(uint32_t error, bool connected) {
  switch (error) {
    case kNoError:
      return connected ? SsidQueryResult::Connected : SsidQueryResult::NotConnected;
    case kErrorAccessDenied:
      return SsidQueryResult::Denied;
    case kErrorInvalidState:  // what a disconnected interface answers
      return SsidQueryResult::NotConnected;
    default:
      return SsidQueryResult::Failed;
  }
}

WifiReadiness ClassifyReadiness(uint32_t openError, int interfaces, const std::vector<RadioSwitches>& phys) {
  if (openError == kErrorServiceNotActive || openError == kErrorServiceDisabled) return WifiReadiness::ServiceStopped;
  if (openError != kNoError || interfaces < 0) return WifiReadiness::Unknown;
  if (interfaces == 0) return WifiReadiness::NoInterface;
  if (phys.empty()) return WifiReadiness::Ready;
  bool hardwareOff = false;
  for (const RadioSwitches& phy : phys) {
    if (phy.software != kRadioOff && phy.hardware != kRadioOff) return WifiReadiness::Ready;
    hardwareOff = hardwareOff || phy.hardware == kRadioOff;
  }
  return hardwareOff ? WifiReadiness::RadioOffHardware : WifiReadiness::RadioOffSoftware;
}

std::wstring DecodeSsid(const uint8_t* bytes, uint32_t length) {
  if (bytes == nullptr || length == 0) return {};
  length = std::min(length, kMaxSsidLength);
  const std::string_view raw(reinterpret_cast<const char*>(bytes), length);
  std::wstring text = Utf8ToWide(raw);
  if (!text.empty()) return text;
  // Every SSID yields some text, even where the decoder gives up.
  text.reserve(length);
  for (const uint8_t b : raw) text += static_cast<wchar_t>(b);
  return text;
}

WindowsView ClassifyConnectivity(const ConnectivityReport& r) {
  if (!r.found) return WindowsView::Unknown;
  // A portal is reported on a connection that has its link, whatever else it says.
  if (r.hasInternetFlags && (r.internetFlags & kInternetWebHijack) != 0) return WindowsView::SignIn;
  // Pages load over either family; only an internet of neither is an internet outage.
  if ((r.connectivity & (kIpv4Internet | kIpv6Internet)) != 0) return WindowsView::Internet;
  if ((r.connectivity & (kIpv4LocalNetwork | kIpv4Subnet)) != 0) return WindowsView::LocalOnly;
  return WindowsView::NoNetwork;
}

bool HasExactProfileName(const std::vector<std::wstring>& names, const std::wstring& wanted) {
  if (wanted.empty()) return false;
  return std::find(names.begin(), names.end(), wanted) != names.end();
}

std::wstring ChooseWifiGateway(const std::vector<AdapterInfo>& adapters,
                               const std::function<std::wstring(const std::array<uint8_t, 4>&)>& toText) {
  for (const AdapterInfo& adapter : adapters) {
    if (adapter.interfaceType != kIfTypeIeee80211 || adapter.operStatus != kIfOperStatusUp) continue;
    for (const AdapterGateway& gateway : adapter.gateways) {
      if (gateway.family != kAfInet) continue;
      std::wstring text = toText(gateway.ipv4);
      if (!text.empty()) return text;
    }
  }
  return {};
}

std::wstring ChooseWifiSource(const std::vector<AdapterInfo>& adapters,
                              const std::function<std::wstring(const std::array<uint8_t, 4>&)>& toText) {
  for (const AdapterInfo& adapter : adapters) {
    if (adapter.interfaceType != kIfTypeIeee80211 || adapter.operStatus != kIfOperStatusUp) continue;
    if (adapter.ipv4.empty() || ChooseWifiGateway({adapter}, toText).empty()) continue;
    return toText(adapter.ipv4.front());
  }
  return {};
}

bool FetchAdapterBuffer(const std::function<uint32_t(uint8_t* data, uint32_t& size)>& call,
                        std::vector<uint8_t>& buffer) {
  uint32_t size = kAdapterBufferInitialSize;
  try {
    for (int calls = 0; calls < kAdapterBufferMaxCalls; ++calls) {
      // A fresh zero-filled buffer each time: the size written back may be smaller too.
      buffer.assign(size, 0);
      const uint32_t result = call(buffer.data(), size);
      if (result == kNoError) return true;
      if (result != kErrorBufferOverflow) break;
    }
  } catch (const std::bad_alloc&) {
    // A size written back that cannot be allocated is a failure like any other.
  }
  buffer.clear();
  return false;
}

}  // namespace moorlink
