#pragma once
// The platform half of Thread.cpp: the start of a thread and what is asked of it once
// started. Implemented in Thread_win.cpp (_beginthreadex) and Thread_posix.cpp
// (std::thread); included only by those and Thread.cpp.
#include <functional>

#include "common/Thread.h"

namespace moorlink {

// Starts body, which never throws, on a new thread. Throws std::system_error (or
// std::bad_alloc) when no thread can be started; the body has then not run and never will.
Thread::NativePtr StartNativeThread(std::function<void()> body);
bool IsCurrentNativeThread(const Thread::Native& native) noexcept;
// Waits for the thread's end; throws std::system_error when it cannot.
void JoinNativeThread(Thread::Native& native);

}  // namespace moorlink
