#include "settings/StartupShortcut_win.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <wrl/client.h>

#include "common/PathHelpers.h"
#include "common/Product.h"
#include "common/UniqueHandle_win.h"

namespace moorlink {
namespace {

using Microsoft::WRL::ComPtr;

// The executable path buffer; a result this long means the path was cut.
constexpr DWORD kModulePathChars = MAX_PATH;

// A string the shell allocated for us.
struct CoTaskStringTraits {
  using Handle = PWSTR;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { CoTaskMemFree(h); }
};

}  // namespace

std::wstring StartupShortcutPath() {
  // Freed even on failure, as the shell asks.
  UniqueHandle<CoTaskStringTraits> folder;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_Startup, 0, nullptr, folder.put())) || !folder) return {};
  const std::wstring path(folder.get());
  if (path.empty()) return {};
  return path + L"\\" + kProductTitle + L".lnk";
}

bool StartupShortcutExists() {
  const std::wstring path = StartupShortcutPath();
  return !path.empty() && PathFileExistsW(path.c_str()) != FALSE;
}

bool CreateStartupShortcut(const std::wstring& arguments) {
  wchar_t exePath[kModulePathChars] = {};
  const DWORD length = GetModuleFileNameW(nullptr, exePath, kModulePathChars);
  if (length == 0 || length == kModulePathChars) return false;
  return CreateStartupShortcutAt(arguments, std::wstring(exePath, length), StartupShortcutPath());
}

bool CreateStartupShortcutAt(const std::wstring& arguments, const std::wstring& exePath,
                             const std::wstring& shortcutPath) {
  if (exePath.empty() || exePath.size() >= kModulePathChars) return false;
  // ExeFolderPath() is the folder of this same module path.
  const std::wstring workingFolder = FolderOfPath(exePath);
  if (workingFolder.empty() || shortcutPath.empty()) return false;

  // Declared before the interfaces, so they are released before COM is uninitialised.
  // Apartment-threaded; the user interface thread is already in the multithreaded
  // apartment, which is fine to work in.
  const ScopedComInit com(COINIT_APARTMENTTHREADED);
  if (!com.usable()) return false;
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.GetAddressOf())))) {
    return false;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link.As(&file))) return false;

  link->SetPath(exePath.c_str());
  if (!arguments.empty()) link->SetArguments(arguments.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  link->SetShowCmd(SW_SHOW);
  link->SetIconLocation(exePath.c_str(), 0);
  link->SetDescription(kProductTitle);
  return SUCCEEDED(file->Save(shortcutPath.c_str(), TRUE));
}

void RemoveStartupShortcut() {
  const std::wstring path = StartupShortcutPath();
  if (!path.empty()) DeleteFileW(path.c_str());
}

}  // namespace moorlink
