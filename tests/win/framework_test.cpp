#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/gdi.h"
#include "framework/wnd.h"
#include "resource.h"
#include "test_resources.h"

namespace {

const UINT WM_PROBE = WM_APP + 1;

class CProbeWnd : public CWnd {
public:
    std::vector<std::string> calls;
    int ticks = 0;
    POINT lastMove = {};

    BOOL Create(HWND parent = nullptr)
    {
        RECT rc = {10, 10, 110, 60};
        return CreateEx(0, L"AlmanixProbe", "probe", WS_POPUP, rc, parent, 0);
    }

    BEGIN_MSG_MAP(CProbeWnd)
        MSG_WM_TIMER(OnTimer)
        MSG_WM_MOVE(OnMove)
        COMMAND_ID_HANDLER_EX(42, OnCommand42)
        COMMAND_HANDLER_EX(43, EN_CHANGE, OnChange43)
        MESSAGE_HANDLER_EX(WM_PROBE, OnProbe)
        MESSAGE_HANDLER_EX(WM_SETTEXT, OnSetText)
    END_MSG_MAP()

    void OnTimer(UINT_PTR) { ++ticks; }
    void OnMove(int x, int y)
    {
        lastMove = {x, y};
        calls.push_back("move");
    }
    void OnCommand42() { calls.push_back("42"); }
    void OnChange43() { calls.push_back("43"); }
    LRESULT OnProbe(WPARAM wp, LPARAM)
    {
        calls.push_back("probe");
        return wp * 2;
    }
    LRESULT OnSetText(WPARAM, LPARAM)
    {
        calls.push_back("settext");
        return Default();
    }
};

class CDerivedProbe : public CProbeWnd {
public:
    BEGIN_MSG_MAP(CDerivedProbe)
        COMMAND_ID_HANDLER_EX(42, OnOwn42)
        CHAIN_MSG_MAP(CProbeWnd)
    END_MSG_MAP()
    void OnOwn42() { calls.push_back("derived42"); }
};

TEST(Framework, MessageMapReachesTypedHandlers)
{
    CProbeWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(CWnd::FromHandle(wnd.m_hWnd), &wnd);
    wnd.calls.clear();  // creation moved it

    EXPECT_EQ(wnd.SendMessage(WM_PROBE, 21), 42);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(42, BN_CLICKED));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(43, EN_CHANGE));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(43, EN_SETFOCUS));  // another code: not mapped
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(44, BN_CLICKED));   // another id: not mapped
    wnd.MoveWindow(-5, 7, 100, 50);
    EXPECT_EQ(wnd.lastMove.x, -5);  // signed coordinates
    EXPECT_EQ(wnd.lastMove.y, 7);

    // The handler of WM_SETTEXT asks for default processing, which stores the text.
    wnd.SetWindowText("农历");
    EXPECT_EQ(wnd.GetWindowText(), "农历");

    std::vector<std::string> expected = {"probe", "42", "43", "move", "settext"};
    EXPECT_EQ(wnd.calls, expected);
}

TEST(Framework, DerivedMapFirstThenChainedBase)
{
    CDerivedProbe wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.calls.clear();
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(42, BN_CLICKED));
    wnd.SendMessage(WM_PROBE, 1);
    std::vector<std::string> expected = {"derived42", "probe"};
    EXPECT_EQ(wnd.calls, expected);
}

TEST(Framework, DestroyingTheWindowUnbindsTheObject)
{
    CProbeWnd wnd;
    ASSERT_TRUE(wnd.Create());
    HWND h = wnd.m_hWnd;
    wnd.DestroyWindow();
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(h), nullptr);
}

// A modal dialog that ends itself once its owner's timer has ticked a few times.
class CTickWatchDlg : public CDialog {
public:
    CTickWatchDlg(CProbeWnd* owner) : CDialog(IDD_EXIT, owner), m_owner(owner) {}
    int ownTicks = 0;

    BEGIN_MSG_MAP(CTickWatchDlg)
        MSG_WM_TIMER(OnTimer)
    END_MSG_MAP()

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetTimer(7, 10);
        return TRUE;
    }
    void OnTimer(UINT_PTR)
    {
        ++ownTicks;
        if (m_owner->ticks >= 5)
            EndDialog(IDOK);
        else if (ownTicks > 1000)
            EndDialog(IDABORT);
    }

private:
    CProbeWnd* m_owner;
};

TEST(Framework, ModalLoopKeepsTheOwnersTimerTicking)
{
    CProbeWnd owner;
    ASSERT_TRUE(owner.Create());
    owner.SetTimer(1, 10);
    CTickWatchDlg dlg(&owner);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_GE(owner.ticks, 5);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

// Empty OnOK/OnCancel: Enter, Esc, the close box and Alt+F4 leave the dialog open.
class CStayOpenDlg : public CDialog {
public:
    CStayOpenDlg() : CDialog(IDD_TEST_EDIT) {}
    int okCalls = 0, cancelCalls = 0;
    bool visibleAtEnd = false;

    BEGIN_MSG_MAP(CStayOpenDlg)
        MESSAGE_HANDLER_EX(WM_PROBE, OnProbe)
    END_MSG_MAP()

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        HWND edit = GetDlgItem(IDC_TEST_EDIT);
        ::SetFocus(edit);
        // Through the dialog manager's keyboard handling, as a user's keys arrive.
        ::PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessage(WM_CLOSE);
        PostMessage(WM_SYSCOMMAND, SC_CLOSE);
        PostMessage(WM_PROBE);  // queued behind all of them
        return FALSE;
    }
    void OnOK() override { ++okCalls; }
    void OnCancel() override { ++cancelCalls; }
    LRESULT OnProbe(WPARAM stage, LPARAM)
    {
        // The dialog manager answers WM_CLOSE with a posted IDCANCEL: let those arrive first.
        if (stage == 0) {
            PostMessage(WM_PROBE, 1);
            return 0;
        }
        visibleAtEnd = ::IsWindow(m_hWnd) != FALSE;
        EndDialog(77);
        return 0;
    }
};

TEST(Framework, OverriddenOkAndCancelKeepTheDialogOpen)
{
    CStayOpenDlg dlg;
    EXPECT_EQ(dlg.DoModal(), 77);
    EXPECT_TRUE(dlg.visibleAtEnd);
    EXPECT_GE(dlg.okCalls, 1);
    EXPECT_GE(dlg.cancelCalls, 3);
}

// The framework's OnOK stores the edits into the members and ends with IDOK.
class CEditDlg : public CDialog {
public:
    CEditDlg() : CDialog(IDD_TEST_EDIT) {}
    std::string m_strText;
    CComboBox m_combo;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_combo.AddString("一月");
        m_combo.AddString("闰二月");
        m_combo.SetCurSel(1);
        // The user types: what arrives in the edit is UTF-16.
        ::SetWindowTextW(GetDlgItem(IDC_TEST_EDIT), L"a\u00e9中\U0001F600");
        PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, IDC_TEST_EDIT, m_strText);
        DDX_Control(pDX, IDC_TEST_COMBO, m_combo);
    }
};

TEST(Framework, DataExchangeStoresEditTextAsGb18030)
{
    CEditDlg dlg;
    dlg.m_strText = "start";
    EXPECT_EQ(dlg.DoModal(), IDOK);
    // a, é (A8 A6), 中 (D6 D0), U+1F600 outside the BMP (94 39 FC 36)
    EXPECT_EQ(dlg.m_strText, std::string("a\xa8\xa6\xd6\xd0\x94\x39\xfc\x36"));
}

TEST(Framework, ModelessDialogFromTemplate)
{
    CEditDlg dlg;
    dlg.m_strText = "初一";
    ASSERT_TRUE(dlg.Create(IDD_TEST_EDIT));
    ASSERT_NE(dlg.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(dlg.m_hWnd), &dlg);
    wchar_t buf[32] = {};
    ::GetWindowTextW(dlg.GetDlgItem(IDC_TEST_EDIT), buf, 32);
    // OnInitDialog wrote the edit after the exchange: the member was shown first, then replaced.
    EXPECT_EQ(std::wstring(buf), L"a\u00e9中\U0001F600");
    EXPECT_EQ(dlg.m_combo.GetCount(), 2);
    EXPECT_EQ(dlg.m_combo.GetCurSel(), 1);
    wchar_t item[32] = {};
    dlg.m_combo.SendMessage(CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::wstring(item), L"闰二月");
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST(Framework, PointFontAndMemoryDc)
{
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(110, "宋体"));
    LOGFONTW lf = {};
    ::GetObjectW(font, sizeof(lf), &lf);
    HDC screen = ::GetDC(nullptr);
    int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(lf.lfHeight, -(dpi * 110 / 720));

    CMemoryDC dc(40, 30);
    RECT rc = {0, 0, 20, 30};
    CBrush brush(::CreateSolidBrush(RGB(72, 61, 139)));
    ::FillRect(dc, &rc, brush);
    EXPECT_EQ(dc.Pixel(5, 5), RGB(72, 61, 139));
    EXPECT_EQ(dc.Pixel(39, 29), RGB(0, 0, 0));
    EXPECT_EQ(dc.Pixel(40, 0), CLR_INVALID);
}

TEST(Framework, MissingKaiFaceFallsBackToAnInstalledFace)
{
    std::wstring face = ResolveFaceName("楷体_GB2312");
    EXPECT_FALSE(face.empty());
    CFont font;
    EXPECT_TRUE(font.CreatePointFont(100, "楷体_GB2312"));
}

}  // namespace
