// The VOICEVOX metadata reader on arbitrary bytes: it never crashes or throws, keeps the
// voices it was given, and appends only well-formed voice names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "speech/Voicevox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace moorlink;
  std::vector<VoicevoxVoice> voices{{L"kept", 1}};
  ReadVoicevoxMetas(std::string_view(reinterpret_cast<const char*>(data), size), voices);
  if (voices.front().name != L"kept" || voices.front().styleId != 1) std::abort();
  for (size_t i = 1; i < voices.size(); ++i) {
    const std::wstring& name = voices[i].name;
    if (name.rfind(L"VOICEVOX: ", 0) != 0 || name.back() != L')' || name.find(L'(') == std::wstring::npos) {
      std::abort();
    }
  }
  return 0;
}
