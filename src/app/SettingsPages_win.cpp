#include "app/SettingsPages_win.h"

#include <commctrl.h>
#include <prsht.h>

#include <span>
#include <string>
#include <vector>

#include "app/AppTexts.h"
#include "app/SettingsPages.h"
#include "app/SettingsSheet_win.h"
#include "log/LogWriter.h"
#include "monitor/MonitorController.h"
#include "notify/NotifyUser.h"
#include "resources/resource.h"
#include "settings/Settings.h"
#include "settings/StartupShortcut_win.h"

namespace moorlink {
namespace {

void Changed(HWND page) { SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0); }

// Answers a sheet notification: the result goes in the dialog's message result.
INT_PTR Answer(HWND page, LONG_PTR result) {
  SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
  return TRUE;
}

bool IsApply(LPARAM lParam) { return reinterpret_cast<const NMHDR*>(lParam)->code == PSN_APPLY; }

std::wstring EditText(HWND page, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(page, id, text, 256);
  return text;
}

void Enable(HWND page, std::initializer_list<int> ids, bool enabled) {
  for (int id : ids) EnableWindow(GetDlgItem(page, id), enabled);
}

// Spin buttons, ranges and typing limits of a page's number fields, and their values.
void SetUpNumberFields(HWND page, std::span<const NumberField> fields, std::span<const int> values) {
  for (size_t i = 0; i < fields.size(); ++i) {
    const NumberField& field = fields[i];
    SendDlgItemMessageW(page, field.spinId, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(page, field.editId)), 0);
    SendDlgItemMessageW(page, field.spinId, UDM_SETRANGE32, field.key.min, field.key.max);
    SendDlgItemMessageW(page, field.editId, EM_LIMITTEXT, field.typingLimit, 0);
  }
  for (size_t i = 0; i < fields.size() && i < values.size(); ++i) {
    SendDlgItemMessageW(page, fields[i].spinId, UDM_SETPOS32, 0, values[i]);
  }
}

void ReadNumberFields(HWND page, std::span<const NumberField> fields, std::span<NumberReading> readings) {
  for (size_t i = 0; i < readings.size(); ++i) {
    BOOL translated = FALSE;
    readings[i].value = GetDlgItemInt(page, fields[i].editId, &translated, FALSE);
    readings[i].translated = translated != FALSE;
  }
}

// Used on the user interface thread only, by one sheet at a time.
ApplyRound g_round;

ShownPages ShownPagesOf(HWND sheet) {
  ShownPages shown{};
  for (int i = 0; i < kSheetPageCount; ++i) shown[i] = PropSheet_IndexToHwnd(sheet, i) != nullptr;
  return shown;
}

// The first invalid field of any shown page gets its message, its page in front and the
// focus, and false returns.
bool ShownPagesValid(HWND sheet) {
  for (int i = 0; i < kSheetPageCount; ++i) {
    HWND page = PropSheet_IndexToHwnd(sheet, i);
    const std::span<const NumberField> fields = PageNumberFields(i);
    if (!page || fields.empty()) continue;
    std::vector<NumberReading> readings(fields.size());
    ReadNumberFields(page, fields, readings);
    const int invalid = FirstInvalidNumber(readings, fields);
    if (invalid < 0) continue;
    if (PropSheet_GetCurrentPageHwnd(sheet) != page) PropSheet_SetCurSel(sheet, nullptr, i);
    MessageBoxW(page, RangeMessage(fields[invalid]).c_str(), kInputErrorTitle, MB_ICONERROR);
    SetFocus(GetDlgItem(page, fields[invalid].editId));
    return false;
  }
  return true;
}

// A page's part of an OK or Apply; save tells whether the monitor is to restart.
INT_PTR ApplyInRound(HWND page, int index, bool (*save)(HWND page)) {
  HWND sheet = GetParent(page);
  const ShownPages shown = ShownPagesOf(sheet);
  if (ApplyRound::Begins(index, shown) && !ShownPagesValid(sheet)) return Answer(page, PSNRET_INVALID_NOCHANGEPAGE);
  if (g_round.Saved(index, shown, save(page))) RestartMonitor();
  return Answer(page, PSNRET_NOERROR);
}

// ---- Monitoring page ----

void EnableRevivalControls(HWND page) {
  Enable(page, {IDC_REVIVAL_INTERVAL_LABEL, IDC_REVIVAL_INTERVAL, IDC_REVIVAL_INTERVAL_SPIN, IDC_REVIVAL_INTERVAL_UNIT},
         IsDlgButtonChecked(page, IDC_REVIVAL_ENABLE) == BST_CHECKED);
}

void InitMonitorPage(HWND page) {
  const MonitorPageValues values = LoadMonitorPage();
  SendDlgItemMessageW(page, IDC_SSID, EM_LIMITTEXT, kSsidTypingLimit, 0);
  SendDlgItemMessageW(page, IDC_PING_ADDRESS, EM_LIMITTEXT, kPingAddressTypingLimit, 0);
  SetUpNumberFields(page, kMonitorNumberFields, values.numbers);
  SetDlgItemTextW(page, IDC_SSID, values.targetSsid.c_str());
  SetDlgItemTextW(page, IDC_PING_ADDRESS, values.pingAddress.c_str());
  CheckDlgButton(page, IDC_REVIVAL_ENABLE, values.enableRevival ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(page, IDC_NOTIFY_ON_RECONNECT, values.notifyOnReconnect ? BST_CHECKED : BST_UNCHECKED);
  EnableRevivalControls(page);
  CenterSheetOnce(page);
}

bool ApplyMonitorPage(HWND page) {
  std::array<NumberReading, kMonitorNumberFields.size()> readings{};
  ReadNumberFields(page, kMonitorNumberFields, readings);  // checked as the round began
  MonitorPageValues values;
  values.targetSsid = EditText(page, IDC_SSID);
  values.pingAddress = EditText(page, IDC_PING_ADDRESS);
  for (size_t i = 0; i < readings.size(); ++i) values.numbers[i] = static_cast<int>(readings[i].value);
  values.enableRevival = IsDlgButtonChecked(page, IDC_REVIVAL_ENABLE) == BST_CHECKED;
  values.notifyOnReconnect = IsDlgButtonChecked(page, IDC_NOTIFY_ON_RECONNECT) == BST_CHECKED;
  SaveMonitorPage(values, WriteLog, NotifyUser);
  return true;  // the run reads its settings once, at its start
}

// ---- Log page ----

void EnableLogCategories(HWND page) {
  Enable(page, {IDC_LOG_GROUP, IDC_LOG_PROCESS, IDC_LOG_MONITOR, IDC_LOG_PING, IDC_LOG_NETSH, IDC_LOG_OTHER},
         IsDlgButtonChecked(page, IDC_USE_LOG) == BST_CHECKED);
}

bool ApplyLogPage(HWND page) {
  LogPageValues values{};
  for (size_t i = 0; i < values.size(); ++i) values[i] = IsDlgButtonChecked(page, kLogBoxes[i].boxId) == BST_CHECKED;
  SaveLogPage(values, NotifyUser);
  return false;
}

// ---- Other page ----

void EnableSpeechControls(HWND page) {
  const int mode = static_cast<int>(SendDlgItemMessageW(page, IDC_NOTIFY_MODE, CB_GETCURSEL, 0, 0));
  Enable(page, {IDC_VOICE, IDC_VOLUME}, SpeechControlsEnabled(mode));
}

LRESULT CALLBACK VolumeWheelProc(HWND trackbar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_MOUSEWHEEL) {
    const int position = static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
    SendMessageW(trackbar, TBM_SETPOS, TRUE, WheelVolume(position, GET_WHEEL_DELTA_WPARAM(wParam)));
    Changed(GetParent(trackbar));
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(trackbar, VolumeWheelProc, 0);
  return DefSubclassProc(trackbar, message, wParam, lParam);
}

void InitOtherPage(HWND page, const std::vector<std::wstring>* voices) {
  CheckDlgButton(page, IDC_STARTUP, StartupShortcutExists() ? BST_CHECKED : BST_UNCHECKED);
  HWND modes = GetDlgItem(page, IDC_NOTIFY_MODE);
  SendMessageW(modes, CB_RESETCONTENT, 0, 0);
  for (const wchar_t* entry : kNotifyModeEntries) SendMessageW(modes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  SendMessageW(modes, CB_SETCURSEL, NotifyMode(), 0);

  HWND voiceList = GetDlgItem(page, IDC_VOICE);
  SendMessageW(voiceList, CB_RESETCONTENT, 0, 0);
  const std::vector<std::wstring> none;
  const std::vector<std::wstring>& names = voices ? *voices : none;
  for (const std::wstring& entry : VoiceEntries(names)) {
    SendMessageW(voiceList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
  SendMessageW(voiceList, CB_SETCURSEL, VoiceSelection(names, VoiceName()), 0);

  HWND volume = GetDlgItem(page, IDC_VOLUME);
  SetWindowSubclass(volume, VolumeWheelProc, 0, 0);
  SendMessageW(volume, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
  SendMessageW(volume, TBM_SETLINESIZE, 0, kVolumeLine);
  SendMessageW(volume, TBM_SETPAGESIZE, 0, kVolumePage);
  SendMessageW(volume, TBM_SETTICFREQ, kVolumeTicks, 0);
  SendMessageW(volume, TBM_SETPOS, TRUE, VoiceVolume());
  EnableSpeechControls(page);
  CenterSheetOnce(page);
}

bool ApplyOtherPage(HWND page) {
  OtherPageValues values;
  values.modeIndex = static_cast<int>(SendDlgItemMessageW(page, IDC_NOTIFY_MODE, CB_GETCURSEL, 0, 0));
  const LRESULT voice = SendDlgItemMessageW(page, IDC_VOICE, CB_GETCURSEL, 0, 0);
  if (voice != CB_ERR) {
    const LRESULT length = SendDlgItemMessageW(page, IDC_VOICE, CB_GETLBTEXTLEN, voice, 0);
    if (length != CB_ERR) {
      std::wstring text(static_cast<size_t>(length) + 1, L'\0');
      SendDlgItemMessageW(page, IDC_VOICE, CB_GETLBTEXT, voice, reinterpret_cast<LPARAM>(text.data()));
      text.resize(wcslen(text.c_str()));
      values.voiceIndex = static_cast<int>(voice);
      values.voiceText = std::move(text);
    }
  }
  values.volume = static_cast<int>(SendDlgItemMessageW(page, IDC_VOLUME, TBM_GETPOS, 0, 0));
  values.startup = IsDlgButtonChecked(page, IDC_STARTUP) == BST_CHECKED;
  StartupShortcutPorts shortcut;
  shortcut.Exists = StartupShortcutExists;
  shortcut.Create = [](const std::wstring& arguments) { return CreateStartupShortcut(arguments); };
  shortcut.Remove = RemoveStartupShortcut;
  SaveOtherPage(values, shortcut, NotifyUser);
  return false;
}

// ---- Detail page ----

void EnableGatewayControls(HWND page) {
  Enable(page, {IDC_GATEWAY_ADDRESS_LABEL, IDC_GATEWAY_ADDRESS},
         IsDlgButtonChecked(page, IDC_GATEWAY_CHECK) == BST_CHECKED);
}

void InitDetailPage(HWND page) {
  const DetailPageValues values = LoadDetailPage();
  SetUpNumberFields(page, kDetailNumberFields, values.numbers);
  CheckDlgButton(page, IDC_USE_HISTORY, values.useHistory ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(page, IDC_GATEWAY_CHECK, values.gatewayCheck ? BST_CHECKED : BST_UNCHECKED);
  SendDlgItemMessageW(page, IDC_GATEWAY_ADDRESS, EM_LIMITTEXT, kPingAddressTypingLimit, 0);
  SetDlgItemTextW(page, IDC_GATEWAY_ADDRESS, values.gatewayAddress.c_str());
  EnableGatewayControls(page);
  CenterSheetOnce(page);
}

bool ApplyDetailPage(HWND page) {
  std::array<NumberReading, kDetailNumberFields.size()> readings{};
  ReadNumberFields(page, kDetailNumberFields, readings);
  DetailPageValues values;
  for (size_t i = 0; i < readings.size(); ++i) values.numbers[i] = static_cast<int>(readings[i].value);
  values.useHistory = IsDlgButtonChecked(page, IDC_USE_HISTORY) == BST_CHECKED;
  values.gatewayCheck = IsDlgButtonChecked(page, IDC_GATEWAY_CHECK) == BST_CHECKED;
  values.gatewayAddress = EditText(page, IDC_GATEWAY_ADDRESS);
  return SaveDetailPage(values, WriteLog, NotifyUser);
}

// ---- The procedures: one skeleton, a row of handlers per page ----

// What sets a page changed, and what else a control does on the way.
void MonitorPageCommand(HWND page, int id, int code) {
  if (id == IDC_REVIVAL_ENABLE && code == BN_CLICKED) {
    EnableRevivalControls(page);
    Changed(page);
  } else if (id == IDC_NOTIFY_ON_RECONNECT && code == BN_CLICKED) {
    Changed(page);
  } else if (code == EN_CHANGE) {
    Changed(page);
  }
}

void InitLogPage(HWND page) {
  const LogPageValues values = LoadLogPage();
  for (size_t i = 0; i < values.size(); ++i) {
    CheckDlgButton(page, kLogBoxes[i].boxId, values[i] ? BST_CHECKED : BST_UNCHECKED);
  }
  EnableLogCategories(page);
  CenterSheetOnce(page);
}

void LogPageCommand(HWND page, int id, int code) {
  if (code == BN_CLICKED && id >= IDC_USE_LOG && id <= IDC_LOG_OTHER) {
    if (id == IDC_USE_LOG) EnableLogCategories(page);
    Changed(page);
  }
}

// The page's PROPSHEETPAGE lParam points to the voice names.
void InitOtherPageFrom(HWND page, LPARAM lParam) {
  const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
  InitOtherPage(page, sheetPage ? reinterpret_cast<const std::vector<std::wstring>*>(sheetPage->lParam) : nullptr);
}

void OtherPageCommand(HWND page, int id, int code) {
  if (id == IDC_STARTUP && code == BN_CLICKED) {
    Changed(page);
  } else if (id == IDC_NOTIFY_MODE && code == CBN_SELCHANGE) {
    EnableSpeechControls(page);
    Changed(page);
  } else if (id == IDC_VOICE && code == CBN_SELCHANGE) {
    Changed(page);
  }
}

void DetailPageCommand(HWND page, int id, int code) {
  if (id == IDC_GATEWAY_CHECK && code == BN_CLICKED) EnableGatewayControls(page);
  if (code == EN_CHANGE || ((id == IDC_USE_HISTORY || id == IDC_GATEWAY_CHECK) && code == BN_CLICKED)) Changed(page);
}

struct PageHandlers {
  int index;  // in the sheet
  void (*init)(HWND page, LPARAM lParam);
  void (*command)(HWND page, int id, int code);
  bool (*apply)(HWND page);
  bool hasVolume;  // a trackbar whose moves change the page
};

// Keys a policy sets: their controls stay disabled whatever the page enables, and the
// page's note says why.
void LockPolicyControls(HWND page, int index) {
  const std::vector<int> locked = PolicyLockedControls(index);
  for (int id : locked) EnableWindow(GetDlgItem(page, id), FALSE);
  ShowWindow(GetDlgItem(page, IDC_POLICY_NOTE), locked.empty() ? SW_HIDE : SW_SHOWNA);
}

template <const PageHandlers& kPage>
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      kPage.init(page, lParam);
      LockPolicyControls(page, kPage.index);
      return TRUE;
    case WM_COMMAND:
      kPage.command(page, LOWORD(wParam), HIWORD(wParam));
      if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == CBN_SELCHANGE) LockPolicyControls(page, kPage.index);
      return TRUE;
    case WM_HSCROLL:
      if (!kPage.hasVolume) return FALSE;
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(page, IDC_VOLUME)) Changed(page);
      return TRUE;
    case WM_NOTIFY:
      if (IsApply(lParam)) return ApplyInRound(page, kPage.index, kPage.apply);
      return FALSE;
  }
  return FALSE;
}

constexpr PageHandlers kMonitorHandlers{kMonitorSheetPage, [](HWND page, LPARAM) { InitMonitorPage(page); },
                                        MonitorPageCommand, ApplyMonitorPage, false};
constexpr PageHandlers kLogHandlers{kLogSheetPage, [](HWND page, LPARAM) { InitLogPage(page); }, LogPageCommand,
                                    ApplyLogPage, false};
constexpr PageHandlers kOtherHandlers{kOtherSheetPage, InitOtherPageFrom, OtherPageCommand, ApplyOtherPage, true};
constexpr PageHandlers kDetailHandlers{kDetailSheetPage, [](HWND page, LPARAM) { InitDetailPage(page); },
                                       DetailPageCommand, ApplyDetailPage, false};

}  // namespace

INT_PTR CALLBACK MonitorPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageProc<kMonitorHandlers>(page, message, wParam, lParam);
}

INT_PTR CALLBACK LogPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageProc<kLogHandlers>(page, message, wParam, lParam);
}

INT_PTR CALLBACK OtherPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageProc<kOtherHandlers>(page, message, wParam, lParam);
}

INT_PTR CALLBACK DetailPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageProc<kDetailHandlers>(page, message, wParam, lParam);
}

}  // namespace moorlink
