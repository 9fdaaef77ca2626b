// Self-drawn text controls: CLabel draws one text in its own font and colours and fits its
// window to the text; CHoverButton turns light red under the pointer and reports clicks to its
// parent with WM_CTRLNOTIFY.
#pragma once

#include <string>
#include <string_view>

#include "framework/gdi.h"
#include "framework/wnd.h"

// Posted (never sent) by a CHoverButton to its parent on every left-button release:
// wParam = the control's identifier, lParam = 0.
constexpr UINT WM_CTRLNOTIFY = WM_USER + 101;

// Size of a multi-line text in the font selected into dc: *pcx is the widest line, *pcy the
// line count times the height of "a". CR LF, a lone CR and a lone LF each end a line (the
// program writes CR LF); an empty text, or an empty last line after a break, is one line.
// No tab expansion and no prefix processing: "&" is measured like any character.
void MeasureText(HDC dc, std::string_view text, int* pcx, int* pcy);

// Draws a text line by line, exactly as MeasureText measures it: left-aligned from the top of
// rc, clipped to rc, no prefix processing. The DC's background mode and colours apply.
void DrawTextLines(HDC dc, std::string_view text, const RECT& rc);

class CLabel : public CWnd {
public:
    CLabel() = default;
    ~CLabel() override = default;

    // A hidden child window at rect in pParent's client coordinates. nPointSize is in tenths
    // of a point (100 = 10 pt); a missing face falls back to an installed one. FALSE when the
    // window cannot be created; then no member is set.
    BOOL Create(const RECT& rect, CWnd* pParent, UINT nID, COLORREF bkColor, COLORREF textColor, int nPointSize,
        LPCSTR faceName);
    // Sets the text (GB18030 bytes, CR LF between lines), fits the window to it at once and
    // from now on at every paint; the top-left corner stays. bShow shows the window; false
    // never hides.
    void SetText(LPCSTR text, bool bShow);
    void SetTextColor(COLORREF color);
    // The widest the window may grow; a longer text is clipped there. 0: no limit.
    void SetMaxWidth(int cx);

    const std::string& GetText() const { return m_strText; }
    COLORREF GetTextColor() const { return m_textColor; }
    COLORREF GetBkColor() const { return m_bkColor; }
    HFONT GetFont() const { return m_font; }
    UINT GetID() const { return m_nID; }
    const RECT& GetRect() const { return m_rect; }

    // The picture of the control into any DC (the paint DC, or a memory DC through
    // WM_PRINTCLIENT): fits the window first when auto-sizing, then draws the text cells.
    void Paint(HDC dc);

    BEGIN_MSG_MAP(CLabel)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
    END_MSG_MAP()

protected:
    void OnPaint();
    void OnPrintClient(HDC dc) { Paint(dc); }
    // Sizes the window to the text in the font selected into dc; the top-left corner stays.
    void FitToText(HDC dc);
    // FitToText in the window's own DC, and a repaint asked for.
    void FitNow();

    RECT m_rect = {0, 0, 0, 0};
    std::string m_strText;
    COLORREF m_textColor = RGB(0, 0, 0);
    COLORREF m_bkColor = RGB(255, 255, 255);
    CFont m_font;
    UINT m_nID = 0;
    bool m_bAutoSize = false;
    int m_nMaxWidth = 0;
};

class CHoverButton : public CLabel {
public:
    static constexpr COLORREF kHighlightColor = RGB(255, 64, 64);

    bool IsHover() const { return m_bHover; }

    BEGIN_MSG_MAP(CHoverButton)
        MSG_WM_MOUSEMOVE(OnMouseMove)
        MSG_WM_LBUTTONUP(OnLButtonUp)
        CHAIN_MSG_MAP(CLabel)
    END_MSG_MAP()

protected:
    void OnMouseMove(UINT flags, POINT pt);
    void OnLButtonUp(UINT flags, POINT pt);

    bool m_bHover = false;
    // The colour to return to when the highlight ends; only read while m_bHover is set.
    COLORREF m_normalColor = RGB(0, 0, 0);
};
