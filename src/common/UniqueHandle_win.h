#pragma once
// One owner for every kind of OS handle: UniqueHandle<Traits> closes what it holds when
// it goes, is move-only, and knows from its traits which values own nothing.
//
// A traits struct gives
//   using Handle = ...;                        the handle type
//   static bool Owns(Handle h) noexcept;       false for the value(s) that mean "no handle"
//   static void Close(Handle h) noexcept;      releases an owned handle
// A default-made UniqueHandle holds Handle{}, which is nullptr for every kind here.
#include <windows.h>
#include <ipexport.h>
#include <icmpapi.h>
#include <objbase.h>
#include <winstring.h>
#include <wlanapi.h>

#include <utility>

namespace moorlink {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return Traits::Owns(handle_); }

  // Gives the handle up without closing it.
  Handle release() noexcept { return std::exchange(handle_, Handle{}); }

  void reset(Handle handle = Handle{}) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (Traits::Owns(old)) Traits::Close(old);
  }

  // For an API that returns the handle through an out-parameter: whatever was held is
  // closed first, so a value written into the slot is owned from then on.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_{};
};

// Kernel objects (files, pipes, processes, threads). Some APIs report failure with
// nullptr and some with INVALID_HANDLE_VALUE; neither is ever closed. Callers still test
// the value their API documents.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static bool Owns(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { CloseHandle(h); }
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

// IcmpCreateFile fails with INVALID_HANDLE_VALUE.
struct IcmpHandleTraits {
  using Handle = HANDLE;
  static bool Owns(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { IcmpCloseHandle(h); }
};
using UniqueIcmpHandle = UniqueHandle<IcmpHandleTraits>;

// FindFirstFileW fails with INVALID_HANDLE_VALUE; its handle ends with FindClose.
struct FindHandleTraits {
  using Handle = HANDLE;
  static bool Owns(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { FindClose(h); }
};
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;

struct MenuTraits {
  using Handle = HMENU;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { DestroyMenu(h); }
};
using UniqueMenu = UniqueHandle<MenuTraits>;

struct ModuleTraits {
  using Handle = HMODULE;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { FreeLibrary(h); }
};
using UniqueModule = UniqueHandle<ModuleTraits>;

// Fonts, bitmaps, brushes and the other objects DeleteObject releases.
template <typename Object>
struct GdiObjectTraits {
  using Handle = Object;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { DeleteObject(h); }
};
template <typename Object>
using UniqueGdiObject = UniqueHandle<GdiObjectTraits<Object>>;
using UniqueFont = UniqueGdiObject<HFONT>;

// A memory device context (CreateCompatibleDC).
struct MemoryDcTraits {
  using Handle = HDC;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { DeleteDC(h); }
};
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;

// An icon the caller made or loaded unshared (LoadIconMetric, LoadImage without LR_SHARED);
// a shared one from LoadIcon must never be destroyed.
struct IconTraits {
  using Handle = HICON;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { DestroyIcon(h); }
};
using UniqueIcon = UniqueHandle<IconTraits>;

// nullptr is the empty string, which needs no deleting.
struct HStringTraits {
  using Handle = HSTRING;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { WindowsDeleteString(h); }
};
using UniqueHString = UniqueHandle<HStringTraits>;

// A WLAN client handle from WlanOpenHandle.
struct WlanHandleTraits {
  using Handle = HANDLE;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { WlanCloseHandle(h, nullptr); }
};
using UniqueWlanHandle = UniqueHandle<WlanHandleTraits>;

// A block a WLAN call allocated, typed as the record it holds.
template <typename Record>
struct WlanMemoryTraits {
  using Handle = Record*;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { WlanFreeMemory(h); }
};
template <typename Record>
using UniqueWlanMemory = UniqueHandle<WlanMemoryTraits<Record>>;

// COM on the calling thread for as long as the guard lives. A thread already in the other
// apartment answers RPC_E_CHANGED_MODE: fine to work in, but not ours to uninitialise.
class ScopedComInit {
 public:
  explicit ScopedComInit(DWORD apartment) noexcept : result_(CoInitializeEx(nullptr, apartment)) {}
  ~ScopedComInit() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;

  HRESULT result() const noexcept { return result_; }
  bool usable() const noexcept { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// An object selected into a device context; the one it replaced is selected back when the
// guard goes, before the object itself may be deleted.
class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelection() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace moorlink
