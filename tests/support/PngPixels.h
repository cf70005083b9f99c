#pragma once
// Platform implementations: PngPixels_win.cpp (WIC), PngPixels_posix.cpp (libpng).
#include <cstddef>
#include <vector>

namespace moorlink::test {

// A PNG image's pixels as B, G, R, A (straight alpha), rows top-down; empty when the data
// is not a PNG the decoder reads.
std::vector<unsigned char> PngPixels(const unsigned char* data, std::size_t size, int& width, int& height);

}  // namespace moorlink::test
