#include "settings/ProfileFile.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>

#include "common/Text.h"
#include "settings/ProfileText.h"

namespace moorlink {
namespace {

std::optional<std::wstring> LoadText(const std::wstring& path) {
  std::ifstream in(ToFsPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return Utf8ToWide(bytes);
}

std::optional<std::wstring> Lookup(const std::wstring& path, const std::wstring& section,
                                   const std::wstring& key) {
  if (path.empty()) return std::nullopt;
  const std::optional<std::wstring> text = LoadText(path);
  if (!text) return std::nullopt;
  return ProfileLookup(*text, section, key);
}

}  // namespace

std::wstring ProfileReadString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                               const std::wstring& defaultValue, std::size_t bufferChars) {
  try {
    std::wstring value = Lookup(path, section, key).value_or(defaultValue);
    if (bufferChars == 0) return {};
    if (value.size() > bufferChars - 1) value.resize(bufferChars - 1);
    return value;
  } catch (...) {
    return defaultValue;
  }
}

int ProfileReadInt(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                   int defaultValue) {
  try {
    const std::optional<std::wstring> value = Lookup(path, section, key);
    if (!value || value->empty()) return defaultValue;
    return ProfileParseInt(*value);
  } catch (...) {
    return defaultValue;
  }
}

bool ProfileWriteString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value) {
  if (path.empty()) return false;
  try {
    const std::wstring updated = ProfileUpdate(LoadText(path).value_or(L""), section, key, value);
    // Write beside the file and rename over it, so a reader never sees half a file and a
    // failed write leaves the old settings intact.
    const std::filesystem::path target = ToFsPath(path);
    std::filesystem::path temp = target;
    temp += ".tmp";
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      if (!out) return false;
      const std::string bytes = WideToUtf8(updated);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.flush();
      if (!out) {
        out.close();
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        return false;
      }
    }
    std::error_code ec;
    std::filesystem::rename(temp, target, ec);
    if (ec) {
      std::filesystem::remove(temp, ec);
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace moorlink
