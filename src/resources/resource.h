// Every resource and control ID of the program, read by windres (Moorlink.rc) and by C++.
// Plain #defines only: the resource compiler understands nothing else.
#ifndef MOORLINK_RESOURCE_H
#define MOORLINK_RESOURCE_H

// Icons: monitoring, reconnecting, stopped.
#define IDI_MONITORING 100
#define IDI_RECONNECTING 101
#define IDI_STOPPED 102

// The tray menu and its commands.
#define IDR_TRAYMENU 40000
#define IDM_EXIT 40001
#define IDM_ABOUT 40002
#define IDM_README 40003
#define IDM_SETTINGS 40004
#define IDM_OPEN_EXE_FOLDER 40005
#define IDM_OPEN_LOG_FOLDER 40006
#define IDM_RESTART_MONITOR 40007

// The about dialog.
#define IDD_ABOUT 2000
#define IDC_ABOUT_ICON 2001
#define IDC_ABOUT_LINK 2002

// The about dialog's credit line and the project's home page, shown after "URL : " and
// opened by the link. One place for both: the dialog resource and the code read them.
#define MOORLINK_CREDIT_TEXT "Copyright (C) 2026 Moorlink Project"
#define MOORLINK_HOME_URL "https://github.com/moorlink"

// The settings sheet's pages: monitoring, log, other.
#define IDD_PAGE_MONITOR 3000
#define IDD_PAGE_LOG 4000
#define IDD_PAGE_OTHER 5000

// The application manifest.
#define IDR_MANIFEST 1

#endif
