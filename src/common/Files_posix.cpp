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

bool ReadWholeFile(const std::wstring& path, std::string& bytes, size_t maxBytes) noexcept {
  try {
    const std::filesystem::path file = ToFsPath(path);
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > maxBytes) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.gcount() != static_cast<std::streamsize>(text.size())) return false;
    bytes = std::move(text);
    return true;
  } catch (...) {
    return false;
  }
}

bool RewriteFile(const std::wstring& path, const std::string& bytes) noexcept {
  try {
    const std::filesystem::path file = ToFsPath(path);
    const std::filesystem::path temp = ToFsPath(path + L".tmp");
    std::error_code ec;
    {
      std::ofstream out(temp, std::ios::out | std::ios::trunc | std::ios::binary);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.flush();
      if (!out) {
        out.close();
        std::filesystem::remove(temp, ec);
        return false;
      }
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) std::filesystem::remove(temp, ec);
    return !ec;
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
