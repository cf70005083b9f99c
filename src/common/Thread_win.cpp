#include <windows.h>
#include <process.h>

#include <new>
#include <system_error>
#include <utility>

#include "common/ThreadNative.h"

namespace moorlink {

struct Thread::Native {
  HANDLE handle = nullptr;
  DWORD id = 0;
};

namespace {

unsigned __stdcall ThreadEntry(void* start) {
  // The thread owns its body from here on and frees it after the last use.
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(start));
  (*body)();
  return 0;
}

}  // namespace

void Thread::NativeRelease::operator()(Native* native) const noexcept {
  CloseHandle(native->handle);
  delete native;
}

Thread::NativePtr StartNativeThread(std::function<void()> body) {
  auto native = std::make_unique<Thread::Native>();
  std::unique_ptr<std::function<void()>> start(new (std::nothrow) std::function<void()>(std::move(body)));
  unsigned id = 0;
  const uintptr_t handle = start ? _beginthreadex(nullptr, 0, ThreadEntry, start.get(), 0, &id) : 0;
  if (handle == 0) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  start.release();  // the thread's now
  native->handle = reinterpret_cast<HANDLE>(handle);
  native->id = id;
  return Thread::NativePtr(native.release());
}

bool IsCurrentNativeThread(const Thread::Native& native) noexcept { return native.id == GetCurrentThreadId(); }

void JoinNativeThread(Thread::Native& native) {
  if (WaitForSingleObject(native.handle, INFINITE) != WAIT_OBJECT_0) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category());
  }
}

}  // namespace moorlink
