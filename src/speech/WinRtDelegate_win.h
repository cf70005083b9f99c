#pragma once
// Our own implementation of a Windows Runtime delegate (an async completion handler or an
// event handler): a reference-counted COM object that calls a std::function. It is agile,
// so the runtime calls it on whatever thread it likes without marshaling.
#include <windows.h>
#include <objidl.h>

#include <atomic>
#include <functional>
#include <utility>
#include <wrl/client.h>

namespace moorlink {

// Interface is the delegate interface, whose Invoke takes (First, Second). The callback is
// held by value: whatever it shares must be shared by ownership, because the runtime may
// call Invoke after everything else that made it has gone.
template <typename Interface, typename First, typename Second>
class WinRtDelegate final : public Interface {
 public:
  using Callback = std::function<void(First, Second)>;

  static Microsoft::WRL::ComPtr<Interface> Create(Callback callback) {
    Microsoft::WRL::ComPtr<Interface> delegate;
    // Takes over the new object's one reference. Not Attach: MinGW's adds a reference.
    *delegate.GetAddressOf() = new WinRtDelegate(std::move(callback));
    return delegate;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, __uuidof(Interface)) || IsEqualIID(riid, __uuidof(IUnknown)) ||
        IsEqualIID(riid, __uuidof(IAgileObject))) {
      // IAgileObject is a marker with no methods of its own: any of our pointers serves.
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Invoke(First first, Second second) override {
    try {
      callback_(first, second);
    } catch (...) {
      // Nothing may unwind into the runtime's thread.
    }
    return S_OK;
  }

 private:
  explicit WinRtDelegate(Callback callback) : callback_(std::move(callback)) {}
  ~WinRtDelegate() = default;

  std::atomic<ULONG> references_{1};
  Callback callback_;
};

}  // namespace moorlink
