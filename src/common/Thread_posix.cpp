#include "common/Thread.h"

#include <system_error>
#include <thread>
#include <utility>

namespace moorlink {

struct Thread::Native {
  std::thread thread;
};

bool StartDetachedThread(std::function<void()> body) noexcept {
  try {
    std::thread([body = std::move(body)]() noexcept {
      try {
        body();
      } catch (...) {
        // Nothing may escape a thread body.
      }
    }).detach();
    return true;
  } catch (...) {
    return false;  // std::system_error, or std::bad_alloc for the thread's state
  }
}

Thread::Thread() noexcept = default;

Thread::Thread(std::function<void()> body) : native_(std::make_unique<Native>()) {
  native_->thread = std::thread([body = std::move(body)]() noexcept {
    try {
      body();
    } catch (...) {
    }
  });
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

bool Thread::IsCurrent() const noexcept { return native_ && native_->thread.get_id() == std::this_thread::get_id(); }

void Thread::Join() {
  if (!native_ || IsCurrent()) throw std::system_error(std::make_error_code(std::errc::invalid_argument));
  native_->thread.join();
  native_.reset();
}

void Thread::Detach() noexcept {
  if (!native_) return;
  if (native_->thread.joinable()) native_->thread.detach();
  native_.reset();
}

}  // namespace moorlink
