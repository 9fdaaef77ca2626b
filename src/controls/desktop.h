// Puts a window into the desktop's icon view, so that it stays on the desktop like a widget.
#pragma once

#include <windows.h>

void EmbedInDesktop(HWND hMainWnd);
BOOL CALLBACK DesktopEnumProc(HWND hwnd, LPARAM lParam);
