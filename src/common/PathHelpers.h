#pragma once
// Path pieces shared by the settings file and the log folder. Nothing here throws; a
// path that cannot be formed is empty.
#include <string>

namespace moorlink {

// The executable's folder without a trailing separator, or empty.
std::wstring ExeFolderPath();

// Everything before the last separator (either kind), or empty when there is none.
std::wstring FolderOfPath(const std::wstring& path);

// Makes a logon name safe as a file-name component.
void SanitizeFileName(std::wstring& name);

}  // namespace moorlink
