#pragma once
// The dialog procedures of the settings sheet's four pages. They move values between
// the controls and the page models of SettingsPages.h.
#include <windows.h>

namespace moorlink {

INT_PTR CALLBACK MonitorPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LogPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// The page's PROPSHEETPAGE lParam points to the voice names (std::vector<std::wstring>),
// which outlive the sheet.
INT_PTR CALLBACK OtherPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DetailPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace moorlink
