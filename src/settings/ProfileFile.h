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
int ProfileReadInt(const std::wstring& path, const std::wstring& section, const std::wstring& key, int defaultValue);

// A file that is there but cannot be read whole is left untouched and the write fails.
bool ProfileWriteString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value);

#ifndef _WIN32
// Test seam of the POSIX build: the read(2) behind loading the file; null restores it.
using ProfileReadFunction = std::ptrdiff_t (*)(int fd, void* buffer, std::size_t size);
void SetProfileReadForTesting(ProfileReadFunction read);
#endif

}  // namespace moorlink
