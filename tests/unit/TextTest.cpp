#include <gtest/gtest.h>

#include "common/Text.h"

namespace moorlink {
namespace {

struct Utf8Case {
  std::wstring wide;
  std::string utf8;
};

TEST(TextTest, RoundTripsEveryPlane) {
  const Utf8Case cases[] = {
      {L"", ""},
      {L"abc", "abc"},
      {L"\u00e9", "\xC3\xA9"},
      {L"\u3042\u4e2d", "\xE3\x81\x82\xE4\xB8\xAD"},  // kana and kanji: three bytes each
      {L"\U0001F600", "\xF0\x9F\x98\x80"},            // outside the BMP (a surrogate pair on Windows)
      {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Utf8Case& c : cases) {
    EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
    EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
  }
}

TEST(TextTest, InvalidInputBecomesReplacementCharacters) {
  const std::pair<std::string, std::wstring> cases[] = {
      {"\xFF", L"\uFFFD"},
      {"a\xE3\x81", L"a\uFFFD"},  // cut-off sequence at the end
      {"\xE3\x81"
       "b",
       L"\uFFFDb"},                 // cut-off sequence before an ASCII letter
      {"\xC0\xAF", L"\uFFFD"},      // overlong encoding of '/'
      {"\xED\xA0\x80", L"\uFFFD"},  // an encoded surrogate
      {"\x80x", L"\uFFFDx"},        // stray continuation byte
  };
  for (const auto& [bytes, wide] : cases) EXPECT_EQ(Utf8ToWide(bytes), wide) << bytes;
}

TEST(TextTest, LoneSurrogateIsReplacedNotDropped) {
  std::wstring lone;
  lone += static_cast<wchar_t>(0xD800);
  lone += L'x';
  EXPECT_EQ(WideToUtf8(lone), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace moorlink
