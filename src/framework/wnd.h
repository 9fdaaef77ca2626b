// The window framework: one C++ object per window, bound to its HWND once, here; messages
// reach typed handlers through a message map written next to each class.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "text/gbcodec_win.h"

// Message maps. A class lists the messages it handles between BEGIN_MSG_MAP and END_MSG_MAP;
// what it does not handle goes on to its base class (CHAIN_MSG_MAP) or to default processing.
// A handler that wants default processing as well calls Default().
#define BEGIN_MSG_MAP(theClass)                                                                  \
public:                                                                                          \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,               \
                              LRESULT& lResult) override                                         \
    {                                                                                            \
        (void)hWnd; (void)wParam; (void)lParam; (void)lResult;

#define END_MSG_MAP()                                                                            \
        return FALSE;                                                                            \
    }

#define CHAIN_MSG_MAP(theBase)                                                                   \
    if (theBase::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))                      \
        return TRUE;

// Any message, raw: LRESULT func(WPARAM, LPARAM). For the program's own messages.
#define MESSAGE_HANDLER_EX(msg, func)                                                            \
    if (uMsg == (msg)) { lResult = func(wParam, lParam); return TRUE; }

// WM_COMMAND from a menu, an accelerator or a button click: void func().
#define COMMAND_ID_HANDLER_EX(id, func)                                                          \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) <= 1)                    \
        { func(); lResult = 0; return TRUE; }

// WM_COMMAND with a given notification code from a given control: void func().
#define COMMAND_HANDLER_EX(id, code, func)                                                       \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code))               \
        { func(); lResult = 0; return TRUE; }

#define MSG_WM_CREATE(func)                                                                      \
    if (uMsg == WM_CREATE) { lResult = func(reinterpret_cast<LPCREATESTRUCTW>(lParam)); return TRUE; }
#define MSG_WM_DESTROY(func)                                                                     \
    if (uMsg == WM_DESTROY) { func(); lResult = 0; return TRUE; }
#define MSG_WM_PAINT(func)                                                                       \
    if (uMsg == WM_PAINT) { func(); lResult = 0; return TRUE; }
#define MSG_WM_PRINTCLIENT(func)                                                                 \
    if (uMsg == WM_PRINTCLIENT) { func(reinterpret_cast<HDC>(wParam)); lResult = 0; return TRUE; }
#define MSG_WM_ERASEBKGND(func)                                                                  \
    if (uMsg == WM_ERASEBKGND) { lResult = func(reinterpret_cast<HDC>(wParam)); return TRUE; }
#define MSG_WM_TIMER(func)                                                                       \
    if (uMsg == WM_TIMER) { func(static_cast<UINT_PTR>(wParam)); lResult = 0; return TRUE; }
#define MSG_WM_MOVE(func)                                                                        \
    if (uMsg == WM_MOVE)                                                                         \
        { func(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));          \
          lResult = 0; return TRUE; }
#define MSG_WM_SHOWWINDOW(func)                                                                  \
    if (uMsg == WM_SHOWWINDOW)                                                                   \
        { func(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); lResult = 0; return TRUE; }
#define MSG_WM_SYSCOMMAND(func)                                                                  \
    if (uMsg == WM_SYSCOMMAND)                                                                   \
        { func(static_cast<UINT>(wParam), lParam); lResult = 0; return TRUE; }
#define MSG_WM_QUERYDRAGICON(func)                                                               \
    if (uMsg == WM_QUERYDRAGICON) { lResult = reinterpret_cast<LRESULT>(func()); return TRUE; }
#define ALMANIX_MOUSE_MSG(msg, func)                                                             \
    if (uMsg == (msg))                                                                           \
        { POINT pt_ = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}; \
          func(static_cast<UINT>(wParam), pt_); lResult = 0; return TRUE; }
// WM_CONTEXTMENU: void func(HWND window clicked, POINT in screen pixels; (-1, -1) from the keyboard).
#define MSG_WM_CONTEXTMENU(func)                                                                 \
    if (uMsg == WM_CONTEXTMENU)                                                                  \
        { POINT pt_ = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}; \
          func(reinterpret_cast<HWND>(wParam), pt_); lResult = 0; return TRUE; }
#define MSG_WM_MOUSEMOVE(func) ALMANIX_MOUSE_MSG(WM_MOUSEMOVE, func)
#define MSG_WM_LBUTTONDOWN(func) ALMANIX_MOUSE_MSG(WM_LBUTTONDOWN, func)
#define MSG_WM_LBUTTONUP(func) ALMANIX_MOUSE_MSG(WM_LBUTTONUP, func)

namespace almanix {
// Byte strings of the program (GB18030) to and from the W functions' UTF-16.
inline std::wstring Wide(std::string_view gb) { return GbToWide(gb); }
inline std::string Narrow(std::wstring_view text) { return WideToGb(text); }
// Drags a borderless window by a press on its surface: the system's own move loop.
void DragWindowFrom(HWND hwnd, POINT pt);
// A window's text as the system holds it, and as the program's byte string.
std::wstring WindowTextWide(HWND hwnd);
inline std::string WindowTextGb(HWND hwnd) { return Narrow(WindowTextWide(hwnd)); }
} // namespace almanix

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // A window of a class the framework registers (lpszClass), bound to this object.
    BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClass, const char* title, DWORD dwStyle,
                  const RECT& rect, HWND hParent, UINT nID, HCURSOR hCursor = nullptr,
                  HBRUSH hbrBackground = nullptr);
    // Wraps an existing window (a dialog's control) without owning it.
    void Attach(HWND hwnd) { m_hWnd = hwnd; m_bOwned = false; }
    HWND Detach() { HWND h = m_hWnd; m_hWnd = nullptr; return h; }
    // A system control (edit, static, combo box) owned by this object but not bound to it.
    BOOL CreateControl(LPCWSTR lpszClass, const char* text, DWORD dwStyle, const RECT& rect,
                       HWND hParent, UINT nID);
    BOOL DestroyWindow();
    void SetFont(HFONT font, BOOL bRedraw = TRUE) const
        { ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), bRedraw); }

    static CWnd* FromHandle(HWND hwnd);

    BOOL ShowWindow(int nCmdShow) const { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL MoveWindow(int x, int y, int cx, int cy, BOOL bRepaint = TRUE) const
        { return ::MoveWindow(m_hWnd, x, y, cx, cy, bRepaint); }
    BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const
        { return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags); }
    void GetWindowRect(RECT* rc) const { ::GetWindowRect(m_hWnd, rc); }
    void GetClientRect(RECT* rc) const { ::GetClientRect(m_hWnd, rc); }
    void ClientToScreen(POINT* pt) const { ::ClientToScreen(m_hWnd, pt); }
    void ScreenToClient(POINT* pt) const { ::ScreenToClient(m_hWnd, pt); }
    void Invalidate(BOOL bErase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void UpdateWindow() const { ::UpdateWindow(m_hWnd); }

    void SetWindowText(const char* gb) const;
    std::string GetWindowText() const;

    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) const { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
    HWND SetCapture() const { return ::SetCapture(m_hWnd); }
    bool HasCapture() const { return ::GetCapture() == m_hWnd; }
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const
        { return ::PostMessageW(m_hWnd, msg, wp, lp); }
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const
        { return ::SendMessageW(m_hWnd, msg, wp, lp); }

    // The message map of the class; TRUE when it handled the message (result in lResult).
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& lResult);

protected:
    // Default processing of the message being handled. In a dialog it runs once the
    // handler has returned (the dialog manager does it), and the call returns 0.
    LRESULT Default();
    // The last message this object gets; the window is gone.
    virtual void OnFinalMessage() {}

    // Used by CDialog, which binds at WM_INITDIALOG instead of WM_NCCREATE.
    void Bind(HWND hwnd);
    void Unbind();
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp, bool* pHandled);

    bool m_bOwned = true;
    bool m_bDialog = false;
    bool m_bDefaultLater = false;

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    friend class CDialog;

    struct CurrentMsg { UINT msg; WPARAM wp; LPARAM lp; };
    const CurrentMsg* m_pCurrent = nullptr;
};
