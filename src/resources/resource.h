// Every resource and control ID of the program, read by windres (Moorlink.rc) and by C++.
// Plain #defines only: the resource compiler understands nothing else.
#ifndef MOORLINK_RESOURCE_H
#define MOORLINK_RESOURCE_H

// Icons: monitoring, reconnecting, stopped, the internet behind the Wi-Fi down.
#define IDI_MONITORING 100
#define IDI_RECONNECTING 101
#define IDI_STOPPED 102
#define IDI_INTERNET 103

// The tray menu and its commands.
#define IDR_TRAYMENU 40000
#define IDM_EXIT 40001
#define IDM_ABOUT 40002
#define IDM_README 40003
#define IDM_SETTINGS 40004
#define IDM_OPEN_EXE_FOLDER 40005
#define IDM_OPEN_LOG_FOLDER 40006
#define IDM_RESTART_MONITOR 40007
#define IDM_HISTORY 40008

// The about dialog.
#define IDD_ABOUT 2000
#define IDC_ABOUT_ICON 2001
#define IDC_ABOUT_LINK 2002

// The about dialog's credit line and the project's home page, shown after "URL : " and
// opened by the link. One place for both: the dialog resource and the code read them.
#define MOORLINK_CREDIT_TEXT "Copyright (C) 2026 Moorlink Project"
#define MOORLINK_HOME_URL "https://github.com/moorlink"

// The settings sheet's pages: monitoring, log, other, detail, and their controls.
// Every page's note that a policy sets some of its keys (hidden until one does).
#define IDC_POLICY_NOTE 2900
#define IDD_PAGE_MONITOR 3000
#define IDC_RECONNECT_GROUP 3001
#define IDC_SSID_LABEL 3002
#define IDC_SSID 3003
#define IDC_RECONNECT_INTERVAL_LABEL 3004
#define IDC_RECONNECT_INTERVAL 3005
#define IDC_RECONNECT_INTERVAL_SPIN 3006
#define IDC_RECONNECT_INTERVAL_UNIT 3007
#define IDC_MAX_RETRY_LABEL 3008
#define IDC_MAX_RETRY 3009
#define IDC_MAX_RETRY_SPIN 3010
#define IDC_MAX_RETRY_UNIT 3011
#define IDC_PING_GROUP 3012
#define IDC_PING_ADDRESS_LABEL 3013
#define IDC_PING_ADDRESS 3014
#define IDC_PING_INTERVAL_LABEL 3015
#define IDC_PING_INTERVAL 3016
#define IDC_PING_INTERVAL_SPIN 3017
#define IDC_PING_INTERVAL_UNIT 3018
#define IDC_PING_TIMEOUT_LABEL 3019
#define IDC_PING_TIMEOUT 3020
#define IDC_PING_TIMEOUT_SPIN 3021
#define IDC_PING_TIMEOUT_UNIT 3022
#define IDC_REVIVAL_GROUP 3023
#define IDC_REVIVAL_ENABLE 3024
#define IDC_REVIVAL_INTERVAL_LABEL 3025
#define IDC_REVIVAL_INTERVAL 3026
#define IDC_REVIVAL_INTERVAL_SPIN 3027
#define IDC_REVIVAL_INTERVAL_UNIT 3028
#define IDC_NOTIFY_ON_RECONNECT 3029

#define IDD_PAGE_LOG 4000
#define IDC_LOG_GROUP 4001
#define IDC_USE_LOG 4002
#define IDC_LOG_PROCESS 4003
#define IDC_LOG_MONITOR 4004
#define IDC_LOG_PING 4005
#define IDC_LOG_NETSH 4006
#define IDC_LOG_OTHER 4007

#define IDD_PAGE_OTHER 5000
#define IDC_STARTUP 5002
#define IDC_NOTIFY_MODE 5003
#define IDC_VOICE 5004
#define IDC_VOLUME 5005

#define IDD_PAGE_DETAIL 6000
#define IDC_FAILURES_BEFORE_RECONNECT_LABEL 6001
#define IDC_FAILURES_BEFORE_RECONNECT 6002
#define IDC_FAILURES_BEFORE_RECONNECT_SPIN 6003
#define IDC_FAILURES_BEFORE_RECONNECT_UNIT 6004
#define IDC_USE_HISTORY 6005
#define IDC_RESUME_GRACE_LABEL 6006
#define IDC_RESUME_GRACE 6007
#define IDC_RESUME_GRACE_SPIN 6008
#define IDC_GATEWAY_CHECK 6009
#define IDC_GATEWAY_ADDRESS_LABEL 6010
#define IDC_GATEWAY_ADDRESS 6011

// The history dialog.
#define IDD_HISTORY 7000
#define IDC_HISTORY_DAY_LABEL 7001
#define IDC_HISTORY_DAY 7002
#define IDC_HISTORY_WEEK_LABEL 7003
#define IDC_HISTORY_WEEK 7004
#define IDC_HISTORY_LEGEND 7005
#define IDC_HISTORY_PERCENT 7006
#define IDC_HISTORY_LIST_LABEL 7007
#define IDC_HISTORY_LIST 7008
#define IDC_HISTORY_OPEN_FILE 7009

// The application manifest.
#define IDR_MANIFEST 1

#endif
