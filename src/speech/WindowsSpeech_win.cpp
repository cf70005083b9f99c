// The speech backend over the Windows Runtime ABI declared in WinRtAbi_win.h.
#include "speech/WindowsSpeech_win.h"

#include <windows.h>
#include <roapi.h>
#include <winstring.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <wrl/client.h>

#include "common/UniqueHandle_win.h"
#include "speech/WinRtAbi_win.h"
#include "speech/WinRtDelegate_win.h"

namespace moorlink {
namespace {

using Microsoft::WRL::ComPtr;

// A new HSTRING holding a copy of the text.
HRESULT CreateHString(std::wstring_view text, UniqueHString& out) {
  if (text.size() > std::numeric_limits<UINT32>::max()) return E_INVALIDARG;
  return WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), out.put());
}

std::wstring HStringText(const UniqueHString& value) {
  UINT32 length = 0;
  const wchar_t* raw = WindowsGetStringRawBuffer(value.get(), &length);
  return std::wstring(raw, length);
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw SpeechError(hr, what);
}

// Runs an operation of the interface so that only SpeechError leaves it.
template <typename Operation>
auto Guarded(const char* what, Operation&& operation) {
  try {
    return operation();
  } catch (const SpeechError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw SpeechError(E_OUTOFMEMORY, what);
  } catch (...) {
    throw SpeechError(E_FAIL, what);
  }
}

template <typename Interface>
HRESULT Activate(const wchar_t* className, ComPtr<Interface>& instance) {
  UniqueHString name;
  HRESULT hr = CreateHString(className, name);
  if (FAILED(hr)) return hr;
  ComPtr<IInspectable> inspectable;
  hr = RoActivateInstance(name.get(), &inspectable);
  if (FAILED(hr)) return hr;
  return inspectable.As(&instance);
}

template <typename Interface>
HRESULT GetFactory(const wchar_t* className, ComPtr<Interface>& factory) {
  UniqueHString name;
  HRESULT hr = CreateHString(className, name);
  if (FAILED(hr)) return hr;
  return RoGetActivationFactory(name.get(), __uuidof(Interface), &factory);
}

struct AsyncCompletion {
  std::mutex mutex;
  std::condition_variable condition;
  bool done = false;
  abi::AsyncStatus status = abi::AsyncStatus::Started;
};

// Blocks the calling thread until the operation completes. Any end but Completed is an
// error: the operation's own error code, or E_FAIL when it has none.
template <typename TResult>
void Await(abi::IAsyncOperation<TResult>* operation, const char* what) {
  using Handler = abi::IAsyncOperationCompletedHandler<TResult>;
  auto completion = std::make_shared<AsyncCompletion>();
  ComPtr<Handler> handler = WinRtDelegate<Handler, abi::IAsyncOperation<TResult>*, abi::AsyncStatus>::Create(
      [completion](abi::IAsyncOperation<TResult>*, abi::AsyncStatus status) {
        {
          std::lock_guard lock(completion->mutex);
          completion->done = true;
          completion->status = status;
        }
        completion->condition.notify_all();
      });
  Check(operation->put_Completed(handler.Get()), what);

  abi::AsyncStatus status;
  {
    std::unique_lock lock(completion->mutex);
    completion->condition.wait(lock, [&] { return completion->done; });
    status = completion->status;
  }
  if (status == abi::AsyncStatus::Completed) return;
  HRESULT error = E_FAIL;
  ComPtr<abi::IAsyncInfo> info;
  HRESULT code = S_OK;
  if (SUCCEEDED(operation->QueryInterface(IID_PPV_ARGS(info.ReleaseAndGetAddressOf()))) &&
      SUCCEEDED(info->get_ErrorCode(&code)) && FAILED(code)) {
    error = code;
  }
  throw SpeechError(error, what);
}

class WinRtSound final : public PreparedSound {
 public:
  explicit WinRtSound(ComPtr<abi::IMediaPlaybackSource> source) : source(std::move(source)) {}
  ComPtr<abi::IMediaPlaybackSource> source;
};

std::unique_ptr<PreparedSound> SoundFromStream(abi::IRandomAccessStream* stream, HSTRING contentType) {
  ComPtr<abi::IMediaSourceStatics> sources;
  Check(GetFactory(abi::kMediaSourceClass, sources), "MediaSource");
  ComPtr<abi::IMediaSource2> source;
  Check(sources->CreateFromStream(stream, contentType, &source), "MediaSource.CreateFromStream");
  ComPtr<abi::IMediaPlaybackSource> playback;
  Check(source.As(&playback), "MediaSource as IMediaPlaybackSource");
  return std::make_unique<WinRtSound>(std::move(playback));
}

// What the player's event handlers reach. They share it, so an event that arrives after the
// backend is gone still finds it alive.
struct PlaybackFinishedSlot {
  std::mutex mutex;
  std::function<void()> handler;

  void Call() {
    std::function<void()> call;
    {
      std::lock_guard lock(mutex);
      call = handler;
    }
    if (call) call();
  }
};

class WindowsSpeechBackend final : public SpeechBackend {
 public:
  WindowsSpeechBackend() {
    try {
      HRESULT hr = Activate(abi::kSpeechSynthesizerClass, synthesizer_);
      if (FAILED(hr)) {
        synthesizerError_ = hr;
        failures_.push_back({abi::kSpeechSynthesizerClass, hr});
      }
      hr = Activate(abi::kMediaPlayerClass, player_);
      // A player whose end we cannot hear would leave every waiter waiting: no player then.
      if (SUCCEEDED(hr)) hr = RegisterPlayerEvents();
      if (FAILED(hr)) {
        DropPlayer();
        playerError_ = hr;
        failures_.push_back({abi::kMediaPlayerClass, hr});
      }
    } catch (...) {
      DropPlayer();
    }
  }

  ~WindowsSpeechBackend() override { DropPlayer(); }

  std::vector<SpeechStartupFailure> StartupFailures() const override { return failures_; }
  bool CanPlay() const override { return player_ != nullptr; }

  std::vector<InstalledVoice> InstalledVoices() override {
    return Guarded("SpeechSynthesizer.AllVoices", [&] {
      ComPtr<abi::IInstalledVoicesStatic> statics;
      Check(GetFactory(abi::kSpeechSynthesizerClass, statics), "SpeechSynthesizer statics");
      ComPtr<abi::IVoiceInformationVectorView> all;
      Check(statics->get_AllVoices(&all), "SpeechSynthesizer.AllVoices");
      UINT32 count = 0;
      Check(all->get_Size(&count), "SpeechSynthesizer.AllVoices.Size");
      std::vector<InstalledVoice> voices;
      std::vector<ComPtr<abi::IVoiceInformation>> informations;
      for (UINT32 i = 0; i < count; ++i) {
        ComPtr<abi::IVoiceInformation> information;
        Check(all->GetAt(i, &information), "SpeechSynthesizer.AllVoices.GetAt");
        UniqueHString language;
        UniqueHString displayName;
        Check(information->get_Language(language.put()), "VoiceInformation.Language");
        Check(information->get_DisplayName(displayName.put()), "VoiceInformation.DisplayName");
        voices.push_back({HStringText(language), HStringText(displayName)});
        informations.push_back(std::move(information));
      }
      std::lock_guard lock(synthesisMutex_);
      voices_ = std::move(informations);
      return voices;
    });
  }

  void SetPlaybackFinishedHandler(std::function<void()> handler) override {
    std::lock_guard lock(finished_->mutex);
    finished_->handler = std::move(handler);
  }

  std::unique_ptr<PreparedSound> SynthesizeText(const std::wstring& text, int voiceIndex) override {
    return Guarded("SpeechSynthesizer", [&] {
      if (!synthesizer_) throw SpeechError(synthesizerError_, "SpeechSynthesizer");
      UniqueHString content;
      Check(CreateHString(text, content), "SpeechSynthesizer text");
      ComPtr<abi::ISpeechSynthesisStreamOperation> operation;
      {
        // The voice and the synthesis that uses it go together.
        std::lock_guard lock(synthesisMutex_);
        if (voiceIndex >= 0) {
          if (static_cast<size_t>(voiceIndex) >= voices_.size()) throw SpeechError(E_INVALIDARG, "voice index");
          // Before the first change: the voice a new synthesizer has is the default one.
          if (!defaultVoiceRead_) {
            defaultVoiceRead_ = true;
            if (FAILED(synthesizer_->get_Voice(defaultVoice_.ReleaseAndGetAddressOf()))) defaultVoice_.Reset();
          }
          Check(synthesizer_->put_Voice(voices_[voiceIndex].Get()), "SpeechSynthesizer.Voice");
        } else if (defaultVoice_) {
          Check(synthesizer_->put_Voice(defaultVoice_.Get()), "SpeechSynthesizer.Voice");
        }
        Check(synthesizer_->SynthesizeTextToStreamAsync(content.get(), &operation),
              "SpeechSynthesizer.SynthesizeTextToStreamAsync");
      }
      Await(operation.Get(), "SpeechSynthesizer.SynthesizeTextToStreamAsync");
      ComPtr<abi::ISpeechSynthesisStream> synthesized;
      Check(operation->GetResults(&synthesized), "SpeechSynthesizer.SynthesizeTextToStreamAsync results");
      ComPtr<abi::IRandomAccessStream> stream;
      Check(synthesized.As(&stream), "SpeechSynthesisStream as IRandomAccessStream");
      ComPtr<abi::IContentTypeProvider> provider;
      Check(synthesized.As(&provider), "SpeechSynthesisStream as IContentTypeProvider");
      UniqueHString contentType;
      Check(provider->get_ContentType(contentType.put()), "SpeechSynthesisStream.ContentType");
      return SoundFromStream(stream.Get(), contentType.get());
    });
  }

  std::unique_ptr<PreparedSound> SoundFromWav(const uint8_t* data, size_t size) override {
    return Guarded("WAV sound", [&] {
      if (size > std::numeric_limits<UINT32>::max()) throw SpeechError(E_INVALIDARG, "WAV size");
      if (data == nullptr && size != 0) throw SpeechError(E_POINTER, "WAV data");
      ComPtr<abi::IRandomAccessStream> stream;
      Check(Activate(abi::kInMemoryRandomAccessStreamClass, stream), "InMemoryRandomAccessStream");
      ComPtr<abi::IOutputStream> output;
      Check(stream->GetOutputStreamAt(0, &output), "InMemoryRandomAccessStream.GetOutputStreamAt");
      ComPtr<abi::IDataWriterFactory> writers;
      Check(GetFactory(abi::kDataWriterClass, writers), "DataWriter factory");
      ComPtr<abi::IDataWriter> writer;
      Check(writers->CreateDataWriter(output.Get(), &writer), "DataWriter");
      // WriteBytes only reads the array; the ABI just lacks the const.
      Check(writer->WriteBytes(static_cast<UINT32>(size), const_cast<BYTE*>(data)), "DataWriter.WriteBytes");
      ComPtr<abi::IUInt32Operation> store;
      Check(writer->StoreAsync(&store), "DataWriter.StoreAsync");
      Await(store.Get(), "DataWriter.StoreAsync");
      // Detached, the writer no longer closes the stream when it goes.
      ComPtr<abi::IOutputStream> detached;
      Check(writer->DetachStream(&detached), "DataWriter.DetachStream");
      Check(stream->Seek(0), "InMemoryRandomAccessStream.Seek");
      UniqueHString contentType;
      Check(CreateHString(L"audio/wav", contentType), "WAV content type");
      return SoundFromStream(stream.Get(), contentType.get());
    });
  }

  void SetVolume(double volume) override {
    if (!player_) throw SpeechError(playerError_, "MediaPlayer");
    Check(player_->put_Volume(volume), "MediaPlayer.Volume");
  }

  void Play(PreparedSound& sound) override {
    if (!player_) throw SpeechError(playerError_, "MediaPlayer");
    auto* ours = dynamic_cast<WinRtSound*>(&sound);
    if (ours == nullptr) throw SpeechError(E_INVALIDARG, "sound of another backend");
    ComPtr<abi::IMediaPlayerSource2> source;
    Check(player_.As(&source), "MediaPlayer as IMediaPlayerSource2");
    Check(source->put_Source(ours->source.Get()), "MediaPlayer.Source");
    Check(player_->Play(), "MediaPlayer.Play");
  }

  void Halt() noexcept override {
    if (!player_) return;
    player_->Pause();
    ComPtr<abi::IMediaPlayerSource2> source;
    if (SUCCEEDED(player_.As(&source))) source->put_Source(nullptr);
  }

 private:
  HRESULT RegisterPlayerEvents() {
    auto slot = finished_;
    ComPtr<abi::MediaPlayerEventHandler> ended =
        WinRtDelegate<abi::MediaPlayerEventHandler, abi::IMediaPlayer*, IInspectable*>::Create(
            [slot](abi::IMediaPlayer*, IInspectable*) { slot->Call(); });
    HRESULT hr = player_->add_MediaEnded(ended.Get(), &endedToken_);
    if (FAILED(hr)) return hr;
    endedRegistered_ = true;

    ComPtr<abi::MediaPlayerFailedEventHandler> failed =
        WinRtDelegate<abi::MediaPlayerFailedEventHandler, abi::IMediaPlayer*,
                      abi::IMediaPlayerFailedEventArgs*>::Create([slot](abi::IMediaPlayer*,
                                                                        abi::IMediaPlayerFailedEventArgs*) {
          slot->Call();
        });
    // The end event alone is enough for the wait; without this one a failed sound is
    // only heard of at the next stop, which is better than no speech at all.
    failedRegistered_ = SUCCEEDED(player_->add_MediaFailed(failed.Get(), &failedToken_));
    return S_OK;
  }

  // Unhooks and closes the player, whatever state it is in.
  void DropPlayer() noexcept {
    if (!player_) return;
    if (endedRegistered_) player_->remove_MediaEnded(endedToken_);
    if (failedRegistered_) player_->remove_MediaFailed(failedToken_);
    endedRegistered_ = failedRegistered_ = false;
    ComPtr<abi::IClosable> closable;
    if (SUCCEEDED(player_.As(&closable))) closable->Close();
    player_.Reset();
  }

  ComPtr<abi::ISpeechSynthesizer> synthesizer_;
  ComPtr<abi::IMediaPlayer> player_;
  HRESULT synthesizerError_ = E_FAIL;  // why synthesizer_ or player_ is missing
  HRESULT playerError_ = E_FAIL;
  std::vector<SpeechStartupFailure> failures_;
  std::shared_ptr<PlaybackFinishedSlot> finished_ = std::make_shared<PlaybackFinishedSlot>();
  abi::EventRegistrationToken endedToken_{};
  abi::EventRegistrationToken failedToken_{};
  bool endedRegistered_ = false;
  bool failedRegistered_ = false;

  std::mutex synthesisMutex_;  // the voices and the synthesizer's voice
  std::vector<ComPtr<abi::IVoiceInformation>> voices_;
  ComPtr<abi::IVoiceInformation> defaultVoice_;  // null until a voice was chosen
  bool defaultVoiceRead_ = false;
};

}  // namespace

std::unique_ptr<SpeechBackend> CreateWindowsSpeechBackend() { return std::make_unique<WindowsSpeechBackend>(); }

}  // namespace moorlink
