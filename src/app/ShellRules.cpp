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

ScreenPoint CenteredOrigin(const ScreenRect& workArea, long width, long height) {
  return {workArea.left + (workArea.right - workArea.left - width) / 2,
          workArea.top + (workArea.bottom - workArea.top - height) / 2};
}

}  // namespace moorlink
