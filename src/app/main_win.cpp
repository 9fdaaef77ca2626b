// Start-up window until the calendar window takes its place.
#include <windows.h>

#include "resource.h"

namespace {

INT_PTR CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowPos(hwnd, nullptr, 500, 300, 363, 278, SWP_NOZORDER);
        SetWindowTextW(hwnd, L"日历2.18");
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT strip = {0, 0, 363, 25};
        HBRUSH brush = CreateSolidBrush(RGB(50, 80, 90));
        FillRect(dc, &strip, brush);
        DeleteObject(brush);
        SetBkMode(dc, TRANSPARENT);
        const wchar_t text[] = L"日历 — 农历、节气、备忘";
        TextOutW(dc, 20, 100, text, lstrlenW(text));
        EndPaint(hwnd, &ps);
        return TRUE;
    }
    case WM_COMMAND:
        return TRUE;
    case WM_CLOSE:
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainProc, 0);
    return 0;
}
