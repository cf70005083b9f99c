// A test voicevox_core.dll: the fifteen functions of the library's C API (0.16) that
// Moorlink calls, answered from a scenario file and recorded. Tests copy it into a layout
// of their own as voicevox_core.dll; it never loads voicevox_onnxruntime.dll.
//
// Environment (read at every call, so a test may change it between calls):
//   MOORLINK_VOICEVOX_RECORD    optional file to which every call appends one UTF-8 line
//                               (see "Record lines"); loading the DLL appends
//                               "loaded <module path>".
//   MOORLINK_VOICEVOX_SCENARIO  optional scenario file (UTF-8, one item per line; blank
//                               lines and lines starting with # ignored):
//     metas <file name> <json>  the metadata of every model whose path ends with
//                               <file name>: the rest of the line. Without a matching
//                               line, a model's metadata is the model file's own content.
//     fail <function>           that function returns 1 (create_metas_json: null).
//     defaults <acceleration mode> <cpu threads> <upspeak 0|1>
//                               what make_default_initialize_options and
//                               make_default_tts_options return (default: 0 0 1).
//   A line it cannot read is recorded as "scenario bad line <n>" and skipped.
//
// Behaviour beyond the scenario, as the library behaves:
//   open_jtalk_rc_new fails unless the UTF-8 path names a folder; voice_model_file_open
//   unless it names a regular file. synthesizer_new fails for a runtime or dictionary not
//   handed out; tts for a style id that no model loaded into the synthesizer declares
//   ("id": <n> anywhere in its metadata). onnxruntime_load_once hands out one runtime for
//   the process. tts gives 0.1 s of a 440 Hz tone: RIFF/WAVE, PCM 16-bit mono 24000 Hz.
//
// Record lines (function names without the "voicevox_" prefix):
//   make_default_load_onnxruntime_options   make_default_initialize_options
//   make_default_tts_options
//   onnxruntime_load_once <filename> <result>
//   open_jtalk_rc_new <dictionary folder> <result>
//   synthesizer_new <acceleration mode> <cpu threads> <result>
//   voice_model_file_open <path> <result>
//   voice_model_file_create_metas_json <model path|?> <ok|null>
//   synthesizer_load_voice_model <model path|?> <result>
//   synthesizer_tts <style id> <upspeak byte> <text> <result> <wav length>
//   json_free   voice_model_file_delete <model path>   wav_free   synthesizer_delete
//   open_jtalk_rc_delete
//   A release of a pointer not handed out, or released already, is "<function> bad free".
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "speech/VoicevoxApi.h"

namespace moorlink {

// The dictionary, synthesizer and model objects behind the library's opaque handles.
struct OpenJtalkRc {
  std::string folder;
};
struct VoicevoxSynthesizer {
  std::set<uint32_t> styles;
};
struct VoicevoxVoiceModelFile {
  std::string path;
  std::string metas;
};
struct VoicevoxOnnxruntime {
  int unused = 0;
};

namespace {

struct Scenario {
  std::vector<std::pair<std::string, std::string>> metas;  // file name ending, JSON
  std::set<std::string> failing;
  VoicevoxInitializeOptions initialize{0, 0};
  VoicevoxTtsOptions tts{true};
};

std::recursive_mutex gLock;
VoicevoxOnnxruntime gRuntime;
bool gRuntimeLoaded = false;
std::map<const void*, std::string> gLive;  // every pointer handed out, with its kind

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
  if (n == 0 || n >= 32768) return {};
  return std::wstring(buffer, n);
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr, nullptr);
  }
  return narrow;
}

void Record(const std::string& line) {
  const std::wstring path = Env(L"MOORLINK_VOICEVOX_RECORD");
  if (path.empty()) return;
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text;
  for (const char c : line) text += c == '\n' ? std::string("\\n") : std::string(1, c);
  text += '\n';
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool ReadFileText(const std::wstring& path, std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
  CloseHandle(file);
  return true;
}

Scenario LoadScenario() {
  Scenario scenario;
  std::string text;
  const std::wstring path = Env(L"MOORLINK_VOICEVOX_SCENARIO");
  if (path.empty() || !ReadFileText(path, text)) return scenario;
  size_t pos = 0;
  for (int number = 1; pos < text.size(); ++number) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t verbEnd = line.find(' ');
    const std::string verb = line.substr(0, verbEnd);
    const std::string rest = verbEnd == std::string::npos ? "" : line.substr(verbEnd + 1);
    const size_t nameEnd = rest.find(' ');
    int mode = 0, threads = 0, upspeak = 0;
    char tail = 0;
    if (verb == "metas" && nameEnd != std::string::npos && nameEnd > 0) {
      scenario.metas.emplace_back(rest.substr(0, nameEnd), rest.substr(nameEnd + 1));
    } else if (verb == "fail" && !rest.empty() && nameEnd == std::string::npos) {
      scenario.failing.insert(rest);
    } else if (verb == "defaults" && std::sscanf(rest.c_str(), "%d %d %d %c", &mode, &threads, &upspeak, &tail) == 3 &&
               threads >= 0 && threads <= 0xFFFF && (upspeak == 0 || upspeak == 1)) {
      scenario.initialize = {mode, static_cast<uint16_t>(threads)};
      scenario.tts = {upspeak == 1};
    } else {
      Record("scenario bad line " + std::to_string(number));
    }
  }
  return scenario;
}

bool Fails(const Scenario& scenario, const char* function) { return scenario.failing.count(function) > 0; }

DWORD Attributes(const char* utf8Path) {
  const std::wstring path = utf8Path == nullptr ? std::wstring() : FromUtf8(utf8Path);
  return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
}

bool Live(const void* pointer, const char* kind) {
  const auto it = gLive.find(pointer);
  return it != gLive.end() && it->second == kind;
}

// Forgets a pointer handed out as kind; false (recorded) for one that is not live.
bool Release(const void* pointer, const char* kind, const char* function) {
  if (!Live(pointer, kind)) {
    Record(std::string(function) + " bad free");
    return false;
  }
  gLive.erase(pointer);
  return true;
}

std::string ModelName(const VoicevoxVoiceModelFile* model) {
  return Live(model, "model") ? model->path : std::string("?");
}

// The style ids a metadata text declares: every "id" member's number.
std::set<uint32_t> StyleIds(const std::string& metas) {
  std::set<uint32_t> ids;
  for (size_t at = metas.find("\"id\""); at != std::string::npos; at = metas.find("\"id\"", at + 4)) {
    size_t i = at + 4;
    while (i < metas.size() && (metas[i] == ' ' || metas[i] == ':')) ++i;
    if (i < metas.size() && metas[i] >= '0' && metas[i] <= '9') {
      ids.insert(static_cast<uint32_t>(std::strtoul(metas.c_str() + i, nullptr, 10)));
    }
  }
  return ids;
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (; *tag; ++tag) out.push_back(static_cast<uint8_t>(*tag));
}

std::vector<uint8_t> ToneWav() {
  constexpr uint32_t kRate = 24000, kSamples = kRate / 10, kDataBytes = kSamples * 2;
  std::vector<uint8_t> wav;
  PutTag(wav, "RIFF");
  PutLe(wav, 36 + kDataBytes, 4);
  PutTag(wav, "WAVEfmt ");
  PutLe(wav, 16, 4);
  PutLe(wav, 1, 2);  // PCM
  PutLe(wav, 1, 2);  // mono
  PutLe(wav, kRate, 4);
  PutLe(wav, kRate * 2, 4);
  PutLe(wav, 2, 2);
  PutLe(wav, 16, 2);
  PutTag(wav, "data");
  PutLe(wav, kDataBytes, 4);
  for (uint32_t i = 0; i < kSamples; ++i) {
    const double sample = 8000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * i / kRate);
    PutLe(wav, static_cast<uint32_t>(static_cast<int16_t>(std::lround(sample))), 2);
  }
  return wav;
}

}  // namespace
}  // namespace moorlink

using namespace moorlink;

// The missing-export variant leaves the last function unexported.
#ifdef MOORLINK_VOICEVOX_WITHOUT_LAST_EXPORT
#define VOICEVOX_LAST_EXPORT
#else
#define VOICEVOX_LAST_EXPORT __declspec(dllexport)
#endif

extern "C" {

__declspec(dllexport) VoicevoxLoadOnnxruntimeOptions voicevox_make_default_load_onnxruntime_options() {
  Record("make_default_load_onnxruntime_options");
  return {"voicevox_onnxruntime.dll"};
}

__declspec(dllexport) VoicevoxResultCode voicevox_onnxruntime_load_once(VoicevoxLoadOnnxruntimeOptions options,
                                                                        const VoicevoxOnnxruntime** out_onnxruntime) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  const bool fail = Fails(LoadScenario(), "onnxruntime_load_once") || out_onnxruntime == nullptr;
  if (!fail) {
    gRuntimeLoaded = true;
    *out_onnxruntime = &gRuntime;
  }
  Record(std::string("onnxruntime_load_once ") + (options.filename ? options.filename : "(null)") + " " +
         (fail ? "1" : "0"));
  return fail ? 1 : kVoicevoxOk;
}

__declspec(dllexport) VoicevoxResultCode
    voicevox_open_jtalk_rc_new(const char* open_jtalk_dic_dir, OpenJtalkRc** out_open_jtalk) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  const DWORD attributes = Attributes(open_jtalk_dic_dir);
  const bool fail = Fails(LoadScenario(), "open_jtalk_rc_new") || out_open_jtalk == nullptr ||
                    attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!fail) {
    *out_open_jtalk = new OpenJtalkRc{open_jtalk_dic_dir};
    gLive[*out_open_jtalk] = "dictionary";
  }
  Record(std::string("open_jtalk_rc_new ") + (open_jtalk_dic_dir ? open_jtalk_dic_dir : "(null)") + " " +
         (fail ? "1" : "0"));
  return fail ? 1 : kVoicevoxOk;
}

__declspec(dllexport) VoicevoxInitializeOptions voicevox_make_default_initialize_options() {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  Record("make_default_initialize_options");
  return LoadScenario().initialize;
}

__declspec(dllexport) VoicevoxResultCode
    voicevox_synthesizer_new(const VoicevoxOnnxruntime* onnxruntime, const OpenJtalkRc* open_jtalk,
                             VoicevoxInitializeOptions options, VoicevoxSynthesizer** out_synthesizer) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  const bool fail = Fails(LoadScenario(), "synthesizer_new") || out_synthesizer == nullptr ||
                    onnxruntime != &gRuntime || !gRuntimeLoaded || !Live(open_jtalk, "dictionary");
  if (!fail) {
    *out_synthesizer = new VoicevoxSynthesizer;
    gLive[*out_synthesizer] = "synthesizer";
  }
  Record("synthesizer_new " + std::to_string(options.acceleration_mode) + " " +
         std::to_string(options.cpu_num_threads) + " " + (fail ? "1" : "0"));
  return fail ? 1 : kVoicevoxOk;
}

__declspec(dllexport) VoicevoxResultCode
    voicevox_voice_model_file_open(const char* path, VoicevoxVoiceModelFile** out_model) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  const Scenario scenario = LoadScenario();
  const DWORD attributes = Attributes(path);
  std::string content;
  const bool fail = Fails(scenario, "voice_model_file_open") || out_model == nullptr ||
                    attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
                    !ReadFileText(FromUtf8(path), content);
  if (!fail) {
    const std::string name = path;
    for (const auto& [ending, json] : scenario.metas) {
      if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
        content = json;
        break;
      }
    }
    *out_model = new VoicevoxVoiceModelFile{name, content};
    gLive[*out_model] = "model";
  }
  Record(std::string("voice_model_file_open ") + (path ? path : "(null)") + " " + (fail ? "1" : "0"));
  return fail ? 1 : kVoicevoxOk;
}

__declspec(dllexport) char* voicevox_voice_model_file_create_metas_json(const VoicevoxVoiceModelFile* model) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  char* json = nullptr;
  if (!Fails(LoadScenario(), "voice_model_file_create_metas_json") && Live(model, "model")) {
    json = new char[model->metas.size() + 1];
    std::memcpy(json, model->metas.c_str(), model->metas.size() + 1);
    gLive[json] = "json";
  }
  Record("voice_model_file_create_metas_json " + ModelName(model) + (json ? " ok" : " null"));
  return json;
}

__declspec(dllexport) void voicevox_json_free(char* json) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  if (!Release(json, "json", "json_free")) return;
  delete[] json;
  Record("json_free");
}

__declspec(dllexport) VoicevoxResultCode
    voicevox_synthesizer_load_voice_model(const VoicevoxSynthesizer* synthesizer, const VoicevoxVoiceModelFile* model) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  const bool fail = Fails(LoadScenario(), "synthesizer_load_voice_model") || !Live(synthesizer, "synthesizer") ||
                    !Live(model, "model");
  if (!fail) {
    const std::set<uint32_t> ids = StyleIds(model->metas);
    const_cast<VoicevoxSynthesizer*>(synthesizer)->styles.insert(ids.begin(), ids.end());
  }
  Record("synthesizer_load_voice_model " + ModelName(model) + " " + (fail ? "1" : "0"));
  return fail ? 1 : kVoicevoxOk;
}

__declspec(dllexport) void voicevox_voice_model_file_delete(VoicevoxVoiceModelFile* model) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  if (!Release(model, "model", "voice_model_file_delete")) return;
  Record("voice_model_file_delete " + model->path);
  delete model;
}

__declspec(dllexport) VoicevoxTtsOptions voicevox_make_default_tts_options() {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  Record("make_default_tts_options");
  return LoadScenario().tts;
}

__declspec(dllexport) VoicevoxResultCode
    voicevox_synthesizer_tts(const VoicevoxSynthesizer* synthesizer, const char* text, VoicevoxStyleId style_id,
                             VoicevoxTtsOptions options, uintptr_t* output_wav_length, uint8_t** output_wav) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  const bool fail = Fails(LoadScenario(), "synthesizer_tts") || !Live(synthesizer, "synthesizer") ||
                    synthesizer->styles.count(style_id) == 0 || text == nullptr || output_wav_length == nullptr ||
                    output_wav == nullptr;
  size_t length = 0;
  if (!fail) {
    const std::vector<uint8_t> wav = ToneWav();
    *output_wav = new uint8_t[wav.size()];
    std::memcpy(*output_wav, wav.data(), wav.size());
    *output_wav_length = length = wav.size();
    gLive[*output_wav] = "wav";
  }
  // The bool's byte as it arrived: the options record travels by value.
  unsigned char upspeak = 0;
  std::memcpy(&upspeak, &options.enable_interrogative_upspeak, 1);
  Record("synthesizer_tts " + std::to_string(style_id) + " " + std::to_string(upspeak) + " " +
         (text ? text : "(null)") + " " + (fail ? "1 " : "0 ") + std::to_string(length));
  return fail ? 1 : kVoicevoxOk;
}

__declspec(dllexport) void voicevox_wav_free(uint8_t* wav) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  if (!Release(wav, "wav", "wav_free")) return;
  delete[] wav;
  Record("wav_free");
}

__declspec(dllexport) void voicevox_synthesizer_delete(VoicevoxSynthesizer* synthesizer) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  if (!Release(synthesizer, "synthesizer", "synthesizer_delete")) return;
  delete synthesizer;
  Record("synthesizer_delete");
}

VOICEVOX_LAST_EXPORT void voicevox_open_jtalk_rc_delete(OpenJtalkRc* open_jtalk) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  if (!Release(open_jtalk, "dictionary", "open_jtalk_rc_delete")) return;
  delete open_jtalk;
  Record("open_jtalk_rc_delete");
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(instance, path, MAX_PATH * 4);
    Record("loaded " + ToUtf8(std::wstring(path, n < MAX_PATH * 4 ? n : 0)));
  }
  return TRUE;
}

}  // extern "C"

// Every export has exactly the type of its slot in the table Moorlink binds.
#define SAME_TYPE(name) static_assert(std::is_same_v<decltype(&name), decltype(VoicevoxApi::name)>, #name)
SAME_TYPE(voicevox_make_default_load_onnxruntime_options);
SAME_TYPE(voicevox_onnxruntime_load_once);
SAME_TYPE(voicevox_open_jtalk_rc_new);
SAME_TYPE(voicevox_make_default_initialize_options);
SAME_TYPE(voicevox_synthesizer_new);
SAME_TYPE(voicevox_voice_model_file_open);
SAME_TYPE(voicevox_voice_model_file_create_metas_json);
SAME_TYPE(voicevox_json_free);
SAME_TYPE(voicevox_synthesizer_load_voice_model);
SAME_TYPE(voicevox_voice_model_file_delete);
SAME_TYPE(voicevox_make_default_tts_options);
SAME_TYPE(voicevox_synthesizer_tts);
SAME_TYPE(voicevox_wav_free);
SAME_TYPE(voicevox_synthesizer_delete);
SAME_TYPE(voicevox_open_jtalk_rc_delete);
