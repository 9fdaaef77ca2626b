#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "controls/day_tip.h"
#include "framework/gdi.h"
#include "framework/wnd.h"
#include "resource.h"
#include "window_png.h"

namespace {

const COLORREF kYellow = RGB(255, 255, 0);
const COLORREF kRed = RGB(255, 0, 0);

class CTipOwner : public CWnd {
public:
    BOOL Create()
    {
        RECT rc = {100, 100, 463, 378};
        return CreateEx(0, L"AlmanixTipTestOwner", "owner", WS_POPUP | WS_VISIBLE, rc, nullptr, 0);
    }
};

// Counts what goes through the tip-text heap: every pointer handed out, and its frees.
struct HeapLedger {
    std::map<char*, int> frees;  // allocated pointer -> times freed
    int unknownFrees = 0;
};
HeapLedger* g_ledger = nullptr;

char* CountingAlloc(size_t size)
{
    char* p = static_cast<char*>(std::malloc(size));
    g_ledger->frees[p] = 0;
    return p;
}

void CountingFree(char* p)
{
    auto it = g_ledger->frees.find(p);
    if (it == g_ledger->frees.end()) {
        ++g_ledger->unknownFrees;
        return;
    }
    // Freed pointers stay allocated, so a second free cannot meet a recycled address.
    ++it->second;
}

class DayTipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_ledger = &m_ledger;
        SetTipTextHeap({CountingAlloc, CountingFree});
        ASSERT_TRUE(m_owner.Create());
    }
    void TearDown() override
    {
        SetTipTextHeap({nullptr, nullptr});
        for (auto& entry : m_ledger.frees)
            std::free(entry.first);
        g_ledger = nullptr;
    }

    // A buffer as the month view makes it: from the tip-text heap, without a terminator.
    static char* Handed(const char* text)
    {
        size_t n = std::strlen(text);
        char* p = AllocTipText(n);
        std::memcpy(p, text, n);
        return p;
    }

    // Extent of the lines in the tip's font: widest line, line count x cell height.
    static SIZE Expected(HFONT font, const std::vector<std::wstring>& lines)
    {
        CMemoryDC dc(1, 1);
        SelectScope sel(dc, font);
        TEXTMETRICW tm;
        ::GetTextMetricsW(dc, &tm);
        LONG width = 0;
        for (const std::wstring& line : lines) {
            SIZE ext = {0, 0};
            ::GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &ext);
            width = std::max(width, ext.cx);
        }
        return {width, tm.tmHeight * static_cast<LONG>(lines.size())};
    }

    HeapLedger m_ledger;
    CTipOwner m_owner;
};

RECT WindowRect(HWND hwnd)
{
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

TEST_F(DayTipTest, CreatedHiddenAsAnOwnedPopup)
{
    CDayTipWnd tip;
    ASSERT_TRUE(tip.Create(IDD_DAYTIP, &m_owner));
    EXPECT_FALSE(tip.IsWindowVisible());
    LONG style = ::GetWindowLongW(tip, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_BORDER | WS_CAPTION));
    EXPECT_EQ(::GetWindow(tip, GW_OWNER), m_owner.m_hWnd);
    EXPECT_EQ(::GetWindow(tip, GW_CHILD), nullptr);
    EXPECT_STREQ(tip.GetText(), "");
    LOGFONTW lf = {};
    ::GetObjectW(tip.GetFont(), sizeof(lf), &lf);
    EXPECT_EQ(lf.lfHeight, 15);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
}

// The box sits centred about 2 pixels right of the pointer and 12 below it, sized to the text,
// except where that leaves the screen's work area: near the bottom it goes above the pointer,
// near a side it moves in.
TEST_F(DayTipTest, PlacedByThePointerSizedToTheTextAndOnScreen)
{
    CDayTipWnd tip;
    ASSERT_TRUE(tip.Create(IDD_DAYTIP, &m_owner));
    RECT wa;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0));
    enum Where { Below, Above };
    struct Case {
        const char* text;
        std::vector<std::wstring> lines;
        int x, y;  // from the work area's top-left corner, or, negative, from its bottom-right
        Where where;
        bool atLeftEdge, atRightEdge;
    };
    const Case cases[] = {
        {"生日\r\n每周三开会，带上周报", {L"生日", L"每周三开会，带上周报"}, 400, 300, Below, false, false},
        {"生日\r\n每周三开会，带上周报", {L"生日", L"每周三开会，带上周报"}, 10, 5, Below, true, false},
        {"还书\r\n", {L"还书", L""}, 600, 500, Below, false, false},
        {"还书\n交费", {L"还书", L"交费"}, 300, 300, Below, false, false},
        {"A&B", {L"A&B"}, 300, 300, Below, false, false},
        {"生日\r\n每周三开会，带上周报", {L"生日", L"每周三开会，带上周报"}, -3, -20, Above, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const int x = c.x >= 0 ? wa.left + c.x : wa.right + c.x, y = c.y >= 0 ? wa.top + c.y : wa.bottom + c.y;
        EXPECT_EQ(tip.SetTip(Handed(c.text), static_cast<int>(std::strlen(c.text)), x, y), 0);
        SIZE size = Expected(tip.GetFont(), c.lines);
        EXPECT_EQ(tip.GetTextSize().cx, size.cx);
        EXPECT_EQ(tip.GetTextSize().cy, size.cy);
        RECT rc = WindowRect(tip);
        EXPECT_EQ(rc.left, c.atLeftEdge ? wa.left : c.atRightEdge ? wa.right - size.cx : x - size.cx / 2 + 2);
        EXPECT_EQ(rc.top, c.where == Below ? y + 12 : y - 12 - size.cy);
        EXPECT_EQ(rc.right - rc.left, size.cx);
        EXPECT_EQ(rc.bottom - rc.top, size.cy);
        EXPECT_FALSE(tip.IsWindowVisible());  // the month view shows it, not SetTip
    }
}

TEST_F(DayTipTest, EveryHandedBufferIsFreedExactlyOnce)
{
    std::vector<char*> handed;
    {
        CDayTipWnd tip;
        ASSERT_TRUE(tip.Create(IDD_DAYTIP, &m_owner));
        for (const char* text : {"一", "二二", "三三三"}) {
            handed.push_back(Handed(text));
            tip.SetTip(handed.back(), static_cast<int>(std::strlen(text)), 50, 50);
            EXPECT_EQ(tip.GetText(), handed.back());
        }
        EXPECT_EQ(m_ledger.frees[handed[0]], 1);
        EXPECT_EQ(m_ledger.frees[handed[1]], 1);
        EXPECT_EQ(m_ledger.frees[handed[2]], 0);

        // Null frees the last text and leaves the tip empty, one empty line high.
        tip.SetTip(nullptr, 0, 50, 50);
        EXPECT_EQ(m_ledger.frees[handed[2]], 1);
        EXPECT_STREQ(tip.GetText(), "");
        EXPECT_EQ(tip.GetTextLength(), 0);
        EXPECT_EQ(tip.GetTextSize().cx, 0);
        EXPECT_EQ(tip.GetTextSize().cy, Expected(tip.GetFont(), {L""}).cy);
        tip.SetTip(nullptr, 0, 50, 50);

        // A zero-length buffer stays the caller's: the tip neither frees nor keeps it.
        char* kept = Handed("x");
        tip.SetTip(kept, 0, 50, 50);
        EXPECT_STREQ(tip.GetText(), "");
        tip.SetTip(nullptr, 0, 50, 50);
        EXPECT_EQ(m_ledger.frees[kept], 0);
        FreeTipText(kept);

        // The text held at the end goes with the tip object, after its window.
        handed.push_back(Handed("四"));
        tip.SetTip(handed.back(), 2, 50, 50);
        tip.DestroyWindow();
        EXPECT_EQ(m_ledger.frees[handed.back()], 0);
    }
    for (char* p : handed)
        EXPECT_EQ(m_ledger.frees[p], 1);
    EXPECT_EQ(m_ledger.unknownFrees, 0);
}

TEST_F(DayTipTest, PaintsYellowBoxWithRedLines)
{
    CDayTipWnd tip;
    ASSERT_TRUE(tip.Create(IDD_DAYTIP, &m_owner));
    // The last CR LF adds an empty line: the box is a line taller, and that line is plain yellow.
    const char text[] = "生日\r\n还书A&B\r\n";
    tip.SetTip(Handed(text), static_cast<int>(std::strlen(text)), 300, 200);
    SIZE size = tip.GetTextSize();
    int lineHeight = size.cy / 3;
    ASSERT_EQ(size.cy, Expected(tip.GetFont(), {L"", L"", L""}).cy);

    CMemoryDC drawn(size.cx, size.cy);
    tip.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(static_cast<HDC>(drawn)), PRF_CLIENT);
    // What the box must look like: yellow, and each line in red as a plain TextOut draws it
    // ("&" shown as itself).
    CMemoryDC expected(size.cx, size.cy);
    RECT all = {0, 0, size.cx, size.cy};
    CBrush yellow(::CreateSolidBrush(kYellow));
    ::FillRect(expected, &all, yellow);
    {
        SelectScope font(expected, tip.GetFont());
        ::SetBkMode(expected, TRANSPARENT);
        ::SetTextColor(expected, kRed);
        ::TextOutW(expected, 0, 0, L"生日", 2);
        ::TextOutW(expected, 0, lineHeight, L"还书A&B", 5);
    }
    int red = 0, lastLineNotYellow = 0, differ = 0;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            COLORREF p = drawn.Pixel(x, y);
            red += p == kRed;
            lastLineNotYellow += y >= 2 * lineHeight && p != kYellow;
            differ += p != expected.Pixel(x, y);
        }
    EXPECT_GT(red, 0);
    EXPECT_EQ(lastLineNotYellow, 0);
    EXPECT_EQ(differ, 0);

    tip.ShowWindow(SW_SHOWNOACTIVATE);
    tip.UpdateWindow();
    SaveWindowPng(tip, L"day_tip");
}

}  // namespace
