#include "monitor/ConnectionWatch.h"

#include <windows.h>
#include <wlanapi.h>

#include <condition_variable>
#include <cstddef>
#include <cwchar>
#include <mutex>
#include <string_view>

#include "monitor/WifiQueries_win.h"

namespace moorlink {
namespace {

// WLAN_REASON_CODE_SUCCESS (L2_REASON_CODE_SUCCESS), which MinGW's headers lack.
constexpr WLAN_REASON_CODE kReasonSuccess = 0;
constexpr DWORD kReasonTextLength = 512;
// A connection notification is read up to its reason code; the fields after it are not used.
constexpr size_t kConnectionDataNeeded =
    offsetof(WLAN_CONNECTION_NOTIFICATION_DATA, wlanReasonCode) + sizeof(WLAN_REASON_CODE);

// What the callback records. It runs on a thread of the WLAN API, so it only takes the lock,
// keeps the first outcome and wakes the waiter.
struct WatchState {
  GUID interfaceGuid{};
  std::wstring ssid;
  std::mutex lock;
  std::condition_variable reported;
  bool done = false;
  bool completed = false;
  WLAN_REASON_CODE reasonCode = 0;
};

void WINAPI OnAcmNotification(PWLAN_NOTIFICATION_DATA data, PVOID context) {
  try {
    if (data == nullptr || context == nullptr || data->NotificationSource != WLAN_NOTIFICATION_SOURCE_ACM) return;
    const DWORD code = data->NotificationCode;
    if (code != wlan_notification_acm_connection_complete && code != wlan_notification_acm_connection_attempt_fail) {
      return;
    }
    auto& state = *static_cast<WatchState*>(context);
    if (!IsEqualGUID(data->InterfaceGuid, state.interfaceGuid)) return;
    if (data->pData == nullptr || data->dwDataSize < kConnectionDataNeeded) return;
    const auto* connection = static_cast<const WLAN_CONNECTION_NOTIFICATION_DATA*>(data->pData);
    const WCHAR* name = connection->strProfileName;
    // Another profile's connection (the user's own, Windows' automatic one) is not ours.
    if (std::wstring_view(name, wcsnlen(name, WLAN_MAX_NAME_LENGTH)) != state.ssid) return;
    {
      std::lock_guard<std::mutex> lock(state.lock);
      if (state.done) return;  // a failed attempt is followed by its completion; the first tells
      state.done = true;
      state.completed =
          code == wlan_notification_acm_connection_complete && connection->wlanReasonCode == kReasonSuccess;
      state.reasonCode = connection->wlanReasonCode;
    }
    state.reported.notify_all();
  } catch (...) {
    // Nothing may leave a callback of the WLAN API.
  }
}

std::wstring ReasonText(WLAN_REASON_CODE code) {
  wchar_t text[kReasonTextLength] = {};
  if (WlanReasonCodeToString(code, kReasonTextLength, text, nullptr) == ERROR_SUCCESS) {
    const size_t length = wcsnlen(text, kReasonTextLength);
    if (length > 0) return std::wstring(text, length);
  }
  return std::to_wstring(code);
}

class AcmWatch final : public ConnectionWatch {
 public:
  AcmWatch(UniqueWlanHandle client, std::unique_ptr<WatchState> state)
      : client_(std::move(client)), state_(std::move(state)) {}
  AcmWatch(const AcmWatch&) = delete;
  AcmWatch& operator=(const AcmWatch&) = delete;

  // WlanCloseHandle waits for a callback in flight and discards the notifications still
  // pending, so once it has succeeded the state can go. Neither call is made with the
  // state's lock held: the callback takes it. Should the close fail, the state is left to
  // the process rather than freed under a callback that might still come.
  ~AcmWatch() override {
    WlanRegisterNotification(client_.get(), WLAN_NOTIFICATION_SOURCE_NONE, TRUE, nullptr, nullptr, nullptr, nullptr);
    if (WlanCloseHandle(client_.release(), nullptr) != ERROR_SUCCESS) static_cast<void>(state_.release());
  }

  bool Register() {
    return WlanRegisterNotification(client_.get(), WLAN_NOTIFICATION_SOURCE_ACM, TRUE, OnAcmNotification, state_.get(),
                                    nullptr, nullptr) == ERROR_SUCCESS;
  }

  ConnectionReport WaitForReport(std::chrono::milliseconds wait) override {
    try {
      bool completed = false;
      WLAN_REASON_CODE code = 0;
      {
        std::unique_lock<std::mutex> lock(state_->lock);
        if (!state_->reported.wait_for(lock, wait, [this] { return state_->done; })) return {};
        completed = state_->completed;
        code = state_->reasonCode;
      }
      if (completed) return {ConnectionReport::Kind::Completed, {}};
      return {ConnectionReport::Kind::Failed, ReasonText(code)};
    } catch (...) {
      return {};
    }
  }

 private:
  UniqueWlanHandle client_;
  std::unique_ptr<WatchState> state_;
};

}  // namespace

std::unique_ptr<ConnectionWatch> StartConnectionWatch(const std::wstring& ssid) {
  try {
    if (ssid.empty()) return nullptr;
    UniqueWlanHandle client = OpenWlanClient();
    if (!client) return nullptr;
    auto state = std::make_unique<WatchState>();
    if (!FirstWlanInterface(client, state->interfaceGuid)) return nullptr;
    state->ssid = ssid;
    // The watch owns handle and state before the callback can run, so that every way out
    // from here on unregisters and closes before the state goes.
    auto watch = std::make_unique<AcmWatch>(std::move(client), std::move(state));
    if (!watch->Register()) return nullptr;
    return watch;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace moorlink
