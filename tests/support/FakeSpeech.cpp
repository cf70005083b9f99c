#include "support/FakeSpeech.h"

#include <cstring>
#include <filesystem>

#include "common/Text.h"

namespace moorlink::test {
namespace {

class FakeSound : public PreparedSound {};

struct Handle {
  std::string kind;
};

FakeVoicevoxLibrary& Lib() { return FakeVoicevoxLibrary::Instance(); }

bool Fails(const char* name) {
  Lib().calls.push_back(name);
  return Lib().failing.count(name) != 0;
}

template <typename T>
T* NewHandle(const char* kind) {
  ++Lib().liveHandles[kind];
  return reinterpret_cast<T*>(new Handle{kind});
}

template <typename T>
void DeleteHandle(T* handle) {
  auto* h = reinterpret_cast<Handle*>(handle);
  if (Lib().onDelete) Lib().onDelete(h->kind);
  --Lib().liveHandles[h->kind];
  delete h;
}

extern "C" {
VoicevoxLoadOnnxruntimeOptions MakeLoadOptions() {
  Lib().calls.push_back("make_default_load_onnxruntime_options");
  return {"voicevox_onnxruntime.dll"};
}
VoicevoxResultCode LoadOnce(VoicevoxLoadOnnxruntimeOptions options, const VoicevoxOnnxruntime** out) {
  if (Fails("onnxruntime_load_once") || std::strcmp(options.filename, "voicevox_onnxruntime.dll") != 0) return 1;
  static int runtime;
  *out = reinterpret_cast<const VoicevoxOnnxruntime*>(&runtime);
  return 0;
}
VoicevoxResultCode JtalkNew(const char* path, OpenJtalkRc** out) {
  if (Fails("open_jtalk_rc_new")) return 1;
  Lib().lastDictionaryPath = path;
  *out = NewHandle<OpenJtalkRc>("dictionary");
  return 0;
}
VoicevoxInitializeOptions MakeInitOptions() {
  Lib().calls.push_back("make_default_initialize_options");
  return {0, 7};
}
VoicevoxResultCode SynthesizerNew(const VoicevoxOnnxruntime*, const OpenJtalkRc* dictionary,
                                  VoicevoxInitializeOptions options, VoicevoxSynthesizer** out) {
  if (Fails("synthesizer_new") || !dictionary || options.cpu_num_threads != 7) return 1;
  *out = NewHandle<VoicevoxSynthesizer>("synthesizer");
  return 0;
}
VoicevoxResultCode ModelOpen(const char* path, VoicevoxVoiceModelFile** out) {
  // The library takes UTF-8 paths.
  const std::filesystem::path file = ToFsPath(Utf8ToWide(path));
  const std::string name = WideToUtf8(file.filename().wstring());
  Lib().calls.push_back("voice_model_file_open " + name);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return 1;
  *out = NewHandle<VoicevoxVoiceModelFile>("model");
  Lib().openedModel = name;
  return 0;
}
char* CreateMetas(const VoicevoxVoiceModelFile*) {
  if (Fails("create_metas_json")) return nullptr;
  const auto it = Lib().metas.find(Lib().openedModel);
  const std::string json = it == Lib().metas.end() ? "[]" : it->second;
  char* copy = new char[json.size() + 1];
  std::memcpy(copy, json.c_str(), json.size() + 1);
  return copy;
}
void JsonFree(char* json) {
  Lib().calls.push_back("json_free");
  delete[] json;
}
VoicevoxResultCode LoadModel(const VoicevoxSynthesizer*, const VoicevoxVoiceModelFile*) {
  return Fails("load_voice_model") ? 1 : 0;
}
void ModelDelete(VoicevoxVoiceModelFile* model) {
  Lib().calls.push_back("voice_model_file_delete");
  DeleteHandle(model);
}
VoicevoxTtsOptions MakeTtsOptions() { return {true}; }
VoicevoxResultCode Tts(const VoicevoxSynthesizer*, const char* text, VoicevoxStyleId style, VoicevoxTtsOptions options,
                       uintptr_t* length, uint8_t** wav) {
  if (Fails("synthesizer_tts") || !options.enable_interrogative_upspeak) return 1;
  Lib().lastText = std::string(text) + "#" + std::to_string(style);
  ++Lib().liveHandles["wav"];
  *wav = new uint8_t[44]{'R', 'I', 'F', 'F'};
  *length = 44;
  return 0;
}
void WavFree(uint8_t* wav) {
  Lib().calls.push_back("wav_free");
  --Lib().liveHandles["wav"];
  delete[] wav;
}
void SynthesizerDelete(VoicevoxSynthesizer* s) {
  Lib().calls.push_back("synthesizer_delete");
  DeleteHandle(s);
}
void JtalkDelete(OpenJtalkRc* d) {
  Lib().calls.push_back("open_jtalk_rc_delete");
  DeleteHandle(d);
}
}  // extern "C"

const VoicevoxApi kFakeApi{MakeLoadOptions, LoadOnce,    JtalkNew, MakeInitOptions,   SynthesizerNew,
                           ModelOpen,       CreateMetas, JsonFree, LoadModel,         ModelDelete,
                           MakeTtsOptions,  Tts,         WavFree,  SynthesizerDelete, JtalkDelete};

}  // namespace

void FakeSpeechBackend::Record::Add(std::wstring call) {
  std::lock_guard guard(lock);
  calls.push_back(std::move(call));
}

std::vector<std::wstring> FakeSpeechBackend::Record::Calls() {
  std::lock_guard guard(lock);
  return calls;
}

void FakeSpeechBackend::Record::Finish() {
  std::function<void()> h;
  {
    std::lock_guard guard(lock);
    h = handler;
  }
  if (h) h();
}

void FakeSpeechBackend::SetPlaybackFinishedHandler(std::function<void()> handler) {
  std::lock_guard guard(record_->lock);
  record_->handler = std::move(handler);
}

std::unique_ptr<PreparedSound> FakeSpeechBackend::SynthesizeText(const std::wstring& text, int voiceIndex) {
  record_->Add(L"text " + std::to_wstring(voiceIndex) + L" " + text);
  if (duringSynthesis) duringSynthesis();
  if (synthesisError != 0) throw SpeechError(synthesisError, "synthesis");
  return std::make_unique<FakeSound>();
}

std::unique_ptr<PreparedSound> FakeSpeechBackend::SoundFromWav(const uint8_t* data, size_t size) {
  record_->Add(L"wav " + std::to_wstring(size) + (size >= 4 && data[0] == 'R' ? L" RIFF" : L""));
  if (duringSynthesis) duringSynthesis();
  return std::make_unique<FakeSound>();
}

void FakeSpeechBackend::SetVolume(double volume) { record_->Add(L"volume " + std::to_wstring(volume)); }
void FakeSpeechBackend::Play(PreparedSound&) { record_->Add(L"play"); }
void FakeSpeechBackend::Halt() noexcept { record_->Add(L"halt"); }

FakeVoicevoxLibrary& FakeVoicevoxLibrary::Instance() {
  static FakeVoicevoxLibrary library;
  return library;
}

void FakeVoicevoxLibrary::Reset() { *this = FakeVoicevoxLibrary(); }

const VoicevoxApi* FakeVoicevoxLibrary::Api() const { return &kFakeApi; }

}  // namespace moorlink::test
