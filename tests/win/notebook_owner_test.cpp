#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controls/day_tip.h"
#include "dialogs/notebook.h"
#include "resource.h"

namespace {

// Records what the notebook and the tabs ask of the calendar.
class CRecordingOwner : public INotebookOwner {
public:
    void ShowNotebook() override { m_strCalls += "show;"; }
    void HideNotebook() override { m_strCalls += "hide;"; }
    void RestoreFromTab() override { m_strCalls += "restore;"; }
    std::string m_strCalls;
};

// A top-level window of another kind: what the system makes the owner of pop-ups whose
// parent is the calendar once the calendar sits inside the desktop's icon view.
class ForeignOwner {
public:
    ForeignOwner()
    {
        m_hWnd = ::CreateWindowExW(
            0, L"STATIC", L"desktop", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr, nullptr, nullptr);
        m_wnd.Attach(m_hWnd);
    }
    ~ForeignOwner() { ::DestroyWindow(m_hWnd); }
    CWnd* Wnd() { return &m_wnd; }
    HWND m_hWnd;

private:
    CWnd m_wnd;
};

void ClickButton(CDialog& dlg, int id)
{
    HWND button = ::GetDlgItem(dlg.m_hWnd, id);
    ASSERT_NE(button, nullptr);
    ::SendMessageW(button, BM_CLICK, 0, 0);
}

}  // namespace

// Every button of the notebook and the two tabs reaches the calendar they were made for,
// whatever window the system made their owner.
TEST(NotebookOwner, ButtonsReachTheCalendarUnderAForeignOwner)
{
    ForeignOwner foreign;
    CRecordingOwner calendar;

    CNotebookDlg notebook(&calendar);
    CNotebookTabDlg notebookTab(&calendar);
    CCalendarTabDlg calendarTab(&calendar);
    ASSERT_TRUE(notebook.Create(IDD_NOTEBOOK, foreign.Wnd()));
    ASSERT_TRUE(notebookTab.Create(IDD_NOTEBOOK_TAB, foreign.Wnd()));
    ASSERT_TRUE(calendarTab.Create(IDD_CALENDAR_TAB, foreign.Wnd()));
    EXPECT_EQ(::GetWindow(notebook.m_hWnd, GW_OWNER), foreign.m_hWnd);

    ClickButton(notebook, IDC_HIDE_NOTEBOOK);
    ClickButton(notebookTab, IDC_SHOW_NOTEBOOK);
    ClickButton(calendarTab, IDC_RESTORE_CALENDAR);
    EXPECT_EQ(calendar.m_strCalls, "hide;show;restore;");

    notebook.DestroyWindow();
    notebookTab.DestroyWindow();
    calendarTab.DestroyWindow();
}

// The tip needs nothing of its owner: under a foreign one it still shows its text.
TEST(NotebookOwner, TipShowsUnderAForeignOwner)
{
    ForeignOwner foreign;
    CDayTipWnd tip;
    ASSERT_TRUE(tip.Create(IDD_DAYTIP, foreign.Wnd()));
    const char text[] = "memo";
    char* owned = AllocTipText(sizeof(text));
    std::memcpy(owned, text, sizeof(text));
    tip.ShowTip(owned, static_cast<int>(sizeof(text) - 1), 200, 200);
    EXPECT_TRUE(::IsWindowVisible(tip.m_hWnd));
    EXPECT_STREQ(tip.GetText(), "memo");
    tip.DestroyWindow();
}
