#include "app/HistoryDialog_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "app/AppTexts.h"
#include "app/HistoryView.h"
#include "app/ShellOpen_win.h"
#include "common/Product.h"
#include "common/UniqueHandle_win.h"
#include "log/History.h"
#include "monitor/MonitorRun.h"
#include "monitor/OutageBook.h"
#include "resources/resource.h"

namespace moorlink {
namespace {

// The tray icons' colours: monitoring (blue) for answered, reconnecting (amber) for an
// outage, internet (purple) for an internet-side one; light grey where nothing was monitored.
constexpr COLORREF kAnsweredColour = RGB(0x1d, 0x64, 0xcf);
constexpr COLORREF kOutageColour = RGB(0xd9, 0x77, 0x06);
constexpr COLORREF kInternetOutageColour = RGB(0x88, 0x3f, 0x99);
constexpr COLORREF kNotMonitoredColour = RGB(0xdc, 0xdc, 0xdc);
constexpr COLORREF kFrameColour = RGB(0x80, 0x80, 0x80);

// Posted by the recording thread; the dialog reads the history again.
constexpr UINT kHistoryChangedMessage = WM_APP + 20;
// Posted after a DPI change, once the dialog manager has scaled the controls.
constexpr UINT kRescaledMessage = WM_APP + 21;
constexpr UINT_PTR kMinuteTimer = 1;

// The open dialog. The recording thread only reads it to post a message; everything
// else here belongs to the user interface thread.
std::atomic<HWND> g_dialog{nullptr};

struct Strip {
  StripWindow window;
  std::vector<SlotState> slots;
  std::vector<AxisMark> axis;
};
Strip g_day;
Strip g_week;

COLORREF SlotColour(SlotState state) {
  switch (state) {
    case SlotState::Answered:
      return kAnsweredColour;
    case SlotState::Outage:
      return kOutageColour;
    case SlotState::InternetOutage:
      return kInternetOutageColour;
    default:
      return kNotMonitoredColour;
  }
}

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

// Dialog units to pixels of the dialog's current font (and so of its DPI).
int Du(HWND dialog, int x) {
  RECT r{0, 0, x, 0};
  MapDialogRect(dialog, &r);
  return r.right;
}

struct Column {
  const wchar_t* title;
  int widthDu;
  std::vector<std::wstring> (*texts)();  // every text it can show, or null
};
constexpr Column kColumns[] = {{kStartColumnTitle, 86, nullptr},        {kLengthColumnTitle, 44, nullptr},
                               {kKindColumnTitle, 30, OutageKindTexts}, {kSsidColumnTitle, 62, nullptr},
                               {kReconnectsColumnTitle, 30, nullptr},   {kEndColumnTitle, 86, OutageEndTexts}};

// The ending and kind columns keep their designed width unless their longest text needs
// more, in the list's font at the current DPI (the margin is the list's own, about two
// characters).
int ColumnWidth(HWND dialog, HWND list, int column) {
  int width = Du(dialog, kColumns[column].widthDu);
  if (!kColumns[column].texts) return width;
  for (const std::wstring& text : kColumns[column].texts()) {
    width = std::max(width, ListView_GetStringWidth(list, text.c_str()) + Du(dialog, 8));
  }
  return width;
}

void SizeColumns(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    ListView_SetColumnWidth(list, i, ColumnWidth(dialog, list, i));
  }
}

void FillList(HWND list, const std::vector<OutageRow>& rows) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const OutageRow& row = rows[i];
    const std::wstring* cells[] = {&row.start, &row.length, &row.kind, &row.ssid, &row.reconnects, &row.end};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<wchar_t*>(cells[0]->c_str());
    ListView_InsertItem(list, &item);
    for (int c = 1; c < static_cast<int>(std::size(cells)); ++c) {
      ListView_SetItemText(list, i, c, const_cast<wchar_t*>(cells[c]->c_str()));
    }
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void Refresh(HWND dialog) {
  const WallSeconds now = CurrentWallSeconds();
  HistoryRows rows = HistorySnapshot();
  ProcessOutageBook().AddOpenRows(rows, MonotonicNowNs());
  for (auto [strip, window] : {std::pair{&g_day, DayStrip(now)}, std::pair{&g_week, WeekStrip(now)}}) {
    strip->window = window;
    strip->slots = HistorySlots(rows, window.from, window.to, window.count);
  }
  g_day.axis = DayAxis(g_day.window, ToLocalTime);
  g_week.axis = WeekAxis(g_week.window, ToLocalTime);
  SetDlgItemTextW(dialog, IDC_HISTORY_PERCENT, AvailabilityLine(rows, now).c_str());
  FillList(GetDlgItem(dialog, IDC_HISTORY_LIST), OutageRows(rows, ToLocalTime));
  InvalidateRect(GetDlgItem(dialog, IDC_HISTORY_DAY), nullptr, FALSE);
  InvalidateRect(GetDlgItem(dialog, IDC_HISTORY_WEEK), nullptr, FALSE);
}

// The bar on top, the ticks and their labels below it. Day labels are centred on their
// hour; a date begins at its midnight.
void DrawStrip(HWND dialog, HDC dc, const RECT& area, const Strip& strip, bool centredLabels) {
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int tick = Du(dialog, 2);
  const RECT bar{area.left, area.top, area.right, area.bottom - metrics.tmHeight - tick * 2};
  const int width = bar.right - bar.left;
  const int count = static_cast<int>(strip.slots.size());
  for (int i = 0; i < count; ++i) {
    const RECT slot{bar.left + width * i / count, bar.top, bar.left + width * (i + 1) / count, bar.bottom};
    Fill(dc, slot, SlotColour(strip.slots[i]));
  }
  const UniqueGdiObject<HBRUSH> frame(CreateSolidBrush(kFrameColour));
  FrameRect(dc, &bar, frame.get());
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkMode(dc, TRANSPARENT);
  int labelsEnd = area.left;  // no label over the one before it
  for (const AxisMark& mark : strip.axis) {
    const int x = bar.left + static_cast<int>(mark.at * width);
    const RECT line{x, bar.bottom, x + 1, bar.bottom + (mark.label.empty() ? tick : tick * 2)};
    Fill(dc, line, kFrameColour);
    if (mark.label.empty()) continue;
    SIZE size{};
    GetTextExtentPoint32W(dc, mark.label.c_str(), static_cast<int>(mark.label.size()), &size);
    const int left = centredLabels ? x - size.cx / 2 : x + tick;
    if (left < labelsEnd || left + size.cx > area.right) continue;
    TextOutW(dc, left, line.bottom, mark.label.c_str(), static_cast<int>(mark.label.size()));
    labelsEnd = left + size.cx + tick;
  }
}

void DrawLegend(HDC dc, const RECT& area) {
  const std::pair<COLORREF, const wchar_t*> entries[] = {{kAnsweredColour, kAnsweredLegend},
                                                         {kOutageColour, kOutageLegend},
                                                         {kInternetOutageColour, kInternetOutageLegend},
                                                         {kNotMonitoredColour, kNotMonitoredLegend}};
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int box = metrics.tmHeight - 2;
  const UniqueGdiObject<HBRUSH> frame(CreateSolidBrush(kFrameColour));
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  int x = area.left;
  for (const auto& [colour, text] : entries) {
    const RECT swatch{x, area.top + 1, x + box, area.top + 1 + box};
    Fill(dc, swatch, colour);
    FrameRect(dc, &swatch, frame.get());
    x += box + metrics.tmAveCharWidth;
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, x, area.top, text, static_cast<int>(wcslen(text)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    x += size.cx + metrics.tmAveCharWidth * 3;
  }
}

// Drawn into a bitmap first, then copied: no flicker when the minute timer redraws.
void OnDrawItem(HWND dialog, const DRAWITEMSTRUCT& item) {
  const RECT& target = item.rcItem;
  const int width = target.right - target.left, height = target.bottom - target.top;
  const UniqueMemoryDc memory(CreateCompatibleDC(item.hDC));
  const UniqueGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(item.hDC, width, height));
  if (!memory || !bitmap) return;
  const ScopedSelection bitmapIn(memory.get(), bitmap.get());
  const ScopedSelection fontIn(memory.get(), reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
  const RECT area{0, 0, width, height};
  Fill(memory.get(), area, GetSysColor(COLOR_BTNFACE));
  if (item.CtlID == IDC_HISTORY_DAY) DrawStrip(dialog, memory.get(), area, g_day, true);
  if (item.CtlID == IDC_HISTORY_WEEK) DrawStrip(dialog, memory.get(), area, g_week, false);
  if (item.CtlID == IDC_HISTORY_LEGEND) DrawLegend(memory.get(), area);
  BitBlt(item.hDC, target.left, target.top, width, height, memory.get(), 0, 0, SRCCOPY);
}

void OpenHistoryFile(HWND dialog) {
  const std::wstring path = HistoryFilePath();
  const bool exists = !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  const wchar_t* problem = kHistoryFileMissingMessage;
  if (exists) {
    if (OpenWithShell(dialog, path)) return;
    problem = kHistoryFileOpenFailedMessage;
  }
  MessageBoxW(dialog, (problem + std::wstring(kPathBelowMessage) + path).c_str(), kProductTitle,
              exists ? MB_ICONERROR : MB_ICONINFORMATION);
}

void OnInitDialog(HWND dialog) {
  g_dialog = dialog;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  SendMessageW(dialog, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconW(instance, MAKEINTRESOURCEW(IDI_MONITORING))));
  HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(kColumns[i].title);
    column.cx = ColumnWidth(dialog, list, i);
    ListView_InsertColumn(list, i, &column);
  }
  // Called on the recording thread: it only posts.
  SetHistoryListener([] {
    if (HWND open = g_dialog.load()) PostMessageW(open, kHistoryChangedMessage, 0, 0);
  });
  SetTimer(dialog, kMinuteTimer, 60 * 1000, nullptr);
  Refresh(dialog);
}

void OnDestroy(HWND dialog) {
  SetHistoryListener(nullptr);
  KillTimer(dialog, kMinuteTimer);
  g_dialog = nullptr;
  g_day = {};
  g_week = {};
}

INT_PTR CALLBACK HistoryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      return TRUE;
    case WM_DRAWITEM:
      OnDrawItem(dialog, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_TIMER:
    case kHistoryChangedMessage:
      Refresh(dialog);
      return TRUE;
    case WM_DPICHANGED:
      // The dialog manager scales the dialog, its controls and its font (per-monitor
      // awareness v2); the columns follow once it has.
      PostMessageW(dialog, kRescaledMessage, 0, 0);
      return FALSE;
    case kRescaledMessage:
      SizeColumns(dialog);
      InvalidateRect(dialog, nullptr, TRUE);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_HISTORY_OPEN_FILE:
          OpenHistoryFile(dialog);
          return TRUE;
        case IDOK:
        case IDCANCEL:  // also Esc and the close box
          DestroyWindow(dialog);
          return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      OnDestroy(dialog);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void ShowHistoryDialog(HWND owner) {
  if (HWND open = g_dialog.load()) {
    if (IsIconic(open)) ShowWindow(open, SW_RESTORE);
    SetForegroundWindow(open);
    return;
  }
  HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_HISTORY), owner, HistoryProc, 0);
  if (!dialog) return;
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
}

bool IsHistoryDialogMessage(MSG& message) {
  HWND open = g_dialog.load();
  return open && IsDialogMessageW(open, &message);
}

void CloseHistoryDialog() {
  if (HWND open = g_dialog.load()) DestroyWindow(open);
}

}  // namespace moorlink
