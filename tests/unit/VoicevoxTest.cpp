#include <filesystem>
#include <gtest/gtest.h>

#include "common/Text.h"
#include "speech/SpeechBackend.h"
#include "speech/Voicevox.h"
#include "support/FakeSpeech.h"
#include "support/TempDir.h"

namespace moorlink {
namespace {

using test::FakeVoicevoxLibrary;

std::vector<std::wstring> Names(const std::vector<VoicevoxVoice>& voices) {
  std::vector<std::wstring> names;
  for (const auto& v : voices) names.push_back(v.name + L"=" + std::to_wstring(v.styleId));
  return names;
}

TEST(VoicevoxMetas, ReadsUntilTheFirstFault) {
  struct Case {
    const char* json;
    std::vector<std::wstring> expected;
  };
  const Case cases[] = {
      {R"([{"name":"A","styles":[{"name":"x","id":1},{"name":"y","id":2}]},
           {"name":"B","styles":[{"name":"z","id":3},{"name":"w","id":4,"type":"talk"}]}])",
       {L"VOICEVOX: A(x)=1", L"VOICEVOX: A(y)=2", L"VOICEVOX: B(z)=3", L"VOICEVOX: B(w)=4"}},
      // The second speaker lacks "styles": the first speaker's voices stay.
      {R"([{"name":"A","styles":[{"name":"x","id":1}]},{"name":"B"}])", {L"VOICEVOX: A(x)=1"}},
      {R"([{"name":"A","styles":[{"name":"x","id":1},{"name":"y","id":"2"}]}])", {L"VOICEVOX: A(x)=1"}},
      {R"([{"name":"A","styles":[{"name":"x","id":1}]}, 5])", {L"VOICEVOX: A(x)=1"}},
      {R"([{"name":7,"styles":[]}])", {}},
      {R"({"name":"A","styles":[]})", {}},
      {R"([{"name":"A","styles":[{"name":"x","id":1}]})", {}},  // not JSON at all
      {"", {}},
      // Ids: the integer part, when it fits 32 bits unsigned; otherwise the reading ends.
      {R"([{"name":"A","styles":[{"name":"a","id":3.99},{"name":"b","id":-0.5},{"name":"c","id":4294967295}]}])",
       {L"VOICEVOX: A(a)=3", L"VOICEVOX: A(b)=0", L"VOICEVOX: A(c)=4294967295"}},
      {R"([{"name":"A","styles":[{"name":"a","id":1},{"name":"b","id":-1},{"name":"c","id":2}]}])",
       {L"VOICEVOX: A(a)=1"}},
      {R"([{"name":"A","styles":[{"name":"a","id":4294967296}]}])", {}},
      {R"([{"name":"A","styles":[{"name":"a","id":1e300}]}])", {}},
      {"[{\"name\":\"\xE3\x81\x9A\xFF\",\"styles\":[{\"name\":\"\xE3\x83\x8E\",\"id\":0}]}]",
       {L"VOICEVOX: \u305A\uFFFD(\u30CE)=0"}},
  };
  for (const Case& c : cases) {
    std::vector<VoicevoxVoice> voices{{L"before", 9}};
    ReadVoicevoxMetas(c.json, voices);
    std::vector<std::wstring> expected{L"before=9"};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(Names(voices), expected) << c.json;
  }
}

class VoicevoxLoading : public ::testing::Test {
 protected:
  void SetUp() override { FakeVoicevoxLibrary::Instance().Reset(); }

  FakeVoicevoxLibrary& lib() { return FakeVoicevoxLibrary::Instance(); }
  std::wstring Item(const wchar_t* name) const { return dir.Child(name); }
  static void Layout(const test::TempDir& folder, bool core, bool runtime, bool dictionary) {
    if (core) test::WriteFileBytes(folder.Child(kVoicevoxCoreName), "MZ");
    if (runtime) test::WriteFileBytes(folder.Child(kVoicevoxRuntimeName), "");
    if (dictionary) std::filesystem::create_directory(ToFsPath(folder.Child(kVoicevoxDictionaryName)));
  }
  void Layout() { Layout(dir, true, true, true); }
  void Model(const std::wstring& name, const std::string& metas) {
    std::filesystem::create_directories(ToFsPath(Item(kVoicevoxModelsName)));
    test::WriteFileBytes(Item(kVoicevoxModelsName) + kPathSeparator + name, "vvm");
    lib().metas[WideToUtf8(name)] = metas;
  }
  // Loads with a binder that hands out the fake table and counts its calls.
  std::vector<VoicevoxVoice> Load(VoicevoxEngine& engine, const test::TempDir* folder = nullptr) {
    std::vector<VoicevoxVoice> voices;
    engine.LoadVoicevox((folder ? folder : &dir)->path(),
                        [this](const std::wstring& path) {
                          boundPath = path;
                          return lib().Api();
                        },
                        voices);
    return voices;
  }

  test::TempDir dir;
  std::wstring boundPath;
};

TEST_F(VoicevoxLoading, AMissingItemMeansTheLibraryIsNeverTouched) {
  const bool layouts[][3] = {{false, true, true}, {true, false, true}, {true, true, false}};
  for (const auto& l : layouts) {
    test::TempDir folder;
    Layout(folder, l[0], l[1], l[2]);
    VoicevoxEngine engine;
    EXPECT_TRUE(Load(engine, &folder).empty());
    EXPECT_FALSE(engine.Ready());
  }
  EXPECT_TRUE(boundPath.empty());
  EXPECT_TRUE(lib().calls.empty());
}

TEST_F(VoicevoxLoading, LoadsEveryModelAndReleasesWhatItOwns) {
  Layout();
  Model(L"a.vvm", R"([{"name":"A","styles":[{"name":"x","id":1}]},{"name":"B"}])");
  Model(L"b.VVM", R"([{"name":"C","styles":[{"name":"z","id":3}]}])");
  Model(L"c.vvm.bak", R"([{"name":"C","styles":[{"name":"z","id":3}]}])");
  std::filesystem::create_directory(ToFsPath(Item(L"vvms") + kPathSeparator + L"y.vvm"));
  {
    VoicevoxEngine engine;
    EXPECT_EQ(Names(Load(engine)), std::vector<std::wstring>{L"VOICEVOX: A(x)=1"});
    EXPECT_TRUE(engine.Ready());
    EXPECT_EQ(boundPath, Item(kVoicevoxCoreName));
    EXPECT_EQ(lib().lastDictionaryPath, WideToUtf8(Item(kVoicevoxDictionaryName)));

    // The folder y.vvm is tried and skipped; the model with a broken speaker still loads.
    std::vector<std::string> opened;
    for (const auto& c : lib().calls) {
      if (c.rfind("voice_model_file_open", 0) == 0) opened.push_back(c);
    }
    std::sort(opened.begin(), opened.end());
    EXPECT_EQ(opened, (std::vector<std::string>{"voice_model_file_open a.vvm", "voice_model_file_open y.vvm"}));
    const std::vector<std::string> start(lib().calls.begin(), lib().calls.begin() + 5);
    EXPECT_EQ(start,
              (std::vector<std::string>{"make_default_load_onnxruntime_options", "onnxruntime_load_once",
                                        "open_jtalk_rc_new", "make_default_initialize_options", "synthesizer_new"}));
    EXPECT_EQ(std::count(lib().calls.begin(), lib().calls.end(), "load_voice_model"), 1);
    EXPECT_EQ(lib().liveHandles["model"], 0);

    const VoicevoxWav wav = engine.SynthesizeVoicevox(L"こんにちは", 1);
    EXPECT_EQ(wav.size(), 44u);
    EXPECT_EQ(lib().lastText, "こんにちは#1");
    EXPECT_EQ(lib().liveHandles["wav"], 1);
  }
  EXPECT_EQ(lib().liveHandles["wav"], 0);
  const std::vector<std::string> end(lib().calls.end() - 3, lib().calls.end());
  EXPECT_EQ(end, (std::vector<std::string>{"wav_free", "synthesizer_delete", "open_jtalk_rc_delete"}));
}

TEST_F(VoicevoxLoading, StopsAtTheFirstFailingStep) {
  struct Case {
    const char* failing;
    bool ready;
    int dictionariesLeftAfterLoad;
  };
  const Case cases[] = {
      {"onnxruntime_load_once", false, 0}, {"open_jtalk_rc_new", false, 0},
      {"synthesizer_new", false, 1},                                       // the dictionary stays until teardown
      {"create_metas_json", true, 1},      {"load_voice_model", true, 1},  // not noticed: the voices are offered
  };
  Layout();
  Model(L"a.vvm", R"([{"name":"A","styles":[{"name":"x","id":1}]}])");
  for (const Case& c : cases) {
    lib().Reset();
    lib().metas["a.vvm"] = R"([{"name":"A","styles":[{"name":"x","id":1}]}])";
    lib().failing = {c.failing};
    {
      VoicevoxEngine engine;
      const auto voices = Load(engine);
      EXPECT_EQ(engine.Ready(), c.ready) << c.failing;
      EXPECT_EQ(voices.size(), std::string(c.failing) == "load_voice_model" ? 1u : 0u) << c.failing;
      EXPECT_EQ(lib().liveHandles["dictionary"], c.dictionariesLeftAfterLoad) << c.failing;
      if (std::string(c.failing) == "onnxruntime_load_once") {
        EXPECT_EQ(lib().calls.size(), 2u);
      }
    }
    EXPECT_EQ(lib().liveHandles["dictionary"], 0) << c.failing;
    EXPECT_EQ(lib().liveHandles["synthesizer"], 0) << c.failing;
    EXPECT_EQ(lib().liveHandles["model"], 0) << c.failing;
  }
}

TEST_F(VoicevoxLoading, CreatesAMissingModelsFolderAndOffersNoVoice) {
  Layout();
  VoicevoxEngine engine;
  EXPECT_TRUE(Load(engine).empty());
  EXPECT_TRUE(engine.Ready());
  EXPECT_TRUE(std::filesystem::is_directory(ToFsPath(Item(kVoicevoxModelsName))));
  EXPECT_EQ(lib().calls.back(), "synthesizer_new");
}

TEST_F(VoicevoxLoading, AFailedSynthesisRaisesEFail) {
  Layout();
  VoicevoxEngine engine;
  Load(engine);
  lib().failing = {"synthesizer_tts"};
  try {
    engine.SynthesizeVoicevox(L"x", 1);
    FAIL() << "no error";
  } catch (const SpeechError& e) {
    EXPECT_EQ(e.hr(), kSpeechEFail);
    EXPECT_STREQ(e.what(), "VOICEVOX v0.16 Synthesis failed");
  }
  EXPECT_EQ(lib().liveHandles["wav"], 0);
}

}  // namespace
}  // namespace moorlink
