#include "support/ProcessStats.h"

#include <dirent.h>
#include <malloc.h>

#include <cstddef>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MOORLINK_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MOORLINK_SANITIZER_ALLOCATOR 1
#endif
#endif
#ifdef MOORLINK_SANITIZER_ALLOCATOR
// From the sanitizer runtime (its header does not ship with every compiler package).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace moorlink::test {

int ThreadCount() {
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return -1;
  int n = 0;
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] != '.') ++n;
  }
  closedir(dir);
  return n;
}

int64_t HeapInUseBytes() {
#ifdef MOORLINK_SANITIZER_ALLOCATOR
  // The sanitizers replace malloc; glibc's own figures would stay at zero.
  return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  return static_cast<int64_t>(mallinfo2().uordblks);
#endif
}

int64_t ResidentBytes() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
  }
  return -1;
}

}  // namespace moorlink::test
