// Resource identifiers of almanix.exe. Dialogs, icons, menus and controls keep the numbers
// the program has always used; each has one name here and no value is used twice.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_EXIT 139
#define IDD_MAIN 102
#define IDD_MEMO 242
#define IDD_DAYTIP 243
#define IDR_UNINSTALL_MENU 251
#define IDD_NOTEBOOK 255
#define IDD_NOTEBOOK_TAB 256
#define IDD_CALENDAR_TAB 257
#define IDD_WEEKLY 258

#define IDC_TODAY 105
#define IDC_MONTH_VIEW 107
#define IDC_COLLAPSE 1000
#define IDC_EXIT 1001
#define IDC_COMBO_YEAR 1034
#define IDC_COMBO_MONTH 1035
#define IDC_PREV_MONTH 1044
#define IDC_NEXT_MONTH 1045
#define IDC_SITE_LINK 1052
#define IDC_BULLETIN 1053
#define IDC_NEXT_BULLETIN 1054

#define ID_UNINSTALL 32778
