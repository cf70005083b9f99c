#pragma once
// The notify folder's user-facing texts: what is spoken around a notification and the
// dispatcher's own error line.

namespace moorlink {

// A notification read aloud: the lead, the title, the middle, the message.
inline constexpr const wchar_t kSpokenTitleLead[] = L"タイトル、";
inline constexpr const wchar_t kSpokenMessageLead[] = L"。本文、";

// No thread could be started to show or speak a notification.
inline constexpr const wchar_t kNotifyThreadFailedMessage[] = L"通知用のスレッドを開始できませんでした。";

}  // namespace moorlink
