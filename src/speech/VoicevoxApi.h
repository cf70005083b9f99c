#pragma once
// The VOICEVOX core library's C API (version 0.16), as far as this program uses it: the
// types, and one typed table of the fifteen functions. Option records are passed by
// value, so their layout follows the library's published header exactly.
// Platform binding: VoicevoxLibrary_win.cpp (LoadLibraryExW + GetProcAddress).
#include <cstdint>

namespace moorlink {

extern "C" {

struct VoicevoxOnnxruntime;
struct OpenJtalkRc;
struct VoicevoxSynthesizer;
struct VoicevoxVoiceModelFile;

typedef int32_t VoicevoxResultCode;  // 0 is success
typedef int32_t VoicevoxAccelerationMode;
typedef uint32_t VoicevoxStyleId;

struct VoicevoxLoadOnnxruntimeOptions {
  const char* filename;
};

struct VoicevoxInitializeOptions {
  VoicevoxAccelerationMode acceleration_mode;
  uint16_t cpu_num_threads;
};

struct VoicevoxTtsOptions {
  bool enable_interrogative_upspeak;
};

}  // extern "C"

inline constexpr VoicevoxResultCode kVoicevoxOk = 0;

// The library's functions, bound once. Every pointer is set in a bound table.
struct VoicevoxApi {
  VoicevoxLoadOnnxruntimeOptions (*voicevox_make_default_load_onnxruntime_options)();
  VoicevoxResultCode (*voicevox_onnxruntime_load_once)(VoicevoxLoadOnnxruntimeOptions options,
                                                       const VoicevoxOnnxruntime** out_onnxruntime);
  VoicevoxResultCode (*voicevox_open_jtalk_rc_new)(const char* open_jtalk_dic_dir, OpenJtalkRc** out_open_jtalk);
  VoicevoxInitializeOptions (*voicevox_make_default_initialize_options)();
  VoicevoxResultCode (*voicevox_synthesizer_new)(const VoicevoxOnnxruntime* onnxruntime, const OpenJtalkRc* open_jtalk,
                                                 VoicevoxInitializeOptions options,
                                                 VoicevoxSynthesizer** out_synthesizer);
  VoicevoxResultCode (*voicevox_voice_model_file_open)(const char* path, VoicevoxVoiceModelFile** out_model);
  char* (*voicevox_voice_model_file_create_metas_json)(const VoicevoxVoiceModelFile* model);
  void (*voicevox_json_free)(char* json);
  VoicevoxResultCode (*voicevox_synthesizer_load_voice_model)(const VoicevoxSynthesizer* synthesizer,
                                                              const VoicevoxVoiceModelFile* model);
  void (*voicevox_voice_model_file_delete)(VoicevoxVoiceModelFile* model);
  VoicevoxTtsOptions (*voicevox_make_default_tts_options)();
  VoicevoxResultCode (*voicevox_synthesizer_tts)(const VoicevoxSynthesizer* synthesizer, const char* text,
                                                 VoicevoxStyleId style_id, VoicevoxTtsOptions options,
                                                 uintptr_t* output_wav_length, uint8_t** output_wav);
  void (*voicevox_wav_free)(uint8_t* wav);
  void (*voicevox_synthesizer_delete)(VoicevoxSynthesizer* synthesizer);
  void (*voicevox_open_jtalk_rc_delete)(OpenJtalkRc* open_jtalk);
};

// The export names, in the table's order.
inline constexpr const char* kVoicevoxExportNames[] = {
    "voicevox_make_default_load_onnxruntime_options",
    "voicevox_onnxruntime_load_once",
    "voicevox_open_jtalk_rc_new",
    "voicevox_make_default_initialize_options",
    "voicevox_synthesizer_new",
    "voicevox_voice_model_file_open",
    "voicevox_voice_model_file_create_metas_json",
    "voicevox_json_free",
    "voicevox_synthesizer_load_voice_model",
    "voicevox_voice_model_file_delete",
    "voicevox_make_default_tts_options",
    "voicevox_synthesizer_tts",
    "voicevox_wav_free",
    "voicevox_synthesizer_delete",
    "voicevox_open_jtalk_rc_delete",
};
static_assert(sizeof(kVoicevoxExportNames) / sizeof(kVoicevoxExportNames[0]) * sizeof(void (*)()) ==
              sizeof(VoicevoxApi));

}  // namespace moorlink
