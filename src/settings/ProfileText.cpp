#include "settings/ProfileText.h"

#include <cstdint>
#include <vector>

namespace moorlink {
namespace {

wchar_t FoldCase(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && IsProfileBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsProfileBlank(s.back())) s.remove_suffix(1);
  return s;
}

struct Line {
  std::wstring_view text;  // without its line end
  enum Kind { Other, Section, Key } kind = Other;
  std::wstring_view name;   // section or key name, trimmed
  std::wstring_view value;  // trimmed value of a key line
  bool hasValue = false;
};

Line Classify(std::wstring_view text) {
  Line line;
  line.text = text;
  const std::wstring_view body = Trim(text);
  if (body.empty()) return line;
  if (body.front() == L'[') {
    const size_t close = body.rfind(L']');
    if (close != std::wstring_view::npos) {
      line.kind = Line::Section;
      line.name = Trim(body.substr(1, close - 1));
      return line;
    }
  }
  line.kind = Line::Key;
  const size_t eq = body.find(L'=');
  if (eq == std::wstring_view::npos) {
    line.name = body;
    return line;
  }
  line.name = Trim(body.substr(0, eq));
  line.value = Trim(body.substr(eq + 1));
  line.hasValue = true;
  return line;
}

std::vector<Line> SplitLines(std::wstring_view content) {
  if (!content.empty() && content.front() == 0xFEFF) content.remove_prefix(1);
  std::vector<Line> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find(L'\n', start);
    const size_t next = (end == std::wstring_view::npos) ? content.size() : end + 1;
    if (end == std::wstring_view::npos) end = content.size();
    std::wstring_view text = content.substr(start, end - start);
    if (!text.empty() && text.back() == L'\r') text.remove_suffix(1);
    lines.push_back(Classify(text));
    start = next;
  }
  return lines;
}

// Index of the first section header with this name, or -1.
long FindSection(const std::vector<Line>& lines, std::wstring_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind == Line::Section && SameName(lines[i].name, section)) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace

bool IsProfileBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f' || c == L'\r' || c == L'\n' || c == 0x1A || c == 0x3000;
}

std::optional<std::wstring> ProfileLookup(std::wstring_view content, std::wstring_view section, std::wstring_view key) {
  const std::vector<Line> lines = SplitLines(content);
  const long s = FindSection(lines, section);
  if (s < 0) return std::nullopt;
  for (size_t i = static_cast<size_t>(s) + 1; i < lines.size() && lines[i].kind != Line::Section; ++i) {
    if (lines[i].kind != Line::Key || !SameName(lines[i].name, key)) continue;
    if (!lines[i].hasValue) return std::nullopt;
    std::wstring_view v = lines[i].value;
    if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front()) {
      v = v.substr(1, v.size() - 2);
    }
    return std::wstring(v);
  }
  return std::nullopt;
}

std::wstring ProfileUpdate(std::wstring_view content, std::wstring_view section, std::wstring_view key,
                           std::wstring_view value) {
  const std::vector<Line> lines = SplitLines(content);
  std::vector<std::wstring> out;
  out.reserve(lines.size() + 3);
  for (const Line& l : lines) out.emplace_back(l.text);

  const long s = FindSection(lines, section);
  if (s < 0) {
    while (!out.empty() && Trim(out.back()).empty()) out.pop_back();
    if (!out.empty()) out.emplace_back();
    out.push_back(L"[" + std::wstring(section) + L"]");
    out.push_back(std::wstring(key) + L"=" + std::wstring(value));
  } else {
    size_t lastContent = static_cast<size_t>(s);
    bool replaced = false;
    for (size_t i = static_cast<size_t>(s) + 1; i < lines.size() && lines[i].kind != Line::Section; ++i) {
      if (lines[i].kind == Line::Other) continue;
      lastContent = i;
      if (SameName(lines[i].name, key)) {
        // Keep the key's own spelling; only the value changes.
        out[i] = std::wstring(lines[i].name) + L"=" + std::wstring(value);
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      out.insert(out.begin() + static_cast<long>(lastContent) + 1, std::wstring(key) + L"=" + std::wstring(value));
    }
  }

  std::wstring result;
  // The reader skips one leading byte-order mark; dropping it would expose whatever follows.
  if (!content.empty() && content.front() == 0xFEFF) result += L'\uFEFF';
  for (const std::wstring& l : out) {
    result += l;
    result += L"\r\n";
  }
  return result;
}

int ProfileParseInt(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && IsProfileBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10u + static_cast<uint32_t>(text[i] - L'0');
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

std::wstring EncodeProfileValue(const std::wstring& text) {
  if (text.empty()) return text;
  const bool blankEdge = IsProfileBlank(text.front()) || IsProfileBlank(text.back());
  const bool quoted =
      text.size() >= 2 && (text.front() == L'"' || text.front() == L'\'') && text.back() == text.front();
  if (blankEdge || quoted) return L"\"" + text + L"\"";
  return text;
}

}  // namespace moorlink
