#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "common/Text.h"
#include "settings/Settings.h"

namespace moorlink::test {
namespace {

std::wstring FromFsPath(const std::filesystem::path& p) {
#ifdef _WIN32
  return p.wstring();
#else
  return Utf8ToWide(p.string());
#endif
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        base / ("moorlink-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = FromFsPath(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(ToFsPath(path_), ec);
}

std::wstring TempDir::Child(std::wstring_view name) const { return path_ + kPathSeparator + std::wstring(name); }

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(ToFsPath(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  std::ofstream out(ToFsPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool PathExists(const std::wstring& path) {
  std::error_code ec;
  return std::filesystem::exists(ToFsPath(path), ec);
}

ScopedSettingsFile::ScopedSettingsFile(std::string_view initialBytes)
    : path_(dir_.Child(L"tester_Moorlink.ini")), saved_(SettingsPath) {
  if (!initialBytes.empty()) WriteFileBytes(path_, initialBytes);
  SettingsPath = path_;
}

ScopedSettingsFile::~ScopedSettingsFile() { SettingsPath = saved_; }

}  // namespace moorlink::test
