#include "app/AboutDialog_win.h"

#include <shellapi.h>

#include <algorithm>

#include "app/ShellOpen_win.h"
#include "common/UniqueHandle_win.h"
#include "resources/resource.h"

namespace moorlink {
namespace {

constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr COLORREF kHoverColour = RGB(255, 0, 0);
constexpr wchar_t kHomeUrl[] = L"" MOORLINK_HOME_URL;
// Where the icon and the texts begin in the dialog resource, in dialog units.
constexpr LONG kIconLeftDu = 7;
constexpr LONG kTextLeftDu = 85;

// One dialog at a time: the tray window never opens a second.
struct LinkState {
  HWND link = nullptr;
  WNDPROC previous = nullptr;
  HFONT normalFont = nullptr;  // the dialog manager's; not ours to delete
  UniqueFont underlinedFont;   // ours
  COLORREF colour = kLinkColour;
} g_link;
UniqueIcon g_picture;  // the large icon beside the texts, one per opening

void ShowLink(COLORREF colour, HFONT font) {
  g_link.colour = colour;
  SendMessageW(g_link.link, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void ResetLink() {
  ShowLink(kLinkColour, g_link.normalFont);
  ReleaseCapture();
}

LRESULT CALLBACK LinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE: {
      // Capturing the mouse while hovering lets the label see the cursor leave it.
      if (GetCapture() == nullptr) {
        ShowLink(kHoverColour, g_link.underlinedFont.get());
        SetCapture(window);
      }
      RECT client;
      GetClientRect(window, &client);
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (!PtInRect(&client, at)) {
        ShowLink(kLinkColour, g_link.normalFont);
        ReleaseCapture();
      }
      break;
    }
  }
  return CallWindowProcW(g_link.previous, window, message, wParam, lParam);
}

void OnInitDialog(HWND dialog) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  SendMessageW(dialog, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconW(instance, MAKEINTRESOURCEW(IDI_MONITORING))));
  // 128 pixels, but never over the texts that start 78 dialog units to its right.
  RECT gap{kIconLeftDu, 0, kTextLeftDu, 0};
  MapDialogRect(dialog, &gap);
  const int size = std::clamp(static_cast<int>(gap.right - gap.left) - 4, 16, 128);
  g_picture.reset(static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_MONITORING), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  SendDlgItemMessageW(dialog, IDC_ABOUT_ICON, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(g_picture.get()));

  g_link = {};
  g_link.link = GetDlgItem(dialog, IDC_ABOUT_LINK);
  g_link.normalFont = reinterpret_cast<HFONT>(SendMessageW(g_link.link, WM_GETFONT, 0, 0));
  LOGFONTW font{};
  if (g_link.normalFont && GetObjectW(g_link.normalFont, sizeof(font), &font) == sizeof(font)) {
    font.lfUnderline = TRUE;
    g_link.underlinedFont.reset(CreateFontIndirectW(&font));
  }
  g_link.previous =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(g_link.link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkProc)));
  g_link.colour = kLinkColour;
}

void OnDestroy(HWND dialog) {
  // The control lets go of the icon before it is destroyed.
  SendDlgItemMessageW(dialog, IDC_ABOUT_ICON, STM_SETIMAGE, IMAGE_ICON, 0);
  g_picture.reset();
  if (g_link.link && g_link.previous) {
    SetWindowLongPtrW(g_link.link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_link.previous));
  }
  g_link = {};  // deletes the underlined font
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) != g_link.link) return FALSE;
      SetTextColor(reinterpret_cast<HDC>(wParam), g_link.colour);
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      if (LOWORD(wParam) == IDC_ABOUT_LINK && HIWORD(wParam) == STN_CLICKED) {
        ResetLink();
        OpenWithShell(dialog, kHomeUrl);
        return TRUE;
      }
      return FALSE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) ResetLink();
      return FALSE;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_DESTROY:
      OnDestroy(dialog);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void ShowAboutDialog(HWND owner) {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc, 0);
}

}  // namespace moorlink
