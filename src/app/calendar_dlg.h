// The calendar window: selectors and navigation over the month grid, the bulletin line, the
// notebook and its tabs, the one-second timer, the saved position and the desktop embedding.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "net/bulletin.h"
#include "net/bulletin_fetcher.h"
#include "app/calendar_layout.h"
#include "app/holiday_update.h"
#include "controls/label.h"
#include "framework/dialog.h"
#include "dialogs/memo_dlg.h"
#include "dialogs/notebook.h"
#include "monthview/holiday_file.h"
#include "monthview/local_bulletin.h"
#include "monthview/month_view.h"
#include "monthview/navigation.h"
#include "sync/sync_schedule.h"
#include "sync/sync_worker.h"
#include "resource.h"

// The bulletin worker's result, posted to the main window: lParam owns a BulletinResult.
#define WM_BULLETIN_DONE (WM_APP + 20)

class CSyncDlg;

class CCalendarDlg : public CDialog, public INotebookOwner, public IMonthViewOwner {
public:
    explicit CCalendarDlg(CWnd* pParent = nullptr);
    ~CCalendarDlg() override;

    COLORREF m_crStrip = CALENDAR_STRIP_COLOR;
    COLORREF m_crStripText = CALENDAR_STRIP_TEXT_COLOR;
    CHoverButton m_btnPrevMonth;
    CHoverButton m_btnNextMonth;
    CHoverButton m_btnToday;
    int m_nWidth = CALENDAR_WIDTH;
    CComboBox m_comboYear;
    CComboBox m_comboMonth;
    int m_nGridHeight = CALENDAR_VIEW_HEIGHT;
    HICON m_hIcon = nullptr;
    std::unique_ptr<CMonthView> m_pMonthView;
    bool m_bInitDone = false;
    int m_nTodayDay = 0, m_nTodayMonth = 0, m_nTodayYear = 0;
    CHoverButton m_btnBulletin;
    CHoverButton m_btnNextBulletin;
    // Owned here; their windows go with this window's, their objects with this one.
    std::unique_ptr<CNotebookDlg> m_pNotebook;
    std::unique_ptr<CNotebookTabDlg> m_pNotebookTab;
    std::unique_ptr<CCalendarTabDlg> m_pCalendarTab;
    CHolidayFileWatch m_holidayFile;  // 日历\节假日.txt, looked at every tick
    std::vector<LocalBulletinItem> m_localItems;
    std::size_t m_nLocalItem = 0;  // the one shown while no server item is
    std::string m_strBulletinText;
    std::string m_strBulletinUrl;
    static int m_nTickCount;

    BEGIN_MSG_MAP(CCalendarDlg)
        MSG_WM_SYSCOMMAND(OnSysCommand)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_QUERYDRAGICON(OnQueryDragIcon)
        COMMAND_HANDLER_EX(IDC_COMBO_MONTH, CBN_SELCHANGE, OnSelChangeDate)
        COMMAND_HANDLER_EX(IDC_COMBO_YEAR, CBN_SELCHANGE, OnSelChangeDate)
        MSG_WM_MOVE(OnMove)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        COMMAND_ID_HANDLER_EX(ID_UNINSTALL, OnUninstall)
        COMMAND_ID_HANDLER_EX(IDC_COLLAPSE, CollapseToTab)
        MESSAGE_HANDLER_EX(WM_CTRLNOTIFY, OnCtrlNotify)
        MSG_WM_TIMER(OnTimer)
        COMMAND_ID_HANDLER_EX(IDC_EXIT, OnExitButton)
        MESSAGE_HANDLER_EX(WM_BULLETIN_DONE, OnBulletinDone)
        MSG_WM_CONTEXTMENU(OnContextMenu)
        COMMAND_ID_HANDLER_EX(ID_EXPORT_ICAL, OnExportIcal)
        COMMAND_ID_HANDLER_EX(ID_IMPORT_ICAL, OnImportIcal)
        COMMAND_ID_HANDLER_EX(ID_AUTOSTART, OnAutoStart)
        COMMAND_ID_HANDLER_EX(ID_SHOW_ALMANAC, OnShowAlmanac)
        COMMAND_ID_HANDLER_EX(ID_ABOUT, OnAbout)
        COMMAND_ID_HANDLER_EX(ID_SYNC_SETTINGS, OnSyncSettings)
        MESSAGE_HANDLER_EX(WM_SYNC_DONE, OnSyncDone)
        COMMAND_ID_HANDLER_EX(ID_HOLIDAY_UPDATE, OnHolidayUpdate)
        MESSAGE_HANDLER_EX(WM_HOLIDAYS_DONE, OnHolidaysDone)
        MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

    // INotebookOwner
    void ShowNotebook() override;
    void HideNotebook() override;
    void RestoreFromTab() override;
    // IMonthViewOwner
    void ShowTodayButton(bool show) override;
    void RunMemoDialog(MemoDialogKind kind) override;
    void MemosChanged() override;

    void CollapseToTab();
    void GoToToday();
    void PlaceTabs();
    void FetchBulletin();

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon() { return m_hIcon; }
    void OnSelChangeDate();
    void OnMove(int x, int y);
    void OnLButtonDown(UINT flags, POINT pt);
    void OnUninstall();
    LRESULT OnCtrlNotify(WPARAM id, LPARAM);
    void OnTimer(UINT_PTR id);
    void FinishStart();
    void OnExitButton();
    LRESULT OnBulletinDone(WPARAM, LPARAM result);
    void OnContextMenu(HWND, POINT pt);
    void OnExportIcal();
    void OnImportIcal();
    void OnAutoStart();
    void OnShowAlmanac();
    void OnAbout();
    void OnSyncSettings();
    LRESULT OnSyncDone(WPARAM, LPARAM report);
    void OnHolidayUpdate();
    LRESULT OnHolidaysDone(WPARAM, LPARAM round);
    void OnDestroy();

private:
    // The steps of OnInitDialog.
    void StartSockets();
    void PlaceAtSavedPosition();
    void RegisterAutostart();
    void RestoreNotebook();
    void CreateNavigation();
    void CreateBulletinLine();
    void StartSync();

    void ShowMonth(YearMonth month);
    // The bulletin line's own items for today, read anew; the line shows the server's item
    // when one is held, else the current own item.
    void RefreshLocalItems();
    void ShowBulletinLine();
    std::string FitBulletinText(const std::string& text);
    int BulletinWidth() const;
    void PlaceStripButtons();
    void EndProgram();

    bool m_bSocketsStarted = false;
    std::unique_ptr<CBulletinFetcher> m_pFetcher;
    // The sync with a CalDAV calendar: its worker, when it is due, the settings dialog while open.
    bool RequestSync(SyncAnswer answer = SyncAnswer::None);
    // The question of the last sync's report, asked when no memo dialog is open.
    void AskPendingQuestion();
    std::unique_ptr<CSyncWorker> m_pSyncWorker;
    CSyncSchedule m_syncSchedule;
    CSyncDlg* m_pSyncDlg = nullptr;
    bool m_bSavedDuringSync = false;  // the next sync is cautious (see PlanSync)
    // Memo dialogs open now: scheduled syncs wait for them, as they hold memos read before.
    // Embedded in the desktop the calendar stays enabled under them, so this counts them.
    int m_nOpenMemoDialogs = 0;
    SyncQuestion m_question = SyncQuestion::None;  // not answered yet
    bool m_bAsking = false;                        // the question is showing

    // The holiday schedules' update: the stored downloads are read and the first years asked
    // at the first tick, after the window has shown; then whatever falls due, once a day.
    void CheckHolidays();
    bool LoadStoredHolidays();
    void ReadHolidayDownloads();
    std::unique_ptr<CHolidayUpdater> m_pHolidayUpdater;
    HolidayAskLog m_holidayAsks;
    bool m_bHolidaysStarted = false;
    int m_nHolidaysCheckedYear = 0;  // the shown year at the last look
    std::string m_strMemoFolder;     // "<documents>\我的记事\", empty when there is none (see MemoFolderPath)
    bool m_bHolidayUpdate = false;  // the menu's switch
};
