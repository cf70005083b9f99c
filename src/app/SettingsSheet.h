#pragma once
// The settings sheet's geometry that needs no window: where the sheet is centred, and
// where a dialog template keeps its font's point size.

#include <cstddef>
#include <optional>

namespace moorlink {

struct ScreenRect {
  long left = 0;
  long top = 0;
  long right = 0;
  long bottom = 0;
};
struct ScreenPoint {
  long x = 0;
  long y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

// The top-left corner that centres a window of this size in the work area, halves
// truncated toward zero. Work areas left of or above the primary monitor are negative.
ScreenPoint CenteredOrigin(const ScreenRect& workArea, long width, long height);

// Byte offset of the point size in a dialog template (DLGTEMPLATE or DLGTEMPLATEEX) that
// sets a font; none when it sets no font or its header runs past `size` bytes. The
// settings sheet gives its frame the pages' point size through it: the pages are measured
// in the frame's dialog units, so a smaller frame font would cut their last rows.
std::optional<std::size_t> TemplatePointSizeOffset(const unsigned char* data, std::size_t size);

}  // namespace moorlink
