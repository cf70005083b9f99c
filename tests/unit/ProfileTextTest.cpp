#include <gtest/gtest.h>
#include <optional>

#include "settings/ProfileText.h"

namespace moorlink {
namespace {

struct LookupCase {
  const char* name;
  std::wstring content;
  std::wstring section;
  std::wstring key;
  std::optional<std::wstring> expected;
};

TEST(ProfileTextTest, Lookup) {
  const LookupCase cases[] = {
      {"plain", L"[A]\r\nk=v\r\n", L"A", L"k", L"v"},
      {"lf line ends", L"[A]\nk=v\n", L"A", L"k", L"v"},
      {"no final line end", L"[A]\nk=v", L"A", L"k", L"v"},
      {"byte-order mark", L"\uFEFF[A]\nk=v\n", L"A", L"k", L"v"},
      {"section and key ignore case", L"[autoreconnect]\nPINGADDRESS=1\n", L"AutoReconnect", L"PingAddress", L"1"},
      {"blanks trimmed", L"  [ A ]  \n  k  =  v w  \n", L"A", L"k", L"v w"},
      {"empty value is present", L"[A]\nk=\n", L"A", L"k", L""},
      {"key without equals reads as absent", L"[A]\nk\n", L"A", L"k", std::nullopt},
      {"missing key", L"[A]\nx=1\n", L"A", L"k", std::nullopt},
      {"missing section", L"[B]\nk=1\n", L"A", L"k", std::nullopt},
      {"key of another section", L"[B]\nk=1\n[A]\nx=2\n", L"A", L"k", std::nullopt},
      {"key before any section", L"k=1\n[A]\n", L"A", L"k", std::nullopt},
      {"first key wins", L"[A]\nk=1\nK=2\n", L"A", L"k", L"1"},
      {"first section wins", L"[A]\nx=1\n[A]\nk=2\n", L"A", L"k", std::nullopt},
      {"double quotes dropped", L"[A]\nk=\"v \"\n", L"A", L"k", L"v "},
      {"single quotes dropped", L"[A]\nk='v'\n", L"A", L"k", L"v"},
      {"one quote pair only", L"[A]\nk=\"\"v\"\"\n", L"A", L"k", L"\"v\""},
      {"unmatched quotes kept", L"[A]\nk='v\"\n", L"A", L"k", L"'v\""},
      {"lone quote kept", L"[A]\nk=\"\n", L"A", L"k", L"\""},
      {"equals inside value", L"[A]\nk=a=b\n", L"A", L"k", L"a=b"},
      {"japanese", L"[A]\nk=\u81ea\u5b85\n", L"A", L"k", L"\u81ea\u5b85"},
  };
  for (const LookupCase& c : cases) EXPECT_EQ(ProfileLookup(c.content, c.section, c.key), c.expected) << c.name;
}

struct UpdateCase {
  const char* name;
  std::wstring content;
  std::wstring section;
  std::wstring key;
  std::wstring value;
  std::wstring expected;
};

TEST(ProfileTextTest, Update) {
  const UpdateCase cases[] = {
      {"new file", L"", L"A", L"k", L"v", L"[A]\r\nk=v\r\n"},
      {"rewrite in place keeps neighbours and spelling", L"[A]\r\nx=1\r\nKEY=old\r\ny=2\r\n", L"A", L"key", L"new",
       L"[A]\r\nx=1\r\nKEY=new\r\ny=2\r\n"},
      {"new key goes after the section's last key", L"[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", L"A", L"k", L"v",
       L"[A]\r\nx=1\r\nk=v\r\n\r\n[B]\r\ny=2\r\n"},
      {"new section appended", L"[A]\r\nx=1\r\n", L"B", L"k", L"v", L"[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
      {"only the first matching key changes", L"[A]\nk=1\nk=2\n", L"A", L"k", L"3", L"[A]\r\nk=3\r\nk=2\r\n"},
      {"other sections' keys untouched", L"[B]\nk=1\n[A]\nk=2\n", L"A", L"k", L"3", L"[B]\r\nk=1\r\n[A]\r\nk=3\r\n"},
      {"empty section gets its key", L"[A]\n[B]\nk=1\n", L"A", L"k", L"v", L"[A]\r\nk=v\r\n[B]\r\nk=1\r\n"},
      {"byte-order mark kept", L"\uFEFF[A]\nk=1\n", L"A", L"k", L"2", L"\uFEFF[A]\r\nk=2\r\n"},
      {"text behind the byte-order mark not read anew", L"\uFEFF\uFEFF[A]\nk=1\n[A]\nk=2\n", L"B", L"x", L"v",
       L"\uFEFF\uFEFF[A]\r\nk=1\r\n[A]\r\nk=2\r\n\r\n[B]\r\nx=v\r\n"},
  };
  for (const UpdateCase& c : cases) {
    const std::wstring updated = ProfileUpdate(c.content, c.section, c.key, c.value);
    EXPECT_EQ(updated, c.expected) << c.name;
    EXPECT_EQ(ProfileLookup(updated, c.section, c.key), c.value) << c.name;
  }
}

TEST(ProfileTextTest, ParseIntLikeTheProfileApi) {
  const std::pair<std::wstring, int> cases[] = {
      {L"42", 42},
      {L"-3", -3},
      {L"+7", 7},
      {L"  15", 15},
      {L"12abc", 12},
      {L"abc", 0},
      {L"-", 0},
      {L"0", 0},
      {L"4294967295", -1},  // wraps to 32 bits
      {L"2147483648", static_cast<int>(0x80000000u)},
      {L"1 2", 1},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ProfileParseInt(text), value) << text.size();
}

}  // namespace
}  // namespace moorlink
