#include "controls/day_tip.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "controls/label.h"
#include "resource.h"

namespace {

TipTextHeap g_tipHeap = {nullptr, nullptr};
char g_emptyText[1] = {'\0'};

}  // namespace

POINT PlaceInWorkArea(int x, int y, int cx, int cy, const RECT& wa)
{
    POINT at = {x - cx / 2 + 2, y + 12};
    if (::IsRectEmpty(&wa))
        return at;
    // Below the pointer the box would leave the screen: above it, clear of the pointer.
    if (at.y + cy > wa.bottom)
        at.y = y - 12 - cy;
    at.y = std::max(std::min(at.y, static_cast<LONG>(wa.bottom - cy)), wa.top);
    at.x = std::max(std::min(at.x, static_cast<LONG>(wa.right - cx)), wa.left);
    return at;
}

char* AllocTipText(size_t size)
{
    return g_tipHeap.alloc ? g_tipHeap.alloc(size) : static_cast<char*>(std::malloc(size));
}

void FreeTipText(char* text)
{
    if (g_tipHeap.free)
        g_tipHeap.free(text);
    else
        std::free(text);
}

void SetTipTextHeap(const TipTextHeap& heap)
{
    g_tipHeap = heap;
}

CDayTipWnd::CDayTipWnd(CWnd* pParent) : CDialog(IDD_DAYTIP, pParent), m_pText(g_emptyText)
{
    m_font.CreateFont(15, FW_NORMAL, "宋体", ANSI_CHARSET);
}

CDayTipWnd::~CDayTipWnd()
{
    if (m_hMeasureDC)
        ::DeleteDC(m_hMeasureDC);
    if (m_nTextLen > 0)
        FreeTipText(m_pText);
}

BOOL CDayTipWnd::OnInitDialog()
{
    CDialog::OnInitDialog();
    return TRUE;
}

int CDayTipWnd::SetTip(char* text, int len, int x, int y)
{
    return PlaceTip(text, len, x, y, nullptr, SWP_NOZORDER | SWP_NOACTIVATE);
}

int CDayTipWnd::ShowTip(char* text, int len, int x, int y)
{
    // Without activation: a tip must not take the keyboard from the window in use.
    return PlaceTip(text, len, x, y, HWND_TOP, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

int CDayTipWnd::PlaceTip(char* text, int len, int x, int y, HWND after, UINT flags)
{
    const std::string_view oldText(m_pText, strnlen(m_pText, static_cast<size_t>(m_nTextLen)));
    const bool bSameText = text && len > 0 && oldText == std::string_view(text, strnlen(text, static_cast<size_t>(len)));
    if (m_nTextLen > 0)
        FreeTipText(m_pText);
    // A buffer that is not handed over stays the caller's: keep no pointer into it.
    if (text && len > 0) {
        m_pText = text;
        m_nTextLen = len;
    } else {
        m_pText = g_emptyText;
        m_nTextLen = 0;
    }

    int cx = 0, cy = 0;
    // A DC of its own with the font kept selected: under Wine a window's DC and a font
    // selection cost more than measuring the text.
    if (!m_hMeasureDC && (m_hMeasureDC = ::CreateCompatibleDC(nullptr)) != nullptr)
        ::SelectObject(m_hMeasureDC, m_font);
    if (m_hMeasureDC)
        MeasureText(m_hMeasureDC, std::string_view(m_pText, strnlen(m_pText, static_cast<size_t>(m_nTextLen))), &cx, &cy);
    m_size = {cx, cy};
    if (m_hWnd) {
        // Also the window's text, where screen readers and other programs read it.
        if (!bSameText)
            SetWindowText(std::string(m_pText, strnlen(m_pText, static_cast<size_t>(m_nTextLen))).c_str());
        // While on show the box only grows: under Wine a resize costs three moves, and the
        // pointer crossing the grid would resize it at nearly every day. Shown anew, it fits
        // its text again.
        const bool bShown = IsWindowVisible() != FALSE;
        RECT now;
        GetWindowRect(&now);
        const int wcx = bShown ? std::max(cx, static_cast<int>(now.right - now.left)) : cx;
        const int wcy = bShown ? std::max(cy, static_cast<int>(now.bottom - now.top)) : cy;
        const POINT at = PlaceInWorkArea(x, y, wcx, wcy, WorkAreaAt(POINT{x, y}));
        // Placing and showing are one window operation: each costs about as much as both. A
        // tip already on show only moves: raising it again would restack its owner too.
        if (bShown && (flags & SWP_SHOWWINDOW)) {
            after = nullptr;
            flags = (flags & ~SWP_SHOWWINDOW) | SWP_NOZORDER;
        }
        const RECT want = {at.x, at.y, at.x + wcx, at.y + wcy};
        if (!::EqualRect(&now, &want) || !bShown || (flags & SWP_SHOWWINDOW))
            SetWindowPos(after, at.x, at.y, wcx, wcy, flags);
        Invalidate(FALSE);
    }
    return 0;
}

LRESULT CDayTipWnd::OnScreenChange(WPARAM, LPARAM)
{
    ::SetRectEmpty(&m_rcMonitor);
    return 0;
}

const RECT& CDayTipWnd::WorkAreaAt(POINT pt)
{
    if (!::PtInRect(&m_rcMonitor, pt)) {
        MONITORINFO mi = {};
        mi.cbSize = sizeof mi;
        if (::GetMonitorInfoW(::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &mi)) {
            m_rcMonitor = mi.rcMonitor;
            m_rcWork = mi.rcWork;
        } else {
            ::SetRectEmpty(&m_rcMonitor);
            ::SetRectEmpty(&m_rcWork);
        }
    }
    return m_rcWork;
}

void CDayTipWnd::OnPaint()
{
    CPaintDC dc(m_hWnd);
    Paint(dc);
}

void CDayTipWnd::Paint(HDC dc)
{
    SelectScope font(dc, m_font);
    RECT rc;
    GetClientRect(&rc);
    // The whole box: it may be larger than its text (see PlaceTip).
    rc.right = std::max(rc.right, static_cast<LONG>(m_size.cx));
    rc.bottom = std::max(rc.bottom, static_cast<LONG>(m_size.cy));
    {
        CBrush brush(::CreateSolidBrush(m_bkColor));
        ::FillRect(dc, &rc, brush);
    }
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, m_textColor);
    DrawTextLines(dc, std::string_view(m_pText, strnlen(m_pText, static_cast<size_t>(m_nTextLen))), rc);
}
