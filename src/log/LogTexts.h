#pragma once
// The log folder's user-facing texts, and the title every error line and error box
// shares. A text built around a value keeps its pieces, joined where the value is known.

namespace moorlink {

// The title of an error, whichever folder writes or shows it.
inline constexpr const wchar_t kErrorTitle[] = L"エラー";

// A history write failed; the file's path follows.
inline constexpr const wchar_t kEventLogFailedMessage[] = L"Windowsのイベントログに書き込めませんでした。";
inline constexpr const wchar_t kHistoryWriteFailedLead[] = L"接続履歴ファイルに書き込めませんでした。";

// A duration's units, as in "2分13秒"; nothing at all is "0秒".
inline constexpr const wchar_t kZeroSecondsText[] = L"0秒";
inline constexpr const wchar_t kSecondsUnit[] = L"秒";
inline constexpr const wchar_t kMinutesUnit[] = L"分";
inline constexpr const wchar_t kHoursUnit[] = L"時間";
inline constexpr const wchar_t kDaysUnit[] = L"日";

}  // namespace moorlink
