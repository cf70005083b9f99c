#include "app/SettingsSheet_win.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/AppTexts.h"
#include "app/SettingsPages.h"
#include "app/SettingsPages_win.h"
#include "app/SettingsSheet.h"
#include "common/Product.h"
#include "log/LogTexts.h"
#include "resources/resource.h"
#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"

namespace moorlink {
namespace {

// The apply round counts its pages by SheetPage: the sheet must hold the same pages in
// the same order.
struct SheetPageKind {
  SheetPage page;
  int templateId;
  DLGPROC procedure;
};
constexpr SheetPageKind kSheetPages[] = {
    {kMonitorSheetPage, IDD_PAGE_MONITOR, MonitorPageProc},
    {kLogSheetPage, IDD_PAGE_LOG, LogPageProc},
    {kOtherSheetPage, IDD_PAGE_OTHER, OtherPageProc},
    {kDetailSheetPage, IDD_PAGE_DETAIL, DetailPageProc},
};
constexpr bool InSheetPageOrder() {
  for (int i = 0; i < kSheetPageCount; ++i) {
    if (kSheetPages[i].page != i) return false;
  }
  return true;
}
static_assert(std::size(kSheetPages) == kSheetPageCount && InSheetPageOrder());

constexpr wchar_t kCenteredProperty[] = L"__CENTERED__";

// The point size of the monitoring page's font; 0 when it cannot be read.
std::uint16_t PagePointSize(HINSTANCE instance) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_PAGE_MONITOR), RT_DIALOG);
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const auto* bytes = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
  if (!bytes) return 0;
  const auto at = TemplatePointSizeOffset(bytes, SizeofResource(instance, found));
  return at ? static_cast<std::uint16_t>(bytes[*at] | bytes[*at + 1] << 8) : 0;
}

// Pages without DS_SHELLFONT are measured in the frame's dialog units. A frame font
// smaller than the pages' (Wine; Windows in other languages) would cut their last rows,
// so the frame gets the pages' point size.
int CALLBACK SheetCallback(HWND, UINT message, LPARAM lParam) {
  if (message != PSCB_PRECREATE || lParam == 0) return 0;
  const std::uint16_t points = PagePointSize(GetModuleHandleW(nullptr));
  auto* frame = reinterpret_cast<unsigned char*>(lParam);
  // Only the header is read; the frame template is comctl32's own well-formed copy.
  const auto at = TemplatePointSizeOffset(frame, 1024);
  if (points != 0 && at) {
    frame[*at] = static_cast<unsigned char>(points & 0xFF);
    frame[*at + 1] = static_cast<unsigned char>(points >> 8);
  }
  return 0;
}

}  // namespace

void ShowSettingsSheet(HWND window, LazySpeechPlayer* speech) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  static const std::vector<std::wstring> kNoVoices;
  // The voice list is the player's first use when nothing has spoken yet.
  const std::shared_ptr<SpeechPlayer> player = speech ? speech->Get() : nullptr;
  const std::vector<std::wstring>& voices = player ? player->VoiceNames() : kNoVoices;
  HPROPSHEETPAGE pages[kSheetPageCount] = {};
  bool created = true;
  for (int i = 0; i < kSheetPageCount; ++i) {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof(page);
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEW(kSheetPages[i].templateId);
    page.pfnDlgProc = kSheetPages[i].procedure;
    page.lParam = reinterpret_cast<LPARAM>(&voices);
    pages[i] = CreatePropertySheetPageW(&page);
    created = created && pages[i] != nullptr;
  }
  if (!created) {
    for (HPROPSHEETPAGE page : pages) {
      if (page) DestroyPropertySheetPage(page);
    }
    MessageBoxW(window, kPageCreationFailedMessage, kErrorTitle, MB_ICONERROR);
    return;
  }
  PROPSHEETHEADERW sheet{};
  sheet.dwSize = sizeof(sheet);
  sheet.dwFlags = PSH_USEHICON | PSH_NOCONTEXTHELP | PSH_USECALLBACK;
  sheet.pfnCallback = SheetCallback;
  sheet.hwndParent = window;
  sheet.hInstance = instance;
  sheet.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_MONITORING));
  const std::wstring caption = std::wstring(kSettingsCaptionLead) + kProductTitle;
  sheet.pszCaption = caption.c_str();
  sheet.nPages = kSheetPageCount;
  sheet.nStartPage = 0;
  sheet.phpage = pages;
  PropertySheetW(&sheet);
}

void CenterSheetOnce(HWND page) {
  HWND sheet = GetParent(page);
  if (!IsWindow(sheet) || GetPropW(sheet, kCenteredProperty)) return;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  RECT frame{};
  if (GetMonitorInfoW(MonitorFromWindow(sheet, MONITOR_DEFAULTTONEAREST), &monitor) && GetWindowRect(sheet, &frame)) {
    const ScreenRect work{monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom};
    const ScreenPoint at = CenteredOrigin(work, frame.right - frame.left, frame.bottom - frame.top);
    SetWindowPos(sheet, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetPropW(sheet, kCenteredProperty, reinterpret_cast<HANDLE>(1));
  // The owner is hidden: without this the sheet has no taskbar button.
  SetWindowLongW(sheet, GWL_EXSTYLE, GetWindowLongW(sheet, GWL_EXSTYLE) | WS_EX_APPWINDOW);
}

}  // namespace moorlink
