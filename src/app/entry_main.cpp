#include <windows.h>

#include "app/calendar_app.h"

CCalendarApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    return AfxWinMain(instance);
}
