#include "monitor/NetworkWatch.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <wlanapi.h>

#include <cstring>

#include "monitor/WifiQueries_win.h"

namespace moorlink {
namespace {

// NL_NETWORK_CONNECTIVITY_HINT as netioapi.h lays it out (Windows 10 2004 and later); the
// callback only wakes the run, but it must take the record as the system hands it.
struct ConnectivityHint {
  int level;
  int cost;
  BOOLEAN approachingDataLimit;
  BOOLEAN overDataLimit;
  BOOLEAN roaming;
};
using HintCallback = VOID(WINAPI*)(PVOID context, ConnectivityHint hint);
using NotifyHintChange = DWORD(WINAPI*)(HintCallback callback, PVOID context, BOOLEAN initial, PHANDLE handle);
using CancelNotify = DWORD(WINAPI*)(HANDLE handle);

template <typename Function>
Function Export(HMODULE library, const char* name) {
  const FARPROC proc = GetProcAddress(library, name);
  Function function = nullptr;
  static_assert(sizeof function == sizeof proc);
  std::memcpy(&function, &proc, sizeof proc);
  return function;
}

struct WatchState {
  GUID interfaceGuid{};
  void (*onChange)() = nullptr;
};

void WINAPI OnWlanNotification(PWLAN_NOTIFICATION_DATA data, PVOID context) {
  if (data == nullptr || context == nullptr || data->NotificationSource != WLAN_NOTIFICATION_SOURCE_ACM) return;
  const DWORD code = data->NotificationCode;
  if (code != wlan_notification_acm_disconnected && code != wlan_notification_acm_connection_complete) return;
  const auto& state = *static_cast<const WatchState*>(context);
  if (IsEqualGUID(data->InterfaceGuid, state.interfaceGuid)) state.onChange();
}

void WINAPI OnHintChange(PVOID context, ConnectivityHint) {
  if (context != nullptr) static_cast<const WatchState*>(context)->onChange();
}

class SystemNetworkWatch final : public NetworkWatch {
 public:
  explicit SystemNetworkWatch(std::unique_ptr<WatchState> state) : state_(std::move(state)) {}
  SystemNetworkWatch(const SystemNetworkWatch&) = delete;
  SystemNetworkWatch& operator=(const SystemNetworkWatch&) = delete;

  // Both cancels wait for a callback in flight, so the state can go after them; should the
  // WLAN close fail, the state is left to the process rather than freed under a callback.
  ~SystemNetworkWatch() override {
    if (hint_ != nullptr) cancelHint_(hint_);
    if (client_) {
      WlanRegisterNotification(client_.get(), WLAN_NOTIFICATION_SOURCE_NONE, TRUE, nullptr, nullptr, nullptr, nullptr);
      if (WlanCloseHandle(client_.release(), nullptr) != ERROR_SUCCESS) static_cast<void>(state_.release());
    }
  }

  void WatchWlan() {
    UniqueWlanHandle client = OpenWlanClient();
    if (!client || !FirstWlanInterface(client, state_->interfaceGuid)) return;
    if (WlanRegisterNotification(client.get(), WLAN_NOTIFICATION_SOURCE_ACM, TRUE, OnWlanNotification, state_.get(),
                                 nullptr, nullptr) == ERROR_SUCCESS) {
      client_ = std::move(client);
    }
  }

  // Looked up by name: older Windows (and Wine) have no connectivity hint.
  void WatchConnectivityHint() {
    HMODULE library = GetModuleHandleW(L"iphlpapi.dll");
    if (library == nullptr) return;
    const auto notify = Export<NotifyHintChange>(library, "NotifyNetworkConnectivityHintChange");
    const auto cancel = Export<CancelNotify>(library, "CancelMibChangeNotify2");
    if (notify == nullptr || cancel == nullptr) return;
    HANDLE handle = nullptr;
    if (notify(OnHintChange, state_.get(), FALSE, &handle) != NO_ERROR) return;
    hint_ = handle;
    cancelHint_ = cancel;
  }

  bool Watching() const { return client_ || hint_ != nullptr; }

 private:
  std::unique_ptr<WatchState> state_;
  UniqueWlanHandle client_;
  HANDLE hint_ = nullptr;
  CancelNotify cancelHint_ = nullptr;
};

}  // namespace

std::unique_ptr<NetworkWatch> StartNetworkWatch(void (*onChange)()) {
  try {
    if (onChange == nullptr) return nullptr;
    auto state = std::make_unique<WatchState>();
    state->onChange = onChange;
    auto watch = std::make_unique<SystemNetworkWatch>(std::move(state));
    watch->WatchWlan();
    watch->WatchConnectivityHint();
    if (!watch->Watching()) return nullptr;
    return watch;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace moorlink
