// Binds or loads VOICEVOX once in a fresh process, as Moorlink does at its start (the
// library binds once per process), and writes what it saw to a report file, UTF-8 lines.
//   probe bind <report> <core path> <second core path>
//     first <complete|null>     BindVoicevoxLibrary(core path); complete: every slot set
//     second <same|other>       a second call, with the second path, gives the same table
//     module <loaded|absent>    GetModuleHandleW of each path afterwards, in that order
//   probe load <report> <exe folder> <style id> <text>
//     ready <0|1>, then "voice <style id> <name>" per voice, module <loaded|absent> (the
//     core beside the exe folder), "load <microseconds>", and "wav <size>" (the image in
//     <report>.wav) or "synthesis failed"
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "common/Text.h"
#include "speech/Voicevox.h"

namespace moorlink {
namespace {

std::string Module(const std::wstring& path) {
  return GetModuleHandleW(path.c_str()) != nullptr ? "module loaded" : "module absent";
}

std::vector<std::string> Bind(const std::wstring& first, const std::wstring& second) {
  const VoicevoxApi* api = BindVoicevoxLibrary(first);
  bool complete = api != nullptr;
  for (size_t i = 0; complete && i < std::size(kVoicevoxExportNames); ++i) {
    complete = reinterpret_cast<void* const*>(api)[i] != nullptr;
  }
  return {complete ? "first complete" : "first null",
          BindVoicevoxLibrary(second) == api ? "second same" : "second other", Module(first), Module(second)};
}

std::vector<std::string> Load(const std::wstring& folder, VoicevoxStyleId styleId, const std::wstring& text,
                              const std::wstring& wavPath) {
  std::vector<VoicevoxVoice> voices;
  VoicevoxEngine engine;
  const auto start = std::chrono::steady_clock::now();
  engine.LoadVoicevox(folder, BindVoicevoxLibrary, voices);
  const auto took = std::chrono::steady_clock::now() - start;
  std::vector<std::string> report = {engine.Ready() ? "ready 1" : "ready 0"};
  for (const VoicevoxVoice& voice : voices) {
    report.push_back("voice " + std::to_string(voice.styleId) + " " + WideToUtf8(voice.name));
  }
  report.push_back(Module(folder + L"\\" + kVoicevoxCoreName));
  report.push_back("load " + std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(took).count()));
  try {
    const VoicevoxWav wav = engine.SynthesizeVoicevox(text, styleId);
    std::ofstream(ToFsPath(wavPath), std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    report.push_back("wav " + std::to_string(wav.size()));
  } catch (const std::exception&) {
    report.push_back("synthesis failed");
  }
  return report;
}

}  // namespace
}  // namespace moorlink

int main() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr || count < 5) return 2;
  const std::vector<std::wstring> args(argv, argv + count);
  LocalFree(argv);
  std::vector<std::string> report;
  if (args[1] == L"bind") {
    report = moorlink::Bind(args[3], args[4]);
  } else if (args[1] == L"load" && count == 6) {
    report = moorlink::Load(args[3], static_cast<moorlink::VoicevoxStyleId>(std::stoul(args[4])), args[5],
                            args[2] + L".wav");
  } else {
    return 2;
  }
  std::ofstream out(moorlink::ToFsPath(args[2]), std::ios::binary);
  for (const std::string& line : report) out << line << '\n';
  return out ? 0 : 1;
}
