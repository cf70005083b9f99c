#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace moorlink::test {

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring Child(std::wstring_view name) const;

 private:
  std::wstring path_;
};

std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, std::string_view bytes);
bool PathExists(const std::wstring& path);

// Points SettingsPath at a file in a temporary folder for the life of the object.
class ScopedSettingsFile {
 public:
  // The file starts with these bytes, or does not exist when they are empty.
  explicit ScopedSettingsFile(std::string_view initialBytes = {});
  ~ScopedSettingsFile();
  const std::wstring& path() const { return path_; }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  std::wstring path_;
  std::wstring saved_;
};

}  // namespace moorlink::test
