#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

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

// Dialog templates as comctl32 and the resource compiler lay them out, built word by word.
std::vector<unsigned char> Template(std::initializer_list<std::uint32_t> words) {
  std::vector<unsigned char> bytes;
  for (std::uint32_t w : words) {
    bytes.push_back(static_cast<unsigned char>(w & 0xFF));
    bytes.push_back(static_cast<unsigned char>(w >> 8));
  }
  return bytes;
}

TEST(ShellRules, TemplatePointSizeIsFoundInBothLayouts) {
  constexpr std::uint32_t kSetFont = 0x40, kNoFont = 0;
  // DLGTEMPLATE: style, ex-style, count, x, y, cx, cy; no menu, no class, empty title.
  const auto plain = Template({kSetFont, 0x8000, 0, 0, 3, 0, 0, 260, 235, 0, 0, 0, 9});
  // DLGTEMPLATEEX: version 1, 0xFFFF, help id, ex-style, style, count, x, y, cx, cy;
  // menu by ordinal, class "ab", title "設定".
  const auto extended = Template({1, 0xFFFF, 0, 0, 0, 0, kSetFont, 0x8000, 3, 0, 0, 260, 235,
                                  0xFFFF, 5, 'a', 'b', 0, 0x8A2D, 0x5B9A, 0, 9, 400});
  const auto noFont = Template({1, 0xFFFF, 0, 0, 0, 0, kNoFont, 0x8000, 3, 0, 0, 260, 235, 0, 0, 0, 9});
  const auto unterminated = Template({kSetFont, 0, 0, 0, 3, 0, 0, 260, 235, 0, 0, 'x', 'y'});
  struct Case {
    const char* name;
    const std::vector<unsigned char>& bytes;
    std::size_t size;
    std::optional<std::size_t> expected;
  } cases[] = {
      {"plain", plain, plain.size(), 24},
      {"extended", extended, extended.size(), 42},
      {"no font", noFont, noFont.size(), std::nullopt},
      {"cut before the size", plain, 25, std::nullopt},
      {"cut in the header", extended, 12, std::nullopt},
      {"title without end", unterminated, unterminated.size(), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TemplatePointSizeOffset(c.bytes.data(), c.size), c.expected) << c.name;
  }
  EXPECT_EQ(TemplatePointSizeOffset(nullptr, 100), std::nullopt);
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
