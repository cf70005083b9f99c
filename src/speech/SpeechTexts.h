#pragma once
// The speech folder's user-facing texts: its error lines in the log. A text built around
// values keeps its pieces, joined where the values are known.

namespace moorlink {

// A speech component could not start: the component, then its HRESULT.
inline constexpr const wchar_t kSpeechStartFailedLead[] = L"音声機能を初期化できません。(";
inline constexpr const wchar_t kSpeechStartFailedHresult[] = L"、HRESULT ";
inline constexpr const wchar_t kSpeechStartFailedTail[] = L")";

// The installed voices could not be listed; the HRESULT follows.
inline constexpr const wchar_t kVoiceListFailedLead[] = L"音声の一覧を取得できません。(HRESULT ";
inline constexpr const wchar_t kVoiceListFailedTail[] = L")";

}  // namespace moorlink
