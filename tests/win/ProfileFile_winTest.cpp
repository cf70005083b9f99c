// The settings store against the real Windows profile API.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/UniqueHandle_win.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

TEST(ProfileFileWinTest, NewFileIsUtf16WithAMark) {
  ScopedSettingsFile settings;
  ASSERT_TRUE(WriteSetting(keys::TargetSSID, std::wstring(L"\u81ea\u5b85")));
  const std::string bytes = ReadFileBytes(settings.path());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  // "TargetSSID" in UTF-16LE is somewhere after the mark.
  EXPECT_NE(bytes.find(std::string("T\0a\0r\0g\0e\0t\0", 12)), std::string::npos);
}

TEST(ProfileFileWinTest, JapaneseSsidAndEmojiVoiceSurviveTheProfileApi) {
  ScopedSettingsFile settings;
  const std::wstring ssid = L"\u81ea\u5b85\u306eWi-Fi_5G";
  const std::wstring voice = L"VOICEVOX: \u56db\u56fd\u3081\u305f\u3093(\u3042\u307e\u3042\u307e)\U0001F36C";
  ASSERT_TRUE(WriteSetting(keys::TargetSSID, ssid));
  ASSERT_TRUE(WriteSetting(keys::VoiceName, voice));
  ASSERT_TRUE(WriteSetting(keys::PingTimeout, 1500));
  EXPECT_EQ(TargetSSID(), ssid);
  EXPECT_EQ(VoiceName(), voice);
  EXPECT_EQ(PingTimeout(), 1500);
  // And straight through the API, past our own reader.
  wchar_t buffer[256] = {};
  GetPrivateProfileStringW(L"Notify", L"VoiceName", L"", buffer, 256, settings.path().c_str());
  EXPECT_EQ(std::wstring(buffer), voice);
}

// An exe folder deep enough that the settings file's path has MAX_PATH characters or
// more: what is written reads back, from a file at the long path itself.
TEST(ProfileFileWinTest, DeepFolderKeepsItsSettings) {
  TempDir dir;
  std::wstring folder = dir.path();
  while (folder.size() < MAX_PATH) {
    folder += L"\\abcdefghijklmnopqrstuvwxyz";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  ScopedSettingsFile settings;  // puts SettingsPath back afterwards
  SettingsPath = folder + L"\\user_Moorlink.ini";
  ASSERT_TRUE(WriteSetting(keys::TargetSSID, std::wstring(L"\u81ea\u5b85")));
  ASSERT_TRUE(WriteSetting(keys::PingTimeout, 1500));
  EXPECT_EQ(TargetSSID(), L"\u81ea\u5b85");
  EXPECT_EQ(PingTimeout(), 1500);
  EXPECT_EQ(ReadFileBytes(SettingsPath).substr(0, 2), "\xFF\xFE");
  // The folders go before TempDir removes its own.
  DeleteFileW(SettingsPath.c_str());
  while (folder.size() > dir.path().size()) {
    RemoveDirectoryW(folder.c_str());
    folder.resize(folder.find_last_of(L'\\'));
  }
}

TEST(ProfileFileWinTest, EmptyExistingFileGetsTheMarkToo) {
  ScopedSettingsFile settings;
  WriteFileBytes(settings.path(), "");
  ASSERT_TRUE(WriteSetting(keys::TargetSSID, std::wstring(L"\u30ab\u30d5\u30a7")));
  EXPECT_EQ(TargetSSID(), L"\u30ab\u30d5\u30a7");
  EXPECT_EQ(ReadFileBytes(settings.path()).substr(0, 2), "\xFF\xFE");
}

// A file that takes no bytes, as on a full disk: the mark cannot be written, and the
// profile API alone would report success while keeping nothing. Wine's Z: drive is the
// Unix root, where every write to /dev/full fails with "disk full".
TEST(ProfileFileWinTest, WriteFailsWhenTheMarkCannotBeWritten) {
  const std::wstring full = L"Z:\\dev\\full";
  // Opened, not asked for attributes: Wine has none to give for a device.
  const UniqueKernelHandle probe(
      CreateFileW(full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (probe.get() == INVALID_HANDLE_VALUE) GTEST_SKIP() << "needs Wine's Z: drive";
  ScopedSettingsFile settings;  // puts SettingsPath back afterwards
  SettingsPath = full;
  EXPECT_FALSE(WriteSetting(keys::TargetSSID, std::wstring(L"\u81ea\u5b85")));
}

TEST(ProfileFileWinTest, AnsiFileWrittenByHandIsStillRead) {
  ScopedSettingsFile settings("[AutoReconnect]\r\nPingInterval=42\r\nTargetSSID=Home\r\n");
  EXPECT_EQ(PingInterval(), 42);
  EXPECT_EQ(TargetSSID(), L"Home");
  ASSERT_TRUE(WriteSetting(keys::PingTimeout, 900));
  EXPECT_EQ(PingTimeout(), 900);
  EXPECT_EQ(PingInterval(), 42);
}

}  // namespace
}  // namespace moorlink::test
