#pragma once
// The few file-system operations the program needs, on wide paths. Platform halves:
// Files_win.cpp (the Win32 file API, which keeps the C++ stream and locale machinery out
// of the exe) and Files_posix.cpp (std::filesystem). Nothing here throws.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace moorlink {

// Whether something exists at path; nullopt when that cannot be told (access denied).
std::optional<bool> PathExists(const std::wstring& path) noexcept;

// Creates the folder and any missing folder above it; true when it is there afterwards.
bool CreateFolders(const std::wstring& path) noexcept;

// Appends bytes to the file at path, creating it when missing; a file that is empty once
// open gets prefix first, in the same write. False when nothing could be written.
bool AppendToFile(const std::wstring& path, const std::string& prefix, const std::string& bytes) noexcept;

// The whole file's bytes; false when it is missing, unreadable or larger than maxBytes.
bool ReadWholeFile(const std::wstring& path, std::string& bytes, size_t maxBytes = size_t{64} << 20) noexcept;

// Replaces the file's content by bytes: written to "<path>.tmp" beside it first, then
// renamed over it, so that a crash leaves the old file or the new one, never half of one.
// False (the old file untouched) when that fails.
bool RewriteFile(const std::wstring& path, const std::string& bytes) noexcept;

// The full paths of the entries of a folder (files and folders), in the order the system
// lists them; empty when it cannot be read.
std::vector<std::wstring> FolderEntries(const std::wstring& folder) noexcept;

}  // namespace moorlink
