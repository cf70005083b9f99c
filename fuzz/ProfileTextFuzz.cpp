// The INI text writer and reader on arbitrary file text. Input: file text, section, key
// and value as UTF-8, separated by NUL bytes. Names are made valid the way the profile API
// wants them (no line break or NUL, trimmed, no '=' in a key, no ']' in a section, a key
// not starting with '['). Properties: the written value reads back as the reading rule
// gives it (exactly, when it has no outer blanks or quotes, and always exactly when written
// through EncodeProfileValue as the settings store does); every other section/key named
// in the text reads as before; writing the same value again changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "settings/ProfileText.h"

namespace {

using namespace moorlink;

std::wstring Without(std::wstring text, std::wstring_view banned) {
  std::wstring out;
  for (const wchar_t c : text) {
    if (banned.find(c) == std::wstring_view::npos) out += c;
  }
  return out;
}

std::wstring Trimmed(std::wstring_view s) {
  while (!s.empty() && IsProfileBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsProfileBlank(s.back())) s.remove_suffix(1);
  return std::wstring(s);
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  auto fold = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// The reading rule applied to a written value: outer blanks go, then one pair of matching quotes.
std::wstring AsRead(std::wstring_view value) {
  std::wstring v = Trimmed(value);
  if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

// Names that appear in the text: anything between '[' and the last ']' of a line, and
// anything before a line's first '='. A coarse net on purpose: it only picks what to compare.
void CollectNames(std::wstring_view text, std::vector<std::wstring>& sections, std::vector<std::wstring>& keys) {
  size_t start = 0;
  while (start < text.size() && sections.size() < 12 && keys.size() < 12) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring_view::npos) end = text.size();
    const std::wstring line = Trimmed(text.substr(start, end - start));
    if (!line.empty() && line.front() == L'[') {
      const size_t close = line.rfind(L']');
      if (close != std::wstring::npos) sections.push_back(Trimmed(std::wstring_view(line).substr(1, close - 1)));
    }
    const size_t eq = line.find(L'=');
    if (eq != std::wstring::npos) keys.push_back(Trimmed(std::wstring_view(line).substr(0, eq)));
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::wstring part[4] = {L"", L"s", L"k", L"v"};
  size_t start = 0;
  for (int i = 0; i < 4 && start <= input.size(); ++i) {
    size_t end = input.find('\0', start);
    if (end == std::string_view::npos) end = input.size();
    if (i == 3) end = input.size();
    part[i] = Utf8ToWide(input.substr(start, end - start));
    start = end + 1;
  }
  const std::wstring& content = part[0];
  std::wstring section = Trimmed(Without(part[1], std::wstring_view(L"\r\n\0]", 4)));
  std::wstring key = Trimmed(Without(part[2], std::wstring_view(L"\r\n\0=", 4)));
  while (!key.empty() && key.front() == L'[') key = Trimmed(std::wstring_view(key).substr(1));
  if (section.empty()) section = L"s";
  if (key.empty()) key = L"k";
  const std::wstring value = Without(part[3], std::wstring_view(L"\r\n\0", 3));

  std::vector<std::wstring> sections{section, L"s"};
  std::vector<std::wstring> keys{key, L"k"};
  CollectNames(content, sections, keys);
  std::vector<std::optional<std::wstring>> before;
  for (const std::wstring& s : sections) {
    for (const std::wstring& k : keys) before.push_back(ProfileLookup(content, s, k));
  }

  const std::wstring updated = ProfileUpdate(content, section, key, value);

  const std::optional<std::wstring> read = ProfileLookup(updated, section, key);
  if (!read || *read != AsRead(value)) __builtin_trap();

  size_t n = 0;
  for (const std::wstring& s : sections) {
    for (const std::wstring& k : keys) {
      const bool ours = SameName(s, section) && SameName(k, key);
      if (!ours && ProfileLookup(updated, s, k) != before[n]) __builtin_trap();
      ++n;
    }
  }

  if (ProfileUpdate(updated, section, key, value) != updated) __builtin_trap();

  // Through the settings store's encoding every value reads back exactly.
  const std::optional<std::wstring> exact =
      ProfileLookup(ProfileUpdate(content, section, key, EncodeProfileValue(value)), section, key);
  if (!exact || *exact != value) __builtin_trap();
  return 0;
}
