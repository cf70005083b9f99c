// ToFsPath alone: the exe never calls it, so its std::filesystem code stays out of the exe.
#include "common/Text.h"

namespace moorlink {

std::filesystem::path ToFsPath(const std::wstring& path) {
#ifdef _WIN32
  return std::filesystem::path(path);
#else
  return std::filesystem::path(WideToUtf8(path));
#endif
}

}  // namespace moorlink
