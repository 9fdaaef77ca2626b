// The tip box of the month view: a borderless yellow pop-up with red text, sized to its text
// and placed just below the mouse pointer. The month view decides what it shows and when.
#pragma once

#include <cstddef>

#include "framework/dialog.h"
#include "framework/gdi.h"

// Tip texts are handed from the month view to the tip window, which frees them. Both sides go
// through this pair (the C heap: malloc and free) so that neither can use another allocator.
char* AllocTipText(size_t size);
void FreeTipText(char* text);

// Tests count allocations and frees by replacing the pair; null functions restore the C heap.
struct TipTextHeap {
    char* (*alloc)(size_t size);
    void (*free)(char* text);
};
void SetTipTextHeap(const TipTextHeap& heap);

// Where a box of cx x cy for the pointer at screen point (x, y) goes: left x - cx/2 + 2, top
// y + 12, unless that leaves the work area (of the pointer's monitor): then above the pointer
// (bottom y - 12) where it reaches below, and moved in from the left and right edges. A box
// larger than the work area keeps its top-left corner on it.
POINT PlaceInWorkArea(int x, int y, int cx, int cy, const RECT& work);

class CDayTipWnd : public CDialog {
public:
    // The object for template 243; the owner then creates the window (hidden) with
    // Create(IDD_DAYTIP, owner).
    explicit CDayTipWnd(CWnd* pParent = nullptr);
    // Frees the text it still owns.
    ~CDayTipWnd() override;

    // Takes text (lines separated by CR LF) and places the window by the pointer at screen
    // point (x, y) (PlaceInWorkArea), exactly the text's size w x h. Ownership of
    // text passes to the tip when len > 0 (it was allocated with AllocTipText); with len 0 the
    // caller keeps its buffer and the tip shows nothing. The previous owned text is freed first;
    // null empties the tip. Neither shows nor hides the window. Returns 0.
    int SetTip(char* text, int len, int x, int y);
    // SetTip, and the tip shown on top without activation, in the same window operation.
    int ShowTip(char* text, int len, int x, int y);

    const char* GetText() const { return m_pText; }
    int GetTextLength() const { return m_nTextLen; }
    SIZE GetTextSize() const { return m_size; }
    HFONT GetFont() const { return m_font; }

    // The box and its text into any DC (the paint DC, or a memory DC through WM_PRINTCLIENT).
    void Paint(HDC dc);

    BEGIN_MSG_MAP(CDayTipWnd)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_PRINTCLIENT(OnPrintClient)
        MESSAGE_HANDLER_EX(WM_DISPLAYCHANGE, OnScreenChange)
        MESSAGE_HANDLER_EX(WM_SETTINGCHANGE, OnScreenChange)
    END_MSG_MAP()

    BOOL OnInitDialog() override;

protected:
    void OnPaint();
    void OnPrintClient(HDC dc) { Paint(dc); }
    LRESULT OnScreenChange(WPARAM, LPARAM);

    // The work area of the monitor that holds screen point pt, asked of the system only for
    // another monitor or after the screen changed: under Wine the asking costs as much as
    // measuring the tip's text.
    const RECT& WorkAreaAt(POINT pt);

    int PlaceTip(char* text, int len, int x, int y, HWND after, UINT flags);

    char* m_pText;
    int m_nTextLen = 0;
    CFont m_font;
    COLORREF m_bkColor = RGB(255, 255, 0);
    COLORREF m_textColor = RGB(255, 0, 0);
    SIZE m_size = {0, 0};
    HDC m_hMeasureDC = nullptr;  // with m_font selected; made at the first measuring
    RECT m_rcMonitor = {0, 0, 0, 0};  // empty: not asked yet
    RECT m_rcWork = {0, 0, 0, 0};
};
