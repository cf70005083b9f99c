#include "common/Thread.h"

#include <windows.h>

#include <process.h>

#include <new>
#include <system_error>
#include <utility>

namespace moorlink {

struct Thread::Native {
  HANDLE handle = nullptr;
  DWORD id = 0;
};

namespace {

unsigned __stdcall ThreadEntry(void* start) {
  // The thread owns its body from here on and frees it after the last use.
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(start));
  try {
    (*body)();
  } catch (...) {
    // Nothing may escape a thread body.
  }
  return 0;
}

// The thread's handle, or null with the body freed unrun.
HANDLE Begin(std::function<void()>&& body, DWORD* id) noexcept {
  auto* start = new (std::nothrow) std::function<void()>(std::move(body));
  if (!start) return nullptr;
  unsigned threadId = 0;
  const uintptr_t handle = _beginthreadex(nullptr, 0, ThreadEntry, start, 0, &threadId);
  if (handle == 0) {
    delete start;
    return nullptr;
  }
  if (id) *id = threadId;
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) noexcept {
  HANDLE handle = Begin(std::move(body), nullptr);
  if (!handle) return false;
  CloseHandle(handle);
  return true;
}

Thread::Thread() noexcept = default;

Thread::Thread(std::function<void()> body) : native_(std::make_unique<Native>()) {
  native_->handle = Begin(std::move(body), &native_->id);
  if (!native_->handle) {
    native_.reset();
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
}

Thread::Thread(Thread&& other) noexcept = default;

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    Detach();
    native_ = std::move(other.native_);
  }
  return *this;
}

Thread::~Thread() { Detach(); }

bool Thread::Joinable() const noexcept { return native_ != nullptr; }

bool Thread::IsCurrent() const noexcept { return native_ && native_->id == GetCurrentThreadId(); }

void Thread::Join() {
  if (!native_ || IsCurrent()) throw std::system_error(std::make_error_code(std::errc::invalid_argument));
  if (WaitForSingleObject(native_->handle, INFINITE) != WAIT_OBJECT_0) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category());
  }
  CloseHandle(native_->handle);
  native_.reset();
}

void Thread::Detach() noexcept {
  if (!native_) return;
  CloseHandle(native_->handle);
  native_.reset();
}

}  // namespace moorlink
