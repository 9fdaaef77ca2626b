// The floor for start-up, idle CPU and memory: a modal dialog from a template of the calendar
// window's style and size, moved to the calendar's place and filled with one colour, built
// like almanix.exe (MinGW, static runtime, GUI subsystem). It does nothing else.
// Built with ALMANIX_BARE_TEMPLATE it takes the calendar window's own template instead (its
// two combo boxes and buttons) with the program's manifest, so common controls 6: what the
// calendar's window costs before any code of the calendar runs.
#include <windows.h>

#ifdef ALMANIX_BARE_TEMPLATE
#include <commctrl.h>
#endif

namespace {

const int kBareDialog = 102;              // IDD_MAIN's number too
const COLORREF kFill = RGB(255, 215, 0);  // the calendar's gold strip: the driver's paint mark

INT_PTR CALLBACK BareProc(HWND hwnd, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        ::SetWindowTextW(hwnd, L"AlmanixBare");
        ::MoveWindow(hwnd, 500, 300, 363, 278, TRUE);
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT rc;
        ::GetClientRect(hwnd, &rc);
        HBRUSH brush = ::CreateSolidBrush(kFill);
        ::FillRect(dc, &rc, brush);
        ::DeleteObject(brush);
        ::EndPaint(hwnd, &ps);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
#ifdef ALMANIX_BARE_TEMPLATE
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
#endif
    return static_cast<int>(::DialogBoxParamW(instance, MAKEINTRESOURCEW(kBareDialog), nullptr, BareProc, 0));
}
