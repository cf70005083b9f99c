// The committed tray icons: frames of 16, 20, 24, 32 and 48 px drawn for the small sizes and
// the picture at 128 and 256 px, 32 bits per pixel with a real alpha channel, on the colour
// of their state. scripts/make-icons stores the 256-px frame as PNG (decoded here with
// libpng in the native build) and the others as uncompressed bitmaps, read here directly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <utility>
#include <vector>
#ifndef _WIN32
#include <png.h>
#endif

namespace moorlink {
namespace {

enum class Hue { Blue, Amber, Red, Purple };

struct IconFile {
  const char* name;
  Hue background;
};

std::uint32_t Le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
  return v;
}

Hue HueOf(int r, int g, int b) {
  if (b > r && b > g) return r > g ? Hue::Purple : Hue::Blue;
  return g * 2 > r ? Hue::Amber : Hue::Red;
}

// Frame i (n x n) as B, G, R, A, rows top-down; empty when not laid out as make-icons does.
std::vector<unsigned char> Pixels(const std::vector<unsigned char>& f, int i, int n) {
  const std::size_t length = Le(f, 14 + 16 * i, 4), at = Le(f, 18 + 16 * i, 4);
  std::vector<unsigned char> p;
  if (at + length > f.size()) return p;
  if (n == 256) {
#ifndef _WIN32
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&png, &f[at], length) && png.width == 256 && png.height == 256) {
      png.format = PNG_FORMAT_BGRA;
      p.resize(PNG_IMAGE_SIZE(png));
      if (!png_image_finish_read(&png, nullptr, p.data(), 0, nullptr)) p.clear();
    }
    png_image_free(&png);
#endif
  } else if (Le(f, at, 4) == 40 && Le(f, at + 4, 4) == unsigned(n) && Le(f, at + 8, 4) == 2u * n &&
             Le(f, at + 14, 2) == 32 && Le(f, at + 16, 4) == 0 && length >= 40u + n * n * 4) {
    for (int y = n - 1; y >= 0; --y)  // colour rows run bottom-up, the mask rows follow
      p.insert(p.end(), f.begin() + at + 40 + y * n * 4, f.begin() + at + 40 + (y + 1) * n * 4);
  }
  return p;
}

TEST(IconFiles, SevenFramesWithAlphaOnTheStateColourAndTheStatesDifferInShape) {
  const IconFile icons[] = {
      {"icon100.ico", Hue::Blue}, {"icon101.ico", Hue::Amber}, {"icon102.ico", Hue::Red}, {"icon103.ico", Hue::Purple}};
  const int sizes[] = {16, 20, 24, 32, 48, 128, 256};
  std::vector<bool> glyph[4][5];  // the white pixels of each state's small frames
  for (int s = 0; s < 4; ++s) {
    const IconFile& icon = icons[s];
    SCOPED_TRACE(icon.name);
    std::ifstream in(std::string(MOORLINK_ICON_DIR) + "/" + icon.name, std::ios::binary);
    ASSERT_TRUE(in.is_open());
    const std::vector<unsigned char> f{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GE(f.size(), 6u + 7 * 16);
    EXPECT_EQ(Le(f, 0, 4), 0x10000u);  // reserved 0, type 1 (icon, not cursor)
    ASSERT_EQ(Le(f, 4, 2), 7u);
    EXPECT_EQ(Le(f, 6 + 6 * 16 + 8, 4) + Le(f, 6 + 6 * 16 + 12, 4), f.size());  // the PNG ends the file
    for (int i = 0; i < 7; ++i) {
      const int n = sizes[i];
      SCOPED_TRACE(n);
      EXPECT_EQ(Le(f, 6 + 16 * i, 2), n % 256 * 0x101u);  // width and height bytes, 0 for 256
      EXPECT_EQ(Le(f, 10 + 16 * i, 4), 0x200001u);        // 1 plane, 32 bits per pixel
      const std::vector<unsigned char> p = Pixels(f, i, n);
#ifdef _WIN32
      if (n == 256) continue;  // no PNG decoder in this build
#endif
      ASSERT_EQ(p.size(), std::size_t(n) * n * 4) << "pixels not read";
      auto at = [&](int x, int y) { return (std::size_t(y) * n + x) * 4; };
      int opaque = 0, coloured = 0, sum[3] = {};
      for (std::size_t q = 0; q < p.size(); q += 4) {
        const bool white = std::min({p[q], p[q + 1], p[q + 2]}) > 200;
        opaque += p[q + 3] == 255;
        if (i < 5) glyph[s][i].push_back(p[q + 3] == 255 && white);
        if (p[q + 3] != 255 || white) continue;
        ++coloured;
        for (int c = 0; c < 3; ++c) sum[c] += p[q + c];
      }
      EXPECT_GT(opaque, n * n * 3 / 4);
      for (int c : {0, n - 1}) {  // the rounded corners
        EXPECT_LT(p[at(c, 0) + 3], 32);
        EXPECT_LT(p[at(c, n - 1) + 3], 32);
      }
      // Off the white glyph, the square is the state's colour.
      ASSERT_GT(coloured, n * n / 3);
      EXPECT_EQ(HueOf(sum[2] / coloured, sum[1] / coloured, sum[0] / coloured), icon.background);
    }
  }
  // Not by colour alone: at each small size, every two states' glyphs differ.
  for (int i = 0; i < 5; ++i) {
    for (auto [a, b] : {std::pair{0, 1}, {0, 2}, {1, 2}, {0, 3}, {1, 3}, {2, 3}}) {
      int differ = 0;
      for (std::size_t q = 0; q < glyph[a][i].size(); ++q) differ += glyph[a][i][q] != glyph[b][i][q];
      EXPECT_GE(differ, sizes[i] * sizes[i] / 16) << icons[a].name << " vs " << icons[b].name << " at " << sizes[i];
    }
  }
}

}  // namespace
}  // namespace moorlink
