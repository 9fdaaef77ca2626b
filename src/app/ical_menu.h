// The calendar's right-click menu: iCalendar export and import through the system's file
// dialogs, the autostart and almanac switches and the about box.
#pragma once

#include <windows.h>

// Opens the menu at pt (screen pixels); the chosen item arrives at owner as WM_COMMAND.
void ShowCalendarMenu(HWND owner, POINT pt);
// Asks for a file and writes every memo to it; the outcome is shown in a message box.
void ExportMemosWithDialog(HWND owner);
// Asks for a file and adds its events to the memos; true when a memo file changed (the month
// shown is to be read again).
bool ImportMemosWithDialog(HWND owner);
// Sets or removes the autostart entry, the opposite of what it is now, and remembers the
// choice for later starts.
void ToggleAutoStart();
// The autostart entry names this program.
bool IsAutoStartSet();
// False when the user has turned autostart off in the menu: start-up then leaves it off.
bool AutoStartWanted();
// Day tips begin with the day's almanac (黄历) unless the user turned it off in the menu.
bool AlmanacWanted();
void SetAlmanacWanted(bool bShow);
void ShowAboutBox(HWND owner);
