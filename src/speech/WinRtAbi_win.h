#pragma once
// The Windows Runtime interfaces the speech backend calls, declared at the ABI level. MinGW's
// headers for these namespaces either do not compile as C++ or do not exist, so we declare
// the few we need. Each interface lists its methods in metadata (vtable) order up to the
// last one we call; an interface we only pass around or query for has no methods here.
// IIDs are the published ones; those of parameterized interfaces are computed from their
// type signatures the way the Windows Runtime does.
#include <windows.h>
#include <hstring.h>
#include <inspectable.h>

namespace moorlink::abi {

// ---- Windows.Foundation ----

struct EventRegistrationToken {
  INT64 value;
};

struct TimeSpan {
  INT64 Duration;
};

struct DateTime {
  INT64 UniversalTime;
};

enum class AsyncStatus : INT32 { Started = 0, Completed = 1, Canceled = 2, Error = 3 };

struct IClosable : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

struct IAsyncInfo : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* errorCode) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

template <typename TResult>
struct IAsyncOperation;

// Delegates derive IUnknown, not IInspectable.
template <typename TResult>
struct IAsyncOperationCompletedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation<TResult>* asyncInfo, AsyncStatus status) = 0;
};

// TResult is the ABI type of the result: an interface pointer or a scalar.
template <typename TResult>
struct IAsyncOperation : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Completed(IAsyncOperationCompletedHandler<TResult>* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Completed(IAsyncOperationCompletedHandler<TResult>** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults(TResult* results) = 0;
};

template <typename TSender, typename TArgs>
struct ITypedEventHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(TSender sender, TArgs args) = 0;
};

// Windows.Foundation.Collections.IVectorView<T>
template <typename T>
struct IVectorView : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, T* item) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
};

// ---- Windows.Storage and Windows.Storage.Streams ----

enum class UnicodeEncoding : INT32 { Utf8 = 0, Utf16LE = 1, Utf16BE = 2 };
enum class ByteOrder : INT32 { LittleEndian = 0, BigEndian = 1 };

struct IStorageFile;
struct IBuffer;
struct IInputStream;

struct IOutputStream : IInspectable {};

struct IRandomAccessStream : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Size(UINT64* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Size(UINT64 value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputStreamAt(UINT64 position, IInputStream** stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputStreamAt(UINT64 position, IOutputStream** stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Position(UINT64* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Seek(UINT64 position) = 0;
};

struct IContentTypeProvider : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_ContentType(HSTRING* value) = 0;
};

struct IDataWriter : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_UnstoredBufferLength(UINT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UnicodeEncoding(UnicodeEncoding* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UnicodeEncoding(UnicodeEncoding value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ByteOrder(ByteOrder* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ByteOrder(ByteOrder value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteByte(BYTE value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteBytes(UINT32 valueLength, BYTE* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteBuffer(IBuffer* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteBufferRange(IBuffer* buffer, UINT32 start, UINT32 count) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteBoolean(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteGuid(GUID value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteInt16(INT16 value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteInt32(INT32 value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteInt64(INT64 value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteUInt16(UINT16 value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteUInt32(UINT32 value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteUInt64(UINT64 value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteSingle(FLOAT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteDouble(double value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteDateTime(DateTime value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteTimeSpan(TimeSpan value) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteString(HSTRING value, UINT32* codeUnitCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE MeasureString(HSTRING value, UINT32* codeUnitCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE StoreAsync(IAsyncOperation<UINT32>** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE FlushAsync(IAsyncOperation<boolean>** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE DetachBuffer(IBuffer** buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE DetachStream(IOutputStream** outputStream) = 0;
};

struct IDataWriterFactory : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE CreateDataWriter(IOutputStream* outputStream, IDataWriter** dataWriter) = 0;
};

// ---- Windows.Media.SpeechSynthesis ----

struct IVoiceInformation : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_DisplayName(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Id(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Language(HSTRING* value) = 0;
};

struct ISpeechSynthesisStream : IInspectable {};

struct ISpeechSynthesizer : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE
  SynthesizeTextToStreamAsync(HSTRING text, IAsyncOperation<ISpeechSynthesisStream*>** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  SynthesizeSsmlToStreamAsync(HSTRING ssml, IAsyncOperation<ISpeechSynthesisStream*>** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Voice(IVoiceInformation* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Voice(IVoiceInformation** value) = 0;
};

struct IInstalledVoicesStatic : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_AllVoices(IVectorView<IVoiceInformation*>** value) = 0;
};

// ---- Windows.Media.Core ----

struct IMediaSource;
struct IMediaStreamSource;
struct IMseStreamSource;
struct IAdaptiveMediaSource;  // Windows.Media.Streaming.Adaptive

// The default interface of MediaSource.
struct IMediaSource2 : IInspectable {};

struct IMediaSourceStatics : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE CreateFromAdaptiveMediaSource(IAdaptiveMediaSource* mediaSource,
                                                                  IMediaSource2** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFromMediaStreamSource(IMediaStreamSource* mediaSource,
                                                                IMediaSource2** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFromMseStreamSource(IMseStreamSource* mediaSource,
                                                              IMediaSource2** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFromIMediaSource(IMediaSource* mediaSource, IMediaSource2** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFromStorageFile(IStorageFile* file, IMediaSource2** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFromStream(IRandomAccessStream* stream, HSTRING contentType,
                                                     IMediaSource2** result) = 0;
};

// ---- Windows.Media.Playback ----

enum class MediaPlayerState : INT32 { Closed = 0, Opening = 1, Buffering = 2, Playing = 3, Paused = 4, Stopped = 5 };

struct IMediaPlaybackSource : IInspectable {};

struct IMediaPlayer;
struct IMediaPlayerFailedEventArgs;
struct IMediaPlayerRateChangedEventArgs;
struct IPlaybackMediaMarkerReachedEventArgs;
struct IPlaybackMediaMarkerSequence;

// TypedEventHandler<MediaPlayer, Object> and TypedEventHandler<MediaPlayer, MediaPlayerFailedEventArgs>.
using MediaPlayerEventHandler = ITypedEventHandler<IMediaPlayer*, IInspectable*>;
using MediaPlayerFailedEventHandler = ITypedEventHandler<IMediaPlayer*, IMediaPlayerFailedEventArgs*>;

struct IMediaPlayer : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_AutoPlay(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AutoPlay(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NaturalDuration(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Position(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Position(TimeSpan value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BufferingProgress(double* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentState(MediaPlayerState* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CanSeek(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CanPause(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsLoopingEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsLoopingEnabled(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsProtected(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsMuted(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsMuted(boolean value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PlaybackRate(double* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PlaybackRate(double value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Volume(double* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Volume(double value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PlaybackMediaMarkers(IPlaybackMediaMarkerSequence** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_MediaOpened(MediaPlayerEventHandler* value, EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_MediaOpened(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_MediaEnded(MediaPlayerEventHandler* value, EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_MediaEnded(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_MediaFailed(MediaPlayerFailedEventHandler* value,
                                                    EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_MediaFailed(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_CurrentStateChanged(MediaPlayerEventHandler* value,
                                                            EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_CurrentStateChanged(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  add_PlaybackMediaMarkerReached(ITypedEventHandler<IMediaPlayer*, IPlaybackMediaMarkerReachedEventArgs*>* value,
                                 EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_PlaybackMediaMarkerReached(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_MediaPlayerRateChanged(
      ITypedEventHandler<IMediaPlayer*, IMediaPlayerRateChangedEventArgs*>* value, EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_MediaPlayerRateChanged(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_VolumeChanged(MediaPlayerEventHandler* value,
                                                      EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_VolumeChanged(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_SeekCompleted(MediaPlayerEventHandler* value,
                                                      EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_SeekCompleted(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_BufferingStarted(MediaPlayerEventHandler* value,
                                                         EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_BufferingStarted(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_BufferingEnded(MediaPlayerEventHandler* value,
                                                       EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_BufferingEnded(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE Play() = 0;
  virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
};

struct IMediaPlayerSource2 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Source(IMediaPlaybackSource** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Source(IMediaPlaybackSource* value) = 0;
};

// ---- Parameterized interfaces we use ----

using IVoiceInformationVectorView = IVectorView<IVoiceInformation*>;
using ISpeechSynthesisStreamOperation = IAsyncOperation<ISpeechSynthesisStream*>;
using ISpeechSynthesisStreamCompletedHandler = IAsyncOperationCompletedHandler<ISpeechSynthesisStream*>;
using IUInt32Operation = IAsyncOperation<UINT32>;
using IUInt32CompletedHandler = IAsyncOperationCompletedHandler<UINT32>;

// ---- Runtime classes ----

inline constexpr wchar_t kSpeechSynthesizerClass[] = L"Windows.Media.SpeechSynthesis.SpeechSynthesizer";
inline constexpr wchar_t kMediaPlayerClass[] = L"Windows.Media.Playback.MediaPlayer";
inline constexpr wchar_t kMediaSourceClass[] = L"Windows.Media.Core.MediaSource";
inline constexpr wchar_t kInMemoryRandomAccessStreamClass[] = L"Windows.Storage.Streams.InMemoryRandomAccessStream";
inline constexpr wchar_t kDataWriterClass[] = L"Windows.Storage.Streams.DataWriter";

}  // namespace moorlink::abi

// __uuidof for each interface (MinGW's emulation: a specialization at global scope).
__CRT_UUID_DECL(moorlink::abi::IClosable, 0x30d5a829, 0x7fa4, 0x4026, 0x83, 0xbb, 0xd7, 0x5b, 0xae, 0x4e, 0xa9, 0x9e)
__CRT_UUID_DECL(moorlink::abi::IAsyncInfo, 0x00000036, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)
__CRT_UUID_DECL(moorlink::abi::IOutputStream, 0x905a0fe6, 0xbc53, 0x11df, 0x8c, 0x49, 0x00, 0x1e, 0x4f, 0xc6, 0x86,
                0xda)
__CRT_UUID_DECL(moorlink::abi::IRandomAccessStream, 0x905a0fe1, 0xbc53, 0x11df, 0x8c, 0x49, 0x00, 0x1e, 0x4f, 0xc6,
                0x86, 0xda)
__CRT_UUID_DECL(moorlink::abi::IContentTypeProvider, 0x97d098a5, 0x3b99, 0x4de9, 0x88, 0xa5, 0xe1, 0x1d, 0x2f, 0x50,
                0xc7, 0x95)
__CRT_UUID_DECL(moorlink::abi::IDataWriter, 0x64b89265, 0xd341, 0x4922, 0xb3, 0x8a, 0xdd, 0x4a, 0xf8, 0x80, 0x8c, 0x4e)
__CRT_UUID_DECL(moorlink::abi::IDataWriterFactory, 0x338c67c2, 0x8b84, 0x4c2b, 0x9c, 0x50, 0x7b, 0x87, 0x67, 0x84, 0x7a,
                0x1f)
__CRT_UUID_DECL(moorlink::abi::IVoiceInformation, 0xb127d6a4, 0x1291, 0x4604, 0xaa, 0x9c, 0x83, 0x13, 0x40, 0x83, 0x35,
                0x2c)
__CRT_UUID_DECL(moorlink::abi::ISpeechSynthesisStream, 0x83e46e93, 0x244c, 0x4622, 0xba, 0x0b, 0x62, 0x29, 0xc4, 0xd0,
                0xd6, 0x5d)
__CRT_UUID_DECL(moorlink::abi::ISpeechSynthesizer, 0xce9f7c76, 0x97f4, 0x4ced, 0xad, 0x68, 0xd5, 0x1c, 0x45, 0x8e, 0x45,
                0xc6)
__CRT_UUID_DECL(moorlink::abi::IInstalledVoicesStatic, 0x7d526ecc, 0x7533, 0x4c3f, 0x85, 0xbe, 0x88, 0x8c, 0x2b, 0xae,
                0xeb, 0xdc)
__CRT_UUID_DECL(moorlink::abi::IMediaSource2, 0x2eb61048, 0x655f, 0x4c37, 0xb8, 0x13, 0xb4, 0xe4, 0x5d, 0xfa, 0x0a,
                0xbe)
__CRT_UUID_DECL(moorlink::abi::IMediaSourceStatics, 0xf77d6fa4, 0x4652, 0x410e, 0xb1, 0xd8, 0xe9, 0xa5, 0xe2, 0x45,
                0xa4, 0x5c)
__CRT_UUID_DECL(moorlink::abi::IMediaPlaybackSource, 0xef9dc2bc, 0x9317, 0x4696, 0xb0, 0x51, 0x2b, 0xad, 0x64, 0x31,
                0x77, 0xb5)
__CRT_UUID_DECL(moorlink::abi::IMediaPlayer, 0x381a83cb, 0x6fff, 0x499b, 0x8d, 0x64, 0x28, 0x85, 0xdf, 0xc1, 0x24, 0x9e)
__CRT_UUID_DECL(moorlink::abi::IMediaPlayerSource2, 0x82449b9f, 0x7322, 0x4c0b, 0xb0, 0x3b, 0x3e, 0x69, 0xa4, 0x82,
                0x60, 0xc5)
// Parameterized: IVectorView<VoiceInformation>, IAsyncOperation<SpeechSynthesisStream> and its
// handler, IAsyncOperation<UInt32> and its handler, and the two MediaPlayer event handlers.
__CRT_UUID_DECL(moorlink::abi::IVoiceInformationVectorView, 0xee8d63ce, 0x51ac, 0x5984, 0x89, 0x1b, 0xd2, 0x32, 0xfa,
                0x7f, 0x64, 0x53)
__CRT_UUID_DECL(moorlink::abi::ISpeechSynthesisStreamOperation, 0xdf9d48ad, 0x9cea, 0x560c, 0x9e, 0xdc, 0xcb, 0x88,
                0x52, 0xcb, 0x55, 0xe3)
__CRT_UUID_DECL(moorlink::abi::ISpeechSynthesisStreamCompletedHandler, 0xc972b996, 0x6165, 0x50d4, 0xaf, 0x60, 0xa8,
                0xc3, 0xdf, 0x51, 0xd0, 0x92)
__CRT_UUID_DECL(moorlink::abi::IUInt32Operation, 0xef60385f, 0xbe78, 0x584b, 0xaa, 0xef, 0x78, 0x29, 0xad, 0xa2, 0xb0,
                0xde)
__CRT_UUID_DECL(moorlink::abi::IUInt32CompletedHandler, 0x9343b6e7, 0xe3d2, 0x5e4a, 0xab, 0x2d, 0x2b, 0xce, 0x49, 0x19,
                0xa6, 0xa4)
__CRT_UUID_DECL(moorlink::abi::MediaPlayerEventHandler, 0xf1a6a51e, 0xd078, 0x5c40, 0xba, 0x3f, 0x34, 0x88, 0x70, 0xba,
                0x5c, 0x87)
__CRT_UUID_DECL(moorlink::abi::MediaPlayerFailedEventHandler, 0x362c45a7, 0x3a0a, 0x5e27, 0x99, 0xce, 0xcf, 0xf6, 0xd1,
                0xb7, 0x70, 0xe1)
