#include "app/calendar_dlg.h"

#include <shellapi.h>
#include <shlobj.h>
#include <winsock2.h>

#include <cstdio>

#include "app/bulletin_host.h"
#include "app/clock.h"
#include "app/exit_dlg.h"
#include "app/holiday_source.h"
#include "app/ical_menu.h"
#include "controls/desktop.h"
#include "controls/registry.h"
#include "controls/settings.h"
#include "app/tick_schedule.h"
#include "memo/memo_file.h"
#include "monthview/navigation.h"
#include "text/gbcodec.h"
#include "resource.h"
#include "sync/sync_dlg.h"
#include "sync/sync_question_dlg.h"
#include "sync/sync_settings.h"

int CCalendarDlg::m_nTickCount = -2;

namespace {

const char kTitle[] = "日历2.18";
const char kStripFace[] = "楷体_gb2312";

std::wstring DocumentsFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

// "<documents>\我的记事\" in program bytes, or empty when PrepareMemoFolder found none.
// The separator is looked for in UTF-16: a GB18030 character's second byte may be "\".
std::string MemoFolderPath(std::wstring documents)
{
    if (documents.empty() || !IsMemoFolderUsable())
        return std::string();
    if (documents.back() != L'\\' && documents.back() != L'/')
        documents += L'\\';
    return almanix::Narrow(documents) + MEMO_FOLDER_NAME + "\\";
}

}  // namespace

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

// Start-up, in the order the calendar's parts need each other: sockets, the window's place
// and title, the memo folder, navigation, the month, the bulletin line; the clock starts and
// the window goes into the desktop last. What the first paint does not show waits for it
// (FinishStart).
BOOL CCalendarDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    StartSockets();
    PlaceAtSavedPosition();
    SetWindowText(kTitle);
    PlaceStripButtons();
    const std::wstring documents = DocumentsFolder();
    PrepareMemoFolder(almanix::Narrow(documents).c_str());
    m_strMemoFolder = MemoFolderPath(documents);
    m_holidayFile.Refresh();
    LoadStoredHolidays();
    CreateNavigation();
    GoToToday();
    CreateBulletinLine();
    m_bInitDone = true;
    SetTimer(CALENDAR_TIMER_ID, CALENDAR_TIMER_MS);
    // A timer's message comes only when nothing is left to paint.
    SetTimer(CALENDAR_START_TIMER_ID, USER_TIMER_MINIMUM);
    EmbedInDesktop(m_hWnd);
    return TRUE;
}

void CCalendarDlg::FinishStart()
{
    // The notebook and its tab are windows of their own, each as slow to make as the calendar.
    RestoreNotebook();
    RegisterAutostart();
    StartSync();
}

void CCalendarDlg::StartSockets()
{
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        ::WSACleanup();
        ::MessageBoxW(
            m_hWnd, almanix::Wide("网络初始化失败，请报告管理员").c_str(), almanix::Wide("警告").c_str(), MB_OK);
    } else {
        m_bSocketsStarted = true;
    }
}

void CCalendarDlg::PlaceAtSavedPosition()
{
    // The saved place, pulled back inside the screen's right and bottom edges.
    int x = CALENDAR_DEFAULT_X, y = CALENDAR_DEFAULT_Y;
    if (ReadRegNumber(ALMANIX_SETTINGS_KEY, "PosX", &x)) {
        if (x < 0)
            x = 0;
        if (ReadRegNumber(ALMANIX_SETTINGS_KEY, "PosY", &y) && y < 0)
            y = 0;
    }
    int cxFull = ::GetSystemMetrics(SM_CXFULLSCREEN), cyFull = ::GetSystemMetrics(SM_CYFULLSCREEN);
    m_nGridHeight = CALENDAR_VIEW_HEIGHT;
    // Compared without adding: a saved "99999999999999999999" reads as INT_MAX.
    if (x > cxFull - m_nWidth)
        x = cxFull - m_nWidth;
    if (y > cyFull - m_nGridHeight)
        y = cyFull - m_nGridHeight;
    MoveWindow(x, y, m_nWidth, CALENDAR_HEIGHT, TRUE);
}

void CCalendarDlg::RegisterAutostart()
{
    // Autostart names this very file, or is written anew, unless the user turned it off.
    std::string path = GetProgramPath();
    BYTE run[255];
    if (AutoStartWanted() &&
        (ReadRegValue(ALMANIX_RUN_KEY, ALMANIX_RUN_VALUE, run, sizeof(run)) != 0 ||
            path != reinterpret_cast<const char*>(run)))
        SetAutoStart(true, ALMANIX_RUN_VALUE);
}

void CCalendarDlg::RestoreNotebook()
{
    // The notebook and the tabs are made when first shown: at start only one of the
    // notebook and its tab is, and the calendar's tab is not.
    int show = 0;
    if (ReadRegNumber(ALMANIX_SETTINGS_KEY, "MemoShow", &show) && show == 1)
        ShowNotebook();
    else
        HideNotebook();
}

void CCalendarDlg::CreateNavigation()
{
    m_btnPrevMonth.Create(CALENDAR_PREV_MONTH_RECT, this, IDC_PREV_MONTH, m_crStrip, m_crStripText, 100, kStripFace);
    m_btnNextMonth.Create(CALENDAR_NEXT_MONTH_RECT, this, IDC_NEXT_MONTH, m_crStrip, m_crStripText, 100, kStripFace);
    m_btnToday.Create(CALENDAR_TODAY_RECT, this, IDC_TODAY, m_crStrip, m_crStripText, 100, kStripFace);

    m_pMonthView = std::make_unique<CMonthView>();
    m_pMonthView->Create(
        {0, CALENDAR_VIEW_TOP, m_nWidth, CALENDAR_VIEW_TOP + m_nGridHeight}, this, IDC_MONTH_VIEW, this);
    m_pMonthView->m_bShowAlmanac = AlmanacWanted();

    char item[16];
    for (int m = 1; m <= 12; ++m) {
        std::snprintf(item, sizeof(item), "%d月", m);
        m_comboMonth.AddString(item);
    }
    // A hundred and fifty years: filled in one go, not redrawn item by item.
    m_comboYear.SendMessage(WM_SETREDRAW, FALSE);
    m_comboYear.SendMessage(CB_INITSTORAGE, SELECTOR_YEAR_COUNT, SELECTOR_YEAR_COUNT * 8);
    for (int i = 0; i < SELECTOR_YEAR_COUNT; ++i) {
        std::snprintf(item, sizeof(item), "%d年", SELECTOR_FIRST_YEAR + i);
        m_comboYear.AddString(item);
    }
    m_comboYear.SendMessage(WM_SETREDRAW, TRUE);
}

void CCalendarDlg::CreateBulletinLine()
{
    COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    m_btnBulletin.Create(CALENDAR_BULLETIN_RECT, this, IDC_BULLETIN, face, CALENDAR_BULLETIN_TEXT_COLOR, 110, "宋体");
    m_btnNextBulletin.Create(
        CALENDAR_NEXT_BULLETIN_RECT, this, IDC_NEXT_BULLETIN, face, CALENDAR_BULLETIN_TEXT_COLOR, 100, kStripFace);
    // An item never reaches under "下一篇", which stays where clicks find it.
    m_btnBulletin.SetMaxWidth(BulletinWidth());

    RefreshLocalItems();
    m_btnPrevMonth.SetText("上月", true);
    m_btnNextMonth.SetText("下月", true);
    m_btnToday.SetText("返回", false);

    // The exchange runs on a worker; its result comes back as a message to this window.
    HWND self = m_hWnd;
    BulletinFetchOptions options;
    options.m_nPort = BulletinPort();
    m_pFetcher = std::make_unique<CBulletinFetcher>(
        [self](const BulletinResult& result) {
            auto* copy = new BulletinResult(result);
            if (!::PostMessageW(self, WM_BULLETIN_DONE, 0, reinterpret_cast<LPARAM>(copy)))
                delete copy;
        },
        options);
}

void CCalendarDlg::StartSync()
{
    // The worker waits for its first request; the schedule asks for one at start.
    m_pSyncWorker = std::make_unique<CSyncWorker>(m_hWnd, m_strMemoFolder);
    m_syncSchedule.Start(static_cast<std::int64_t>(::GetTickCount64()));
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
    int top = (CALENDAR_STRIP_HEIGHT - cy) / 2 > 0 ? (CALENDAR_STRIP_HEIGHT - cy) / 2 : 0;
    ::SetWindowPos(
        close, nullptr, m_nWidth - CALENDAR_STRIP_MARGIN - cx, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(collapse, nullptr, m_nWidth - CALENDAR_STRIP_MARGIN - 2 * cx - CALENDAR_STRIP_GAP, top, 0, 0,
        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
    RECT strip = {0, 0, m_nWidth, CALENDAR_STRIP_HEIGHT};
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
    WriteRegNumber(ALMANIX_SETTINGS_KEY, "PosX", x);
    WriteRegNumber(ALMANIX_SETTINGS_KEY, "PosY", y);
    PlaceTabs();
}

void CCalendarDlg::OnLButtonDown(UINT, POINT pt)
{
    almanix::DragWindowFrom(m_hWnd, pt);
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
        m_pCalendarTab = std::make_unique<CCalendarTabDlg>(this);
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
        m_pNotebook = std::make_unique<CNotebookDlg>(this);
        RECT rc;
        GetWindowRect(&rc);
        m_pNotebook->SetDefaultPos(rc.left, rc.bottom + NOTEBOOK_DEFAULT_GAP);
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
        m_pNotebookTab = std::make_unique<CNotebookTabDlg>(this);
        m_pNotebookTab->Create(IDD_NOTEBOOK_TAB, this);
        PlaceTabs();
    }
    m_pNotebookTab->ShowWindow(SW_SHOW);
    WriteRegString(ALMANIX_SETTINGS_KEY, "MemoShow", "0");
}

void CCalendarDlg::RunMemoDialog(MemoDialogKind kind)
{
    ++m_nOpenMemoDialogs;
    RunMemoDialogFor(m_pMonthView.get(), this, kind);
    --m_nOpenMemoDialogs;
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
        if (m_strBulletinText.empty()) {
            // Of the own items only a memo does something: its day's memo dialog opens.
            if (m_nLocalItem < m_localItems.size() && m_localItems[m_nLocalItem].m_nKind == LOCAL_BULLETIN_MEMO) {
                const SolarDate day = m_localItems[m_nLocalItem].m_date;
                ShowMonth({day.m_nYear, day.m_nMonth});
                m_pMonthView->m_nHotDay = static_cast<std::uint16_t>(day.m_nDay);
                m_pMonthView->OpenMemoDialog(MemoDialogKind::Day);
            }
            break;
        }
        // Only a well-formed web address ever reaches the shell: the reply is unauthenticated.
        if (!m_strBulletinUrl.empty() && IsSafeWebLink(m_strBulletinUrl.c_str()))
            ::ShellExecuteW(m_hWnd, L"open", almanix::Wide(m_strBulletinUrl).c_str(), nullptr, nullptr, SW_SHOW);
        break;
    case IDC_NEXT_BULLETIN:
        if (m_strBulletinText.empty() && !m_localItems.empty()) {
            m_nLocalItem = (m_nLocalItem + 1) % m_localItems.size();
            ShowBulletinLine();
        }
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

void CCalendarDlg::OnTimer(UINT_PTR id)
{
    if (id == CALENDAR_START_TIMER_ID) {
        KillTimer(CALENDAR_START_TIMER_ID);
        FinishStart();
        return;
    }
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
    // A holiday file the user saved shows at once: the shown month takes its days anew.
    if (m_holidayFile.Refresh()) {
        m_pMonthView->SetMonth(m_pMonthView->m_nYear, m_pMonthView->m_nMonth, 0);
        RefreshLocalItems();
    }
    // A sync only while no dialog of this window is open: a memo dialog holds memos read before.
    if (m_syncSchedule.Due(static_cast<std::int64_t>(::GetTickCount64())) && m_nOpenMemoDialogs == 0 && !m_bAsking &&
        ::IsWindowEnabled(m_hWnd))
        RequestSync();
    AskPendingQuestion();
    // The schedules are asked about once a day: a look a minute is enough, and another year
    // shown is looked at within the second.
    if (m_nTickCount % 60 == 0 || m_pMonthView->m_nYear != m_nHolidaysCheckedYear)
        CheckHolidays();
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
    RefreshLocalItems();
    // A clock outside the calendar's years shows the nearest month it has.
    TodayPlan plan = PlanGoToToday(
        m_pMonthView->m_nYear, m_pMonthView->m_nMonth, m_pMonthView->m_nHotDay, now.wYear, now.wMonth, now.wDay);
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
        m_pNotebookTab->SetWindowPos(nullptr, rc.right + TAB_GAP, rc.bottom - NOTEBOOK_TAB_RISE, TAB_WIDTH, TAB_HEIGHT,
            SWP_NOZORDER | SWP_NOACTIVATE);
    if (m_pCalendarTab && m_pCalendarTab->m_hWnd)
        m_pCalendarTab->SetWindowPos(nullptr, rc.right + TAB_GAP, rc.bottom - CALENDAR_TAB_RISE, TAB_WIDTH, TAB_HEIGHT,
            SWP_NOZORDER | SWP_NOACTIVATE);
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
        ShowBulletinLine();
    }
    m_btnNextBulletin.SetText("下一篇", true);
    return 0;
}

void CCalendarDlg::RefreshLocalItems()
{
    if (!m_btnBulletin.m_hWnd)
        return;  // not made yet: OnInitDialog calls again once it is
    m_localItems = BuildLocalBulletinItems({m_nTodayYear, m_nTodayMonth, m_nTodayDay}, ReadDayMemos);
    if (m_nLocalItem >= m_localItems.size())
        m_nLocalItem = 0;
    if (!m_localItems.empty())
        m_btnNextBulletin.SetText("下一篇", true);
    ShowBulletinLine();
}

void CCalendarDlg::ShowBulletinLine()
{
    if (!m_strBulletinText.empty())
        m_btnBulletin.SetText(FitBulletinText(m_strBulletinText).c_str(), true);
    else if (m_nLocalItem < m_localItems.size())
        m_btnBulletin.SetText(FitBulletinText(m_localItems[m_nLocalItem].m_strText).c_str(), true);
}

int CCalendarDlg::BulletinWidth() const
{
    // The line ends where "下一篇" begins.
    RECT next;
    ::GetWindowRect(m_btnNextBulletin.m_hWnd, &next);
    ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&next));
    return next.left - m_btnBulletin.GetRect().left - 4;
}

std::string CCalendarDlg::FitBulletinText(const std::string& text)
{
    // A text too long for the line keeps its part before "，"; one still too long is cut with
    // "…" where it ends.
    const int cxMax = BulletinWidth();
    HDC dc = ::GetDC(m_hWnd);
    std::string fitted = text;
    {
        SelectScope scope(dc, m_btnBulletin.GetFont());
        auto fits = [&](const std::string& t) {
            int cx = 0, cy = 0;
            MeasureText(dc, t, &cx, &cy);
            return cx <= cxMax;
        };
        if (!fits(fitted)) {
            // Character by character: a byte pair inside two characters may look like "，" too.
            const std::string_view comma = "，";
            std::vector<std::size_t> ends;  // where each character ends
            for (std::size_t i = 0; i < text.size();) {
                if (text.compare(i, comma.size(), comma) == 0 && fitted.size() == text.size())
                    fitted = text.substr(0, i);
                i += almanix::GbCharLength(text, i);
                ends.push_back(i);
            }
            if (!fits(fitted)) {
                // The longest start that fits with the mark.
                std::size_t lo = 0, hi = ends.size();
                while (lo < hi) {
                    const std::size_t mid = (lo + hi + 1) / 2;
                    if (fits(text.substr(0, ends[mid - 1]) + "…"))
                        lo = mid;
                    else
                        hi = mid - 1;
                }
                fitted = (lo > 0 ? text.substr(0, ends[lo - 1]) : std::string()) + "…";
            }
        }
    }
    ::ReleaseDC(m_hWnd, dc);
    return fitted;
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

void CCalendarDlg::OnShowAlmanac()
{
    const bool bShow = !AlmanacWanted();
    SetAlmanacWanted(bShow);
    m_pMonthView->m_bShowAlmanac = bShow;
}

void CCalendarDlg::OnAbout()
{
    ShowAboutBox(m_hWnd);
}

void CCalendarDlg::MemosChanged()
{
    RefreshLocalItems();
    m_syncSchedule.LocalChange(static_cast<std::int64_t>(::GetTickCount64()));
    // The memo dialog saved from texts read before a sync now running may have rewritten.
    if (m_pSyncWorker && m_pSyncWorker->Running())
        m_bSavedDuringSync = true;
}

bool CCalendarDlg::RequestSync(SyncAnswer answer)
{
    SyncSettings settings;
    if (!m_pSyncWorker || !LoadSyncSettings(settings) || !settings.IsSet()) {
        m_syncSchedule.Ended(static_cast<std::int64_t>(::GetTickCount64()), true);  // look again later
        return false;
    }
    if (!m_pSyncWorker->Request(m_bSavedDuringSync, answer))
        return false;
    m_bSavedDuringSync = false;
    m_syncSchedule.Began();
    return true;
}

void CCalendarDlg::OnSyncSettings()
{
    CSyncDlg dlg(this, [this] { return RequestSync(); });
    m_pSyncDlg = &dlg;
    dlg.DoModal();
    m_pSyncDlg = nullptr;
}

LRESULT CCalendarDlg::OnSyncDone(WPARAM, LPARAM lParam)
{
    std::unique_ptr<SyncReport> report(reinterpret_cast<SyncReport*>(lParam));
    // A question is no failure: the next sync comes a period later, or at once with an answer.
    m_syncSchedule.Ended(
        static_cast<std::int64_t>(::GetTickCount64()), report->m_bOk || report->m_question != SyncQuestion::None);
    std::string words = report->m_status;
    if (report->m_nMerged > 0)
        words += "；两边都改过的记事已合并，本机的文字标有【本机】";
    SaveLastSyncResult(report->m_bOk, words);
    if (m_pSyncDlg)
        m_pSyncDlg->ShowResult(LoadLastSyncResult());
    // Memo files the sync rewrote: the shown month reads its memos anew.
    if (report->m_nDownloaded + report->m_nDeletedLocal + report->m_nMerged > 0 && m_pMonthView) {
        m_pMonthView->SetMonth(m_pMonthView->m_nYear, m_pMonthView->m_nMonth, 0);
        RefreshLocalItems();
    }
    m_question = report->m_question;
    AskPendingQuestion();
    return 0;
}

void CCalendarDlg::AskPendingQuestion()
{
    // Asked once no memo dialog holds memos read before; its answer goes to a sync at once.
    if (m_question == SyncQuestion::None || m_bAsking || m_nOpenMemoDialogs > 0)
        return;
    m_bAsking = true;
    const SyncAnswer answer =
        ::AskSyncQuestion(m_pSyncDlg ? static_cast<CWnd*>(m_pSyncDlg) : static_cast<CWnd*>(this), m_question);
    m_bAsking = false;
    m_question = SyncQuestion::None;
    if (answer != SyncAnswer::None)
        RequestSync(answer);
}

void CCalendarDlg::OnHolidayUpdate()
{
    m_bHolidayUpdate = !HolidayUpdateWanted();
    SetHolidayUpdateWanted(m_bHolidayUpdate);
    // Turned on, it asks at once, whatever was asked before.
    if (m_bHolidayUpdate && m_bHolidaysStarted) {
        m_holidayAsks = HolidayAskLog();
        CheckHolidays();
    }
}

void CCalendarDlg::CheckHolidays()
{
    if (!m_bHolidaysStarted) {
        m_bHolidaysStarted = true;
        m_bHolidayUpdate = HolidayUpdateWanted();
        m_holidayAsks = LoadHolidayAskLog();
    }
    m_nHolidaysCheckedYear = m_pMonthView->m_nYear;
    if (!m_bHolidayUpdate || !*HolidayUrlPattern())
        return;
    if (!m_pHolidayUpdater) {
        if (m_strMemoFolder.empty())
            return;  // nowhere to keep a download
        m_pHolidayUpdater = std::make_unique<CHolidayUpdater>(m_hWnd, m_strMemoFolder, HolidayUrlPattern());
    }
    if (m_pHolidayUpdater->Running())
        return;
    SYSTEMTIME now;
    GetClockTime(&now);
    const SolarDate today = {now.wYear, now.wMonth, now.wDay};
    const std::int64_t nNow = HolidayClockMinutes(today, now.wHour, now.wMinute);
    const std::vector<int> due = HolidayYearsDue(nNow, today, m_pMonthView->m_nYear, m_holidayAsks, HasHolidaySchedule);
    if (due.empty() || !m_pHolidayUpdater->Request(due))
        return;
    // Asked, whatever the answer: a year not published yet is asked again a day later.
    for (int nYear : due)
        m_holidayAsks.m_asked[nYear] = nNow;
    SaveHolidayAskLog(m_holidayAsks);
}

bool CCalendarDlg::LoadStoredHolidays()
{
    // The first paint shows them: a stored year's badges are there from the start.
    SYSTEMTIME now;
    GetClockTime(&now);
    return !LoadHolidayDownloads(std::string(), HOLIDAY_DOWNLOAD_FIRST_YEAR, now.wYear + 1).empty();
}

void CCalendarDlg::ReadHolidayDownloads()
{
    if (!LoadStoredHolidays())
        return;
    m_pMonthView->SetMonth(m_pMonthView->m_nYear, m_pMonthView->m_nMonth, 0);
    RefreshLocalItems();
}

LRESULT CCalendarDlg::OnHolidaysDone(WPARAM, LPARAM lParam)
{
    std::unique_ptr<HolidayRound> round(reinterpret_cast<HolidayRound*>(lParam));
    SYSTEMTIME now;
    GetClockTime(&now);
    const SolarDate today = {now.wYear, now.wMonth, now.wDay};
    std::string words;
    bool bTaken = false;
    for (const HolidayYearOutcome& o : *round) {
        words += (words.empty() ? "" : "\r\n") + HolidayUpdateWords(o.m_nYear, o.m_bTaken, today, o.m_reason);
        bTaken = bTaken || o.m_bTaken;
    }
    SaveHolidayUpdateWords(words);
    // The shown month takes the new badges at once.
    if (bTaken)
        ReadHolidayDownloads();
    return 0;
}

void CCalendarDlg::OnDestroy()
{
    KillTimer(CALENDAR_TIMER_ID);
    KillTimer(CALENDAR_START_TIMER_ID);
    m_pSyncWorker.reset();
    m_pHolidayUpdater.reset();
    // A fetch still under way must neither post to a window that is gone nor hold up the end.
    if (m_pFetcher)
        m_pFetcher->Shutdown();
    // Their owner may be the desktop's window, which outlives the calendar.
    for (CDialog* pPopup : {static_cast<CDialog*>(m_pNotebook.get()), static_cast<CDialog*>(m_pNotebookTab.get()),
             static_cast<CDialog*>(m_pCalendarTab.get())})
        if (pPopup && pPopup->m_hWnd)
            pPopup->DestroyWindow();
    Default();
}
