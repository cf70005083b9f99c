#pragma once
// One key at a time in a private-profile (INI) file.
// Implemented in ProfileFile_win.cpp (the Windows profile API) and ProfileFile_posix.cpp
// (UTF-8 INI with the same rules). A missing file, section or key reads as the default;
// nothing throws; a failed write returns false.
#include <cstddef>
#include <string>

namespace moorlink {

// At most bufferChars - 1 characters of the value are returned.
std::wstring ProfileReadString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                               const std::wstring& defaultValue, std::size_t bufferChars);

// A missing or empty value gives the default; otherwise the profile integer reading.
int ProfileReadInt(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                   int defaultValue);

bool ProfileWriteString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value);

}  // namespace moorlink
