#include "common/PathHelpers.h"

#include <string_view>

#include "common/Platform.h"

namespace moorlink {

std::wstring ExeFolderPath() { return FolderOfPath(ModuleFilePath()); }

std::wstring FolderOfPath(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  return path.substr(0, slash);
}

void SanitizeFileName(std::wstring& name) {
  for (wchar_t& c : name) {
    if (c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) {
      c = L'_';
    }
  }
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  if (name.empty()) name = L"file";
}

}  // namespace moorlink
