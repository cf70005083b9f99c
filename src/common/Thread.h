#pragma once
// Threads of the process. Implemented in Thread.cpp over each platform's start of a
// thread (ThreadNative.h, in Thread_win.cpp and Thread_posix.cpp). On Windows every
// thread is started with the Win32 primitive: the C++ runtime's start under the
// statically linked winpthreads can lose a thread, or crash at its start, when threads
// are created while detached ones exit.
#include <functional>
#include <memory>

namespace moorlink {

// Runs body on a new detached thread. False when no thread could be started; the body
// has then not run and never will. Never throws.
bool StartDetachedThread(std::function<void()> body) noexcept;

// A thread that is joined or detached, like std::thread, except that destroying or
// assigning over a joinable one detaches it instead of ending the process.
class Thread {
 public:
  Thread() noexcept;
  // Starts body; throws std::system_error (or std::bad_alloc) when no thread can be started.
  explicit Thread(std::function<void()> body);
  Thread(Thread&& other) noexcept;
  Thread& operator=(Thread&& other) noexcept;
  ~Thread();

  bool Joinable() const noexcept;
  // Whether the calling thread is this one (it must then detach, never join).
  bool IsCurrent() const noexcept;
  // Waits for the thread's end; throws std::system_error when it cannot (the thread is
  // then still joinable).
  void Join();
  void Detach() noexcept;

  // The platform's thread; letting go of one that was not joined detaches it.
  struct Native;
  struct NativeRelease {
    void operator()(Native* native) const noexcept;
  };
  using NativePtr = std::unique_ptr<Native, NativeRelease>;

 private:
  NativePtr native_;
};

}  // namespace moorlink
