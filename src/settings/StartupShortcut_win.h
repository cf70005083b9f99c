#pragma once
// The shortcut in the user's Startup folder that starts the program at log-on; its
// existence is the only record of that setting. Nothing here throws: a failure is an
// empty path, false, or nothing done.
#include <string>

namespace moorlink {

// The Startup folder + "\Moorlink.lnk", computed afresh each time; empty when the folder
// cannot be obtained.
std::wstring StartupShortcutPath();

// True when the path is not empty and a file (or folder) exists there.
bool StartupShortcutExists();

// Saves a shortcut to the running executable at StartupShortcutPath(); arguments are set
// only when not empty. True when the shortcut file was saved.
bool CreateStartupShortcut(const std::wstring& arguments);

// The same with both paths given: the executable (fewer than 260 characters, or no
// shortcut) and the file to save. The working folder is the executable's folder. A name
// of its own, so that CreateStartupShortcut stays one function callers can pass around.
bool CreateStartupShortcutAt(const std::wstring& arguments, const std::wstring& exePath,
                             const std::wstring& shortcutPath);

// Deletes the file at StartupShortcutPath(), if there is a path; the result is not reported.
void RemoveStartupShortcut();

}  // namespace moorlink
