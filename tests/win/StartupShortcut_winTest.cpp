// The Startup-folder shortcut against the real shell under Wine.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <thread>
#include <vector>
#include <wrl/client.h>

#include "common/PathHelpers.h"
#include "common/Platform.h"
#include "settings/StartupShortcut_win.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

// Target, arguments, working folder, "icon,index", description, and the show command as saved (header
// field 0x3C: loading turns all but 1, 3 and 7 into SW_SHOWNORMAL, as the .lnk format says). Empty if no link.
std::vector<std::wstring> ReadLink(const std::wstring& path) {
  Microsoft::WRL::ComPtr<IShellLinkW> link;
  Microsoft::WRL::ComPtr<IPersistFile> file;
  wchar_t text[5][MAX_PATH] = {};
  int icon = -1;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.GetAddressOf()))) ||
      FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ)) ||
      FAILED(link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH)) ||
      FAILED(link->GetArguments(text[1], MAX_PATH)) || FAILED(link->GetWorkingDirectory(text[2], MAX_PATH)) ||
      FAILED(link->GetIconLocation(text[3], MAX_PATH, &icon)) || FAILED(link->GetDescription(text[4], MAX_PATH))) {
    return {};
  }
  return {text[0], text[1],
          text[2], text[3] + (L"," + std::to_wstring(icon)),
          text[4], std::to_wstring(ReadFileBytes(path).at(0x3C))};
}

// In the multithreaded apartment, as the UI thread is. Owns the real Startup shortcut: will not start
// over one it did not make (path_ stays empty then), and never leaves one behind.
class StartupShortcutWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // ctest runs these cases in parallel processes of one prefix: one at a time owns the folder.
    owner_ = CreateMutexW(nullptr, FALSE, L"Local\\MoorlinkStartupShortcutTest");
    ASSERT_NE(owner_, nullptr);
    ASSERT_NE(WaitForSingleObject(owner_, 60'000), WAIT_TIMEOUT);
    ASSERT_HRESULT_SUCCEEDED(mta_ = CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    ASSERT_FALSE(PathExists(StartupShortcutPath())) << "a Startup shortcut this test did not make";
    path_ = StartupShortcutPath();
  }
  void TearDown() override {
    if (!path_.empty()) DeleteFileW(path_.c_str());
    if (SUCCEEDED(mta_)) CoUninitialize();
    if (owner_ != nullptr) ReleaseMutex(owner_), CloseHandle(owner_);
  }
  HANDLE owner_ = nullptr;
  std::wstring path_;
  HRESULT mta_ = E_FAIL;
};

// On the test thread, then on a plain thread without COM. COM is left as found: probing afterwards gives
// S_FALSE where the test's apartment must survive, S_OK where the plain thread's own must be gone.
TEST_F(StartupShortcutWinTest, CreatesTheShortcutLeavesComAsFoundAndRemovesIt) {
  const std::wstring exe = ModuleFilePath();
  for (const bool plainThread : {false, true}) {
    SCOPED_TRACE(plainThread ? "plain thread" : "multithreaded apartment");
    bool created = false;
    HRESULT comAfter = E_FAIL;
    const auto create = [&] {
      created = CreateStartupShortcut(L"");
      if (SUCCEEDED(comAfter = CoInitializeEx(nullptr, COINIT_MULTITHREADED))) CoUninitialize();
    };
    if (plainThread)
      std::thread(create).join();
    else
      create();
    ASSERT_TRUE(created);
    EXPECT_EQ(comAfter, plainThread ? S_OK : S_FALSE);
    const std::vector<std::wstring> made{exe, L"", FolderOfPath(exe), exe + L",0", L"Moorlink", L"5"};
    EXPECT_EQ(ReadLink(path_), made);
    EXPECT_TRUE(StartupShortcutExists());
    RemoveStartupShortcut();
    EXPECT_FALSE(StartupShortcutExists());
  }
}

TEST_F(StartupShortcutWinTest, HandMadeMoorlinkLnkInTheUsersStartupFolderCountsAndRemoveDeletesIt) {
  PWSTR folder = nullptr;
  ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_Startup, 0, nullptr, &folder), S_OK);
  ASSERT_EQ(path_, folder + std::wstring(L"\\Moorlink.lnk"));
  CoTaskMemFree(folder);
  WriteFileBytes(path_, "not a shell link");
  EXPECT_TRUE(StartupShortcutExists());
  RemoveStartupShortcut();
  EXPECT_FALSE(PathExists(path_));
}

// Into a temporary folder; the 259-character row also carries arguments.
TEST_F(StartupShortcutWinTest, ExePathOf260OrMoreCharactersGivesNoShortcut) {
  const TempDir dir;
  for (const size_t length : {259u, 260u, 400u}) {
    SCOPED_TRACE(length);
    const std::wstring shortcut = dir.Child(std::to_wstring(length) + L".lnk");
    const std::wstring exe = dir.Child(std::wstring(length - dir.path().size() - 5, L'x') + L".exe");
    if (length < 260) WriteFileBytes(exe, "");
    EXPECT_EQ(CreateStartupShortcutAt(L"/a \"b c\"", exe, shortcut), length < 260);
    const std::vector<std::wstring> made{exe, L"/a \"b c\"", dir.path(), exe + L",0", L"Moorlink", L"5"};
    EXPECT_EQ(ReadLink(shortcut), length < 260 ? made : std::vector<std::wstring>{});
  }
}

}  // namespace
}  // namespace moorlink::test
