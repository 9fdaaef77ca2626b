#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "controls/desktop.h"

namespace {

// Fake desktop windows: top-level windows of the desktop's classes with an icon view inside.
class FakeDesktop {
public:
    ~FakeDesktop()
    {
        for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it)
            ::DestroyWindow(*it);
        for (const std::wstring& cls : m_classes)
            ::UnregisterClassW(cls.c_str(), ::GetModuleHandleW(nullptr));
    }

    HWND TopLevel(const wchar_t* cls, DWORD style = WS_POPUP | WS_VISIBLE) { return Make(cls, style, nullptr); }
    // The icon view host under top; with list, the icon list under it.
    HWND View(HWND top, bool list = true)
    {
        HWND view = Make(L"SHELLDLL_DefView", WS_CHILD | WS_VISIBLE, top);
        if (list)
            Make(L"SysListView32", WS_CHILD | WS_VISIBLE, view);
        return view;
    }

private:
    HWND Make(const wchar_t* cls, DWORD style, HWND parent)
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = cls;
        if (::RegisterClassW(&wc))
            m_classes.push_back(cls);
        HWND h = ::CreateWindowExW(0, cls, L"", style, 0, 0, 50, 50, parent, nullptr, wc.hInstance, nullptr);
        m_windows.push_back(h);
        return h;
    }
    std::vector<HWND> m_windows;
    std::vector<std::wstring> m_classes;
};

// A pop-up keeps answering GetParent with its owner; the parent is what embedding changes.
HWND ParentOf(HWND hwnd)
{
    HWND parent = ::GetAncestor(hwnd, GA_PARENT);
    return parent == ::GetDesktopWindow() ? nullptr : parent;
}

HWND MakeMainWindow()
{
    return ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
}

TEST(Desktop, NothingQualifyingLeavesTheWindowTopLevel)
{
    FakeDesktop desk;
    HWND worker = desk.TopLevel(L"WorkerW");  // the usual empty worker window
    HWND other = desk.TopLevel(L"SomeApp");   // a view under another class
    desk.View(other);
    HWND noList = desk.TopLevel(L"Progman");  // a view without its icon list
    desk.View(noList, false);
    (void)worker;
    HWND main = MakeMainWindow();
    EmbedInDesktop(main);
    EXPECT_EQ(ParentOf(main), nullptr);
    ::DestroyWindow(main);
}

struct HostCase {
    const wchar_t* cls;
    DWORD style;
    bool qualifies;
};

TEST(Desktop, ViewUnderADesktopClassBecomesTheParent)
{
    const HostCase cases[] = {
        {L"Progman", WS_POPUP | WS_VISIBLE, true},
        {L"pROGMAN", WS_POPUP | WS_VISIBLE, true},
        {L"WorkerW", WS_POPUP | WS_VISIBLE, true},
        {L"WORKERW", WS_POPUP | WS_VISIBLE, true},
        {L"Progman", WS_POPUP, false},                             // hidden
        {L"WorkerW", WS_POPUP | WS_VISIBLE | WS_MINIMIZE, false},  // minimised
        {L"ProgmanX", WS_POPUP | WS_VISIBLE, false},
    };
    for (const HostCase& c : cases) {
        FakeDesktop desk;
        HWND top = desk.TopLevel(c.cls, c.style);
        HWND view = desk.View(top);
        HWND main = MakeMainWindow();
        EmbedInDesktop(main);
        EXPECT_EQ(ParentOf(main), c.qualifies ? view : nullptr) << static_cast<const void*>(c.cls);
        ::SetParent(main, nullptr);
        ::DestroyWindow(main);
    }
}

TEST(Desktop, LastQualifyingWindowInEnumerationOrderWins)
{
    FakeDesktop desk;
    HWND first = desk.TopLevel(L"WorkerW");
    HWND firstView = desk.View(first);
    HWND second = desk.TopLevel(L"Progman");
    HWND secondView = desk.View(second);
    // EnumWindows goes from the top of the z-order down: put "first" on top.
    ::SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND main = MakeMainWindow();
    EmbedInDesktop(main);
    EXPECT_EQ(ParentOf(main), secondView);
    (void)firstView;
    ::SetParent(main, nullptr);
    ::DestroyWindow(main);
}

}  // namespace
