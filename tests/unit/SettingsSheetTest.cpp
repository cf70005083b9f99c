#include <cstdint>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include "app/SettingsSheet.h"

namespace moorlink {
namespace {

TEST(SettingsSheet, CentresInTheWorkAreaTruncatingTowardZero) {
  struct Case {
    ScreenRect work;
    long width, height;
    ScreenPoint expected;
  };
  const Case cases[] = {
      {{0, 0, 1920, 1040}, 400, 300, {760, 370}},
      {{0, 0, 1921, 1041}, 400, 300, {760, 370}},      // odd remainders are dropped
      {{-1920, 0, 0, 1080}, 401, 301, {-1161, 389}},   // a monitor left of the primary
      {{-1280, -1024, 0, 0}, 300, 200, {-790, -612}},  // left of and above it
      {{0, 0, 800, 600}, 1001, 801, {-100, -100}},     // larger: -100.5 becomes -100
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CenteredOrigin(c.work, c.width, c.height), c.expected) << c.work.left << "," << c.work.top;
  }
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

TEST(SettingsSheet, TemplatePointSizeIsFoundInBothLayouts) {
  constexpr std::uint32_t kSetFont = 0x40, kNoFont = 0;
  // DLGTEMPLATE: style, ex-style, count, x, y, cx, cy; no menu, no class, empty title.
  const auto plain = Template({kSetFont, 0x8000, 0, 0, 3, 0, 0, 260, 235, 0, 0, 0, 9});
  // DLGTEMPLATEEX: version 1, 0xFFFF, help id, ex-style, style, count, x, y, cx, cy;
  // menu by ordinal, class "ab", title "設定".
  const auto extended = Template(
      {1, 0xFFFF, 0, 0, 0, 0, kSetFont, 0x8000, 3, 0, 0, 260, 235, 0xFFFF, 5, 'a', 'b', 0, 0x8A2D, 0x5B9A, 0, 9, 400});
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

}  // namespace
}  // namespace moorlink
