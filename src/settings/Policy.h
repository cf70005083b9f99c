#pragma once
// Settings an administrator sets for many PCs at once (Group Policy, Intune, a .reg file):
// values under HKLM\SOFTWARE\Policies\Moorlink\<Section> and the same under HKCU, each named
// exactly like its INI key, REG_SZ for text and REG_DWORD for numbers and booleans. The
// machine's value wins over the user's, and both over the settings file; a value of the
// wrong type is no policy. Read at every use, as the settings file is, so a refreshed
// policy applies at the next read. ReadPolicyValue is platform code: Policy_win.cpp (the
// registry) and Policy_posix.cpp (no policy). Nothing throws.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace moorlink {

enum class PolicyScope { Machine, User };

struct PolicyValue {
  bool isNumber = false;  // REG_DWORD; otherwise REG_SZ
  uint32_t number = 0;
  std::wstring text;
};

using PolicyReader =
    std::function<std::optional<PolicyValue>(PolicyScope scope, const std::wstring& section, const std::wstring& key)>;

// The value stored in one scope, of either type; nullopt when none is.
std::optional<PolicyValue> ReadPolicyValue(PolicyScope scope, const std::wstring& section, const std::wstring& key);
// Tests put a reader of their own in place of the registry's; null restores it.
void SetPolicyReaderForTesting(PolicyReader reader);

// The value in force for a text key (REG_SZ) or a number or boolean key (REG_DWORD): the
// machine's, else the user's; nullopt when no policy sets the key.
std::optional<std::wstring> PolicyText(const std::wstring& section, const std::wstring& key);
std::optional<uint32_t> PolicyNumber(const std::wstring& section, const std::wstring& key);

}  // namespace moorlink
