#include "common/Files.h"

#include <windows.h>

#include <algorithm>

#include "common/UniqueHandle_win.h"

namespace moorlink {

std::optional<bool> PathExists(const std::wstring& path) noexcept {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  return std::nullopt;
}

bool CreateFolders(const std::wstring& path) noexcept {
  try {
    auto isFolder = [&path] {
      const DWORD attributes = GetFileAttributesW(path.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    if (path.empty() || isFolder()) return !path.empty();
    const size_t cut = path.find_last_of(L"\\/");
    // The parent first; a drive root or a share ends the climb, as it exists or never will.
    if (cut != std::wstring::npos && cut > 0 && path[cut - 1] != L':' && path[cut - 1] != L'\\' &&
        path[cut - 1] != L'/') {
      CreateFolders(path.substr(0, cut));
    }
    return CreateDirectoryW(path.c_str(), nullptr) || isFolder();
  } catch (...) {
    return false;
  }
}

bool AppendToFile(const std::wstring& path, const std::string& prefix, const std::string& bytes) noexcept {
  try {
    const UniqueKernelHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    const std::string text = (GetFileSizeEx(file.get(), &size) && size.QuadPart == 0) ? prefix + bytes : bytes;
    DWORD written = 0;
    return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
  } catch (...) {
    return false;
  }
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes, size_t maxBytes) noexcept {
  try {
    const UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
      return false;
    }
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < text.size()) {
      DWORD read = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
      if (!ReadFile(file.get(), text.data() + done, chunk, &read, nullptr) || read == 0) return false;
      done += read;
    }
    bytes = std::move(text);
    return true;
  } catch (...) {
    return false;
  }
}

bool RewriteFile(const std::wstring& path, const std::string& bytes) noexcept {
  try {
    const std::wstring temp = path + L".tmp";
    bool written = false;
    {
      const UniqueKernelHandle file(
          CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) return false;
      DWORD done = 0;
      written = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                done == bytes.size() && FlushFileBuffers(file.get());
    }
    if (written && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    DeleteFileW(temp.c_str());
    return false;
  } catch (...) {
    return false;
  }
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) noexcept {
  std::vector<std::wstring> entries;
  try {
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) return entries;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") entries.push_back(folder + L"\\" + name);
    } while (FindNextFileW(search.get(), &found));
  } catch (...) {
  }
  return entries;
}

}  // namespace moorlink
