// The committed tray icons: one 256 x 256 image each, 32 bits per pixel with a real alpha
// channel, on the colour of its state. scripts/make-icons stores the image as an
// uncompressed bitmap, so its pixels are read here directly.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace moorlink {
namespace {

enum class Hue { Blue, Amber, Red };

struct IconFile { const char* name; Hue background; };

std::uint32_t Le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
  return v;
}

Hue HueOf(int r, int g, int b) {
  if (b > r && b > g) return Hue::Blue;
  return g * 2 > r ? Hue::Amber : Hue::Red;
}

TEST(IconFiles, OneImage256x256With32BitAlphaOnTheStateColour) {
  const IconFile icons[] = {
      {"icon100.ico", Hue::Blue}, {"icon101.ico", Hue::Amber}, {"icon102.ico", Hue::Red}};
  for (const IconFile& icon : icons) {
    SCOPED_TRACE(icon.name);
    std::ifstream in(std::string(MOORLINK_ICON_DIR) + "/" + icon.name, std::ios::binary);
    ASSERT_TRUE(in.is_open());
    const std::vector<unsigned char> f{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GE(f.size(), 62u);
    EXPECT_EQ(Le(f, 0, 4), 0x10000u);    // reserved 0, type 1 (icon, not cursor)
    ASSERT_EQ(Le(f, 4, 2), 1u);          // one image
    EXPECT_EQ(Le(f, 6, 2), 0u);          // width and height bytes 0: 256 x 256
    EXPECT_EQ(Le(f, 10, 4), 0x200001u);  // 1 plane, 32 bits per pixel
    const std::size_t offset = Le(f, 18, 4);
    ASSERT_EQ(offset + Le(f, 14, 4), f.size());
    ASSERT_EQ(Le(f, offset, 4), 40u) << "not an uncompressed bitmap (PNG?)";
    EXPECT_EQ(Le(f, offset + 4, 4), 256u);
    EXPECT_EQ(Le(f, offset + 8, 4), 512u);  // colour rows and mask rows
    ASSERT_EQ(Le(f, offset + 14, 2), 32u);
    ASSERT_EQ(Le(f, offset + 16, 4), 0u);   // BI_RGB
    const std::size_t pixels = offset + 40;
    ASSERT_GE(f.size(), pixels + 256u * 256u * 4u);

    // Rows run bottom-up, pixels are B, G, R, A.
    auto at = [&](int x, int y) { return pixels + (std::size_t(255 - y) * 256 + x) * 4; };
    int transparent = 0, opaque = 0;
    for (std::size_t p = pixels + 3; p < pixels + 256u * 256u * 4u; p += 4) {
      transparent += f[p] == 0;
      opaque += f[p] == 255;
    }
    EXPECT_GT(transparent, 1000);  // the rounded corners
    EXPECT_GT(opaque, 32768);
    for (int c : {0, 255}) {
      EXPECT_EQ(f[at(c, 0) + 3], 0);
      EXPECT_EQ(f[at(c, 255) + 3], 0);
    }
    const std::size_t bg = at(30, 30);  // inside the square, outside the chain
    EXPECT_EQ(f[bg + 3], 255);
    EXPECT_EQ(HueOf(f[bg + 2], f[bg + 1], f[bg]), icon.background);
  }
}

}  // namespace
}  // namespace moorlink
