#include <windows.h>

#include <cstring>

#include "common/UniqueHandle_win.h"
#include "speech/Voicevox.h"

namespace moorlink {
namespace {

static_assert(sizeof(FARPROC) == sizeof(void (*)()));

// The library from its full path with every export bound, or null; a library that lacks
// any export is freed again, so it never lingers half-bound.
const VoicevoxApi* LoadAndBind(const std::wstring& corePath) noexcept {
  static VoicevoxApi api{};
  if (corePath.empty()) return nullptr;
  // A broken or foreign DLL must fail quietly, not with a system dialog over the tray.
  DWORD oldMode = 0;
  const BOOL modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
  // Altered search path: the core finds voicevox_onnxruntime.dll in its own folder.
  UniqueModule module(LoadLibraryExW(corePath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (modeSet) SetThreadErrorMode(oldMode, nullptr);
  if (!module) return nullptr;

  VoicevoxApi table{};
  auto* slot = reinterpret_cast<unsigned char*>(&table);
  for (const char* name : kVoicevoxExportNames) {
    const FARPROC proc = GetProcAddress(module.get(), name);
    if (proc == nullptr) return nullptr;
    // The table's members are function pointers in the names' order (checked beside them).
    std::memcpy(slot, &proc, sizeof proc);
    slot += sizeof proc;
  }
  api = table;
  module.release();  // bound for the life of the process
  return &api;
}

}  // namespace

const VoicevoxApi* BindVoicevoxLibrary(const std::wstring& corePath) {
  // The first call decides for the whole process: the library's runtime is process-wide
  // and the module is never unloaded, so a second binding could only disagree with it.
  static const VoicevoxApi* const bound = LoadAndBind(corePath);
  return bound;
}

}  // namespace moorlink
