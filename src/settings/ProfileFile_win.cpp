#include "settings/ProfileFile.h"

#include <windows.h>

#include <vector>

#include "common/PathHelpers.h"
#include "common/UniqueHandle_win.h"

namespace moorlink {
namespace {

// The profile API writes a file it creates in the ANSI code page, which loses Japanese
// text. A file that starts with a UTF-16LE byte-order mark is kept in UTF-16 instead, so
// give a new (or empty) file that mark before the first write. False when the file cannot
// be given the mark; the file is then left as it was, so no ANSI file takes its place.
bool EnsureUnicodeProfile(const std::wstring& path) {
  const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  UniqueKernelHandle file(opened);
  LARGE_INTEGER size = {};
  if (GetFileSizeEx(file.get(), &size)) {
    if (size.QuadPart != 0) return true;
    static const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    if (WriteFile(file.get(), bom, sizeof bom, &written, nullptr) && written == sizeof bom) return true;
    if (written != 0) {
      // Half a mark would make the file neither ANSI nor UTF-16: back to empty.
      LARGE_INTEGER start = {};
      if (SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) SetEndOfFile(file.get());
    }
  }
  file.reset();
  if (created) DeleteFileW(path.c_str());
  return false;
}

// The profile API handles no path of MAX_PATH characters or more: it then reads every
// key as its default and writes nothing. A deep folder is reached through its short
// name instead, where the volume has short names; otherwise the path stays as it is.
std::wstring ProfileApiPath(const std::wstring& path) {
  if (path.size() < MAX_PATH) return path;
  const std::wstring folder = FolderOfPath(path);
  if (folder.empty()) return path;
  const DWORD needed = GetShortPathNameW(folder.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::vector<wchar_t> buffer(needed, L'\0');
  const DWORD n = GetShortPathNameW(folder.c_str(), buffer.data(), needed);
  if (n == 0 || n >= needed) return path;
  return std::wstring(buffer.data(), n) + path.substr(folder.size());
}

}  // namespace

std::wstring ProfileReadString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                               const std::wstring& defaultValue, std::size_t bufferChars) {
  if (path.empty()) return defaultValue;
  if (bufferChars == 0) return {};
  std::vector<wchar_t> buffer(bufferChars, L'\0');
  const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                           static_cast<DWORD>(bufferChars), ProfileApiPath(path).c_str());
  return std::wstring(buffer.data(), n);
}

int ProfileReadInt(const std::wstring& path, const std::wstring& section, const std::wstring& key, int defaultValue) {
  if (path.empty()) return defaultValue;
  return static_cast<int>(
      GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, ProfileApiPath(path).c_str()));
}

bool ProfileWriteString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value) {
  if (path.empty()) return false;
  const std::wstring usable = ProfileApiPath(path);
  if (!EnsureUnicodeProfile(usable)) return false;
  return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), usable.c_str()) != FALSE;
}

}  // namespace moorlink
