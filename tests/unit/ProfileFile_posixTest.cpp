#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/Text.h"
#include "settings/ProfileFile.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

const std::string kSettings = "[AutoReconnect]\r\nTargetSSID=Home\r\nPingInterval=30\r\n";

// Hands out the first few bytes, then fails the way a dying disk does.
std::ptrdiff_t FailAfterFirstChunk(int fd, void* buffer, std::size_t size) {
  if (lseek(fd, 0, SEEK_CUR) == 0) return read(fd, buffer, size < 8 ? size : 8);
  errno = EIO;
  return -1;
}

std::string Snapshot(const std::wstring& path) {
  const std::filesystem::path p = ToFsPath(path);
  if (std::filesystem::is_symlink(p)) return "link to " + std::filesystem::read_symlink(p).string();
  if (std::filesystem::is_directory(p)) return "folder holding " + ReadFileBytes(path + L"/inside");
  if (std::filesystem::is_fifo(p)) return "fifo";
  return "file holding " + ReadFileBytes(path);
}

TEST(ProfileFilePosixTest, AFileThatCannotBeReadIsNeitherReplacedNorReportedWritten) {
  struct Case {
    const char* name;
    std::function<void(const std::wstring&)> make;
    ProfileReadFunction read;
  };
  const Case cases[] = {
      {"read error part-way", [](const std::wstring& p) { WriteFileBytes(p, kSettings); }, &FailAfterFirstChunk},
      {"a folder at the path",
       [](const std::wstring& p) {
         std::filesystem::create_directory(ToFsPath(p));
         WriteFileBytes(p + L"/inside", kSettings);
       },
       nullptr},
      {"a link that loops", [](const std::wstring& p) { std::filesystem::create_symlink(ToFsPath(p), ToFsPath(p)); },
       nullptr},
      {"a fifo (must not block)", [](const std::wstring& p) { ASSERT_EQ(mkfifo(ToFsPath(p).c_str(), 0600), 0); },
       nullptr},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::wstring path = dir.Child(L"tester_Moorlink.ini");
    c.make(path);
    const std::string before = Snapshot(path);
    SetProfileReadForTesting(c.read);
    const bool written = ProfileWriteString(path, L"Notify", L"VoiceVolume", L"80");
    SetProfileReadForTesting(nullptr);
    EXPECT_FALSE(written) << c.name;
    EXPECT_EQ(Snapshot(path), before) << c.name;
    EXPECT_FALSE(PathExists(path + L".tmp")) << c.name;
  }
}

TEST(ProfileFilePosixTest, OnlyAMissingFileIsStartedAfresh) {
  TempDir dir;
  const std::wstring path = dir.Child(L"tester_Moorlink.ini");
  ASSERT_TRUE(ProfileWriteString(path, L"Notify", L"VoiceVolume", L"80"));
  EXPECT_EQ(ReadFileBytes(path), "[Notify]\r\nVoiceVolume=80\r\n");
  // A read that needs several chunks still sees the whole file.
  const std::string big = "[Big]\r\nText=" + std::string(10000, 'x') + "\r\n";
  WriteFileBytes(path, big);
  ASSERT_TRUE(ProfileWriteString(path, L"Notify", L"VoiceVolume", L"80"));
  EXPECT_EQ(ReadFileBytes(path), big + "\r\n[Notify]\r\nVoiceVolume=80\r\n");
}

}  // namespace
}  // namespace moorlink::test
