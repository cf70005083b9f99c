// BindVoicevoxLibrary and VoicevoxEngine against the test voicevox_core.dll. The library
// binds once per process, so every case runs the probe beside this exe in a process of
// its own, over a layout of its own in a temporary folder.
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/Platform.h"
#include "common/Text.h"
#include "speech/Voicevox.h"
#include "support/TempDir.h"

namespace moorlink::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  return value;
}

std::wstring BesideTest(const std::wstring& name) {
  const std::wstring exe = ModuleFilePath();
  return exe.substr(0, exe.find_last_of(L'\\') + 1) + name;
}

class VoicevoxWinTest : public ::testing::Test {
 protected:
  ~VoicevoxWinTest() override {
    SetEnvironmentVariableW(L"MOORLINK_VOICEVOX_RECORD", nullptr);
    SetEnvironmentVariableW(L"MOORLINK_VOICEVOX_SCENARIO", nullptr);
  }

  // A folder as beside Moorlink.exe: core (a copy of source, when given), runtime
  // placeholder, dictionary folder and vvms.
  std::wstring Layout(const std::wstring& name, const std::wstring& source, bool runtime = true,
                      bool dictionary = true) {
    const std::wstring folder = dir_.Child(name);
    std::filesystem::create_directories(ToFsPath(folder + L"\\vvms"));
    if (!source.empty()) {
      std::filesystem::copy_file(ToFsPath(BesideTest(source)), ToFsPath(folder + L"\\voicevox_core.dll"));
    }
    if (runtime) WriteFileBytes(folder + L"\\voicevox_onnxruntime.dll", "");
    if (dictionary) std::filesystem::create_directory(ToFsPath(folder + L"\\open_jtalk_dic_utf_8-1.11"));
    return folder;
  }

  // Runs the probe with the double's record and scenario here; its report lines.
  std::vector<std::string> Probe(const std::wstring& arguments, const std::string& scenario = "") {
    WriteFileBytes(scenario_, scenario);
    SetEnvironmentVariableW(L"MOORLINK_VOICEVOX_RECORD", record_.c_str());
    SetEnvironmentVariableW(L"MOORLINK_VOICEVOX_SCENARIO", scenario_.c_str());
    std::wstring line = L"\"" + BesideTest(L"moorlink_voicevox_probe.exe") + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      ADD_FAILURE() << "the probe does not start: " << GetLastError();
      return {};
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u) << "probe " << WideToUtf8(arguments);
    return Lines(ReadFileBytes(report_));
  }

  std::vector<std::string> Record() const { return Lines(ReadFileBytes(record_)); }

  TempDir dir_;
  const std::wstring record_ = dir_.Child(L"record.txt");
  const std::wstring scenario_ = dir_.Child(L"scenario.txt");
  const std::wstring report_ = dir_.Child(L"report.txt");
};

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

TEST_F(VoicevoxWinTest, BindsEveryExportOnceOrNothing) {
  struct Case {
    const char* name;
    std::wstring source;  // beside this exe; "text" for a file that is not a DLL, "" for none
    bool complete;
  };
  const Case cases[] = {
      {"the double", L"voicevox_core.dll", true},
      {"one export missing", L"partial_voicevox_core.dll", false},
      {"not a DLL", L"text", false},
      {"no file", L"", false},
  };
  const std::wstring other = Layout(L"other", L"voicevox_core.dll") + L"\\voicevox_core.dll";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring folder = Layout(Utf8ToWide(c.name), c.source == L"text" ? L"" : c.source);
    const std::wstring core = folder + L"\\voicevox_core.dll";
    if (c.source == L"text") WriteFileBytes(core, "MZ but not a library\r\n");
    DeleteFileW(record_.c_str());
    // The second call names another complete library: it must neither load nor change the answer.
    EXPECT_EQ(Probe(L"bind " + Quoted(report_) + L" " + Quoted(core) + L" " + Quoted(other)),
              (std::vector<std::string>{c.complete ? "first complete" : "first null", "second same",
                                        c.complete ? "module loaded" : "module absent", "module absent"}));
    std::vector<std::string> loaded;
    if (c.source.find(L".dll") != std::wstring::npos) loaded.push_back("loaded " + WideToUtf8(core));
    EXPECT_EQ(Record(), loaded);
  }
}

TEST_F(VoicevoxWinTest, LoadsTwoModelsAndSynthesizesThroughTheLibrary) {
  const std::wstring folder = Layout(L"音声 フォルダ", L"voicevox_core.dll");
  const std::string base = WideToUtf8(folder) + "\\";
  WriteFileBytes(folder + L"\\vvms\\a.vvm",
                 R"([{"name":"アルファ","styles":[{"name":"ノーマル","id":3},{"name":"ささやき","id":1}]}])");
  // a.vvm carries its metadata; b.vvm gets it from the scenario; y.vvm is a folder.
  WriteFileBytes(folder + L"\\vvms\\b.vvm", "not metadata");
  WriteFileBytes(folder + L"\\vvms\\notes.txt", "");
  std::filesystem::create_directory(ToFsPath(folder + L"\\vvms\\y.vvm"));
  std::vector<std::string> report =
      Probe(L"load " + Quoted(report_) + L" " + Quoted(folder) + L" 7 \"こんにちは?\"",
            "defaults 1 513 1\nmetas b.vvm [{\"name\":\"Beta\",\"styles\":[{\"name\":\"calm\",\"id\":7}]}]\n");

  ASSERT_EQ(report.size(), 7u) << testing::PrintToString(report);
  ASSERT_EQ(report[5].rfind("load ", 0), 0u);
  std::cout << "LoadVoicevox with two models took " << report[5].substr(5) << " us\n";
  report.erase(report.begin() + 5);
  EXPECT_EQ(report, (std::vector<std::string>{"ready 1", "voice 3 VOICEVOX: アルファ(ノーマル)",
                                              "voice 1 VOICEVOX: アルファ(ささやき)", "voice 7 VOICEVOX: Beta(calm)",
                                              "module loaded", "wav 4844"}));
  std::vector<std::string> expected = {
      "loaded " + base + "voicevox_core.dll",
      "make_default_load_onnxruntime_options",
      "onnxruntime_load_once voicevox_onnxruntime.dll 0",
      "open_jtalk_rc_new " + base + "open_jtalk_dic_utf_8-1.11 0",
      "make_default_initialize_options",
      "synthesizer_new 1 513 0",
  };
  for (const char* model : {"a.vvm", "b.vvm"}) {
    const std::string path = base + "vvms\\" + model;
    expected.insert(expected.end(),
                    {"voice_model_file_open " + path + " 0", "voice_model_file_create_metas_json " + path + " ok",
                     "json_free", "synthesizer_load_voice_model " + path + " 0", "voice_model_file_delete " + path});
  }
  expected.insert(expected.end(),
                  {"voice_model_file_open " + base + "vvms\\y.vvm 1", "make_default_tts_options",
                   "synthesizer_tts 7 1 こんにちは? 0 4844", "wav_free", "synthesizer_delete", "open_jtalk_rc_delete"});
  EXPECT_EQ(Record(), expected);

  const std::string wav = ReadFileBytes(report_ + L".wav");
  ASSERT_EQ(wav.size(), 4844u);
  EXPECT_EQ(wav.substr(0, 4) + wav.substr(8, 8) + wav.substr(36, 4), "RIFFWAVEfmt data");
  EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
  EXPECT_EQ(Le32(wav, 20), 0x00010001u);  // PCM, mono
  EXPECT_EQ(Le32(wav, 24), 24000u);
  EXPECT_EQ(Le32(wav, 32), 0x00100002u);  // 2 bytes a frame, 16 bits
  EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
}

TEST_F(VoicevoxWinTest, MissingItemLeavesTheLibraryUnloaded) {
  struct Case {
    const char* name;
    bool runtime;
    bool dictionary;
  };
  for (const Case& c : {Case{"no dictionary", true, false}, Case{"no runtime", false, true}}) {
    SCOPED_TRACE(c.name);
    const std::wstring folder = Layout(Utf8ToWide(c.name), L"voicevox_core.dll", c.runtime, c.dictionary);
    WriteFileBytes(folder + L"\\vvms\\a.vvm", R"([{"name":"A","styles":[{"name":"n","id":0}]}])");
    std::vector<std::string> report = Probe(L"load " + Quoted(report_) + L" " + Quoted(folder) + L" 0 text");
    ASSERT_EQ(report.size(), 4u) << testing::PrintToString(report);
    report.erase(report.begin() + 2);
    EXPECT_EQ(report, (std::vector<std::string>{"ready 0", "module absent", "synthesis failed"}));
    EXPECT_FALSE(PathExists(record_)) << "the library was called";
  }
}

}  // namespace
}  // namespace moorlink::test
