#include "settings/ProfileFile.h"

#include <windows.h>

#include <vector>

namespace moorlink {
namespace {

// The profile API writes a file it creates in the ANSI code page, which loses Japanese
// text. A file that starts with a UTF-16LE byte-order mark is kept in UTF-16 instead, so
// give a new (or empty) file that mark before the first write.
void EnsureUnicodeProfile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size = {};
  if (GetFileSizeEx(file, &size) && size.QuadPart == 0) {
    static const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(file, bom, sizeof bom, &written, nullptr);
  }
  CloseHandle(file);
}

}  // namespace

std::wstring ProfileReadString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                               const std::wstring& defaultValue, std::size_t bufferChars) {
  if (path.empty()) return defaultValue;
  if (bufferChars == 0) return {};
  std::vector<wchar_t> buffer(bufferChars, L'\0');
  const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                           static_cast<DWORD>(bufferChars), path.c_str());
  return std::wstring(buffer.data(), n);
}

int ProfileReadInt(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                   int defaultValue) {
  if (path.empty()) return defaultValue;
  return static_cast<int>(GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, path.c_str()));
}

bool ProfileWriteString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value) {
  if (path.empty()) return false;
  EnsureUnicodeProfile(path);
  return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != FALSE;
}

}  // namespace moorlink
