#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <utility>

#include "app/ShellRules.h"
#include "app/TrayState.h"
#include "resources/resource.h"

namespace moorlink {
namespace {

TEST(ShellRules, OnlySettingsAndAboutWaitForAnOpenDialog) {
  // The menu's commands by number, as the shell test sends them.
  const std::pair<int, bool> commands[] = {
      {40001, false},  // exit
      {40002, true},   // about
      {40003, false},  // read-me
      {40004, true},   // settings
      {40005, false},  // exe folder
      {40006, false},  // log folder
      {40007, false},  // restart monitoring
      {40000, false}, {40008, false}, {0, false},
  };
  for (const auto& [id, ignored] : commands) EXPECT_EQ(IgnoredWhileModalOpen(id), ignored) << id;
}

TEST(ShellRules, ReadmeBesideTheExe) {
  EXPECT_EQ(ReadmePath(L"C:\\Tools\\Moorlink"), L"C:\\Tools\\Moorlink\\Readme.txt");
  EXPECT_EQ(ReadmePath(L"D:\\"), L"D:\\Readme.txt");
  EXPECT_EQ(ReadmePath(L""), L"");
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
