#include <thread>
#include <utility>

#include "common/ThreadNative.h"

namespace moorlink {

struct Thread::Native {
  std::thread thread;
};

void Thread::NativeRelease::operator()(Native* native) const noexcept {
  if (native->thread.joinable()) native->thread.detach();
  delete native;
}

Thread::NativePtr StartNativeThread(std::function<void()> body) {
  Thread::NativePtr native(new Thread::Native);
  native->thread = std::thread(std::move(body));
  return native;
}

bool IsCurrentNativeThread(const Thread::Native& native) noexcept {
  return native.thread.get_id() == std::this_thread::get_id();
}

void JoinNativeThread(Thread::Native& native) { native.thread.join(); }

}  // namespace moorlink
