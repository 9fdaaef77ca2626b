#include "controls/label.h"

#include <algorithm>

namespace {

const wchar_t kLabelClass[] = L"AlmanixLabel";

// Calls f(line) for every line of text. Lines end at CR LF, a lone CR or a lone LF, so that
// measuring and drawing always agree on where a line breaks.
template <class F> void ForEachLine(std::string_view text, F f)
{
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        f(text.substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    f(text.substr(start));
}

int LineHeight(HDC dc)
{
    return GetTextExtentGb(dc, "a").cy;
}

}  // namespace

void MeasureText(HDC dc, std::string_view text, int* pcx, int* pcy)
{
    int width = 0;
    int lines = 0;
    ForEachLine(text, [&](std::string_view line) {
        ++lines;
        if (!line.empty())
            width = std::max(width, static_cast<int>(GetTextExtentGb(dc, line).cx));
    });
    *pcx = width;
    *pcy = lines * LineHeight(dc);
}

void DrawTextLines(HDC dc, std::string_view text, const RECT& rc)
{
    int h = LineHeight(dc);
    int top = rc.top;
    ForEachLine(text, [&](std::string_view line) {
        if (top < rc.bottom && !line.empty()) {
            RECT lineRect = {rc.left, top, rc.right, std::min(top + h, static_cast<int>(rc.bottom))};
            // User texts: "&" is a character, not a mnemonic prefix.
            DrawTextGb(dc, line, &lineRect, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        }
        top += h;
    });
}

BOOL CLabel::Create(
    const RECT& rect, CWnd* pParent, UINT nID, COLORREF bkColor, COLORREF textColor, int nPointSize, LPCSTR faceName)
{
    HWND parent = pParent ? pParent->m_hWnd : nullptr;
    if (!CreateEx(0, kLabelClass, "", WS_CHILD, rect, parent, nID, ::LoadCursorW(nullptr, IDC_ARROW)))
        return FALSE;
    m_rect = rect;
    m_bkColor = bkColor;
    m_nID = nID;
    m_textColor = textColor;
    m_font.CreatePointFont(nPointSize, faceName);
    return TRUE;
}

void CLabel::SetText(LPCSTR text, bool bShow)
{
    // The same text again (the title at nearly every month switch): under Wine setting and
    // fitting it costs as much as the switch's own work.
    if (m_hWnd && m_bAutoSize && m_strText == (text ? text : "") && (!bShow || IsWindowVisible()))
        return;
    m_strText = text ? text : "";
    m_bAutoSize = true;
    // Also the window's text: screen readers and other programs read a control's text there.
    SetWindowText(m_strText.c_str());
    // Fitted now, before anything paints: a label that resized itself while painting made its
    // parent paint a second time, and a third with the next label.
    FitNow();
    if (bShow)
        ShowWindow(SW_SHOW);
}

void CLabel::SetMaxWidth(int cx)
{
    if (cx == m_nMaxWidth)
        return;
    m_nMaxWidth = cx;
    if (m_bAutoSize)
        FitNow();
}

void CLabel::FitNow()
{
    if (!m_hWnd)
        return;
    {
        CClientDC dc(m_hWnd);
        SelectScope font(dc, m_font);
        FitToText(dc);
    }
    Invalidate(FALSE);
}

void CLabel::SetTextColor(COLORREF color)
{
    m_textColor = color;
    Invalidate(FALSE);
}

void CLabel::FitToText(HDC dc)
{
    int cx = 0, cy = 0;
    MeasureText(dc, m_strText, &cx, &cy);
    if (m_nMaxWidth > 0 && cx > m_nMaxWidth)
        cx = m_nMaxWidth;
    RECT now;
    GetWindowRect(&now);
    ::MapWindowPoints(nullptr, GetParent(), reinterpret_cast<POINT*>(&now), 2);
    // Moving to the same place would only ask for another paint.
    if (now.left != m_rect.left || now.top != m_rect.top || now.right - now.left != cx || now.bottom - now.top != cy)
        MoveWindow(m_rect.left, m_rect.top, cx, cy, TRUE);
    m_rect.right = m_rect.left + cx;
    m_rect.bottom = m_rect.top + cy;
}

void CLabel::OnPaint()
{
    CPaintDC dc(m_hWnd);
    Paint(dc);
}

void CLabel::Paint(HDC dc)
{
    SelectScope font(dc, m_font);
    if (m_bAutoSize)
        FitToText(dc);
    RECT rc;
    GetClientRect(&rc);
    // Opaque: every glyph cell is filled with the background; nothing else is painted.
    ::SetBkMode(dc, OPAQUE);
    ::SetBkColor(dc, m_bkColor);
    ::SetTextColor(dc, m_textColor);
    DrawTextLines(dc, m_strText, rc);
}

void CHoverButton::OnMouseMove(UINT, POINT pt)
{
    if (HasCapture()) {
        RECT rc;
        GetWindowRect(&rc);
        ClientToScreen(&pt);
        if (!::PtInRect(&rc, pt)) {
            ::ReleaseCapture();
            m_bHover = false;
            m_textColor = m_normalColor;
            Invalidate(TRUE);
        }
    } else {
        // The pointer has just come over the control. If the highlight outlived a capture that
        // another window took, the colour saved at its start stays the one to return to.
        SetCapture();
        if (!m_bHover) {
            m_normalColor = m_textColor;
            m_textColor = kHighlightColor;
            Invalidate(TRUE);
            m_bHover = true;
        }
    }
    Default();
}

void CHoverButton::OnLButtonUp(UINT, POINT)
{
    if (HasCapture())
        ::ReleaseCapture();
    // Without a highlight the text colour is already the normal one. The highlight colour stays
    // on screen until the next paint.
    if (m_bHover)
        m_textColor = m_normalColor;
    m_bHover = false;
    if (HWND parent = GetParent())
        ::PostMessageW(parent, WM_CTRLNOTIFY, m_nID, 0);
    Default();
}
