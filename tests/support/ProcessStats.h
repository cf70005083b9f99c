#pragma once
// Figures of the test process itself, for the soak tests. Implemented for POSIX only, in
// ProcessStats_posix.cpp (from /proc and the allocator); -1 when a figure cannot be read.
#include <cstdint>

namespace moorlink::test {

// Threads of this process (entries of /proc/self/task).
int ThreadCount();
// Bytes the allocator has handed out and not yet taken back (the sanitizer's allocator
// when one is built in).
int64_t HeapInUseBytes();
// Resident set size (VmRSS).
int64_t ResidentBytes();

}  // namespace moorlink::test
