// The calendar on a stand-in Explorer desktop: a visible top-level window of the shell's
// class holding the icon view host and the icon list. The program puts itself inside, and
// every window that talks to it must still reach it from there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

const int kCollapse = 1000, kHideNotebook = 1048, kOnce = 1029;

class StandInDesktop {
public:
    explicit StandInDesktop(const wchar_t* topClass)
    {
        m_top = Make(topClass, WS_POPUP | WS_VISIBLE, nullptr, 1280, 1024);
        m_view = Make(L"SHELLDLL_DefView", WS_CHILD | WS_VISIBLE, m_top, 1280, 1024);
        Make(L"SysListView32", WS_CHILD | WS_VISIBLE, m_view, 10, 10);
    }
    ~StandInDesktop()
    {
        for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it)
            ::DestroyWindow(*it);
    }
    HWND View() const { return m_view; }

private:
    HWND Make(const wchar_t* cls, DWORD style, HWND parent, int cx, int cy)
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_DESKTOP + 1);
        wc.lpszClassName = cls;
        ::RegisterClassW(&wc);
        HWND h = ::CreateWindowExW(0, cls, L"", style, 0, 0, cx, cy, parent, nullptr, wc.hInstance, nullptr);
        m_windows.push_back(h);
        return h;
    }
    HWND m_top = nullptr, m_view = nullptr;
    std::vector<HWND> m_windows;
};

// What a button tells its window when it is clicked (a posted click can lose its capture to
// the desktop window of this process).
void Press(HWND button)
{
    ::PostMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
        reinterpret_cast<LPARAM>(button));
}

void MouseInput(DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    ::SendInput(1, &in, sizeof(in));
}

void UseTheEmbeddedCalendar(const wchar_t* topClass)
{
    StandInDesktop desktop(topClass);
    AlmanixRun run;
    ASSERT_TRUE(run.StartEmbedded(desktop.View()));
    HWND main = run.Main();
    EXPECT_EQ(::GetAncestor(main, GA_PARENT), desktop.View());

    // "-" leaves the calendar's tab; "历" brings the calendar back.
    Press(::GetDlgItem(main, kCollapse));
    HWND calendarTab = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        return (calendarTab = run.FindTab(L"历")) && ::IsWindowVisible(calendarTab) && !::IsWindowVisible(main);
    })) << "tab "
        << calendarTab << (calendarTab && ::IsWindowVisible(calendarTab) ? " shown" : " hidden") << ", calendar "
        << (::IsWindowVisible(main) ? "shown" : "hidden");
    Press(::GetDlgItem(calendarTab, 1000));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) && !::IsWindowVisible(calendarTab); }));

    // "本" shows the notebook; its "-" hides it and brings "本" back.
    HWND notebook = OpenNotebook(run);
    ASSERT_NE(notebook, nullptr);
    EXPECT_EQ(RegText(kSettingsKey, L"MemoShow"), L"1");
    Press(::GetDlgItem(notebook, kHideNotebook));
    EXPECT_TRUE(WaitUntil([&] {
        HWND tab = run.FindTab(L"本");
        return tab && ::IsWindowVisible(tab) && !::IsWindowVisible(notebook) &&
            RegText(kSettingsKey, L"MemoShow") == L"0";
    }));

    // A day's memo dialog stores the text, and the day's tip shows it.
    Choose(main, 2024, 5);
    HWND view = ChildWithId(main, kMonthView);
    ASSERT_NE(view, nullptr);
    HWND dlg = OpenDayMemo(run, view, DayOfMay2024(8));
    ASSERT_NE(dlg, nullptr);
    Type(::GetDlgItem(dlg, kOnce), L"桌面");
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dlg); }));
    EXPECT_EQ(ReadBytes(CalendarFile(L"202405")), MemoFile(MemoRecord(8, "桌面")));
    POINT away = DayOfMay2024(9), day = DayOfMay2024(8);
    MoveMouse(view, away.x, away.y);
    MoveMouse(view, day.x, day.y);
    HWND tip = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (tip = VisibleTip(run)) != nullptr; }));
    EXPECT_EQ(MemoLinesOf(TextOf(tip)), L"桌面");

    // A drag on the strip moves the calendar inside the icon view and saves where it went.
    RECT before = RectOf(main);
    POINT grab = {before.left + 300, before.top + 12};
    ::SetCursorPos(grab.x, grab.y);
    MouseInput(MOUSEEVENTF_LEFTDOWN);
    // This thread pumps meanwhile, as the desktop does: the calendar is a child of its window.
    const DWORD thread = ::GetWindowThreadProcessId(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        return ::GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE);
    }));
    for (int step = 1; step <= 4; ++step) {
        ::SetCursorPos(grab.x + 10 * step, grab.y + 5 * step);
        MouseInput(MOUSEEVENTF_MOVE);
        EXPECT_TRUE(WaitUntil([&] { return RectOf(main).left == before.left + 10 * step; }, 3000))
            << step << ": " << RectOf(main).left;
    }
    MouseInput(MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(WaitUntil([&] {
        POINT at = {RectOf(main).left, RectOf(main).top};
        ::ScreenToClient(desktop.View(), &at);
        return RegText(kSettingsKey, L"PosX") == std::to_wstring(at.x) &&
            RegText(kSettingsKey, L"PosY") == std::to_wstring(at.y);
    }));
    EXPECT_EQ(::GetAncestor(main, GA_PARENT), desktop.View());
}

TEST(Desktop, CalendarInsideTheShellWindowAnswersEveryControl)
{
    UseTheEmbeddedCalendar(L"Progman");
}

TEST(Desktop, CalendarInsideAWorkerWindowAnswersEveryControl)
{
    UseTheEmbeddedCalendar(L"WorkerW");
}

}  // namespace
