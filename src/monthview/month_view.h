// The month view window: draws the month of its model half as a 7 x 6 grid under a weekday
// header, with the lunar year title and the site link in a gold strip at the bottom; shows the
// memo tip of the day under the pointer and records the day or weekday column clicked.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>

#include "controls/day_tip.h"
#include "controls/label.h"
#include "framework/gdi.h"
#include "framework/wnd.h"
#include "monthview/month_model.h"

// Which memo dialog a click opens: the day's (m_nHotDay) or the weekday column's (m_nWeekdayCol).
enum class MemoDialogKind { Day, Weekly };

// The window the view lives in, handed to the view when it is created; without one the view
// asks nothing and opens no dialog.
class IMonthViewOwner {
public:
    // The "返回" button: shown while the view shows another month than the selected date's.
    virtual void ShowTodayButton(bool show) = 0;
    // Runs the memo dialog of that kind modally over the view; the dialogs sit in a layer
    // above the view, which only says what was clicked.
    virtual void RunMemoDialog(MemoDialogKind kind) = 0;
    // A memo dialog of the view has closed: memos may have changed.
    virtual void MemosChanged() {}

protected:
    ~IMonthViewOwner() = default;
};

// Opens a web address the way ShellExecuteW does. Tests put their own in, so that no
// browser starts; null puts ShellExecuteW back. Returns the one it replaces.
using SiteOpener = HINSTANCE(WINAPI*)(
    HWND hwnd, LPCWSTR pszVerb, LPCWSTR pszFile, LPCWSTR pszParameters, LPCWSTR pszDirectory, INT nShowCmd);
SiteOpener SetSiteOpener(SiteOpener pfnOpen);

// The home page the site link opens (ASCII).
const char* GetSiteUrl();

class CMonthView : public CWnd, public CMonthModel, public IMonthViewHost {
public:
    CMonthView();
    ~CMonthView() override;

    // The child window at rect (the parent's client coordinates) with its fonts, the year
    // title, the site link and the hidden tip window; pOwner gets the view's requests. FALSE,
    // with nothing created, when the window cannot be created.
    BOOL Create(const RECT& rect, CWnd* pParent, UINT nID, IMonthViewOwner* pOwner = nullptr);

    // The tip of the selected date, as if the pointer were 12 pixels below its cell's
    // reference point; nothing while another month is shown.
    void ShowSelectedTip();
    // The tip of day nDay for the pointer at client point pt (BuildDayNote), or no tip when
    // it has no text.
    void ShowDayTip(int nDay, POINT pt);
    // The memo dialog of day m_nHotDay or of weekday column m_nWeekdayCol, through the owner:
    // what a click on a day or a weekday name opens, and the bulletin line's memo item. One
    // at a time, and only while the view is on screen.
    void OpenMemoDialog(MemoDialogKind kind);

    using CMonthModel::GetCellOrigin;
    using CMonthModel::HitTest;
    std::uint16_t HitTest(POINT pt) const { return CMonthModel::HitTest(pt.x, pt.y); }

    // The painting steps; Paint runs them all into any DC (the paint DC, or a memory DC
    // through WM_PRINTCLIENT). (x, y) is the top-left corner of a day's cell.
    void Paint(HDC dc);
    void DrawHeader(HDC dc);
    void DrawDays(HDC dc);
    // A day's text (one too wide for its cell in a narrower font that fits, or clipped) and
    // its number; both leave a font of the view's selected.
    void DrawDayText(HDC dc, int nDay, int x, int y);
    void DrawDayNumber(HDC dc, int nDay, int x, int y);
    // The "休" or "班" badge in the top-right corner of a day off or an adjusted working day.
    void DrawHolidayMark(HDC dc, int nDay, int x, int y);
    COLORREF GetDayTextColor(int nDay) const;

    BEGIN_MSG_MAP(CMonthView)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MSG_WM_LBUTTONUP(OnLButtonUp)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MESSAGE_HANDLER_EX(WM_CTRLNOTIFY, OnCtrlNotify)
        MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

    COLORREF m_clrHeaderBk = RGB(72, 61, 139);
    COLORREF m_clrHeaderText = RGB(255, 255, 120);
    COLORREF m_clrCellBk = RGB(245, 245, 230);
    COLORREF m_clrDayText = RGB(0, 0, 0);
    COLORREF m_clrSelect = RGB(0, 255, 255);
    COLORREF m_clrTerm = RGB(0, 0, 255);
    COLORREF m_clrSaturday = RGB(0, 128, 0);
    COLORREF m_clrHoliday = RGB(255, 0, 0);
    COLORREF m_clrOffMark = RGB(220, 20, 30);  // the 休 badge
    COLORREF m_clrWorkMark = RGB(70, 70, 90);  // the 班 badge

    CFont m_fontNumber;    // day numbers
    CFont m_fontText;      // cell text
    CFont m_fontTextBold;  // month-start cell text and the "●" marks
    CFont m_fontSong;      // the "★" marks
    CFont m_fontMark;      // the "休" and "班" badges

    std::unique_ptr<CDayTipWnd> m_pTip;
    CLabel m_title;  // lunar year title in the bottom strip
    CHoverButton m_siteLink;
    CWnd* m_pParent = nullptr;  // the main window, not owned

    static constexpr COLORREF STRIP_COLOR = RGB(255, 215, 0);
    static constexpr int STRIP_HEIGHT = 17;
    static constexpr int HOLIDAY_MARK_SIZE = 12;  // the badge's coloured square

protected:
    void OnPaint();
    void OnPrintClient(HDC dc) { Paint(dc); }
    void OnLButtonUp(UINT nFlags, POINT pt);
    void OnMouseMove(UINT nFlags, POINT pt);
    LRESULT OnCtrlNotify(WPARAM nID, LPARAM);
    // The tip goes with the view: its owner may be the desktop's window, which stays.
    void OnDestroy();

    void HideTip();

    // IMonthViewHost
    void ShowTodayButton(bool bShow) override;
    void SetTitleText(const char* pszTitle) override;
    void InvalidateView() override;

private:
    // How a cell text is drawn: in the cell font as it is (m_font null), or in a narrower or
    // smaller one, its top dy pixels lower so that the baseline stays where it was.
    struct CTextFit {
        HFONT m_font = nullptr;
        int m_dy = 0;
    };
    // The fit of a text whose cell font (bold or not) is selected into dc, measured there
    // once and kept for the view's life.
    const CTextFit& FitCellText(HDC dc, const char* pszText, bool bBold);
    CTextFit FindNarrowerFont(HDC dc, const char* pszText, int nWidth);

    IMonthViewOwner* m_pOwner = nullptr;
    std::unordered_map<std::string, CTextFit> m_textFits;      // key: '0' or '1' (bold), then the text
    std::map<std::tuple<LONG, LONG, LONG>, CFont> m_fitFonts;  // by height, width, weight
};
