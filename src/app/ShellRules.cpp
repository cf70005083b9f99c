#include "app/ShellRules.h"

#include "resources/resource.h"

namespace moorlink {

bool IgnoredWhileModalOpen(int commandId) { return commandId == IDM_ABOUT || commandId == IDM_SETTINGS; }

std::wstring ReadmePath(const std::wstring& exeFolder) {
  if (exeFolder.empty()) return {};
  std::wstring path = exeFolder;
  if (path.back() != L'\\') path += L'\\';
  return path + L"Readme.txt";
}

}  // namespace moorlink
