#pragma once
// The VOICEVOX engine: the optional second voice source of the speech player. The
// loading rules, the metadata reading and the synthesis call are portable; the library
// is reached only through a bound VoicevoxApi table.
// Platform binding: VoicevoxLibrary_win.cpp (BindVoicevoxLibrary).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "speech/VoicevoxApi.h"

namespace moorlink {

// Loads the library from its full path once per process and binds every export; null
// when it does not load or lacks any of them. A bound library is never unloaded (its
// runtime handle is process-wide). Never throws.
const VoicevoxApi* BindVoicevoxLibrary(const std::wstring& corePath);
using VoicevoxBinder = std::function<const VoicevoxApi*(const std::wstring& corePath)>;

// The items beside the executable, each a separator and a name.
inline constexpr const wchar_t* kVoicevoxCoreName = L"voicevox_core.dll";
inline constexpr const wchar_t* kVoicevoxRuntimeName = L"voicevox_onnxruntime.dll";
inline constexpr const wchar_t* kVoicevoxDictionaryName = L"open_jtalk_dic_utf_8-1.11";
inline constexpr const wchar_t* kVoicevoxModelsName = L"vvms";

struct VoicevoxVoice {
  std::wstring name;  // "VOICEVOX: " + speaker + "(" + style + ")"
  VoicevoxStyleId styleId = 0;
};

std::wstring VoicevoxVoiceName(const std::wstring& speaker, const std::wstring& style);

// Appends the voices of one model's metadata (UTF-8 JSON: an array of speakers, each with
// "name" and "styles" [{"name", "id"}]) in order. The first member that is missing or of
// another type, and an id whose integer part is outside 0..4294967295, end the reading;
// the voices appended before stay. Never throws.
void ReadVoicevoxMetas(std::string_view json, std::vector<VoicevoxVoice>& voices) noexcept;

// A WAV file image owned by the library, released with voicevox_wav_free when dropped.
class VoicevoxWav {
 public:
  VoicevoxWav(const VoicevoxApi* api, uint8_t* data, size_t size) : api_(api), data_(data), size_(size) {}
  ~VoicevoxWav();
  VoicevoxWav(VoicevoxWav&& other) noexcept;
  VoicevoxWav& operator=(VoicevoxWav&&) = delete;
  VoicevoxWav(const VoicevoxWav&) = delete;
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  const VoicevoxApi* api_;
  uint8_t* data_;
  size_t size_;
};

class VoicevoxEngine {
 public:
  VoicevoxEngine() = default;
  ~VoicevoxEngine();  // deletes the synthesizer, then the dictionary
  VoicevoxEngine(const VoicevoxEngine&) = delete;
  VoicevoxEngine& operator=(const VoicevoxEngine&) = delete;

  // Once, at the player's construction. Binds the library only after the core library,
  // the runtime library and the dictionary folder have been found in exeFolder; appends
  // the voices of every model in exeFolder/vvms. Never throws.
  void LoadVoicevox(const std::wstring& exeFolder, const VoicevoxBinder& bind, std::vector<VoicevoxVoice>& voices);

  bool Ready() const { return voicevoxReady && voicevoxSynthesizer != nullptr; }

  // The text as a WAV file image. Throws SpeechError(E_FAIL, "VOICEVOX v0.16 Synthesis failed").
  VoicevoxWav SynthesizeVoicevox(const std::wstring& text, VoicevoxStyleId styleId) const;

 private:
  const VoicevoxApi* api_ = nullptr;
  bool voicevoxReady = false;
  const VoicevoxOnnxruntime* voicevoxRuntime = nullptr;  // process-wide, never released
  OpenJtalkRc* openJtalk = nullptr;
  VoicevoxSynthesizer* voicevoxSynthesizer = nullptr;
};

}  // namespace moorlink
