#include "common/Files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/Text.h"

namespace moorlink {

std::optional<bool> PathExists(const std::wstring& path) noexcept {
  try {
    std::error_code ec;
    const bool exists = std::filesystem::exists(ToFsPath(path), ec);
    if (ec) return std::nullopt;
    return exists;
  } catch (...) {
    return std::nullopt;
  }
}

bool CreateFolders(const std::wstring& path) noexcept {
  try {
    std::error_code ec;
    std::filesystem::create_directories(ToFsPath(path), ec);
    return !ec && std::filesystem::is_directory(ToFsPath(path), ec);
  } catch (...) {
    return false;
  }
}

bool AppendToFile(const std::wstring& path, const std::string& prefix, const std::string& bytes) noexcept {
  try {
    const std::filesystem::path file = ToFsPath(path);
    std::ofstream out(file, std::ios::out | std::ios::app | std::ios::binary);
    if (!out) return false;
    std::error_code ec;
    const std::string text = (std::filesystem::file_size(file, ec) == 0 && !ec) ? prefix + bytes : bytes;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    return static_cast<bool>(out);
  } catch (...) {
    return false;
  }
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) noexcept {
  std::vector<std::wstring> entries;
  try {
    std::error_code ec;
    std::filesystem::directory_iterator it(ToFsPath(folder), ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
      entries.push_back(Utf8ToWide(it->path().string()));
    }
  } catch (...) {
  }
  return entries;
}

}  // namespace moorlink
