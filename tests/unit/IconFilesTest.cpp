// The committed tray icons: frames of 16, 20, 24, 32 and 48 px drawn for the small sizes,
// the picture at 128 and 256 px, 32 bits per pixel with a real alpha channel, all on the
// colour of their state. scripts/make-icons stores all but the 256-px frame as uncompressed
// bitmaps, read here directly; that one is PNG and goes through the platform's decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "support/PngPixels.h"

namespace moorlink {
namespace {

enum class Hue { Blue, Amber, Red };

struct IconFile { const char* name; Hue background; };

// One frame as B, G, R, A, rows top-down; no pixels when it is not laid out as expected.
struct Frame { int size; std::vector<unsigned char> bgra; };

std::uint32_t Le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
  return v;
}

Hue HueOf(int r, int g, int b) {
  if (b > r && b > g) return Hue::Blue;
  return g * 2 > r ? Hue::Amber : Hue::Red;
}

// The seven frames, checked against the layout scripts/make-icons writes.
std::vector<Frame> ReadFrames(const std::vector<unsigned char>& f) {
  std::vector<Frame> frames;
  for (int size : {16, 20, 24, 32, 48, 128, 256}) {
    SCOPED_TRACE(size);
    const std::size_t entry = 6 + 16 * frames.size(), length = Le(f, entry + 8, 4), offset = Le(f, entry + 12, 4);
    EXPECT_EQ(Le(f, entry, 2), size % 256 * 0x101u);  // width and height bytes; 0 means 256
    EXPECT_EQ(Le(f, entry + 4, 4), 0x200001u);         // 1 plane, 32 bits per pixel
    Frame frame{size, {}};
    const std::size_t pixelBytes = std::size_t(size) * size * 4;
    if (offset + length > f.size()) {
      ADD_FAILURE() << "frame beyond the end of the file";
    } else if (size == 256) {
      int width = 0, height = 0;
      frame.bgra = test::PngPixels(&f[offset], length, width, height);
      EXPECT_EQ(width * 1000 + height, 256256) << "not a 256 x 256 PNG";
    } else if (Le(f, offset, 4) == 40 && Le(f, offset + 4, 4) == unsigned(size) &&
               Le(f, offset + 8, 4) == 2u * size && Le(f, offset + 14, 2) == 32 && Le(f, offset + 16, 4) == 0 &&
               length >= 40 + pixelBytes) {  // colour and mask rows, 32 bpp, BI_RGB
      for (int y = size - 1; y >= 0; --y) {  // rows run bottom-up
        const auto row = f.begin() + offset + 40 + std::size_t(y) * size * 4;
        frame.bgra.insert(frame.bgra.end(), row, row + size * 4);
      }
    }
    EXPECT_EQ(frame.bgra.size(), pixelBytes) << "pixels not read";
    frames.push_back(std::move(frame));
  }
  return frames;
}

TEST(IconFiles, SevenFramesWithAlphaOnTheStateColourAndTheStatesDifferInShape) {
  const IconFile icons[] = {
      {"icon100.ico", Hue::Blue}, {"icon101.ico", Hue::Amber}, {"icon102.ico", Hue::Red}};
  std::vector<std::vector<Frame>> states;
  for (const IconFile& icon : icons) {
    SCOPED_TRACE(icon.name);
    std::ifstream in(std::string(MOORLINK_ICON_DIR) + "/" + icon.name, std::ios::binary);
    ASSERT_TRUE(in.is_open());
    const std::vector<unsigned char> f{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GE(f.size(), 6u + 7 * 16);
    EXPECT_EQ(Le(f, 0, 4), 0x10000u);  // reserved 0, type 1 (icon, not cursor)
    ASSERT_EQ(Le(f, 4, 2), 7u);
    states.push_back(ReadFrames(f));
    EXPECT_EQ(Le(f, 6 + 6 * 16 + 8, 4) + Le(f, 6 + 6 * 16 + 12, 4), f.size());  // the PNG ends the file
    for (const Frame& frame : states.back()) {
      SCOPED_TRACE(frame.size);
      const int n = frame.size;
      if (frame.bgra.size() != std::size_t(n) * n * 4) continue;
      const auto px = [&](int x, int y, int c) { return frame.bgra[(std::size_t(y) * n + x) * 4 + c]; };
      for (int c : {0, n - 1}) {  // the rounded corners
        EXPECT_LT(px(c, 0, 3), 32);
        EXPECT_LT(px(c, n - 1, 3), 32);
      }
      // An opaque square whose non-white pixels are the state colour on average.
      int opaque = 0, coloured = 0, sum[3] = {};
      for (std::size_t p = 0; p < frame.bgra.size(); p += 4) {
        if (frame.bgra[p + 3] != 255) continue;
        ++opaque;
        if (std::min({frame.bgra[p], frame.bgra[p + 1], frame.bgra[p + 2]}) >= 160) continue;
        ++coloured;
        for (int c = 0; c < 3; ++c) sum[c] += frame.bgra[p + c];
      }
      EXPECT_GT(opaque, n * n * 3 / 4);
      ASSERT_GT(coloured, n * n / 3);
      EXPECT_EQ(HueOf(sum[2] / coloured, sum[1] / coloured, sum[0] / coloured), icon.background);
    }
  }
  // Not by colour alone: at each small size, every two states' white glyphs differ.
  const auto glyph = [](const Frame& frame) {
    std::vector<bool> white;
    for (std::size_t p = 0; p < frame.bgra.size(); p += 4)
      white.push_back(frame.bgra[p + 3] == 255 && std::min({frame.bgra[p], frame.bgra[p + 1], frame.bgra[p + 2]}) > 200);
    return white;
  };
  for (std::size_t i = 0; i < 5; ++i) {
    const int n = states[0][i].size;
    SCOPED_TRACE(n);
    for (auto [a, b] : {std::pair{0, 1}, {0, 2}, {1, 2}}) {
      const std::vector<bool> ga = glyph(states[a][i]), gb = glyph(states[b][i]);
      ASSERT_EQ(ga.size(), gb.size());
      int differ = 0;
      for (std::size_t p = 0; p < ga.size(); ++p) differ += ga[p] != gb[p];
      EXPECT_GE(differ, n * n / 16) << icons[a].name << " vs " << icons[b].name;
    }
  }
}

}  // namespace
}  // namespace moorlink
