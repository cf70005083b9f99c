#include "settings/Policy.h"

namespace moorlink {

std::optional<PolicyValue> ReadPolicyValue(PolicyScope, const std::wstring&, const std::wstring&) {
  return std::nullopt;
}

}  // namespace moorlink
