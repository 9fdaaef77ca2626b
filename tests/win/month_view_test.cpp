#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "controls/day_tip.h"
#include "engine/solar_date.h"
#include "framework/gdi.h"
#include "framework/wnd.h"
#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "monthview/month_view.h"
#include "resource.h"
#include "window_png.h"
#include "memo_seed.h"
#include "scratch_folder.h"
#include "test_folders.h"

namespace {

const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kHeader = RGB(72, 61, 139);
const COLORREF kCell = RGB(245, 245, 230);
const COLORREF kGold = RGB(255, 215, 0);
const COLORREF kCyan = RGB(0, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 128, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kOnceDefault = RGB(135, 206, 250);
const COLORREF kLunarStar = RGB(128, 0, 255);
const COLORREF kCustomOnce = RGB(144, 238, 144);
const COLORREF kCustomWeekly = RGB(255, 128, 0);

const int kViewWidth = 363;
const int kViewHeight = 236;

// The main window as the view sees it: it records what the view asks of its "返回" button.
class COwnerWnd : public CWnd, public IMonthViewOwner {
public:
    std::vector<bool> todayCalls;

    BOOL Create()
    {
        RECT rc = {40, 40, 40 + kViewWidth, 40 + 278};
        return CreateEx(0, L"AlmanixMonthViewOwner", "owner", WS_POPUP, rc, nullptr, 0);
    }
    void ShowTodayButton(bool show) override { todayCalls.push_back(show); }
    void RunMemoDialog(MemoDialogKind kind) override { dialogCalls.push_back(kind); }
    std::vector<MemoDialogKind> dialogCalls;
};

struct OpenCall {
    HWND hwnd;
    std::wstring verb;
    std::wstring file;
    bool hasParameters;
    bool hasDirectory;
    int show;
};
std::vector<OpenCall> g_opens;

HINSTANCE WINAPI RecordOpen(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show)
{
    g_opens.push_back({hwnd, verb ? verb : L"", file ? file : L"", parameters != nullptr, directory != nullptr, show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));  // > 32: success
}

int g_tipAllocs = 0;
char* CountingAlloc(size_t size)
{
    ++g_tipAllocs;
    return static_cast<char*>(std::malloc(size));
}
void PlainFree(char* text)
{
    std::free(text);
}

std::vector<DWORD> PixelsOf(const CMemoryDC& dc)
{
    ::GdiFlush();
    return std::vector<DWORD>(dc.Bits(), dc.Bits() + dc.Width() * dc.Height());
}

// Pixels of colour c inside rc of a painted picture.
int CountColor(const CMemoryDC& dc, const RECT& rc, COLORREF c)
{
    ::GdiFlush();
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x) {
            if (x < 0 || y < 0 || x >= dc.Width() || y >= dc.Height())
                continue;
            DWORD p = dc.Bits()[static_cast<size_t>(y) * dc.Width() + x];
            // Glyph edges are smoothed towards the background: count pixels near the colour.
            int dr = static_cast<int>((p >> 16) & 0xFF) - GetRValue(c);
            int dg = static_cast<int>((p >> 8) & 0xFF) - GetGValue(c);
            int db = static_cast<int>(p & 0xFF) - GetBValue(c);
            if (dr * dr + dg * dg + db * db <= 40 * 40)
                ++n;
        }
    return n;
}

// Each test gets a fresh memo folder as the current directory, a main window and a view at
// the main window's place for it.
class MonthViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_opens.clear();
        ASSERT_TRUE(m_folder.PrepareMemos());
        ASSERT_TRUE(m_owner.Create());
        ASSERT_TRUE(m_view.Create({0, 22, kViewWidth, 22 + kViewHeight}, &m_owner, IDC_MONTH_VIEW, &m_owner));
    }
    void TearDown() override
    {
        SetSiteOpener(nullptr);
        SetTipTextHeap({nullptr, nullptr});
        m_view.DestroyWindow();
    }

    // February 2024 (day 1 a Thursday; 4 立春 on a Sunday, 9 除夕, 10 春节, 12 初三, 19 雨水,
    // 24 元宵节) with a memo of each kind, Tuesday the 27th selected.
    void ShowFebruary2024WithMemos()
    {
        PutMemo(2024, 2, 18, "看望外婆");                                 // a plain Sunday
        PutMemo(2024, 2, 10, "团圆饭", MEMO_CUSTOM_COLOR | kCustomOnce);  // 春节, a Saturday
        PutMemo(1, 2, 22, "纪念日");                                      // every 22 February
        PutMemo(0, 1, 5, "迎财神");                                       // 正月初五: the 14th
        PutMemo(0, 1, 17, "生日");                                        // 正月十七: the 26th
        PutWeekly(1, "周一例会", MEMO_CUSTOM_COLOR | kCustomWeekly);      // Mondays
        m_view.SetMonth(2024, 2, 27);
    }

    std::unique_ptr<CMemoryDC> PaintView()
    {
        auto dc = std::make_unique<CMemoryDC>(kViewWidth, kViewHeight);
        m_view.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(static_cast<HDC>(*dc)), PRF_CLIENT);
        return dc;
    }

    // The view with its two strip controls on top, as the screen shows it.
    std::unique_ptr<CMemoryDC> PaintViewWithControls()
    {
        auto dc = PaintView();
        for (CLabel* pControl : {static_cast<CLabel*>(&m_view.m_title), static_cast<CLabel*>(&m_view.m_siteLink)}) {
            // The first paint fits the control to its text; the second draws it there.
            CMemoryDC scratch(kViewWidth, kViewHeight);
            pControl->SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(static_cast<HDC>(scratch)), PRF_CLIENT);
            RECT rc;
            pControl->GetWindowRect(&rc);
            ::MapWindowPoints(nullptr, m_view.m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
            int saved = ::SaveDC(*dc);
            ::SetViewportOrgEx(*dc, rc.left, rc.top, nullptr);
            ::IntersectClipRect(*dc, 0, 0, rc.right - rc.left, rc.bottom - rc.top);
            pControl->SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(static_cast<HDC>(*dc)), PRF_CLIENT);
            ::RestoreDC(*dc, saved);
        }
        return dc;
    }

    // The cell of a day: its top-left corner, 51 x 32.
    RECT CellOf(int day) const
    {
        MonthPoint p;
        EXPECT_TRUE(m_view.GetCellOrigin(day, p));
        return {p.x, p.y + 1, p.x + 51, p.y + 33};
    }
    // Where the day number is drawn, "%2d" from (x + 10, y + 2) in a 17-pixel font; the
    // stars below it start at y + 15.
    RECT NumberOf(int day) const
    {
        RECT c = CellOf(day);
        return {c.left + 10, c.top + 2, c.left + 46, c.top + 14};
    }
    POINT InsideOf(int day) const
    {
        RECT c = CellOf(day);
        return {c.left + 20, c.top + 10};
    }

    void MoveTo(POINT pt) { m_view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y)); }
    void ClickAt(POINT pt) { m_view.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y)); }
    bool TipVisible() const { return m_view.m_pTip && ::IsWindowVisible(m_view.m_pTip->m_hWnd) != FALSE; }

    ScratchFolder m_folder{"almanix-view"};
    COwnerWnd m_owner;
    CMonthView m_view;
};

TEST_F(MonthViewTest, CreatesItsWindowAndStripControls)
{
    EXPECT_EQ(m_view.m_pParent, &m_owner);
    EXPECT_EQ(::GetParent(m_view.m_hWnd), m_owner.m_hWnd);
    EXPECT_EQ(::GetDlgCtrlID(m_view.m_hWnd), IDC_MONTH_VIEW);
    LONG style = ::GetWindowLongW(m_view.m_hWnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_POPUP), WS_CHILD | WS_VISIBLE);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(::GetClassLongPtrW(m_view.m_hWnd, GCLP_HBRBACKGROUND)),
        static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    RECT rc;
    m_view.GetClientRect(&rc);
    EXPECT_EQ(rc.right, kViewWidth);
    EXPECT_EQ(rc.bottom, kViewHeight);

    // Fonts by cell height: 17, 14, 14 bold, 19.
    struct FontCase {
        HFONT font;
        LONG height;
        LONG weight;
    };
    for (const FontCase& f : {FontCase{m_view.m_fontNumber, 17, FW_NORMAL}, FontCase{m_view.m_fontText, 14, FW_NORMAL},
             FontCase{m_view.m_fontTextBold, 14, FW_BOLD}, FontCase{m_view.m_fontSong, 19, FW_NORMAL}}) {
        LOGFONTW lf = {};
        ASSERT_NE(::GetObjectW(f.font, sizeof lf, &lf), 0);
        EXPECT_EQ(lf.lfHeight, f.height);
        EXPECT_EQ(lf.lfWeight, f.weight);
        EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET);
    }

    // Title and link in the strip, children of the view; the link shows "Qorvel" at once.
    EXPECT_EQ(m_view.m_title.GetParent(), m_view.m_hWnd);
    EXPECT_EQ(m_view.m_siteLink.GetParent(), m_view.m_hWnd);
    EXPECT_EQ(::GetDlgCtrlID(m_view.m_siteLink), IDC_SITE_LINK);
    EXPECT_EQ(m_view.m_siteLink.GetText(), "Qorvel");
    EXPECT_TRUE(::GetWindowLongW(m_view.m_siteLink, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(m_view.m_title.GetRect().left, 0);
    EXPECT_EQ(m_view.m_title.GetRect().top, 219);
    EXPECT_EQ(m_view.m_siteLink.GetRect().left, 243);
    EXPECT_EQ(m_view.m_siteLink.GetRect().top, 219);
    EXPECT_EQ(m_view.m_title.GetBkColor(), kGold);
    EXPECT_EQ(m_view.m_title.GetTextColor(), kBlack);
}

TEST_F(MonthViewTest, SetMonthRetitlesAndDrivesTheTodayButton)
{
    m_view.SetMonth(2024, 2, 27);
    EXPECT_EQ(m_view.m_title.GetText(), "癸卯【免】年－甲辰【龙】年");
    EXPECT_TRUE(::GetWindowLongW(m_view.m_title, GWL_STYLE) & WS_VISIBLE);
    m_view.SetMonth(2024, 3, 0);
    EXPECT_EQ(m_view.m_title.GetText(), "甲辰【龙】年");
    m_view.SetMonth(2024, 2, 0);
    EXPECT_EQ(m_owner.todayCalls, (std::vector<bool>{false, true, false}));
}

TEST_F(MonthViewTest, PaintsBackgroundsHeaderAndStrip)
{
    m_view.SetMonth(2024, 2, 27);
    auto dc = PaintView();
    EXPECT_EQ(dc->Pixel(50, 1), kHeader);
    EXPECT_EQ(dc->Pixel(362, 19), kHeader);
    EXPECT_EQ(dc->Pixel(10, 20), kBlack);   // between header and first row
    EXPECT_EQ(dc->Pixel(51, 40), kBlack);   // between two columns
    EXPECT_EQ(dc->Pixel(2, 22), kCell);     // an empty cell before day 1
    EXPECT_EQ(dc->Pixel(362, 217), kCell);  // an empty cell of the sixth row
    EXPECT_EQ(dc->Pixel(10, 218), kBlack);  // below the grid
    EXPECT_EQ(dc->Pixel(10, 219), kGold);
    EXPECT_EQ(dc->Pixel(300, 235), kGold);
    RECT eighth = CellOf(8);
    EXPECT_EQ(dc->Pixel(eighth.right - 2, eighth.bottom - 2), kCell);
}

// The number's colour, first rule that applies: memo, festival, solar term, Saturday, Sunday.
TEST_F(MonthViewTest, DayNumbersTakeTheirColours)
{
    ShowFebruary2024WithMemos();
    auto dc = PaintView();
    struct Case {
        int day;
        COLORREF color;
        const char* why;
    };
    const Case cases[] = {
        {25, kRed, "plain Sunday"},
        {4, kBlue, "solar term on a Sunday"},
        {17, kGreen, "plain Saturday"},
        {24, kRed, "festival on a Saturday"},
        {19, kBlue, "solar term on a Monday with a weekly memo"},
        {9, kRed, "festival on a Friday"},
        {12, kRed, "festival on a Monday with a weekly memo"},
        {8, kBlack, "plain Thursday"},
        {18, kBlack, "one-off memo on a Sunday"},
        {10, kBlack, "one-off memo on a festival"},
        {22, kBlack, "Gregorian-yearly memo"},
        {14, kBlack, "lunar-yearly memo"},
        {26, kBlack, "lunar-yearly memo on a Monday"},
    };
    for (const Case& c : cases) {
        RECT number = NumberOf(c.day);
        EXPECT_GT(CountColor(*dc, number, c.color), 5) << c.why << ", day " << c.day;
        for (COLORREF other : {kRed, kBlue, kGreen, kBlack}) {
            if (other != c.color) {
                EXPECT_EQ(CountColor(*dc, number, other), 0) << c.why << ", day " << c.day;
            }
        }
    }
}

TEST_F(MonthViewTest, PaintsMemoMarks)
{
    ShowFebruary2024WithMemos();
    auto dc = PaintView();

    // One-off memos fill the whole cell, in the default or the memo's own colour.
    RECT sunday = CellOf(18);
    EXPECT_EQ(dc->Pixel(sunday.left, sunday.top), kOnceDefault);
    EXPECT_EQ(dc->Pixel(sunday.right - 1, sunday.bottom - 1), kOnceDefault);
    RECT festival = CellOf(10);
    EXPECT_EQ(dc->Pixel(festival.left, festival.bottom - 1), kCustomOnce);
    EXPECT_EQ(dc->Pixel(festival.right - 1, festival.bottom - 1), kCustomOnce);
    // The day is off for the Spring Festival: its 休 badge sits on the memo colour.
    EXPECT_EQ(dc->Pixel(festival.right - 13, festival.top + 1), RGB(220, 20, 30));
    EXPECT_EQ(dc->Pixel(CellOf(11).left + 1, CellOf(11).top + 1), kCell);

    // Weekly: a dot at the top-left of every Monday and above the Monday column.
    for (int monday : {5, 12, 19, 26}) {
        RECT c = CellOf(monday);
        EXPECT_GT(CountColor(*dc, {c.left, c.top, c.left + 14, c.top + 14}, kCustomWeekly), 5) << monday;
    }
    EXPECT_EQ(CountColor(*dc, {CellOf(6).left, CellOf(6).top, CellOf(6).right, CellOf(6).bottom}, kCustomWeekly), 0);
    EXPECT_GT(CountColor(*dc, {52, 0, 52 + 16, 20}, kCustomWeekly), 5);
    EXPECT_EQ(CountColor(*dc, {0, 0, 52, 20}, kCustomWeekly), 0);

    // Gregorian-yearly: a red star at the lower left; lunar-yearly: a purple one at the right.
    RECT solar = CellOf(22);
    EXPECT_GT(CountColor(*dc, {solar.left, solar.top + 15, solar.left + 20, solar.bottom}, kRed), 10);
    EXPECT_EQ(CountColor(*dc, {solar.left + 30, solar.top + 15, solar.right, solar.bottom}, kLunarStar), 0);
    RECT lunar = CellOf(14);
    EXPECT_GT(CountColor(*dc, {lunar.left + 34, lunar.top + 15, lunar.right, lunar.bottom}, kLunarStar), 10);
    EXPECT_EQ(CountColor(*dc, {lunar.left, lunar.top + 15, lunar.left + 20, lunar.bottom}, kRed), 0);
    EXPECT_EQ(CountColor(*dc, {0, 0, kViewWidth, kViewHeight}, kLunarStar),
        CountColor(*dc, {lunar.left, lunar.top, lunar.right, lunar.bottom}, kLunarStar) +
            CountColor(*dc, {CellOf(26).left, CellOf(26).top, CellOf(26).right, CellOf(26).bottom}, kLunarStar));
}

// A slot that holds only a colour is no memo: no mark, and the day keeps its own colour.
TEST_F(MonthViewTest, ColourOnlySlotsMarkNothing)
{
    PutMemo(2024, 2, 25, "", MEMO_CUSTOM_COLOR | kCustomOnce);
    PutWeekly(0, "", MEMO_CUSTOM_COLOR | kCustomWeekly);
    m_view.SetMonth(2024, 2, 0);
    auto dc = PaintView();
    RECT c = CellOf(25);
    EXPECT_EQ(CountColor(*dc, c, kCustomOnce), 0);
    EXPECT_EQ(CountColor(*dc, {0, 0, kViewWidth, kViewHeight}, kCustomWeekly), 0);
    EXPECT_GT(CountColor(*dc, NumberOf(25), kRed), 5);
}

TEST_F(MonthViewTest, RingAndCyanWeekdayOnlyInTheSelectedMonth)
{
    m_view.SetMonth(2024, 2, 27);  // a Tuesday, fifth row
    auto dc = PaintView();
    MonthPoint p;
    ASSERT_TRUE(m_view.GetCellOrigin(27, p));
    RECT ring = {p.x - 8, p.y - 8, p.x + 59, p.y + 42};
    int onRing = CountColor(*dc, ring, kCyan);
    EXPECT_GT(onRing, 60);
    EXPECT_EQ(CountColor(*dc, {0, 21, kViewWidth, kViewHeight}, kCyan), onRing);  // nowhere else in the grid
    EXPECT_EQ(dc->Pixel(p.x + 25, p.y + 17), kCell);                              // hollow inside
    for (int col = 0; col < 7; ++col)
        EXPECT_EQ(CountColor(*dc, {52 * col, 0, 52 * col + 51, 20}, kCyan) > 0, col == 2) << col;

    m_view.SetMonth(2024, 3, 0);
    dc = PaintView();
    EXPECT_EQ(CountColor(*dc, {0, 0, kViewWidth, kViewHeight}, kCyan), 0);
    EXPECT_EQ(m_owner.todayCalls.back(), true);

    m_view.SetMonth(2024, 2, 0);
    dc = PaintView();
    EXPECT_EQ(CountColor(*dc, ring, kCyan), onRing);
    EXPECT_EQ(m_owner.todayCalls.back(), false);
}

// July 2000 touches three lunar months; a lunar-yearly memo of the middle one marks its own
// day only, not the day of the same number in the last month.
TEST_F(MonthViewTest, LunarStarsOfAMonthSpanningThreeLunarMonths)
{
    m_view.SetMonth(2000, 7, 0);
    const int first = m_view.m_cells[1].m_lunar.m_nMonth;
    const int last = m_view.m_cells[m_view.m_nDays].m_lunar.m_nMonth;
    int middleDay = 0;
    for (int d = 1; d <= m_view.m_nDays; ++d) {
        const CLunarDate& l = m_view.m_cells[d].m_lunar;
        if (l.m_nMonth != first && l.m_nMonth != last && l.m_nDay == 15)
            middleDay = d;
    }
    ASSERT_NE(middleDay, 0);
    const int middle = m_view.m_cells[middleDay].m_lunar.m_nMonth;
    PutMemo(0, last, 15, "错月");  // the last month has no 15th in July 2000
    m_view.SetMonth(2000, 7, 0);
    auto dc = PaintView();
    EXPECT_EQ(CountColor(*dc, {0, 0, kViewWidth, kViewHeight}, kLunarStar), 0);

    PutMemo(0, middle, 15, "中月十五");
    m_view.SetMonth(2000, 7, 0);
    dc = PaintView();
    RECT c = CellOf(middleDay);
    int star = CountColor(*dc, {c.left + 34, c.top + 15, c.right, c.bottom}, kLunarStar);
    EXPECT_GT(star, 10);
    EXPECT_EQ(CountColor(*dc, {0, 0, kViewWidth, kViewHeight}, kLunarStar), star);
}

TEST_F(MonthViewTest, HoverShowsTheDaysMemosBelowThePointer)
{
    g_tipAllocs = 0;
    SetTipTextHeap({CountingAlloc, PlainFree});
    ShowFebruary2024WithMemos();
    EXPECT_FALSE(TipVisible());

    POINT pt = InsideOf(26);  // weekly memo and lunar-yearly memo
    MoveTo(pt);
    EXPECT_EQ(m_view.m_nHotDay, 26);
    ASSERT_TRUE(TipVisible());
    EXPECT_EQ(::GetWindow(m_view.m_pTip->m_hWnd, GW_OWNER), m_owner.m_hWnd);
    EXPECT_EQ(std::string(m_view.m_pTip->GetText(), m_view.m_pTip->GetTextLength()), "周一例会\r\n生日");
    POINT screen = pt;
    m_view.ClientToScreen(&screen);
    RECT tip;
    ::GetWindowRect(m_view.m_pTip->m_hWnd, &tip);
    SIZE size = m_view.m_pTip->GetTextSize();
    EXPECT_EQ(tip.left, screen.x - size.cx / 2 + 2);
    EXPECT_EQ(tip.top, screen.y + 12);
    EXPECT_EQ(tip.right - tip.left, size.cx);
    EXPECT_EQ(tip.bottom - tip.top, size.cy);
    EXPECT_EQ(g_tipAllocs, 1);

    // Within the same day nothing is rebuilt and the box stays where it is.
    const char* text = m_view.m_pTip->GetText();
    MoveTo({pt.x + 15, pt.y + 12});
    EXPECT_EQ(m_view.m_pTip->GetText(), text);
    EXPECT_EQ(g_tipAllocs, 1);
    RECT still;
    ::GetWindowRect(m_view.m_pTip->m_hWnd, &still);
    EXPECT_EQ(still.left, tip.left);
    EXPECT_TRUE(TipVisible());

    // A day without memo text hides it; the pointer's day is still recorded.
    MoveTo(InsideOf(27));
    EXPECT_EQ(m_view.m_nHotDay, 27);
    EXPECT_FALSE(TipVisible());

    MoveTo(InsideOf(18));  // one-off memo only, on a Sunday worked for the Spring Festival
    EXPECT_TRUE(TipVisible());
    EXPECT_EQ(std::string(m_view.m_pTip->GetText()), "春节 调休上班\r\n看望外婆");

    // The header, and an empty cell, are no day.
    MoveTo({30, 5});
    EXPECT_EQ(m_view.m_nHotDay, 0);
    EXPECT_FALSE(TipVisible());
    MoveTo(InsideOf(12));
    EXPECT_TRUE(TipVisible());
    MoveTo({10, 30});
    EXPECT_EQ(m_view.m_nHotDay, 0);
    EXPECT_FALSE(TipVisible());
}

TEST_F(MonthViewTest, SelectedTipOnlyWhileTheSelectedMonthIsShown)
{
    ShowFebruary2024WithMemos();
    m_view.SetMonth(2024, 2, 22);
    m_view.SetMonth(2024, 3, 0);
    m_view.ShowSelectedTip();
    EXPECT_FALSE(TipVisible());

    m_view.SetMonth(2024, 2, 0);
    m_view.ShowSelectedTip();
    ASSERT_TRUE(TipVisible());
    EXPECT_EQ(std::string(m_view.m_pTip->GetText()), "纪念日");
    MonthPoint p;
    ASSERT_TRUE(m_view.GetCellOrigin(22, p));
    POINT screen = {p.x, p.y + 12};
    m_view.ClientToScreen(&screen);
    RECT tip;
    ::GetWindowRect(m_view.m_pTip->m_hWnd, &tip);
    EXPECT_EQ(tip.top, screen.y + 12);
    EXPECT_EQ(tip.left, screen.x - m_view.m_pTip->GetTextSize().cx / 2 + 2);
}

TEST_F(MonthViewTest, ClicksRecordTheDayOrTheWeekdayColumn)
{
    ShowFebruary2024WithMemos();  // day 1 is a Thursday: four empty cells before it
    struct Case {
        POINT pt;
        int hotDay;
        int weekdayCol;
        const char* what;
    };
    const Case cases[] = {
        {{120, 5}, 0, 2, "header over Tuesday"},
        {{362, 0}, 0, 6, "header, last pixel of Saturday"},
        {{60, 20}, 0, 1, "empty first-row cell at y 20 counts as header"},
        {{60, 30}, 0, -1, "empty first-row cell"},
        {{300, 210}, 0, -1, "empty cell of the sixth row"},
        {{220, 20}, 1, -1, "day 1 at y 20"},
        {{170, 180}, 28, -1, "day 28"},
    };
    for (const Case& c : cases) {
        m_view.m_nHotDay = 0;
        m_view.m_nWeekdayCol = -1;
        ClickAt(c.pt);
        EXPECT_EQ(m_view.m_nHotDay, c.hotDay) << c.what;
        EXPECT_EQ(m_view.m_nWeekdayCol, c.weekdayCol) << c.what;
    }

    // A click on a day hides its tip.
    MoveTo(InsideOf(26));
    ASSERT_TRUE(TipVisible());
    ClickAt(InsideOf(26));
    EXPECT_EQ(m_view.m_nHotDay, 26);
    EXPECT_FALSE(TipVisible());
}

TEST_F(MonthViewTest, SiteLinkOpensTheSiteOtherIdsNothing)
{
    SetSiteOpener(RecordOpen);
    m_view.SendMessage(WM_CTRLNOTIFY, IDC_SITE_LINK + 1, 0);
    m_view.SendMessage(WM_CTRLNOTIFY, 0, 0);
    EXPECT_TRUE(g_opens.empty());

    // A click on the link, as the user makes it: the control posts its notification.
    m_view.m_siteLink.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    PumpMessages();
    ASSERT_EQ(g_opens.size(), 1u);
    EXPECT_EQ(g_opens[0].hwnd, m_view.m_hWnd);
    EXPECT_EQ(g_opens[0].verb, L"open");
    EXPECT_EQ(g_opens[0].file, almanix::Wide(GetSiteUrl()));
    EXPECT_EQ(g_opens[0].file.compare(0, 7, L"http://"), 0);
    EXPECT_FALSE(g_opens[0].hasParameters);
    EXPECT_FALSE(g_opens[0].hasDirectory);
    EXPECT_EQ(g_opens[0].show, SW_SHOW);
}

// Every cell text of the months the view can show, once per text and weight, painted in a
// cell of its own: a text too wide for the cell font stays inside the cell with a pixel to
// spare, on the text line below the corner marks; any other text is drawn as the cell font
// draws it. The months with the longest texts are saved for people to look at.
TEST_F(MonthViewTest, CellTextsStayInsideTheirCells)
{
    std::map<std::pair<std::string, bool>, SolarDate> texts;  // with a day that shows each
    CDayCell cell;
    ForEachDay({1900, 2, 1}, {2049, 12, 31}, DayTableMode::Step, [&](const SolarDate& date, const CLunarDate& lunar) {
        FillDayCell(cell, date.m_nYear, date.m_nMonth, date.m_nDay, lunar);
        texts.emplace(std::make_pair(std::string(cell.m_szText), cell.m_bMonthStart != 0), date);
    });
    ASSERT_EQ(texts.count({"闰十一月小", true}), 1u);  // December 2033

    const int kPad = 12;  // around the cell, where no ink may land
    int nWide = 0;
    for (const auto& [key, date] : texts) {
        CMemoryDC drawn(51 + 2 * kPad, 32 + 2 * kPad), plain(drawn.Width(), drawn.Height());
        for (HDC dc : {static_cast<HDC>(drawn), static_cast<HDC>(plain)}) {
            CBrush brush(::CreateSolidBrush(kCell));
            RECT all = {0, 0, drawn.Width(), drawn.Height()};
            ::FillRect(dc, &all, brush);
            ::SetBkMode(dc, TRANSPARENT);
        }
        ::SelectObject(plain, key.second ? m_view.m_fontTextBold : m_view.m_fontText);
        const int width = GetTextExtentGb(plain, key.first).cx;
        if (width <= 44 && key.first.size() <= 4)
            continue;  // two characters: never measured
        const std::string what = std::to_string(date.m_nYear) + "-" + std::to_string(date.m_nMonth) + "-" +
            std::to_string(date.m_nDay) + ", width " + std::to_string(width);
        m_view.SetMonth(date.m_nYear, date.m_nMonth, 0);
        m_view.DrawDayText(drawn, date.m_nDay, kPad, kPad);
        if (width <= 44) {  // from x + 6 to x + 49
            ::SetTextColor(plain, m_view.GetDayTextColor(date.m_nDay));
            TextOutGb(plain, kPad + 6, kPad + 17, key.first);
            EXPECT_EQ(PixelsOf(drawn), PixelsOf(plain)) << what;
            continue;
        }
        ++nWide;
        const std::vector<DWORD> pixels = PixelsOf(drawn);
        RECT ink = {drawn.Width(), drawn.Height(), -1, -1};
        for (int y = 0; y < drawn.Height(); ++y)
            for (int x = 0; x < drawn.Width(); ++x)
                if (pixels[static_cast<size_t>(y) * drawn.Width() + x] != pixels[0])
                    ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x),
                        std::max<LONG>(ink.bottom, y)};
        EXPECT_GE(ink.left, kPad + 1) << what;
        EXPECT_LE(ink.right, kPad + 49) << what;
        EXPECT_GE(ink.top, kPad + 14) << what;  // below the number's line and the corner marks
        EXPECT_LE(ink.bottom, kPad + 31) << what;
        EXPECT_GE(ink.right - ink.left, 2 * 44 / 3) << what;  // squeezed no more than needed
    }
    EXPECT_GT(nWide, 0);

    // The widest day number, drawn from x + 10, ends before a 休/班 badge's white rim.
    CMemoryDC probe(8, 8);
    ::SelectObject(probe, m_view.m_fontNumber);
    int nNumberWidth = 0;
    for (int d = 1; d <= 31; ++d)
        nNumberWidth = std::max<int>(nNumberWidth, GetTextExtentGb(probe, std::to_string(d)).cx);
    EXPECT_LE(10 + nNumberWidth, MONTH_CELL_WIDTH - CMonthView::HOLIDAY_MARK_SIZE - 2);

    for (auto [year, month] : {std::pair{2033, 12}, std::pair{2026, 3}}) {
        m_view.SetMonth(year, month, 0);
        const std::wstring name =
            L"month_view_" + std::to_wstring(year) + (month < 10 ? L"_0" : L"_") + std::to_wstring(month);
        EXPECT_NE(SavePng(name, kViewWidth, kViewHeight, PixelsOf(*PaintViewWithControls())), L"");
    }
}

// A picture of a month with memos of every kind, for people to look at.
TEST_F(MonthViewTest, SavesAPictureOfAMonth)
{
    ShowFebruary2024WithMemos();
    auto dc = PaintViewWithControls();
    EXPECT_NE(SavePng(L"month_view_2024_02", kViewWidth, kViewHeight, PixelsOf(*dc)), L"");
    // The title's text cells are drawn over the strip.
    EXPECT_GT(CountColor(*dc, {0, 219, 200, kViewHeight}, kBlack), 20);
}

// On screen, through WM_PAINT: a repaint of the view after a memo change leaves the strip's
// title and link drawn over the gold strip.
TEST_F(MonthViewTest, ScreenShowsGridAndStripControlsAfterARepaint)
{
    ShowFebruary2024WithMemos();
    m_owner.ShowWindow(SW_SHOWNA);
    ::RedrawWindow(m_owner, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages();
    m_view.m_nHotDay = 3;
    m_view.SaveDayMemos("新的", 0, "", 0, "", 0);  // repaints the view without erasing
    PumpMessages();
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    ASSERT_TRUE(CaptureWindow(m_view.m_hWnd, &width, &height, &pixels));
    ASSERT_EQ(width, kViewWidth);
    SaveWindowPng(m_view.m_hWnd, L"month_view_screen");
    auto at = [&](int x, int y) {
        DWORD p = pixels[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    };
    EXPECT_EQ(at(50, 1), kHeader);
    RECT third = CellOf(3);
    EXPECT_EQ(at(third.right - 2, third.bottom - 2), kOnceDefault);
    int titleInk = 0, linkInk = 0;
    for (int y = 219; y < kViewHeight; ++y) {
        for (int x = 0; x < 200; ++x)
            titleInk += at(x, y) == kBlack;
        for (int x = 243; x < 290; ++x)
            linkInk += at(x, y) == kBlack;
    }
    EXPECT_GT(titleInk, 20);
    EXPECT_GT(linkInk, 10);
    m_owner.ShowWindow(SW_HIDE);
}

}  // namespace
