// Our Windows Runtime declarations and the speech backend against Wine's Windows Runtime.
// Wine 8 has a SpeechSynthesizer (no voices) but no MediaPlayer, MediaSource,
// InMemoryRandomAccessStream or DataWriter, so playback itself cannot run here.
#include <windows.h>
#include <bcrypt.h>
#include <roapi.h>
#include <winstring.h>

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include <wrl/client.h>

#include "speech/WinRtAbi_win.h"
#include "speech/WinRtDelegate_win.h"
#include "speech/WindowsSpeech_win.h"

extern "C" const GUID* MoorlinkMingwIid(const char* name);  // WinRtIids_winTest.c

namespace moorlink::test {
namespace {

using Microsoft::WRL::ComPtr;

class TestHString {
 public:
  explicit TestHString(const std::wstring& text) {
    EXPECT_HRESULT_SUCCEEDED(WindowsCreateString(text.c_str(), static_cast<UINT32>(text.size()), &value));
  }
  ~TestHString() { WindowsDeleteString(value); }
  HSTRING value = nullptr;
};

class WinRtTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
  void TearDown() override { CoUninitialize(); }
};

std::string Lower(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

// The Windows Runtime's IID of a parameterized interface: SHA-1 over its namespace GUID and
// the type signature, shaped as a version 5 GUID.
GUID ParameterizedIid(const std::string& signature) {
  const unsigned char space[16] = {0x11, 0xf4, 0x7a, 0xd5, 0x7b, 0x73, 0x42, 0xc0,
                                   0xab, 0xae, 0x87, 0x8b, 0x1e, 0x16, 0xad, 0xee};
  std::string input(reinterpret_cast<const char*>(space), sizeof space);
  input += signature;
  BCRYPT_ALG_HANDLE sha1 = nullptr;
  unsigned char h[20] = {};
  EXPECT_EQ(BCryptOpenAlgorithmProvider(&sha1, BCRYPT_SHA1_ALGORITHM, nullptr, 0), 0);
  EXPECT_EQ(BCryptHash(sha1, nullptr, 0, reinterpret_cast<PUCHAR>(input.data()), input.size(), h, sizeof h), 0);
  BCryptCloseAlgorithmProvider(sha1, 0);
  return GUID{static_cast<unsigned long>(h[0] << 24 | h[1] << 16 | h[2] << 8 | h[3]),
              static_cast<unsigned short>(h[4] << 8 | h[5]),
              static_cast<unsigned short>(((h[6] << 8 | h[7]) & 0x0fff) | 0x5000),
              {static_cast<unsigned char>((h[8] & 0x3f) | 0x80), h[9], h[10], h[11], h[12], h[13], h[14], h[15]}};
}

TEST(WinRtIids, ParameterizedIidsFollowFromTheirSignatures) {
  const std::string vectorView = "{bbe1fa4c-b0e3-4583-baef-1f1b2e483e56}";
  const std::string operation = "{9fc2b0bb-e446-44e2-aa61-9cab8f636af2}";
  const std::string completed = "{fcdcf02c-e5d8-4478-915a-4d90b74b83a5}";
  const std::string typedEvent = "{9de1c534-6ae1-11e0-84e1-18a905bcc53f}";
  const std::string voice =
      "rc(Windows.Media.SpeechSynthesis.VoiceInformation;" + Lower(__uuidof(abi::IVoiceInformation)) + ")";
  const std::string stream =
      "rc(Windows.Media.SpeechSynthesis.SpeechSynthesisStream;" + Lower(__uuidof(abi::ISpeechSynthesisStream)) + ")";
  const std::string player = "rc(Windows.Media.Playback.MediaPlayer;" + Lower(__uuidof(abi::IMediaPlayer)) + ")";
  const std::string failedArgs =
      "rc(Windows.Media.Playback.MediaPlayerFailedEventArgs;{2744e9b9-a7e3-4f16-bac4-7914ebc08301})";
  const struct {
    std::string signature;
    GUID declared;
  } cases[] = {
      {"pinterface(" + vectorView + ";" + voice + ")", __uuidof(abi::IVoiceInformationVectorView)},
      {"pinterface(" + operation + ";" + stream + ")", __uuidof(abi::ISpeechSynthesisStreamOperation)},
      {"pinterface(" + completed + ";" + stream + ")", __uuidof(abi::ISpeechSynthesisStreamCompletedHandler)},
      {"pinterface(" + operation + ";u4)", __uuidof(abi::IUInt32Operation)},
      {"pinterface(" + completed + ";u4)", __uuidof(abi::IUInt32CompletedHandler)},
      {"pinterface(" + typedEvent + ";" + player + ";cinterface(IInspectable))",
       __uuidof(abi::MediaPlayerEventHandler)},
      {"pinterface(" + typedEvent + ";" + player + ";" + failedArgs + ")",
       __uuidof(abi::MediaPlayerFailedEventHandler)},
  };
  for (const auto& c : cases) EXPECT_EQ(Lower(ParameterizedIid(c.signature)), Lower(c.declared)) << c.signature;
}

TEST(WinRtIids, MatchMingwHeadersWhereTheyDeclareThem) {
  const struct {
    const char* name;
    GUID ours;
  } cases[] = {
      {"IAsyncInfo", __uuidof(abi::IAsyncInfo)},
      {"IClosable", __uuidof(abi::IClosable)},
      {"ISpeechSynthesizer", __uuidof(abi::ISpeechSynthesizer)},
      {"ISpeechSynthesisStream", __uuidof(abi::ISpeechSynthesisStream)},
      {"IVoiceInformation", __uuidof(abi::IVoiceInformation)},
      {"IInstalledVoicesStatic", __uuidof(abi::IInstalledVoicesStatic)},
      {"IVectorView<VoiceInformation>", __uuidof(abi::IVoiceInformationVectorView)},
      {"IAsyncOperation<SpeechSynthesisStream>", __uuidof(abi::ISpeechSynthesisStreamOperation)},
      {"AsyncOperationCompletedHandler<SpeechSynthesisStream>", __uuidof(abi::ISpeechSynthesisStreamCompletedHandler)},
  };
  for (const auto& c : cases) {
    const GUID* theirs = MoorlinkMingwIid(c.name);
    ASSERT_NE(theirs, nullptr) << c.name;
    EXPECT_EQ(Lower(c.ours), Lower(*theirs)) << c.name;
  }
}

TEST(WinRtDelegate, AnswersItsIidUnknownAndAgileObjectOnly) {
  auto calls = std::make_shared<int>(0);
  ComPtr<abi::MediaPlayerEventHandler> handler =
      WinRtDelegate<abi::MediaPlayerEventHandler, abi::IMediaPlayer*, IInspectable*>::Create(
          [calls](abi::IMediaPlayer*, IInspectable*) { ++*calls; });
  for (const IID& iid : {__uuidof(abi::MediaPlayerEventHandler), __uuidof(IUnknown), __uuidof(IAgileObject)}) {
    ComPtr<IUnknown> answer;
    EXPECT_HRESULT_SUCCEEDED(handler->QueryInterface(iid, &answer)) << Lower(iid);
    EXPECT_EQ(answer.Get(), static_cast<IUnknown*>(handler.Get()));
  }
  void* other = &calls;
  EXPECT_EQ(handler->QueryInterface(__uuidof(abi::MediaPlayerFailedEventHandler), &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);

  EXPECT_HRESULT_SUCCEEDED(handler->Invoke(nullptr, nullptr));
  EXPECT_EQ(*calls, 1);
  handler.Reset();
  EXPECT_EQ(calls.use_count(), 1) << "the last Release frees the delegate and its callback";
}

// Every interface Wine implements answers our IID; a wrong IID or method order fails here.
TEST_F(WinRtTest, WineSpeechObjectsAnswerOurInterfaces) {
  TestHString name(abi::kSpeechSynthesizerClass);
  ComPtr<IInspectable> synthesizer;
  ASSERT_HRESULT_SUCCEEDED(RoActivateInstance(name.value, &synthesizer));
  ComPtr<abi::IInstalledVoicesStatic> statics;
  ASSERT_HRESULT_SUCCEEDED(RoGetActivationFactory(name.value, __uuidof(abi::IInstalledVoicesStatic), &statics));
  ComPtr<abi::IVoiceInformationVectorView> voices;
  ASSERT_HRESULT_SUCCEEDED(statics->get_AllVoices(&voices));
  UINT32 count = 0;
  ASSERT_HRESULT_SUCCEEDED(voices->get_Size(&count));

  ComPtr<abi::ISpeechSynthesizer> speech;
  ASSERT_HRESULT_SUCCEEDED(synthesizer.As(&speech));
  TestHString text(L"接続が切れました");
  ComPtr<abi::ISpeechSynthesisStreamOperation> operation;
  ASSERT_HRESULT_SUCCEEDED(speech->SynthesizeTextToStreamAsync(text.value, &operation));
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  abi::AsyncStatus status = abi::AsyncStatus::Started;
  ComPtr<abi::ISpeechSynthesisStreamCompletedHandler> completed =
      WinRtDelegate<abi::ISpeechSynthesisStreamCompletedHandler, abi::ISpeechSynthesisStreamOperation*,
                    abi::AsyncStatus>::Create([&](abi::ISpeechSynthesisStreamOperation*, abi::AsyncStatus s) {
        status = s;
        SetEvent(done);
      });
  ASSERT_HRESULT_SUCCEEDED(operation->put_Completed(completed.Get()));
  ASSERT_EQ(WaitForSingleObject(done, 10000), WAIT_OBJECT_0);
  CloseHandle(done);
  ASSERT_EQ(status, abi::AsyncStatus::Completed);
  ComPtr<abi::ISpeechSynthesisStream> stream;
  ASSERT_HRESULT_SUCCEEDED(operation->GetResults(&stream));
  ASSERT_NE(stream, nullptr);

  struct Case {
    std::string name;
    ComPtr<IUnknown> object;
    IID iid;
  };
  std::vector<Case> cases = {
      {"ISpeechSynthesizer", synthesizer, __uuidof(abi::ISpeechSynthesizer)},
      {"IClosable", synthesizer, __uuidof(abi::IClosable)},
      {"IVectorView<VoiceInformation>", voices, __uuidof(abi::IVoiceInformationVectorView)},
      {"IAsyncOperation<SpeechSynthesisStream>", operation, __uuidof(abi::ISpeechSynthesisStreamOperation)},
      {"IAsyncInfo", operation, __uuidof(abi::IAsyncInfo)},
      {"ISpeechSynthesisStream", stream, __uuidof(abi::ISpeechSynthesisStream)},
  };
  for (UINT32 i = 0; i < count; ++i) {
    ComPtr<abi::IVoiceInformation> voice;
    ASSERT_HRESULT_SUCCEEDED(voices->GetAt(i, &voice));
    cases.push_back({"IVoiceInformation " + std::to_string(i), voice, __uuidof(abi::IVoiceInformation)});
  }
  for (const Case& c : cases) {
    ComPtr<IUnknown> answer;
    EXPECT_HRESULT_SUCCEEDED(c.object->QueryInterface(c.iid, &answer)) << c.name;
  }
  ComPtr<IUnknown> none;
  EXPECT_EQ(synthesizer->QueryInterface(__uuidof(abi::IMediaPlayer), &none), E_NOINTERFACE) << "QI says yes to all";
}

TEST_F(WinRtTest, BackendUnderWineListsTheSystemVoicesAndHasNoPlayer) {
  TestHString name(abi::kSpeechSynthesizerClass);
  ComPtr<abi::IInstalledVoicesStatic> statics;
  ASSERT_HRESULT_SUCCEEDED(RoGetActivationFactory(name.value, __uuidof(abi::IInstalledVoicesStatic), &statics));
  ComPtr<abi::IVoiceInformationVectorView> voices;
  ASSERT_HRESULT_SUCCEEDED(statics->get_AllVoices(&voices));
  UINT32 count = 0;
  ASSERT_HRESULT_SUCCEEDED(voices->get_Size(&count));

  auto backend = CreateWindowsSpeechBackend();
  const auto failures = backend->StartupFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].component, L"Windows.Media.Playback.MediaPlayer");
  EXPECT_EQ(failures[0].hr, REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(backend->CanPlay());
  EXPECT_EQ(backend->InstalledVoices().size(), count);
}

class ForeignSound : public PreparedSound {};

TEST_F(WinRtTest, BackendOperationsFailWithSpeechErrorWhenClassesAreMissing) {
  auto backend = CreateWindowsSpeechBackend();
  const int pastLastVoice = static_cast<int>(backend->InstalledVoices().size());
  const uint8_t wav[44] = {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E'};
  ForeignSound sound;
  const struct {
    const char* name;
    std::function<void()> call;
    HRESULT expected;
  } cases[] = {
      {"SoundFromWav", [&] { backend->SoundFromWav(wav, sizeof wav); }, REGDB_E_CLASSNOTREG},
      // Wine's synthesis completes, but its stream is no IRandomAccessStream.
      {"SynthesizeText", [&] { backend->SynthesizeText(L"テスト", -1); }, E_NOINTERFACE},
      {"SynthesizeText, no such voice", [&] { backend->SynthesizeText(L"テスト", pastLastVoice); }, E_INVALIDARG},
      {"SetVolume", [&] { backend->SetVolume(0.5); }, REGDB_E_CLASSNOTREG},
      {"Play", [&] { backend->Play(sound); }, REGDB_E_CLASSNOTREG},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.name << " did not fail";
    } catch (const SpeechError& error) {
      EXPECT_EQ(error.hr(), c.expected) << c.name << ": " << error.what();
    } catch (...) {
      ADD_FAILURE() << c.name << " threw something other than SpeechError";
    }
  }
  backend->Halt();
}

}  // namespace
}  // namespace moorlink::test
