#include "settings/Policy.h"

#include <mutex>

namespace moorlink {
namespace {

// Never destroyed: a detached thread may read a setting while the process exits.
struct ReaderSlot {
  std::mutex lock;
  PolicyReader reader;
};
ReaderSlot& Slot() {
  static auto* slot = new ReaderSlot;
  return *slot;
}

std::optional<PolicyValue> Read(PolicyScope scope, const std::wstring& section, const std::wstring& key) {
  try {
    PolicyReader reader;
    {
      ReaderSlot& slot = Slot();
      std::lock_guard<std::mutex> guard(slot.lock);
      reader = slot.reader;
    }
    return reader ? reader(scope, section, key) : ReadPolicyValue(scope, section, key);
  } catch (...) {
    return std::nullopt;  // no policy read is worth a failure of the setting's reader
  }
}

// The first scope whose value has the wanted type.
std::optional<PolicyValue> InForce(const std::wstring& section, const std::wstring& key, bool number) {
  for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
    std::optional<PolicyValue> value = Read(scope, section, key);
    if (value && value->isNumber == number) return value;
  }
  return std::nullopt;
}

}  // namespace

void SetPolicyReaderForTesting(PolicyReader reader) {
  ReaderSlot& slot = Slot();
  std::lock_guard<std::mutex> guard(slot.lock);
  slot.reader = std::move(reader);
}

std::optional<std::wstring> PolicyText(const std::wstring& section, const std::wstring& key) {
  std::optional<PolicyValue> value = InForce(section, key, false);
  if (!value) return std::nullopt;
  return std::move(value->text);
}

std::optional<uint32_t> PolicyNumber(const std::wstring& section, const std::wstring& key) {
  const std::optional<PolicyValue> value = InForce(section, key, true);
  if (!value) return std::nullopt;
  return value->number;
}

}  // namespace moorlink
