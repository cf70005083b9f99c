#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/ShellRules.h"
#include "app/TrayState.h"
#include "resources/resource.h"

namespace moorlink {
namespace {

TEST(ShellRules, OnlySettingsAndAboutWaitForAnOpenDialog) {
  for (int id = IDM_EXIT; id <= IDM_RESTART_MONITOR; ++id) {
    EXPECT_EQ(IgnoredWhileModalOpen(id), id == IDM_ABOUT || id == IDM_SETTINGS) << id;
  }
}

TEST(ShellRules, ReadmeBesideTheExe) {
  EXPECT_EQ(ReadmePath(L"C:\\Tools\\Moorlink"), L"C:\\Tools\\Moorlink\\Readme.txt");
  EXPECT_EQ(ReadmePath(L"D:\\"), L"D:\\Readme.txt");
  EXPECT_EQ(ReadmePath(L""), L"");
}

TEST(ShellRules, CentresInTheWorkAreaTruncatingTowardZero) {
  struct Case {
    ScreenRect work;
    long width, height;
    ScreenPoint expected;
  };
  const Case cases[] = {
      {{0, 0, 1920, 1040}, 400, 300, {760, 370}},
      {{0, 0, 1921, 1041}, 400, 300, {760, 370}},           // odd remainders are dropped
      {{-1920, 0, 0, 1080}, 401, 301, {-1161, 389}},        // a monitor left of the primary
      {{-1280, -1024, 0, 0}, 300, 200, {-790, -612}},       // left of and above it
      {{0, 0, 800, 600}, 1001, 801, {-100, -100}},          // larger: -100.5 becomes -100
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CenteredOrigin(c.work, c.width, c.height), c.expected) << c.work.left << "," << c.work.top;
  }
}

TEST(TrayState, StartsStoppedWithTheProductTitleAndCutsTheTip) {
  TrayState state;
  EXPECT_EQ(IconToShow(state.Icon()), IDI_STOPPED);
  EXPECT_EQ(state.Tip(), L"Moorlink");
  const std::wstring longTip(200, L'あ');
  EXPECT_EQ(TipForShell(longTip), std::wstring(127, L'あ'));
  state.SetIcon(IDI_RECONNECTING);
  EXPECT_EQ(IconToShow(state.Icon()), IDI_RECONNECTING);
}

// The monitor thread replaces the tip while the UI thread copies it for a re-add: every
// copy is one whole tip (ThreadSanitizer checks the accesses themselves).
TEST(TrayState, ATipCopiedDuringReplacementIsWhole) {
  TrayState state;
  const std::wstring a(120, L'a');
  const std::wstring b = L"Home - Moorlink";
  std::atomic<bool> done{false};
  std::thread monitor([&] {
    for (int i = 0; i < 20000; ++i) state.SetTip(i % 2 ? a : b);
    done = true;
  });
  int torn = 0;
  while (!done) {
    const std::wstring tip = state.Tip();
    if (tip != a && tip != b && tip != L"Moorlink") ++torn;
  }
  monitor.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace moorlink
