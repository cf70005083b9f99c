#include "app/SettingsSheet.h"

#include <cstdint>

namespace moorlink {

ScreenPoint CenteredOrigin(const ScreenRect& workArea, long width, long height) {
  return {workArea.left + (workArea.right - workArea.left - width) / 2,
          workArea.top + (workArea.bottom - workArea.top - height) / 2};
}

namespace {

// Reads the template's little-endian words without alignment assumptions.
class TemplateReader {
 public:
  TemplateReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  bool Skip(std::size_t bytes) {
    if (bytes > size_ - at_) return false;
    at_ += bytes;
    return true;
  }
  bool Word(std::uint16_t& value) {
    if (size_ - at_ < 2) return false;
    value = static_cast<std::uint16_t>(data_[at_] | data_[at_ + 1] << 8);
    at_ += 2;
    return true;
  }
  bool DWord(std::uint32_t& value) {
    std::uint16_t low = 0, high = 0;
    if (!Word(low) || !Word(high)) return false;
    value = low | static_cast<std::uint32_t>(high) << 16;
    return true;
  }
  // A NUL-terminated UTF-16 string.
  bool SkipString() {
    for (std::uint16_t c = 1; c != 0;) {
      if (!Word(c)) return false;
    }
    return true;
  }
  // A menu or class field: empty (0), an ordinal (0xFFFF + word) or a string.
  bool SkipNameOrOrdinal() {
    std::uint16_t first = 0;
    if (!Word(first)) return false;
    if (first == 0) return true;
    if (first == 0xFFFF) return Skip(2);
    return SkipString();
  }
  std::size_t At() const { return at_; }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

constexpr std::uint32_t kDsSetFont = 0x40;

}  // namespace

std::optional<std::size_t> TemplatePointSizeOffset(const unsigned char* data, std::size_t size) {
  if (data == nullptr) return std::nullopt;
  TemplateReader reader(data, size);
  std::uint16_t version = 0, signature = 0;
  std::uint32_t style = 0;
  if (!reader.Word(version) || !reader.Word(signature)) return std::nullopt;
  if (version == 1 && signature == 0xFFFF) {
    // DLGTEMPLATEEX: help id and extended style, then the style.
    if (!reader.Skip(8) || !reader.DWord(style)) return std::nullopt;
  } else {
    style = version | static_cast<std::uint32_t>(signature) << 16;
    if (!reader.Skip(4)) return std::nullopt;  // extended style
  }
  // Item count and the x, y, cx, cy words; then menu, class and title.
  if (!reader.Skip(10) || !reader.SkipNameOrOrdinal() || !reader.SkipNameOrOrdinal() || !reader.SkipString()) {
    return std::nullopt;
  }
  if ((style & kDsSetFont) == 0 || size - reader.At() < 2) return std::nullopt;
  return reader.At();
}

}  // namespace moorlink
