#include "monthview/month_view.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "engine/holidays.h"
#include "engine/names.h"
#include "memo/memo_store.h"
#include "resource.h"

#ifndef ALMANIX_SITE_URL
#define ALMANIX_SITE_URL "http://www.example.com/"
#endif

namespace {

const wchar_t kMonthViewClass[] = L"AlmanixMonthView";

// The cell text starts here in its cell; its last pixel stays one short of the right edge.
const int kCellTextX = 6;
const int kCellTextY = 17;
const int kCellTextRoom = MONTH_CELL_WIDTH - kCellTextX - 1;
// Two double-byte characters fit in any cell font: only longer texts are measured.
const std::size_t kAlwaysFitsBytes = 4;
// How many pixels smaller than the cell font a text that does not fit may be drawn.
const int kFitHeightSteps = 3;

SiteOpener g_pfnOpenSite = ::ShellExecuteW;

void FillSolid(HDC dc, const RECT& rc, COLORREF color)
{
    CBrush brush(::CreateSolidBrush(color));
    ::FillRect(dc, &rc, brush);
}

// Selects font unless it is the DC's font already.
void SelectFontOnce(HDC dc, HFONT font)
{
    if (::GetCurrentObject(dc, OBJ_FONT) != font)
        ::SelectObject(dc, font);
}

// A mark ("●", "★") in its own font and colour; the font stays selected for the next.
void DrawMarkInFont(HDC dc, int x, int y, const char* pszMark, HFONT font, COLORREF color)
{
    SelectFontOnce(dc, font);
    ::SetTextColor(dc, color);
    TextOutGb(dc, x, y, pszMark);
}

}  // namespace

SiteOpener SetSiteOpener(SiteOpener pfnOpen)
{
    SiteOpener previous = g_pfnOpenSite;
    g_pfnOpenSite = pfnOpen ? pfnOpen : ::ShellExecuteW;
    return previous;
}

const char* GetSiteUrl()
{
    return ALMANIX_SITE_URL;
}

CMonthView::CMonthView()
{
    SetHost(this);
}

CMonthView::~CMonthView() = default;

BOOL CMonthView::Create(const RECT& rect, CWnd* pParent, UINT nID, IMonthViewOwner* pOwner)
{
    if (!CreateEx(0, kMonthViewClass, "", WS_CHILD | WS_VISIBLE, rect, pParent ? pParent->m_hWnd : nullptr, nID,
            ::LoadCursorW(nullptr, IDC_ARROW), static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH))))
        return FALSE;
    m_pParent = pParent;
    m_pOwner = pOwner;

    m_fontNumber.CreateFont(17, FW_NORMAL, "Arial Black", ANSI_CHARSET);
    m_fontText.CreateFont(14, FW_NORMAL, "Arial", ANSI_CHARSET);
    m_fontTextBold.CreateFont(14, FW_BOLD, "Arial", ANSI_CHARSET);
    m_fontSong.CreateFont(19, FW_NORMAL, "宋体", ANSI_CHARSET);
    m_textFits.clear();
    m_fontMark.CreateFont(12, FW_NORMAL, "宋体", ANSI_CHARSET);

    // Both lie in the strip; what reaches below the view's bottom edge is clipped.
    const int nStripTop = (rect.bottom - rect.top) - STRIP_HEIGHT;
    m_title.Create({rect.left, nStripTop, rect.right - 160, rect.bottom}, this, static_cast<UINT>(-1), STRIP_COLOR,
        RGB(0, 0, 0), 110, "宋体");
    m_siteLink.Create({rect.right - 120, nStripTop, rect.right - 75, rect.bottom}, this, IDC_SITE_LINK, STRIP_COLOR,
        RGB(0, 0, 0), 110, "宋体");

    m_siteLink.SetText("Qorvel", true);
    return TRUE;
}

void CMonthView::ShowSelectedTip()
{
    MonthPoint origin;
    if (!ShowsSelectedMonth() || !GetCellOrigin(m_nSelDay, origin))
        return;
    ShowDayTip(m_nSelDay, POINT{origin.x, origin.y + 12});
}

void CMonthView::ShowDayTip(int nDay, POINT pt)
{
    if (!m_hWnd)
        return;
    int nLength = 0;
    char* pszNote = BuildDayNote(nDay, nLength);
    // The tip frees what it is given through its own pair of functions.
    char* pszTip = nLength > 0 ? AllocTipText(static_cast<size_t>(nLength) + 1) : nullptr;
    if (pszTip)
        std::memcpy(pszTip, pszNote, static_cast<size_t>(nLength) + 1);
    std::free(pszNote);
    if (!pszTip) {
        HideTip();
        return;
    }
    // Made on its first showing: a window fewer to create while the calendar starts.
    if (!m_pTip) {
        m_pTip = std::make_unique<CDayTipWnd>();
        m_pTip->Create(IDD_DAYTIP, this);
    }
    if (!m_pTip->m_hWnd) {
        FreeTipText(pszTip);
        return;
    }
    ClientToScreen(&pt);
    m_pTip->ShowTip(pszTip, nLength, pt.x, pt.y);
}

void CMonthView::HideTip()
{
    if (m_pTip && m_pTip->m_hWnd)
        m_pTip->ShowWindow(SW_HIDE);
}

// Handlers, in message-map order.

void CMonthView::OnPaint()
{
    CPaintDC dc(m_hWnd);
    Paint(dc);
}

void CMonthView::OnLButtonUp(UINT, POINT pt)
{
    const std::uint16_t nDay = HitTest(pt);
    if (nDay != 0) {
        m_nHotDay = nDay;
        HideTip();
        OpenMemoDialog(MemoDialogKind::Day);
    } else if (pt.y >= 0 && pt.y <= MONTH_HEADER_HEIGHT && pt.x >= 0 &&
        pt.x / MONTH_CELL_PITCH_X < MONTH_GRID_COLUMNS) {
        // y = 20 is the first row's hit zone, but an empty cell there counts as the header.
        m_nWeekdayCol = pt.x / MONTH_CELL_PITCH_X;
        OpenMemoDialog(MemoDialogKind::Weekly);
    }
    Default();
}

void CMonthView::OnMouseMove(UINT, POINT pt)
{
    const std::uint16_t nDay = HitTest(pt);
    if (nDay != m_nHotDay) {
        if (nDay != 0) {
            ShowDayTip(nDay, pt);
            m_nHotDay = nDay;
        } else {
            HideTip();
            m_nHotDay = 0;
        }
    }
    Default();
}

LRESULT CMonthView::OnCtrlNotify(WPARAM nID, LPARAM)
{
    if (nID == IDC_SITE_LINK)
        g_pfnOpenSite(m_hWnd, L"open", almanix::Wide(GetSiteUrl()).c_str(), nullptr, nullptr, SW_SHOW);
    return 0;
}

void CMonthView::OnDestroy()
{
    if (m_pTip && m_pTip->m_hWnd)
        m_pTip->DestroyWindow();
    Default();
}

namespace {
// One memo dialog at a time, even where the main window cannot be disabled under it.
bool g_bMemoDialogOpen = false;
}  // namespace

void CMonthView::OpenMemoDialog(MemoDialogKind kind)
{
    // A dialog needs a view on screen to belong to; a click sent to a hidden view only
    // records the day.
    if (!m_pOwner || g_bMemoDialogOpen || !IsWindowVisible())
        return;
    g_bMemoDialogOpen = true;
    m_pOwner->RunMemoDialog(kind);
    g_bMemoDialogOpen = false;
    m_pOwner->MemosChanged();
}

void CMonthView::ShowTodayButton(bool bShow)
{
    if (m_pOwner)
        m_pOwner->ShowTodayButton(bShow);
}

void CMonthView::SetTitleText(const char* pszTitle)
{
    if (m_title.m_hWnd)
        m_title.SetText(pszTitle, true);
}

void CMonthView::InvalidateView()
{
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

// Painting.

void CMonthView::Paint(HDC dc)
{
    const int nSaved = ::SaveDC(dc);
    RECT rc;
    GetClientRect(&rc);
    RECT grid = rc;
    grid.bottom -= STRIP_HEIGHT;
    FillSolid(dc, grid, RGB(0, 0, 0));
    RECT strip = rc;
    strip.top = grid.bottom;
    FillSolid(dc, strip, STRIP_COLOR);
    ::SetBkMode(dc, TRANSPARENT);
    DrawHeader(dc);
    DrawDays(dc);
    ::RestoreDC(dc, nSaved);
}

void CMonthView::DrawHeader(HDC dc)
{
    RECT rc;
    GetClientRect(&rc);
    rc.bottom = MONTH_HEADER_HEIGHT;
    FillSolid(dc, rc, m_clrHeaderBk);
    ::SetTextColor(dc, m_clrHeaderText);
    const HGDIOBJ headerFont = ::GetCurrentObject(dc, OBJ_FONT);
    const bool bSelectedMonth = ShowsSelectedMonth();
    const int nSelWeekday =
        bSelectedMonth && m_nSelDay >= 1 && m_nSelDay <= m_nDays ? m_cells[m_nSelDay].m_nWeekday : -1;
    for (int i = 0; i < MONTH_GRID_COLUMNS; ++i) {
        const int x = MONTH_CELL_PITCH_X * i;
        const CMemoEntry* pWeekly = GetWeeklyEntry(i);
        if (HasMemoText(pWeekly))
            DrawMarkInFont(dc, x + 2, 2, "●", m_fontTextBold, GetMemoColor(pWeekly->m_dwFlags, MEMO_KIND_WEEKLY));
        SelectFontOnce(dc, static_cast<HFONT>(headerFont));
        ::SetTextColor(dc, i == nSelWeekday ? m_clrSelect : m_clrHeaderText);
        TextOutGb(dc, x + 10, 2, GetWeekdayName(i));
    }
}

void CMonthView::DrawDays(HDC dc)
{
    const int nFirstWeekday = m_nDays > 0 ? m_cells[1].m_nWeekday : 0;
    CBrush cellBrush(::CreateSolidBrush(m_clrCellBk));
    // Row by row, in passes: the cells' fills, then each font's marks and texts together.
    // Selecting a font costs Wine as much as drawing six texts with it. Nothing drawn reaches
    // beyond its own cell (a text too wide is clipped), so no fill may cover another's part.
    const HGDIOBJ oldFont = ::GetCurrentObject(dc, OBJ_FONT);
    int d = 1;
    for (int r = 0; r < MONTH_GRID_ROWS; ++r) {
        const int nRowFirst = d;
        int xRowFirst = 0;
        const int y = MONTH_HEADER_HEIGHT + 1 + MONTH_CELL_PITCH_Y * r;
        for (int c = 0; c < MONTH_GRID_COLUMNS; ++c) {
            const int x = MONTH_CELL_PITCH_X * c;
            RECT cell = {x, y, x + MONTH_CELL_WIDTH, y + MONTH_CELL_HEIGHT};
            ::FillRect(dc, &cell, cellBrush);
            if ((r > 0 || c >= nFirstWeekday) && d <= m_nDays) {
                if (d == nRowFirst)
                    xRowFirst = x;
                const CMemoEntry* pOnce = GetOnceEntry(d);
                if (HasMemoText(pOnce))
                    FillSolid(dc, cell, GetMemoColor(pOnce->m_dwFlags, MEMO_KIND_ONCE));
                ++d;
            }
        }
        auto xOf = [&](int n) { return xRowFirst + MONTH_CELL_PITCH_X * (n - nRowFirst); };
        for (int n = nRowFirst; n < d; ++n) {
            const CMemoEntry* pWeekly = GetWeeklyEntry(m_cells[n].m_nWeekday);
            if (HasMemoText(pWeekly))
                DrawMarkInFont(dc, xOf(n) + 2, y, "●", m_fontTextBold, GetMemoColor(pWeekly->m_dwFlags, MEMO_KIND_WEEKLY));
        }
        for (int n = nRowFirst; n < d; ++n) {
            const CMemoEntry* pSolarYearly = GetSolarYearlyEntry(n);
            if (HasMemoText(pSolarYearly))
                DrawMarkInFont(dc, xOf(n) - 1, y + 15, "★", m_fontSong,
                    GetMemoColor(pSolarYearly->m_dwFlags, MEMO_KIND_SOLAR_YEARLY));
            const CMemoEntry* pLunarYearly = GetLunarEntry(n);
            if (HasMemoText(pLunarYearly))
                DrawMarkInFont(dc, xOf(n) + 34, y + 15, "★", m_fontSong,
                    GetMemoColor(pLunarYearly->m_dwFlags, MEMO_KIND_LUNAR_YEARLY));
        }
        for (int n = nRowFirst; n < d; ++n)
            DrawDayText(dc, n, xOf(n), y);
        for (int n = nRowFirst; n < d; ++n)
            DrawDayNumber(dc, n, xOf(n), y);
    }

    MonthPoint p;
    if (ShowsSelectedMonth() && GetCellOrigin(m_nSelDay, p)) {
        CPen pen(::CreatePen(PS_DOT, 2, m_clrSelect));
        SelectScope penScope(dc, pen);
        SelectScope brushScope(dc, ::GetStockObject(HOLLOW_BRUSH));
        ::Ellipse(dc, p.x - 7, p.y - 7, p.x + 58, p.y + 41);
    }
    // The holiday marks come last: the ring passes through the cells' top-right corners.
    for (int n = 1; n <= m_nDays; ++n) {
        if (m_cells[n].m_nHoliday != HOLIDAY_NONE && GetCellOrigin(n, p))
            DrawHolidayMark(dc, n, p.x, p.y + 1);
    }
    ::SelectObject(dc, oldFont);
}

COLORREF CMonthView::GetDayTextColor(int nDay) const
{
    const CDayCell& cell = m_cells[nDay];
    // A day with a memo of its own reads black, whatever else it is.
    if (HasMemoText(GetOnceEntry(nDay)) || HasMemoText(GetSolarYearlyEntry(nDay)) || HasMemoText(GetLunarEntry(nDay)))
        return m_clrDayText;
    if (cell.m_pszFestival)
        return m_clrHoliday;
    if (cell.m_nTerm != 0)
        return m_clrTerm;
    if (cell.m_nWeekday == 6)
        return m_clrSaturday;
    if (cell.m_nWeekday == 0)
        return m_clrHoliday;
    return m_clrDayText;
}

void CMonthView::DrawDayText(HDC dc, int nDay, int x, int y)
{
    const CDayCell& cell = m_cells[nDay];
    ::SetTextColor(dc, GetDayTextColor(nDay));
    SelectFontOnce(dc, cell.m_bMonthStart ? m_fontTextBold : m_fontText);
    const CTextFit* pFit = std::strlen(cell.m_szText) > kAlwaysFitsBytes
        ? &FitCellText(dc, cell.m_szText, cell.m_bMonthStart != 0)
        : nullptr;
    if (!pFit || !pFit->m_font) {
        TextOutGb(dc, x + kCellTextX, y + kCellTextY, cell.m_szText);
        return;
    }
    // Clipped to the cell as well: a face with no narrow or smaller form may fit no font tried.
    ::SelectObject(dc, pFit->m_font);
    const RECT clip = {x + 1, y, x + MONTH_CELL_WIDTH - 1, y + MONTH_CELL_HEIGHT};
    const std::wstring text = almanix::Wide(cell.m_szText);
    ::ExtTextOutW(dc, x + kCellTextX, y + kCellTextY + pFit->m_dy, ETO_CLIPPED, &clip, text.c_str(),
        static_cast<UINT>(text.size()), nullptr);
}

void CMonthView::DrawDayNumber(HDC dc, int nDay, int x, int y)
{
    char szNumber[8];
    std::snprintf(szNumber, sizeof szNumber, "%2d", nDay);
    ::SetTextColor(dc, GetDayTextColor(nDay));
    SelectFontOnce(dc, m_fontNumber);
    TextOutGb(dc, x + 10, y + 2, szNumber);
}

const CMonthView::CTextFit& CMonthView::FitCellText(HDC dc, const char* pszText, bool bBold)
{
    std::string key(1, bBold ? '1' : '0');
    key += pszText;
    auto found = m_textFits.find(key);
    if (found != m_textFits.end())
        return found->second;
    const int nWidth = GetTextExtentGb(dc, pszText).cx;
    const CTextFit fit = nWidth > kCellTextRoom ? FindNarrowerFont(dc, pszText, nWidth) : CTextFit{};
    return m_textFits.emplace(std::move(key), fit).first->second;
}

// Tries the cell font's face and weight at its own height and a few pixels less, each
// condensed through lfWidth as far as needed, and takes the widest that fits: the least
// squeezed. Every try is measured as drawn, so font linking and fallback faces count.
CMonthView::CTextFit CMonthView::FindNarrowerFont(HDC dc, const char* pszText, int nWidth)
{
    LOGFONTW lf = {};
    ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
    TEXTMETRICW tmCell = {};
    ::GetTextMetricsW(dc, &tmCell);

    struct Candidate {
        LONG height = 0;
        LONG width = 0;
        int extent = 0;
        LONG ascent = 0;
    };
    auto measure = [&](LONG height, LONG width) {
        LOGFONTW sized = lf;
        sized.lfHeight = height;
        sized.lfWidth = width;
        GdiObject<HFONT> font(::CreateFontIndirectW(&sized));
        SelectScope scope(dc, font);
        TEXTMETRICW tm = {};
        ::GetTextMetricsW(dc, &tm);
        const Candidate tried = {height, width, GetTextExtentGb(dc, pszText).cx, tm.tmAscent};
        return std::make_pair(tried, tm.tmAveCharWidth);
    };

    Candidate best;  // the widest that fits
    Candidate narrowest = {lf.lfHeight, 0, nWidth, tmCell.tmAscent};
    for (int step = 0; step <= kFitHeightSteps; ++step) {
        // A positive height is the cell height, a negative one the character height.
        const LONG height = lf.lfHeight >= 0 ? lf.lfHeight - step : lf.lfHeight + step;
        if (height == 0)
            break;
        auto [natural, average] = step == 0 ? std::make_pair(narrowest, tmCell.tmAveCharWidth) : measure(height, 0);
        if (natural.extent <= kCellTextRoom) {
            if (natural.extent > best.extent)
                best = natural;
            continue;
        }
        // Glyphs widen with lfWidth, roughly in proportion to it against the average width;
        // below half the average a text is no longer read at a glance.
        const LONG guess = average * kCellTextRoom / natural.extent + 1;
        for (LONG width = guess; width >= 1 && width * 2 >= average; --width) {
            const Candidate condensed = measure(height, width).first;
            if (condensed.extent < narrowest.extent)
                narrowest = condensed;
            if (condensed.extent <= kCellTextRoom) {
                if (condensed.extent > best.extent)
                    best = condensed;
                break;
            }
        }
    }
    const Candidate& chosen = best.extent > 0 ? best : narrowest;
    CFont& font = m_fitFonts[std::make_tuple(chosen.height, chosen.width, lf.lfWeight)];
    if (!font.Get()) {
        LOGFONTW made = lf;
        made.lfHeight = chosen.height;
        made.lfWidth = chosen.width;
        font.Reset(::CreateFontIndirectW(&made));
    }
    return CTextFit{font.Get(), static_cast<int>(tmCell.tmAscent - chosen.ascent)};
}

void CMonthView::DrawHolidayMark(HDC dc, int nDay, int x, int y)
{
    const CDayCell& cell = m_cells[nDay];
    if (cell.m_nHoliday == HOLIDAY_NONE)
        return;
    // A badge of its own colour inside a white rim reads on the cell colour, on every memo
    // colour and across the ring of the selected day.
    const int xRight = x + MONTH_CELL_WIDTH;
    FillSolid(dc, RECT{xRight - HOLIDAY_MARK_SIZE - 2, y, xRight, y + HOLIDAY_MARK_SIZE + 2}, RGB(255, 255, 255));
    RECT badge = {xRight - HOLIDAY_MARK_SIZE - 1, y + 1, xRight - 1, y + HOLIDAY_MARK_SIZE + 1};
    FillSolid(dc, badge, cell.m_nHoliday == HOLIDAY_OFF ? m_clrOffMark : m_clrWorkMark);
    SelectFontOnce(dc, m_fontMark);
    ::SetTextColor(dc, RGB(255, 255, 255));
    DrawTextGb(
        dc, cell.m_nHoliday == HOLIDAY_OFF ? "休" : "班", &badge, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
}
