// Resource identifiers of almanix.exe. Dialogs, icons, menus and controls keep the numbers
// the program has always used; each has one name here. Control ids are unique within their
// dialog or window; the same number in two different windows gets a name per meaning.
#pragma once

// Icons and menus
#define IDR_MAINFRAME 128       // the program's icon: 16, 32 and 48 pixels
#define IDR_UNINSTALL_MENU 251  // one pop-up with "卸载"; no window loads it

// Dialog templates
#define IDD_MAIN 102
#define IDD_EXIT 139
#define IDD_MEMO 242
#define IDD_DAYTIP 243
#define IDD_NOTEBOOK 255
#define IDD_NOTEBOOK_TAB 256
#define IDD_CALENDAR_TAB 257
#define IDD_WEEKLY 258
#define IDD_SYNC 270
#define IDD_SYNC_QUESTION 271

// Main window (IDD_MAIN): template controls, then those created at run time
#define IDC_COLLAPSE 1000
#define IDC_EXIT 1001
#define IDC_COMBO_YEAR 1034
#define IDC_COMBO_MONTH 1035
#define IDC_PREV_MONTH 1044
#define IDC_NEXT_MONTH 1045
#define IDC_TODAY 105
#define IDC_MONTH_VIEW 107
#define IDC_BULLETIN 1053
#define IDC_NEXT_BULLETIN 1054

// Month view
#define IDC_SITE_LINK 1052

// Exit prompt (IDD_EXIT)
#define IDC_END_PROGRAM 1000
#define IDC_UNINSTALL 1025

// Day memo dialog (IDD_MEMO): template edits, then controls created at run time
#define IDC_MEMO_ONCE 1029
#define IDC_MEMO_SOLAR_YEARLY 1030
#define IDC_MEMO_LUNAR_YEARLY 1031
#define IDC_MEMO_DATE 1032
#define IDC_SOLAR_CAPTION 1038
#define IDC_LUNAR_CAPTION 1039
#define IDC_ONCE_COLOR 1049
#define IDC_SOLAR_COLOR 1050
#define IDC_LUNAR_COLOR 1051

// Weekly reminder dialog (IDD_WEEKLY)
#define IDC_MEMO_WEEKLY 1049
#define IDC_WEEKLY_COLOR 1056

// Notebook (IDD_NOTEBOOK)
#define IDC_NOTE 1047
#define IDC_HIDE_NOTEBOOK 1048

// Tab windows (IDD_NOTEBOOK_TAB, IDD_CALENDAR_TAB): the one button of each
#define IDC_SHOW_NOTEBOOK 1000
#define IDC_RESTORE_CALENDAR 1000

// Commands
#define ID_UNINSTALL 32778
// The calendar's right-click menu
#define ID_EXPORT_ICAL 32779
#define ID_IMPORT_ICAL 32780
#define ID_AUTOSTART 32781
#define ID_ABOUT 32782
#define ID_HOLIDAY_UPDATE 32791
#define ID_SHOW_ALMANAC 32795

// Sync settings (IDD_SYNC) and the menu command that opens them
#define IDC_SYNC_SERVER 1100
#define IDC_SYNC_USER 1101
#define IDC_SYNC_PASSWORD 1102
#define IDC_SYNC_CALENDAR 1103
#define IDC_SYNC_FIND 1104
#define IDC_SYNC_NOW 1105
#define IDC_SYNC_STATUS 1106
// The question of a sync that found one side emptied (IDD_SYNC_QUESTION)
#define IDC_SYNC_QUESTION_TEXT 1107
#define IDC_SYNC_EMPTY_BOTH 1108
#define IDC_SYNC_REFILL 1109
#define ID_SYNC_SETTINGS 32790

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
