#pragma once
// Decisions of the tray window that need no window: which commands wait for an open
// dialog and where the read-me file is.

#include <string>

namespace moorlink {

// Settings and About open a modal window; while one is open they do nothing.
bool IgnoredWhileModalOpen(int commandId);

// The read-me file in the executable's folder; empty when the folder is unknown. A folder
// that already ends in a backslash (a drive root) gets no second one.
std::wstring ReadmePath(const std::wstring& exeFolder);

}  // namespace moorlink
