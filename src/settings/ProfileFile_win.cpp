#include "settings/ProfileFile.h"

#include <windows.h>

#include <vector>

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
  if (!EnsureUnicodeProfile(path)) return false;
  return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != FALSE;
}

}  // namespace moorlink
