#include "speech/Voicevox.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "common/Files.h"
#include "common/Text.h"
#include "speech/SpeechBackend.h"

namespace moorlink {
namespace {

bool Exists(const std::wstring& path) { return PathExists(path).value_or(false); }

// The integer part of a JSON number as a style id; false when it does not fit.
bool ToStyleId(const nlohmann::json& id, VoicevoxStyleId& out) {
  if (id.is_number_unsigned()) {
    const auto v = id.get<uint64_t>();
    if (v > UINT32_MAX) return false;
    out = static_cast<VoicevoxStyleId>(v);
    return true;
  }
  if (id.is_number_integer()) {
    const auto v = id.get<int64_t>();
    if (v < 0 || v > static_cast<int64_t>(UINT32_MAX)) return false;
    out = static_cast<VoicevoxStyleId>(v);
    return true;
  }
  if (id.is_number_float()) {
    const double v = std::trunc(id.get<double>());
    if (!(v >= 0.0 && v <= 4294967295.0)) return false;  // also NaN
    out = static_cast<VoicevoxStyleId>(v);
    return true;
  }
  return false;
}

}  // namespace

std::wstring VoicevoxVoiceName(const std::wstring& speaker, const std::wstring& style) {
  return L"VOICEVOX: " + speaker + L"(" + style + L")";
}

void ReadVoicevoxMetas(std::string_view json, std::vector<VoicevoxVoice>& voices) noexcept {
  try {
    // Invalid UTF-8 becomes U+FFFD first, as a wide-text reader would see it.
    const std::string text = WideToUtf8(Utf8ToWide(json));
    const auto speakers = nlohmann::json::parse(text, nullptr, true, false);
    if (!speakers.is_array()) return;
    for (const auto& speaker : speakers) {
      const auto name = speaker.find("name");
      const auto styles = speaker.find("styles");
      if (!speaker.is_object() || name == speaker.end() || !name->is_string() || styles == speaker.end() ||
          !styles->is_array()) {
        return;
      }
      const std::wstring speakerName = Utf8ToWide(name->get_ref<const std::string&>());
      for (const auto& style : *styles) {
        if (!style.is_object()) return;
        const auto styleName = style.find("name");
        const auto id = style.find("id");
        VoicevoxStyleId styleId = 0;
        if (styleName == style.end() || !styleName->is_string() || id == style.end() || !ToStyleId(*id, styleId)) {
          return;
        }
        voices.push_back(
            {VoicevoxVoiceName(speakerName, Utf8ToWide(styleName->get_ref<const std::string&>())), styleId});
      }
    }
  } catch (...) {
    // Unparsable text or no memory: the voices read so far stay.
  }
}

VoicevoxWav::~VoicevoxWav() {
  if (data_ && api_) api_->voicevox_wav_free(data_);
}

VoicevoxWav::VoicevoxWav(VoicevoxWav&& other) noexcept : api_(other.api_), data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}

VoicevoxEngine::~VoicevoxEngine() {
  if (!api_) return;
  if (voicevoxSynthesizer) api_->voicevox_synthesizer_delete(voicevoxSynthesizer);
  if (openJtalk) api_->voicevox_open_jtalk_rc_delete(openJtalk);
}

void VoicevoxEngine::LoadVoicevox(const std::wstring& exeFolder, const VoicevoxBinder& bind,
                                  std::vector<VoicevoxVoice>& voices) {
  try {
    if (exeFolder.empty() || !bind) return;
    const std::wstring base = exeFolder + kPathSeparator;
    const std::wstring corePath = base + kVoicevoxCoreName;
    const std::wstring runtimePath = base + kVoicevoxRuntimeName;
    const std::wstring dictionaryPath = base + kVoicevoxDictionaryName;
    // Nothing of the library is touched until all three are there.
    if (!Exists(corePath) || !Exists(runtimePath) || !Exists(dictionaryPath)) return;
    const VoicevoxApi* api = bind(corePath);
    if (!api) return;
    api_ = api;

    const VoicevoxOnnxruntime* runtime = nullptr;
    if (api->voicevox_onnxruntime_load_once(api->voicevox_make_default_load_onnxruntime_options(), &runtime) !=
        kVoicevoxOk) {
      return;
    }
    voicevoxRuntime = runtime;
    OpenJtalkRc* dictionary = nullptr;
    if (api->voicevox_open_jtalk_rc_new(WideToUtf8(dictionaryPath).c_str(), &dictionary) != kVoicevoxOk) return;
    openJtalk = dictionary;
    VoicevoxSynthesizer* synthesizer = nullptr;
    if (api->voicevox_synthesizer_new(voicevoxRuntime, openJtalk, api->voicevox_make_default_initialize_options(),
                                      &synthesizer) != kVoicevoxOk) {
      return;
    }
    voicevoxSynthesizer = synthesizer;
    voicevoxReady = true;

    const std::wstring models = base + kVoicevoxModelsName;
    if (!Exists(models)) {
      CreateFolders(models);
      return;
    }
    for (const std::wstring& entry : FolderEntries(models)) {
      if (entry.size() < 4 || entry.compare(entry.size() - 4, 4, L".vvm") != 0) continue;
      // The library takes UTF-8 paths, whatever the system's narrow code page is.
      const std::string path = WideToUtf8(entry);
      VoicevoxVoiceModelFile* model = nullptr;
      if (api->voicevox_voice_model_file_open(path.c_str(), &model) != kVoicevoxOk || !model) continue;
      if (char* metas = api->voicevox_voice_model_file_create_metas_json(model)) {
        ReadVoicevoxMetas(metas, voices);
        api->voicevox_json_free(metas);
      }
      api->voicevox_synthesizer_load_voice_model(voicevoxSynthesizer, model);
      api->voicevox_voice_model_file_delete(model);
    }
  } catch (...) {
    // Out of memory or a path that cannot be formed: the engine stays as far as it got.
  }
}

VoicevoxWav VoicevoxEngine::SynthesizeVoicevox(const std::wstring& text, VoicevoxStyleId styleId) const {
  if (!Ready()) throw SpeechError(kSpeechEFail, "VOICEVOX v0.16 Synthesis failed");
  const std::string utf8 = WideToUtf8(text);
  uintptr_t length = 0;
  uint8_t* wav = nullptr;
  if (api_->voicevox_synthesizer_tts(voicevoxSynthesizer, utf8.c_str(), styleId,
                                     api_->voicevox_make_default_tts_options(), &length, &wav) != kVoicevoxOk) {
    throw SpeechError(kSpeechEFail, "VOICEVOX v0.16 Synthesis failed");
  }
  return VoicevoxWav(api_, wav, static_cast<size_t>(length));
}

}  // namespace moorlink
