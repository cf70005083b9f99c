#include "settings/Policy.h"

#include <windows.h>

#include <vector>

namespace moorlink {
namespace {

constexpr const wchar_t* kPolicyRoot = L"SOFTWARE\\Policies\\Moorlink\\";
// As long as a settings-file value can be.
constexpr DWORD kMaxTextBytes = 2048 * sizeof(wchar_t);

}  // namespace

std::optional<PolicyValue> ReadPolicyValue(PolicyScope scope, const std::wstring& section, const std::wstring& key) {
  try {
    const HKEY root = scope == PolicyScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::wstring path = kPolicyRoot + section;
    DWORD type = 0;
    DWORD size = 0;
    constexpr DWORD kTypes = RRF_RT_REG_SZ | RRF_RT_REG_DWORD;
    if (RegGetValueW(root, path.c_str(), key.c_str(), kTypes, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    PolicyValue value;
    if (type == REG_DWORD) {
      DWORD number = 0;
      size = sizeof number;
      if (RegGetValueW(root, path.c_str(), key.c_str(), RRF_RT_REG_DWORD, nullptr, &number, &size) != ERROR_SUCCESS) {
        return std::nullopt;
      }
      value.isNumber = true;
      value.number = number;
      return value;
    }
    if (type != REG_SZ || size > kMaxTextBytes) return std::nullopt;
    // RegGetValueW ends the text with a null even when the stored one lacks it.
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(root, path.c_str(), key.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS) {
      return std::nullopt;  // changed between the two reads: read again at the next use
    }
    value.text.assign(text.data());
    return value;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace moorlink
