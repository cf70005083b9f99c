#pragma once
// The app folder's user-facing texts: the entry point's and the tray window's boxes and
// notices, the settings sheet's, the history dialog's and its view's. A text built around
// a value keeps its pieces (...Lead before the value, ...Tail after it), joined where the
// value is known. The error title is log's kErrorTitle.

namespace moorlink {

// ---- Shared ----

// An error box's caption; the product title follows.
inline constexpr const wchar_t kErrorCaptionLead[] = L"エラー - ";
// A path set below a message, on a line of its own and indented.
inline constexpr const wchar_t kPathBelowMessage[] = L"\n\n\u00A0\u00A0\u00A0\u00A0";

// ---- The entry point ----

// The program starts and ends.
inline constexpr const wchar_t kProgramStartTitle[] = L"ソフト起動";
inline constexpr const wchar_t kProgramStartMessage[] = L"本ソフトが起動されました。";
inline constexpr const wchar_t kProgramEndTitle[] = L"ソフト終了";
inline constexpr const wchar_t kProgramEndMessage[] = L"本ソフトが終了しました。";

// A second instance in the same logon.
inline constexpr const wchar_t kAlreadyRunningMessage[] = L"このソフトはすでに起動しています。";

// COM could not start; formatted with the HRESULT.
inline constexpr const wchar_t kComFailedFormat[] = L"COM を初期化できませんでした。(HRESULT 0x%08X)";

// ---- The tray window ----

// The tray icon could not be added.
inline constexpr const wchar_t kTrayIconFailedMessage[] = L"タスクトレイアイコンの登録に失敗しました。";

// The history file could not be written; its path follows.
inline constexpr const wchar_t kHistoryWriteFailedNoticeTitle[] = L"接続履歴保存失敗";
inline constexpr const wchar_t kHistoryWriteFailedNoticeLead[] =
    L"接続履歴ファイルに書き込めませんでした。ほかのアプリで開いている場合は閉じてください。"
    L"書き込めるようになり次第、まとめて記録します。\n";

// A file, folder or link could not be opened: the target inside the brackets, then the
// shell's error code.
inline constexpr const wchar_t kOpenFailedLead[] = L"「";
inline constexpr const wchar_t kOpenFailedMiddle[] = L"」を開けませんでした。(";
inline constexpr const wchar_t kOpenFailedTail[] = L")";

// ---- The settings sheet ----

// The sheet's caption; the product title follows.
inline constexpr const wchar_t kSettingsCaptionLead[] = L"設定 - ";

// A page could not be made.
inline constexpr const wchar_t kPageCreationFailedMessage[] = L"ページ作成失敗";

// A number outside its range: the field's prefix, the minimum, the middle, the maximum.
inline constexpr const wchar_t kInputErrorTitle[] = L"入力エラー";
inline constexpr const wchar_t kRangeMessageMiddle[] = L"～";
inline constexpr const wchar_t kRangeMessageTail[] = L" の範囲で入力して下さい。";

// The settings could not be saved; the settings file's path follows, below.
inline constexpr const wchar_t kSettingsSaveFailedTitle[] = L"設定の保存に失敗";
inline constexpr const wchar_t kSettingsSaveFailedMessage[] = L"設定の保存に失敗しました。";

// The settings were saved.
inline constexpr const wchar_t kSettingsUpdatedTitle[] = L"設定更新";
inline constexpr const wchar_t kSettingsUpdatedMessage[] = L"ユーザー設定が更新されました。";

// ---- The history dialog ----

// The outage list's column titles.
inline constexpr const wchar_t kStartColumnTitle[] = L"開始";
inline constexpr const wchar_t kLengthColumnTitle[] = L"長さ";
inline constexpr const wchar_t kSsidColumnTitle[] = L"SSID";
inline constexpr const wchar_t kReconnectsColumnTitle[] = L"再接続";
inline constexpr const wchar_t kEndColumnTitle[] = L"終わり方";
inline constexpr const wchar_t kKindColumnTitle[] = L"種類";

// The strips' legend.
inline constexpr const wchar_t kAnsweredLegend[] = L"応答あり";
inline constexpr const wchar_t kOutageLegend[] = L"切断";
inline constexpr const wchar_t kNotMonitoredLegend[] = L"監視なし";
inline constexpr const wchar_t kInternetOutageLegend[] = L"インターネット切断";

// The history file cannot be shown; its path follows, below.
inline constexpr const wchar_t kHistoryFileMissingMessage[] = L"接続履歴のファイルはまだありません。";
inline constexpr const wchar_t kHistoryFileOpenFailedMessage[] = L"接続履歴のファイルを開けませんでした。";

// ---- The history view ----

// How an outage ended, by OutageEnd; the mark follows one stopped at the retry limit, and
// an open outage reads kOutageGoingOnText.
inline constexpr const wchar_t kEndedByRecoveryText[] = L"回復";
inline constexpr const wchar_t kEndedByStopText[] = L"監視停止";
inline constexpr const wchar_t kEndedByProgramExitText[] = L"プログラム終了";
inline constexpr const wchar_t kEndedBySleepText[] = L"スリープ";
inline constexpr const wchar_t kEndedByWindowsExitText[] = L"Windows終了";
inline constexpr const wchar_t kRetryLimitEndMark[] = L"（上限で中止）";
inline constexpr const wchar_t kOutageGoingOnText[] = L"継続中";

// What an outage was, by OutageKind.
inline constexpr const wchar_t kWiFiKindText[] = L"Wi-Fi";
inline constexpr const wchar_t kInternetKindText[] = L"インターネット";
inline constexpr const wchar_t kSignInKindText[] = L"サインイン";

// The reconnect count, as in "3回".
inline constexpr const wchar_t kReconnectCountTail[] = L"回";

// The axes: an hour's label as in "3時"; a day's as in "12/9(水)", by weekday from Sunday.
inline constexpr const wchar_t kHourLabelTail[] = L"時";
inline constexpr const wchar_t kWeekdayLetters[] = L"日月火水木金土";

// The availability line: each window's label before its percentage; a window with no
// monitored time shows the dash.
inline constexpr const wchar_t kAvailabilityDayLead[] = L"稼働率 24時間 ";
inline constexpr const wchar_t kAvailabilityWeekLead[] = L" ・ 7日 ";
inline constexpr const wchar_t kAvailabilityMonthLead[] = L" ・ 30日 ";
inline constexpr const wchar_t kNoPercentText[] = L"—";
// After the 30 days' percentage, the internet-side share of their outage time, as in
// "（うちインターネット側 12%）".
inline constexpr const wchar_t kInternetShareLead[] = L"（うちインターネット側 ";
inline constexpr const wchar_t kInternetShareTail[] = L"%）";

}  // namespace moorlink
