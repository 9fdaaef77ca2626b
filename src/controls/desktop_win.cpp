#include "controls/desktop.h"

namespace {

bool ClassIs(const wchar_t* name, const wchar_t* wanted)
{
    // ASCII letters only: class names are ASCII, and the locale must not matter.
    for (; *name && *wanted; ++name, ++wanted) {
        wchar_t a = *name, b = *wanted;
        if (a >= L'A' && a <= L'Z')
            a = static_cast<wchar_t>(a - L'A' + L'a');
        if (b >= L'A' && b <= L'Z')
            b = static_cast<wchar_t>(b - L'A' + L'a');
        if (a != b)
            return false;
    }
    return *name == *wanted;
}

}  // namespace

void EmbedInDesktop(HWND hMainWnd)
{
    HWND tray = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    if (tray) {
        // The taskbar's own hot key; a hung shell must not hang the calendar's start.
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(tray, WM_HOTKEY, 501, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
    }
    ::EnumWindows(DesktopEnumProc, reinterpret_cast<LPARAM>(hMainWnd));
}

BOOL CALLBACK DesktopEnumProc(HWND hwnd, LPARAM lParam)
{
    if (!::IsWindowVisible(hwnd) || ::IsIconic(hwnd))
        return TRUE;
    HWND view = ::FindWindowExW(hwnd, nullptr, L"SHELLDLL_DefView", nullptr);
    if (!view || !::FindWindowExW(view, nullptr, L"SysListView32", nullptr))
        return TRUE;
    wchar_t cls[100] = {};
    ::GetClassNameW(hwnd, cls, 100);
    if (ClassIs(cls, L"progman") || ClassIs(cls, L"WorkerW"))
        ::SetParent(reinterpret_cast<HWND>(lParam), view);
    return TRUE;
}
