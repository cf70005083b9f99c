// Drives a running Moorlink.exe from another process under Wine, one action per call:
//   wait <class> <title|-> <ms>         exit 0 once a visible top-level window matches
//   gone <class> <title|-> <ms>         exit 0 once none matches
//   command <id>                        WM_COMMAND to the main window
//   tray <mouse message>                the tray callback (0x8001) with that lParam
//   delete-icon                         deletes the icon as a dying shell would
//   taskbar-created                     the "TaskbarCreated" broadcast of a new shell
//   cancel-menu                         WM_CANCELMODE to the main window (ends its menu)
//   power <event>                       WM_POWERBROADCAST with that event (4 suspend, 7 or 18
//                                       resume; decimal or 0x hex), sent as Windows sends it
//   texts <class> <title|->             prints "<id> <class> <text>" for each child control
//   key <class> <title|-> <vk>          a key press to the window's focused control
//   close <class> <title|->             WM_CLOSE to the window (its close box)
//   rect <class> <title|->              prints "<width>x<height>+<left>+<top>" of the window
//   set <title> <id> <text>             WM_SETTEXT to the control <id> inside the window <title>
//   click <title> <id>                  BM_CLICK to that control (posted)
//   select <title> <id> <index>         selects a drop-down entry as the user would
//   page <title> <index>                shows that page of a property sheet
//   state <title> <id>                  prints "<text>|enabled=<0|1>|check=<n>|pos=<n>|count=<n>|focus=<0|1>"
//   rows <title> <id>                   prints each row of that list view, its cells joined by "|"
//   clipped <title>                     prints "<id> <reason>" for each control of the shown page
//                                       that leaves the page or whose text is wider than it
//   list                                prints "<class> <title>" of each visible top-level window
//   exists <class>                      exit 0 when a top-level window of that class exists,
//                                       shown or not (the program's hidden main window)
// Titles are UTF-8 on the command line. Exit 1 when the window is not there.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/Text.h"
#include "notify/TrayIconRecord_win.h"

namespace {

using moorlink::WideToUtf8;

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

struct Search {
  std::wstring cls;
  std::wstring title;  // empty: any
  bool visibleOnly;
  HWND found = nullptr;
};

BOOL CALLBACK Match(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  if (s->visibleOnly && !IsWindowVisible(window)) return TRUE;
  if (ClassOf(window) != s->cls) return TRUE;
  if (!s->title.empty() && TextOf(window) != s->title) return TRUE;
  s->found = window;
  return FALSE;
}

HWND Find(const std::wstring& cls, const std::wstring& title, bool visibleOnly = true) {
  Search s{cls, title == L"-" ? L"" : title, visibleOnly};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND MainWindow() { return FindWindowW(L"MoorlinkClass", nullptr); }

struct ChildSearch {
  int id;
  HWND found = nullptr;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM param) {
  auto* s = reinterpret_cast<ChildSearch*>(param);
  if (GetDlgCtrlID(child) != s->id) return TRUE;
  s->found = child;
  return FALSE;
}

// A control of a dialog (or of a property sheet's pages) by its ID.
HWND ChildById(HWND window, int id) {
  ChildSearch s{id};
  EnumChildWindows(window, MatchChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  std::printf("%d %s %s\n", GetDlgCtrlID(child), WideToUtf8(ClassOf(child)).c_str(), WideToUtf8(TextOf(child)).c_str());
  return TRUE;
}

// The width a label's text may take: a check box or radio button draws its box first, a
// group box its frame corners.
long TextRoom(HWND control, const std::wstring& cls) {
  RECT client{};
  GetClientRect(control, &client);
  if (_wcsicmp(cls.c_str(), L"Button") != 0) return client.right;
  switch (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return client.right - GetSystemMetrics(SM_CXMENUCHECK) - 4;
    case BS_GROUPBOX:
      return client.right - 16;
    default:
      return client.right - 8;
  }
}

// The pages' font as the dialog manager makes it (a font handle of the program's own
// process is of no use in this one).
void PrintClipped(HWND page) {
  RECT area{};
  GetClientRect(page, &area);
  MapWindowPoints(page, nullptr, reinterpret_cast<POINT*>(&area), 2);
  HDC dc = GetDC(page);
  HFONT font = CreateFontW(-MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic");
  HGDIOBJ old = SelectObject(dc, font);
  for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!IsWindowVisible(c)) continue;
    const int id = GetDlgCtrlID(c);
    RECT r{};
    GetWindowRect(c, &r);
    if (r.left < area.left || r.top < area.top || r.right > area.right || r.bottom > area.bottom) {
      std::printf("%d outside the page\n", id);
    }
    const std::wstring cls = ClassOf(c), text = TextOf(c);
    if (text.empty() || (_wcsicmp(cls.c_str(), L"Static") != 0 && _wcsicmp(cls.c_str(), L"Button") != 0)) continue;
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    const long room = TextRoom(c, cls);
    if (extent.cx > room) std::printf("%d text %ld px in %ld\n", id, extent.cx, room);
  }
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(page, dc);
}

// A list view answers with text only into its own process's memory: the item and its
// buffer are lent there.
void PrintRows(HWND list) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  struct Lent {
    LVITEMW item;
    wchar_t text[512];
  };
  auto* lent = process ? static_cast<Lent*>(VirtualAllocEx(process, nullptr, sizeof(Lent), MEM_COMMIT, PAGE_READWRITE))
                       : nullptr;
  if (!lent) return;
  const int columns = static_cast<int>(SendMessageW(ListView_GetHeader(list), HDM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    for (int column = 0; column < columns; ++column) {
      LVITEMW item{};
      item.iSubItem = column, item.pszText = lent->text, item.cchTextMax = 512;
      wchar_t text[512] = {};
      WriteProcessMemory(process, &lent->item, &item, sizeof(item), nullptr);
      SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&lent->item));
      ReadProcessMemory(process, lent->text, text, sizeof(text) - sizeof(wchar_t), nullptr);
      std::printf(column + 1 < columns ? "%s|" : "%s\n", WideToUtf8(text).c_str());
    }
  }
  VirtualFreeEx(process, lent, 0, MEM_RELEASE);
  CloseHandle(process);
}

bool WaitFor(const std::wstring& cls, const std::wstring& title, int ms, bool present) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    if ((Find(cls, title) != nullptr) == present) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring action = argv[1];
  auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };

  if (action == L"wait" || action == L"gone")
    return WaitFor(arg(2), arg(3), _wtoi(arg(4).c_str()), action == L"wait") ? 0 : 1;
  if (action == L"command" || action == L"tray" || action == L"delete-icon" || action == L"taskbar-created" ||
      action == L"cancel-menu" || action == L"power" || action == L"endsession" || action == L"kill") {
    HWND main = MainWindow();
    if (!main) return 1;
    if (action == L"command") PostMessageW(main, WM_COMMAND, _wtoi(arg(2).c_str()), 0);
    if (action == L"tray") PostMessageW(main, WM_APP + 1, 1, std::wcstol(arg(2).c_str(), nullptr, 0));
    if (action == L"cancel-menu") PostMessageW(main, WM_CANCELMODE, 0, 0);
    // Sent, not posted: once the driver returns, the program has taken the notice.
    if (action == L"power" && !SendMessageTimeoutW(main, WM_POWERBROADCAST, std::wcstoul(arg(2).c_str(), nullptr, 0), 0,
                                                   SMTO_ABORTIFHUNG, 5000, nullptr)) {
      return 1;
    }
    // A sign-out as Windows tells it: the query must not refuse, and the end is sent.
    DWORD_PTR answer = 0;
    if (action == L"endsession" &&
        (!SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer) ||
         !answer ||
         !SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, nullptr))) {
      return 1;
    }
    // Ended hard, as Windows ends a process after the session's end.
    DWORD process = 0;
    if (action == L"kill" && GetWindowThreadProcessId(main, &process)) {
      HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, process);
      if (!h || !TerminateProcess(h, 1)) return 1;
      CloseHandle(h);
    }
    if (action == L"delete-icon") {
      NOTIFYICONDATAW icon{};
      icon.cbSize = sizeof(icon);
      icon.hWnd = main;
      icon.uID = moorlink::kTrayIconUid;
      if (!Shell_NotifyIconW(NIM_DELETE, &icon)) return 1;
    }
    if (action == L"taskbar-created") PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    return 0;
  }
  if (action == L"exists") return FindWindowW(arg(2).c_str(), nullptr) ? 0 : 1;
  if (action == L"hold") {
    // Open without write sharing, as a spreadsheet holds a file, for this many ms.
    HANDLE file = CreateFileW(arg(2).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(_wtoi(arg(3).c_str())));
    CloseHandle(file);
    return 0;
  }
  if (action == L"list") {
    EnumWindows(
        [](HWND w, LPARAM) -> BOOL {
          if (IsWindowVisible(w)) std::printf("%s %s\n", WideToUtf8(ClassOf(w)).c_str(), WideToUtf8(TextOf(w)).c_str());
          return TRUE;
        },
        0);
    return 0;
  }
  if (action == L"clipped") {
    HWND sheet = Find(L"#32770", arg(2));
    HWND page = sheet ? reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)) : nullptr;
    if (!page) return 1;
    PrintClipped(page);
    return 0;
  }
  if (action == L"set" || action == L"click" || action == L"select" || action == L"page" || action == L"state" ||
      action == L"rows") {
    HWND dialog = Find(L"#32770", arg(2));
    if (!dialog) return 1;
    if (action == L"page") return SendMessageW(dialog, PSM_SETCURSEL, _wtoi(arg(3).c_str()), 0) ? 0 : 1;
    const int id = _wtoi(arg(3).c_str());
    HWND control = ChildById(dialog, id);
    if (!control) return 1;
    if (action == L"set") SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(4).c_str()));
    if (action == L"click") PostMessageW(control, BM_CLICK, 0, 0);
    if (action == L"rows") PrintRows(control);
    if (action == L"select") {
      SendMessageW(control, CB_SETCURSEL, _wtoi(arg(4).c_str()), 0);
      SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
    }
    if (action == L"state") {
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &info);
      // Each query only to the class that knows it: the message numbers mean other things elsewhere.
      const std::wstring cls = ClassOf(control);
      auto ask = [&](const wchar_t* wanted, UINT message) {
        return _wcsicmp(cls.c_str(), wanted) == 0 ? static_cast<int>(SendMessageW(control, message, 0, 0)) : -1;
      };
      std::printf("%s|enabled=%d|check=%d|pos=%d|count=%d|focus=%d|visible=%d\n", WideToUtf8(TextOf(control)).c_str(),
                  IsWindowEnabled(control) ? 1 : 0, ask(L"Button", BM_GETCHECK), ask(L"msctls_trackbar32", TBM_GETPOS),
                  ask(L"ComboBox", CB_GETCOUNT), info.hwndFocus == control ? 1 : 0, IsWindowVisible(control) ? 1 : 0);
    }
    return 0;
  }
  HWND window = Find(arg(2), arg(3));
  if (!window) return 1;
  if (action == L"texts") {
    EnumChildWindows(window, PrintChild, 0);
    return 0;
  }
  if (action == L"key") {
    // The dialog's own loop sees the key as if typed on its focused control. A message box
    // exists before it takes the focus: a key posted to the control behind it is lost.
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    HWND target = window;
    for (int waited = 0; waited < 2000; waited += 20) {
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      if (GetGUIThreadInfo(thread, &info) && (info.hwndFocus == window || IsChild(window, info.hwndFocus))) {
        target = info.hwndFocus;
        break;
      }
      Sleep(20);
    }
    const UINT vk = static_cast<UINT>(std::wcstol(arg(4).c_str(), nullptr, 0));
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
    return 0;
  }
  if (action == L"rect") {
    RECT r{};
    GetWindowRect(window, &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    return 0;
  }
  if (action == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  return 2;
}
