// Every resource id of Pelorin.exe, grouped by kind. Included by Pelorin.rc
// (windres) and by the C++ code, so it holds nothing but #defines.
#pragma once

// The application manifest; the loader looks for it under id 1.
#define IDR_MANIFEST 1

// Icons: 107 is the program file's own icon; 108 is the tray icon.
#define IDI_PROGRAM 107
#define IDI_TRAY 108

// The tray menu. Its one top-level pop-up is a holder; position 0 is shown.
#define IDR_TRAY_MENU 102

#define IDM_EXIT 101
#define IDM_SAVE 103
#define IDM_RESTORE_NEWEST 104
#define IDM_SETTINGS 105
#define IDM_SAVE_AND_CLOSE_ALL 40005
#define IDM_CLOSE_ALL 40006
#define IDM_RESTORE_FROM_FILE 40008
#define IDM_TOPMOST 40009

// The settings dialog and its controls.
#define IDD_SETTINGS 111

#define IDC_EXIT_IE_WHEN_RESTORE 1000
#define IDC_AUTO_SAVE 1001
#define IDC_SAVE 1002
#define IDC_AUTO_SAVE_TIME 1005
#define IDC_AUTO_SAVE_TIME_UNIT 1006
#define IDC_CREATE_WAIT_LABEL 1008
#define IDC_CREATE_WAIT 1009
#define IDC_RESIZE_WAIT_LABEL 1010
#define IDC_CREATE_WAIT_UNIT 1011
#define IDC_RESIZE_WAIT 1012
#define IDC_RESIZE_WAIT_UNIT 1013
#define IDC_EXIT_IE_WHEN_EXIT 1014
#define IDC_RESTORE_WHEN_START 1015

// Strings.
#define IDS_FRAME_TITLE 1
#define IDS_TRAY_TIP 2

// Version information.
#define IDV_VERSION 1
