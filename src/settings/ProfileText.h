#pragma once
// The private-profile (INI) rules, as text operations, so that every platform reads and
// writes the same way: section and key names match case-insensitively, the first
// matching section and key win, blanks around names and values are trimmed, one pair of
// matching quotes around a value is dropped, an existing key is rewritten in place and a
// new section is appended at the end.
#include <optional>
#include <string>
#include <string_view>

namespace moorlink {

// Blanks the profile reader trims from names and values.
bool IsProfileBlank(wchar_t c);

// The value of section/key in an INI text, or nullopt when the key is absent
// (or present without an equals sign, which reads as absent).
std::optional<std::wstring> ProfileLookup(std::wstring_view content, std::wstring_view section, std::wstring_view key);

// The INI text with section/key set to value (written as it stands).
std::wstring ProfileUpdate(std::wstring_view content, std::wstring_view section, std::wstring_view key,
                           std::wstring_view value);

// The value as it must be written to read back unchanged: one with blanks at an edge or
// inside a pair of matching quotes goes inside an extra pair of quotes.
std::wstring EncodeProfileValue(const std::wstring& text);

// The profile API's integer reading: leading blanks, an optional sign, decimal digits up to
// the first other character, wrapped to 32 bits; no digits read as 0.
int ProfileParseInt(std::wstring_view text);

}  // namespace moorlink
