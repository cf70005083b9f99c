#include "common/Text.h"

#include <windows.h>

#include <climits>

namespace moorlink {

std::wstring Cp932ToWide(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return {};
  try {
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(932, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring out(static_cast<size_t>(needed), L'\0');
    const int written = MultiByteToWideChar(932, 0, bytes.data(), length, out.data(), needed);
    if (written <= 0) return {};
    out.resize(static_cast<size_t>(written));
    return out;
  } catch (...) {
    return {};
  }
}

}  // namespace moorlink
