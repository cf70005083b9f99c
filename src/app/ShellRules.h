#pragma once
// Decisions of the tray window that need no window: which commands wait for an open
// dialog, where the read-me file is, and where the settings sheet is centred.

#include <cstddef>
#include <optional>
#include <string>

namespace moorlink {

// Settings and About open a modal window; while one is open they do nothing.
bool IgnoredWhileModalOpen(int commandId);

// The read-me file in the executable's folder; empty when the folder is unknown. A folder
// that already ends in a backslash (a drive root) gets no second one.
std::wstring ReadmePath(const std::wstring& exeFolder);

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
