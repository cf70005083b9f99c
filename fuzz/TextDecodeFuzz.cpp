// The text decoders on arbitrary bytes. UTF-8: the output holds only Unicode scalar values,
// valid UTF-8 comes back byte for byte and invalid UTF-8 leaves a U+FFFD; wide text of any
// units encodes to valid UTF-8 that decodes to the same text, bad units replaced. CP932
// (iconv here): scalar values only, at most one character per byte, ASCII unchanged.
// The length cut for the shell: a prefix, within the limit, and as long as allowed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/Text.h"

namespace {

bool IsScalar(wchar_t c) {
  const auto u = static_cast<uint32_t>(c);
  return u <= 0x10FFFF && (u < 0xD800 || u > 0xDFFF);
}

bool AllScalar(const std::wstring& text) {
  for (const wchar_t c : text) {
    if (!IsScalar(c)) return false;
  }
  return true;
}

// Well-formed UTF-8 by the table of well-formed byte sequences (no overlongs, surrogates
// or code points past U+10FFFF).
bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  auto at = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  auto cont = [&](size_t k, uint8_t lo, uint8_t hi) { return k < s.size() && at(k) >= lo && at(k) <= hi; };
  while (i < s.size()) {
    const uint8_t b = at(i);
    if (b <= 0x7F) {
      i += 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
      if (!cont(i + 1, 0x80, 0xBF)) return false;
      i += 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      const uint8_t lo = b == 0xE0 ? 0xA0 : 0x80;
      const uint8_t hi = b == 0xED ? 0x9F : 0xBF;
      if (!cont(i + 1, lo, hi) || !cont(i + 2, 0x80, 0xBF)) return false;
      i += 3;
    } else if (b >= 0xF0 && b <= 0xF4) {
      const uint8_t lo = b == 0xF0 ? 0x90 : 0x80;
      const uint8_t hi = b == 0xF4 ? 0x8F : 0xBF;
      if (!cont(i + 1, lo, hi) || !cont(i + 2, 0x80, 0xBF) || !cont(i + 3, 0x80, 0xBF)) return false;
      i += 4;
    } else {
      return false;
    }
  }
  return true;
}

size_t Utf16Units(const std::wstring& text) {
  size_t units = 0;
  for (const wchar_t c : text) units += static_cast<uint32_t>(c) > 0xFFFF && sizeof(wchar_t) == 4 ? 2 : 1;
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace moorlink;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::wstring wide = Utf8ToWide(bytes);
  if (!AllScalar(wide)) __builtin_trap();
  if (IsValidUtf8(bytes)) {
    if (WideToUtf8(wide) != bytes) __builtin_trap();
  } else if (wide.find(L'\uFFFD') == std::wstring::npos) {
    __builtin_trap();
  }

  // The same bytes as wide units, four at a time: any value, surrogates and negatives too.
  std::wstring units(size / sizeof(wchar_t), L'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * sizeof(wchar_t));
  const std::string encoded = WideToUtf8(units);
  if (!IsValidUtf8(encoded)) __builtin_trap();
  std::wstring cleaned = units;
  for (wchar_t& c : cleaned) {
    if (!IsScalar(c)) c = L'\uFFFD';
  }
  if (Utf8ToWide(encoded) != cleaned) __builtin_trap();

  const std::wstring cp932 = Cp932ToWide(bytes);
  if (!AllScalar(cp932) || cp932.size() > size || (size > 0 && cp932.empty())) __builtin_trap();
  bool ascii = true;
  for (const char b : bytes) ascii = ascii && static_cast<uint8_t>(b) < 0x80;
  if (ascii && cp932 != std::wstring(bytes.begin(), bytes.end())) __builtin_trap();

  const size_t limit = size == 0 ? 0 : data[0] % 64;
  const std::wstring cut = CutUtf16(wide, limit);
  if (wide.compare(0, cut.size(), cut) != 0 || Utf16Units(cut) > limit) __builtin_trap();
  if (cut.size() < wide.size() && Utf16Units(wide.substr(0, cut.size() + 1)) <= limit) __builtin_trap();
  return 0;
}
