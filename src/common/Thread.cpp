#include "common/Thread.h"

#include <system_error>
#include <utility>

#include "common/ThreadNative.h"

namespace moorlink {
namespace {

std::function<void()> Guarded(std::function<void()> body) {
  return [body = std::move(body)]() noexcept {
    try {
      body();
    } catch (...) {
      // Nothing may escape a thread body.
    }
  };
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) noexcept {
  try {
    StartNativeThread(Guarded(std::move(body)));  // let go of at once, so detached
    return true;
  } catch (...) {
    return false;  // std::system_error, or std::bad_alloc for the thread's state
  }
}

Thread::Thread() noexcept = default;

Thread::Thread(std::function<void()> body) : native_(StartNativeThread(Guarded(std::move(body)))) {}

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

bool Thread::IsCurrent() const noexcept { return native_ && IsCurrentNativeThread(*native_); }

void Thread::Join() {
  if (!native_ || IsCurrent()) throw std::system_error(std::make_error_code(std::errc::invalid_argument));
  JoinNativeThread(*native_);
  native_.reset();
}

void Thread::Detach() noexcept { native_.reset(); }

}  // namespace moorlink
