#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "controls/label.h"
#include "framework/gdi.h"
#include "framework/wnd.h"
#include "window_png.h"

namespace {

const COLORREF kStrip = RGB(50, 80, 90);
const COLORREF kStripText = RGB(189, 183, 107);
const COLORREF kParentPaint = RGB(0, 200, 0);

// The window the controls live in; it paints nothing itself.
class CHostWnd : public CWnd {
public:
    BOOL Create()
    {
        RECT rc = {300, 300, 700, 500};
        return CreateEx(0, L"AlmanixControlsTestHost", "host", WS_POPUP | WS_VISIBLE, rc, nullptr, 0, nullptr,
            ::GetSysColorBrush(COLOR_BTNFACE));
    }
};

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Keep the real pointer away from the windows; the tests move the mouse by messages.
        ::SetCursorPos(0, 0);
        ASSERT_TRUE(m_host.Create());
        DropNotifications();
    }

    // Posted WM_CTRLNOTIFY messages waiting for the host, taken off its queue.
    std::vector<MSG> TakeNotifications()
    {
        std::vector<MSG> got;
        MSG msg;
        while (::PeekMessageW(&msg, m_host, WM_CTRLNOTIFY, WM_CTRLNOTIFY, PM_REMOVE))
            got.push_back(msg);
        return got;
    }
    void DropNotifications() { TakeNotifications(); }

    static void MouseMove(const CWnd& wnd, int x, int y) { wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
    static void ButtonUp(const CWnd& wnd, int x, int y) { wnd.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

    CHostWnd m_host;
};

SIZE ClientSize(HWND hwnd)
{
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    return {rc.right, rc.bottom};
}

POINT PosInParent(HWND hwnd)
{
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    POINT pt = {rc.left, rc.top};
    ::ScreenToClient(::GetParent(hwnd), &pt);
    return pt;
}

// The control's picture through WM_PRINTCLIENT, over a parent that painted kParentPaint.
void PrintInto(const CWnd& wnd, CMemoryDC& dc)
{
    RECT all = {0, 0, dc.Width(), dc.Height()};
    CBrush green(::CreateSolidBrush(kParentPaint));
    ::FillRect(dc, &all, green);
    wnd.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), PRF_CLIENT);
}

int CountPixels(const CMemoryDC& dc, const RECT& rc, COLORREF color)
{
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            n += dc.Pixel(x, y) == color;
    return n;
}

bool SamePicture(const CMemoryDC& a, const CMemoryDC& b)
{
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y))
                return false;
    return true;
}

TEST_F(ControlsTest, HoverButtonHighlightsWhileThePointerIsOverIt)
{
    CHoverButton btn;
    ASSERT_TRUE(btn.Create({10, 10, 60, 30}, &m_host, 1044, kStrip, kStripText, 100, "楷体_gb2312"));
    btn.SetText("上月", true);
    btn.UpdateWindow();
    SIZE size = ClientSize(btn);

    MouseMove(btn, 3, 3);
    EXPECT_TRUE(btn.HasCapture());
    EXPECT_TRUE(btn.IsHover());
    EXPECT_EQ(btn.GetTextColor(), RGB(255, 64, 64));
    CMemoryDC lit(size.cx, size.cy);
    PrintInto(btn, lit);
    EXPECT_GT(CountPixels(lit, {0, 0, size.cx, size.cy}, RGB(255, 64, 64)), 0);

    // Moves inside change nothing; the right and bottom edges are outside.
    MouseMove(btn, size.cx - 1, size.cy - 1);
    EXPECT_TRUE(btn.IsHover());
    MouseMove(btn, size.cx, 2);
    EXPECT_FALSE(btn.HasCapture());
    EXPECT_FALSE(btn.IsHover());
    EXPECT_EQ(btn.GetTextColor(), kStripText);

    // Coming back from the left, leaving upwards (negative client coordinates).
    MouseMove(btn, 0, 0);
    EXPECT_EQ(btn.GetTextColor(), RGB(255, 64, 64));
    MouseMove(btn, 2, -1);
    EXPECT_EQ(btn.GetTextColor(), kStripText);
    EXPECT_TRUE(TakeNotifications().empty());
}

TEST_F(ControlsTest, ButtonUpPostsOneNotificationToTheParent)
{
    CHoverButton btn;
    ASSERT_TRUE(
        btn.Create({10, 10, 60, 30}, &m_host, 1054, GetSysColor(COLOR_BTNFACE), RGB(0, 0, 208), 100, "楷体_gb2312"));
    btn.SetText("下一篇", true);
    btn.UpdateWindow();

    MouseMove(btn, 4, 4);
    btn.UpdateWindow();
    ButtonUp(btn, 4, 4);
    EXPECT_FALSE(btn.HasCapture());
    EXPECT_FALSE(btn.IsHover());
    EXPECT_EQ(btn.GetTextColor(), RGB(0, 0, 208));
    // Queued, not sent; and no repaint is asked for: the highlight stays until the next paint.
    std::vector<MSG> got = TakeNotifications();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].hwnd, m_host.m_hWnd);
    EXPECT_EQ(got[0].wParam, 1054u);
    EXPECT_EQ(got[0].lParam, 0);
    EXPECT_FALSE(::GetUpdateRect(btn, nullptr, FALSE));

    // A release that arrives without a move first (the button went down elsewhere) is a click
    // too, and one per release.
    ButtonUp(btn, 1, 1);
    ButtonUp(btn, 1, 1);
    EXPECT_EQ(TakeNotifications().size(), 2u);
    EXPECT_EQ(btn.GetTextColor(), RGB(0, 0, 208));
}

// A swatch recoloured after its click keeps the new colour through a release that was never
// preceded by a highlight.
TEST_F(ControlsTest, ReleaseWithoutHighlightKeepsTheTextColour)
{
    CHoverButton swatch;
    ASSERT_TRUE(swatch.Create(
        {340, 10, 365, 30}, &m_host, 1049, GetSysColor(COLOR_BTNFACE), RGB(0, 0, 255), 120, "楷体_gb2312"));
    swatch.SetText("■", true);
    ButtonUp(swatch, 2, 2);
    EXPECT_EQ(swatch.GetTextColor(), RGB(0, 0, 255));
    MouseMove(swatch, 2, 2);
    ButtonUp(swatch, 2, 2);
    swatch.SetTextColor(RGB(10, 20, 30));
    ButtonUp(swatch, 2, 2);
    EXPECT_EQ(swatch.GetTextColor(), RGB(10, 20, 30));
    EXPECT_EQ(TakeNotifications().size(), 3u);
}

TEST_F(ControlsTest, HighlightSurvivesALostCaptureAndStillRestoresTheFirstColour)
{
    CHoverButton btn;
    ASSERT_TRUE(btn.Create({10, 10, 60, 30}, &m_host, 105, kStrip, kStripText, 100, "楷体_gb2312"));
    btn.SetText("返回", true);
    btn.UpdateWindow();
    MouseMove(btn, 2, 2);
    m_host.SetCapture();  // another window takes the mouse
    EXPECT_TRUE(btn.IsHover());
    EXPECT_EQ(btn.GetTextColor(), RGB(255, 64, 64));
    MouseMove(btn, 3, 3);  // back over the button: capture again, colour not saved anew
    EXPECT_TRUE(btn.HasCapture());
    MouseMove(btn, -1, 3);
    EXPECT_EQ(btn.GetTextColor(), kStripText);
    ::ReleaseCapture();
}

TEST_F(ControlsTest, PlainLabelNeverNotifiesNorCaptures)
{
    CLabel title;
    ASSERT_TRUE(
        title.Create({0, 219, 203, 258}, &m_host, static_cast<UINT>(-1), RGB(255, 215, 0), RGB(0, 0, 0), 110, "宋体"));
    title.SetText("甲辰年【龙年】", true);
    MouseMove(title, 2, 2);
    ButtonUp(title, 2, 2);
    EXPECT_FALSE(title.HasCapture());
    EXPECT_EQ(title.GetTextColor(), RGB(0, 0, 0));
    EXPECT_TRUE(TakeNotifications().empty());
}

TEST_F(ControlsTest, CreateGivesAHiddenChildWithAPointSizeFont)
{
    CLabel label;
    ASSERT_TRUE(label.Create({12, 7, 80, 40}, &m_host, 1053, RGB(1, 2, 3), RGB(0, 0, 208), 110, "宋体"));
    EXPECT_FALSE(label.IsWindowVisible());
    EXPECT_EQ(::GetWindowLongW(label, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_BORDER), static_cast<LONG>(WS_CHILD));
    EXPECT_EQ(::GetDlgCtrlID(label), 1053);
    EXPECT_EQ(PosInParent(label).x, 12);
    LOGFONTW lf = {};
    ::GetObjectW(label.GetFont(), sizeof(lf), &lf);
    HDC screen = ::GetDC(nullptr);
    int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(lf.lfHeight, -(dpi * 110 / 720));

    // Without a text it stays hidden; SetText with bShow false never shows it.
    label.SetText("农历", false);
    EXPECT_FALSE(label.IsWindowVisible());
    label.SetText("农历", true);
    EXPECT_TRUE(label.IsWindowVisible());
    label.SetText("公历", false);
    EXPECT_TRUE(label.IsWindowVisible());

    CLabel orphan;  // a child without a parent cannot be made
    EXPECT_FALSE(orphan.Create({0, 0, 10, 10}, nullptr, 1, 0, 0, 100, "宋体"));
    EXPECT_EQ(orphan.m_hWnd, nullptr);
}

// Every text fits its window after a paint and is drawn line by line, exactly as a plain
// TextOut of each line would draw it: "&" is a character, and CR LF, a lone LF and a lone CR
// all end a line, in measuring and drawing alike.
TEST_F(ControlsTest, AutoSizeAndPictureFollowTheLines)
{
    struct Case {
        const char* text;
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
        {"上月", {L"上月"}},
        {"", {L""}},
        {"A&B", {L"A&B"}},
        {"&&x", {L"&&x"}},
        {"甲\r\n乙丙丁", {L"甲", L"乙丙丁"}},
        {"甲\r\n", {L"甲", L""}},
        {"上\n下", {L"上", L"下"}},
        {"上\r下", {L"上", L"下"}},
        {"a\r\n\r\nb", {L"a", L"", L"b"}},
        {"a\n\r\nb", {L"a", L"", L"b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CLabel label;
        ASSERT_TRUE(label.Create({20, 30, 300, 100}, &m_host, 1052, RGB(255, 215, 0), RGB(0, 0, 0), 110, "宋体"));
        label.SetText(c.text, true);
        label.UpdateWindow();

        int width = 0, lineHeight = 0;
        {
            CMemoryDC probe(1, 1);
            SelectScope font(probe, label.GetFont());
            TEXTMETRICW tm;
            ::GetTextMetricsW(probe, &tm);
            lineHeight = tm.tmHeight;
            for (const std::wstring& line : c.lines) {
                SIZE ext = {0, 0};
                ::GetTextExtentPoint32W(probe, line.c_str(), static_cast<int>(line.size()), &ext);
                width = std::max(width, static_cast<int>(ext.cx));
            }
        }
        int height = lineHeight * static_cast<int>(c.lines.size());
        SIZE size = ClientSize(label);
        EXPECT_EQ(size.cx, width);
        EXPECT_EQ(size.cy, height);
        POINT pos = PosInParent(label);
        EXPECT_EQ(pos.x, 20);  // the top-left corner never moves
        EXPECT_EQ(pos.y, 30);
        EXPECT_EQ(label.GetRect().right, 20 + width);
        EXPECT_EQ(label.GetRect().bottom, 30 + height);

        CMemoryDC drawn(width + 8, height + 8);
        PrintInto(label, drawn);
        CMemoryDC expected(width + 8, height + 8);
        RECT all = {0, 0, expected.Width(), expected.Height()};
        CBrush green(::CreateSolidBrush(kParentPaint));
        ::FillRect(expected, &all, green);
        {
            SelectScope font(expected, label.GetFont());
            ::SetBkColor(expected, RGB(255, 215, 0));
            ::SetTextColor(expected, RGB(0, 0, 0));
            int y = 0;
            for (const std::wstring& line : c.lines) {
                ::TextOutW(expected, 0, y, line.c_str(), static_cast<int>(line.size()));
                y += lineHeight;
            }
        }
        EXPECT_TRUE(SamePicture(drawn, expected));
    }
}

TEST_F(ControlsTest, LabelFillsOnlyItsGlyphCells)
{
    CLabel label;
    ASSERT_TRUE(label.Create({4, 4, 200, 60}, &m_host, 1044, kStrip, kStripText, 100, "楷体_gb2312"));
    label.SetText("上月", true);
    label.UpdateWindow();
    SIZE size = ClientSize(label);
    ASSERT_GT(size.cx, 0);
    CMemoryDC dc(size.cx + 10, size.cy + 10);
    PrintInto(label, dc);
    RECT cells = {0, 0, size.cx, size.cy};
    int background = CountPixels(dc, cells, kStrip);
    int ink = size.cx * size.cy - background;
    EXPECT_GT(background, ink);  // mostly background, with strokes in it
    EXPECT_GT(CountPixels(dc, cells, kStripText), 0);
    EXPECT_EQ(CountPixels(dc, cells, kParentPaint), 0);
    // Beyond the cells the parent's picture stays.
    EXPECT_EQ(CountPixels(dc, {size.cx, 0, size.cx + 10, size.cy + 10}, kParentPaint), 10 * (size.cy + 10));
    EXPECT_EQ(CountPixels(dc, {0, size.cy, size.cx, size.cy + 10}, kParentPaint), 10 * size.cx);

    CHoverButton next;
    ASSERT_TRUE(
        next.Create({60, 4, 200, 60}, &m_host, 1054, GetSysColor(COLOR_BTNFACE), RGB(0, 0, 208), 100, "楷体_gb2312"));
    next.SetText("下一篇", true);
    m_host.UpdateWindow();
    next.UpdateWindow();
    SaveWindowPng(m_host, L"controls_label");
}

TEST_F(ControlsTest, MeasureTextCountsLinesOfTheLineHeight)
{
    CMemoryDC dc(1, 1);
    CFont font;
    ASSERT_TRUE(font.CreateFont(15, FW_NORMAL, "宋体"));
    SelectScope sel(dc, font);
    int lineHeight = GetTextExtentGb(dc, "a").cy;
    struct Case {
        const char* text;
        std::vector<const char*> lines;
    };
    const Case cases[] = {
        {"", {""}},
        {"a", {"a"}},
        {"a\r\n乙丙丁", {"a", "乙丙丁"}},
        {"乙丙丁\r\n", {"乙丙丁", ""}},
        {"\r\n\r\n", {"", "", ""}},
        {"ab\nb\rc\tW", {"ab", "b", "c\tW"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int width = 0;
        for (const char* line : c.lines)
            width = std::max(width, static_cast<int>(GetTextExtentGb(dc, line).cx));
        int cx = -1, cy = -1;
        MeasureText(dc, c.text, &cx, &cy);
        EXPECT_EQ(cx, width);
        EXPECT_EQ(cy, lineHeight * static_cast<int>(c.lines.size()));
    }
}

}  // namespace
