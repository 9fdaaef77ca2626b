#include "app/calendar_dlg.h"

#include <shellapi.h>
#include <shlobj.h>
#include <winsock2.h>

#include <cstdio>

#include "app/bulletin_host.h"
#include "app/clock.h"
#include "app/exit_dlg.h"
#include "app/ical_menu.h"
#include "controls/desktop.h"
#include "controls/registry.h"
#include "controls/settings.h"
#include "controls/tick_schedule.h"
#include "memo/memo_file.h"
#include "monthview/navigation.h"
#include "resource.h"

int CCalendarDlg::m_nTickCount = -2;

namespace {

const char kTitle[] = "日历2.18";
const char kStripFace[] = "楷体_gb2312";
const COLORREF kBulletinText = RGB(0, 0, 208);

bool ReadNumber(const char* subKey, const char* value, int* out)
{
    BYTE buf[255];
    if (ReadRegValue(subKey, value, buf, sizeof(buf)) != 0)
        return false;
    *out = almanix::ParseDecimal(reinterpret_cast<const char*>(buf));
    return true;
}

void WriteNumber(const char* value, int number)
{
    char buf[16];
    std::snprintf(buf, sizeof(buf), "%d", number);
    WriteRegString(ALMANIX_SETTINGS_KEY, value, buf);
}

std::string DocumentsFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    return almanix::Narrow(path);
}

} // namespace

CCalendarDlg::CCalendarDlg(CWnd* pParent) : CDialog(IDD_MAIN, pParent)
{
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CCalendarDlg::~CCalendarDlg() = default;

void CCalendarDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_COMBO_YEAR, m_comboYear);
    DDX_Control(pDX, IDC_COMBO_MONTH, m_comboMonth);
}

BOOL CCalendarDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        ::WSACleanup();
        ::MessageBoxW(m_hWnd, almanix::Wide("网络初始化失败，请报告管理员").c_str(), almanix::Wide("警告").c_str(), MB_OK);
    } else {
        m_bSocketsStarted = true;
    }

    // Position: the saved one, pulled back inside the screen's right and bottom edges.
    int x = 500, y = 300;
    if (ReadNumber(ALMANIX_SETTINGS_KEY, "PosX", &x)) {
        if (x < 0)
            x = 0;
        if (ReadNumber(ALMANIX_SETTINGS_KEY, "PosY", &y) && y < 0)
            y = 0;
    }
    int cxFull = ::GetSystemMetrics(SM_CXFULLSCREEN), cyFull = ::GetSystemMetrics(SM_CYFULLSCREEN);
    m_nGridHeight = 236;
    // Compared without adding: a saved "99999999999999999999" reads as INT_MAX.
    if (x > cxFull - m_nWidth)
        x = cxFull - m_nWidth;
    if (y > cyFull - m_nGridHeight)
        y = cyFull - m_nGridHeight;
    MoveWindow(x, y, m_nWidth, 278, TRUE);

    SetWindowText(kTitle);
    PlaceStripButtons();

    // Autostart names this very file, or is written anew, unless the user turned it off.
    std::string path = GetProgramPath();
    BYTE run[255];
    if (AutoStartWanted() && (ReadRegValue(ALMANIX_RUN_KEY, ALMANIX_RUN_VALUE, run, sizeof(run)) != 0 ||
                              path != reinterpret_cast<const char*>(run)))
        SetAutoStart(true, ALMANIX_RUN_VALUE);

    PrepareMemoFolder(DocumentsFolder().c_str());

    // The notebook and the tabs are made when first shown: at start only one of the
    // notebook and its tab is, and the calendar's tab is not.
    int show = 0;
    if (ReadNumber(ALMANIX_SETTINGS_KEY, "MemoShow", &show) && show == 1)
        ShowNotebook();
    else
        HideNotebook();

    m_btnPrevMonth.Create({175, 3, 205, 20}, this, IDC_PREV_MONTH, m_crStrip, m_crStripText, 100, kStripFace);
    m_btnNextMonth.Create({215, 3, 245, 20}, this, IDC_NEXT_MONTH, m_crStrip, m_crStripText, 100, kStripFace);
    m_btnToday.Create({255, 3, 285, 20}, this, IDC_TODAY, m_crStrip, m_crStripText, 100, kStripFace);

    m_pMonthView = std::make_unique<CMonthView>();
    m_pMonthView->Create({0, 22, m_nWidth, 22 + m_nGridHeight}, this, IDC_MONTH_VIEW);

    char item[16];
    for (int m = 1; m <= 12; ++m) {
        std::snprintf(item, sizeof(item), "%d月", m);
        m_comboMonth.AddString(item);
    }
    for (int i = 0; i < SELECTOR_YEAR_COUNT; ++i) {
        std::snprintf(item, sizeof(item), "%d年", SELECTOR_FIRST_YEAR + i);
        m_comboYear.AddString(item);
    }

    GoToToday();

    COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    m_btnBulletin.Create({2, 260, 190, 278}, this, IDC_BULLETIN, face, kBulletinText, 110, "宋体");
    m_btnNextBulletin.Create({230, 261, 290, 279}, this, IDC_NEXT_BULLETIN, face, kBulletinText, 100, kStripFace);

    m_btnPrevMonth.SetText("上月", true);
    m_btnNextMonth.SetText("下月", true);
    m_btnToday.SetText("返回", false);

    // The exchange runs on a worker; its result comes back as a message to this window.
    HWND self = m_hWnd;
    m_pFetcher = std::make_unique<CBulletinFetcher>([self](const BulletinResult& result) {
        auto* copy = new BulletinResult(result);
        if (!::PostMessageW(self, WM_BULLETIN_DONE, 0, reinterpret_cast<LPARAM>(copy)))
            delete copy;
    });

    m_bInitDone = true;
    SetTimer(1, 1000);
    EmbedInDesktop(m_hWnd);
    return TRUE;
}

void CCalendarDlg::PlaceStripButtons()
{
    // In dialog units the template puts "-" and "x" where, with the usual dialog fonts, the
    // navigation texts cover them. They keep their size and go to the strip's right end.
    HWND close = GetDlgItem(IDC_EXIT), collapse = GetDlgItem(IDC_COLLAPSE);
    RECT rc;
    if (!close || !collapse || !::GetWindowRect(close, &rc))
        return;
    int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    int top = (25 - cy) / 2 > 0 ? (25 - cy) / 2 : 0;
    ::SetWindowPos(close, nullptr, m_nWidth - 4 - cx, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(collapse, nullptr, m_nWidth - 4 - 2 * cx - 2, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CCalendarDlg::OnSysCommand(UINT id, LPARAM)
{
    // 0x0010 names a system-menu item this window does not have; it does nothing.
    if ((id & 0xFFF0) == 0x0010)
        return;
    Default();
}

void CCalendarDlg::OnPaint()
{
    CPaintDC dc(m_hWnd);
    RECT strip = {0, 0, m_nWidth, 25};
    CBrush brush(::CreateSolidBrush(m_crStrip));
    ::FillRect(dc, &strip, brush);
}

void CCalendarDlg::OnSelChangeDate()
{
    SelectorChange change = ChangeSelectors(m_comboYear.GetCurSel(), m_comboMonth.GetCurSel());
    if (change.m_items.m_nYearItem != m_comboYear.GetCurSel())
        m_comboYear.SetCurSel(change.m_items.m_nYearItem);
    if (change.m_items.m_nMonthItem != m_comboMonth.GetCurSel())
        m_comboMonth.SetCurSel(change.m_items.m_nMonthItem);
    m_pMonthView->SetMonth(change.m_month.m_nYear, change.m_month.m_nMonth, 0);
}

void CCalendarDlg::OnMove(int x, int y)
{
    Default();
    if (!m_bInitDone)
        return;
    WriteNumber("PosX", x);
    WriteNumber("PosY", y);
    PlaceTabs();
}

void CCalendarDlg::OnLButtonDown(UINT, POINT pt)
{
    DragWindowFrom(m_hWnd, pt);
    Default();
}

void CCalendarDlg::OnUninstall()
{
    if (m_pFetcher)
        m_pFetcher->Shutdown();
    if (m_bSocketsStarted) {
        ::WSACleanup();
        m_bSocketsStarted = false;
    }
    SetAutoStart(false, ALMANIX_RUN_VALUE);
    EndProgram();
}

void CCalendarDlg::CollapseToTab()
{
    if (!m_pCalendarTab) {
        m_pCalendarTab = std::make_unique<CCalendarTabDlg>();
        m_pCalendarTab->Create(IDD_CALENDAR_TAB, this);
        PlaceTabs();
    }
    ShowWindow(SW_HIDE);
    m_pCalendarTab->ShowWindow(SW_SHOW);
}

void CCalendarDlg::RestoreFromTab()
{
    ShowWindow(SW_SHOW);
    if (m_pCalendarTab)
        m_pCalendarTab->ShowWindow(SW_HIDE);
}

void CCalendarDlg::ShowNotebook()
{
    if (!m_pNotebook) {
        m_pNotebook = std::make_unique<CNotebookDlg>();
        RECT rc;
        GetWindowRect(&rc);
        m_pNotebook->SetDefaultPos(rc.left, rc.bottom + 10);
        m_pNotebook->Create(IDD_NOTEBOOK, this);
    }
    m_pNotebook->ShowWindow(SW_SHOW);
    if (m_pNotebookTab)
        m_pNotebookTab->ShowWindow(SW_HIDE);
    WriteRegString(ALMANIX_SETTINGS_KEY, "MemoShow", "1");
}

void CCalendarDlg::HideNotebook()
{
    if (m_pNotebook)
        m_pNotebook->ShowWindow(SW_HIDE);
    if (!m_pNotebookTab) {
        m_pNotebookTab = std::make_unique<CNotebookTabDlg>();
        m_pNotebookTab->Create(IDD_NOTEBOOK_TAB, this);
        PlaceTabs();
    }
    m_pNotebookTab->ShowWindow(SW_SHOW);
    WriteRegString(ALMANIX_SETTINGS_KEY, "MemoShow", "0");
}

void CCalendarDlg::ShowTodayButton(bool show)
{
    if (m_btnToday.m_hWnd)
        m_btnToday.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

LRESULT CCalendarDlg::OnCtrlNotify(WPARAM id, LPARAM)
{
    YearMonth shown = {m_pMonthView->m_nYear, m_pMonthView->m_nMonth};
    switch (id) {
    case IDC_TODAY:
        GoToToday();
        break;
    case IDC_PREV_MONTH:
        ShowMonth(PrevMonth(shown));
        break;
    case IDC_NEXT_MONTH:
        ShowMonth(NextMonth(shown));
        break;
    case IDC_BULLETIN:
        // Only a well-formed web address ever reaches the shell: the reply is unauthenticated.
        if (!m_strBulletinUrl.empty() && IsSafeWebLink(m_strBulletinUrl.c_str()))
            ::ShellExecuteW(m_hWnd, L"open", almanix::Wide(m_strBulletinUrl).c_str(), nullptr, nullptr, SW_SHOW);
        break;
    case IDC_NEXT_BULLETIN:
        FetchBulletin();
        break;
    default:
        break;
    }
    return 0;
}

void CCalendarDlg::ShowMonth(YearMonth month)
{
    m_pMonthView->SetMonth(month.m_nYear, month.m_nMonth, 0);
    SelectorItems items = SelectorItemsOf(month);
    m_comboYear.SetCurSel(items.m_nYearItem);
    m_comboMonth.SetCurSel(items.m_nMonthItem);
}

void CCalendarDlg::OnTimer(UINT_PTR)
{
    switch (PlanTick(m_nTickCount, !m_strBulletinText.empty())) {
    case TICK_SHOW_SELECTED_TIP:
        m_pMonthView->ShowSelectedTip();
        break;
    case TICK_FETCH_BULLETIN:
        FetchBulletin();
        break;
    case TICK_NOTHING:
        break;
    }
    SYSTEMTIME now;
    GetClockTime(&now);
    if (now.wDay != m_nTodayDay || now.wMonth != m_nTodayMonth || now.wYear != m_nTodayYear)
        GoToToday();
    ++m_nTickCount;
}

void CCalendarDlg::GoToToday()
{
    SYSTEMTIME now;
    GetClockTime(&now);
    m_nTodayYear = now.wYear;
    m_nTodayMonth = now.wMonth;
    m_nTodayDay = now.wDay;
    // A clock outside the calendar's years shows the nearest month it has.
    TodayPlan plan = PlanGoToToday(m_pMonthView->m_nYear, m_pMonthView->m_nMonth, m_pMonthView->m_nHotDay,
                                   now.wYear, now.wMonth, now.wDay);
    if (!plan.m_bSetMonth)
        return;
    m_pMonthView->SetMonth(plan.m_nYear, plan.m_nMonth, plan.m_nDay);
    m_comboYear.SetCurSel(plan.m_items.m_nYearItem);
    m_comboMonth.SetCurSel(plan.m_items.m_nMonthItem);
}

void CCalendarDlg::PlaceTabs()
{
    RECT rc;
    GetWindowRect(&rc);
    if (m_pNotebookTab && m_pNotebookTab->m_hWnd)
        m_pNotebookTab->SetWindowPos(nullptr, rc.right + 10, rc.bottom - 18, 26, 18, SWP_NOZORDER | SWP_NOACTIVATE);
    if (m_pCalendarTab && m_pCalendarTab->m_hWnd)
        m_pCalendarTab->SetWindowPos(nullptr, rc.right + 10, rc.bottom - 54, 26, 18, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CCalendarDlg::OnExitButton()
{
    CExitDlg dlg(this);
    dlg.DoModal();
    if (dlg.m_nChoice == EXIT_CHOICE_END) {
        EndProgram();
    } else if (dlg.m_nChoice == EXIT_CHOICE_UNINSTALL) {
        SetAutoStart(false, ALMANIX_RUN_VALUE);
        EndProgram();
    }
}

void CCalendarDlg::EndProgram()
{
    // The framework's cancel, not this window's own empty OnCancel.
    CDialog::OnCancel();
}

void CCalendarDlg::FetchBulletin()
{
    // One fetch at a time: a tick or a click while one runs starts nothing new.
    if (m_pFetcher && m_bSocketsStarted)
        m_pFetcher->Start(BulletinHost());
}

LRESULT CCalendarDlg::OnBulletinDone(WPARAM, LPARAM lParam)
{
    std::unique_ptr<BulletinResult> result(reinterpret_cast<BulletinResult*>(lParam));
    if (!result || result->m_nCode != BULLETIN_OK)
        return 0;
    if (result->m_bHasItem) {
        m_strBulletinUrl = result->m_strLink;
        m_strBulletinText = result->m_strText;
        m_btnBulletin.SetText(m_strBulletinText.c_str(), true);
    }
    m_btnNextBulletin.SetText("下一篇", true);
    return 0;
}

void CCalendarDlg::OnContextMenu(HWND, POINT pt)
{
    ShowCalendarMenu(m_hWnd, pt);
}

void CCalendarDlg::OnExportIcal()
{
    ExportMemosWithDialog(m_hWnd);
}

void CCalendarDlg::OnImportIcal()
{
    // The view reads its memo files again, and repaints.
    if (ImportMemosWithDialog(m_hWnd))
        m_pMonthView->SetMonth(m_pMonthView->m_nYear, m_pMonthView->m_nMonth, 0);
}

void CCalendarDlg::OnAutoStart()
{
    ToggleAutoStart();
}

void CCalendarDlg::OnAbout()
{
    ShowAboutBox(m_hWnd);
}

void CCalendarDlg::OnDestroy()
{
    KillTimer(1);
    // A fetch still under way must neither post to a window that is gone nor hold up the end.
    if (m_pFetcher)
        m_pFetcher->Shutdown();
    Default();
}
