// The day memo and weekly reminder dialogs, opened by clicks on a month view and driven from
// inside their modal loops; the memo files are checked byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/wnd.h"
#include "dialogs/memo_dlg.h"
#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "dialogs/weekly_dlg.h"
#include "scratch_folder.h"
#include "monthview/month_view.h"
#include "resource.h"
#include "window_png.h"
#include "memo_seed.h"
#include "test_folders.h"

namespace {

const int kViewWidth = 363;
const int kViewHeight = 236;
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kOnceDefault = RGB(135, 206, 250);
const COLORREF kSolarDefault = RGB(255, 0, 0);
const COLORREF kLunarDefault = RGB(128, 0, 255);
const COLORREF kWeeklyDefault = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);

const wchar_t kMemoTitle[] = L"输入记事 - 日历2.18";
const wchar_t kWeeklyTitle[] = L"每周提示";

// The main window as the view sees it: it runs the dialogs the view asks for, as the
// calendar does.
class CMainWnd : public CWnd, public IMonthViewOwner {
public:
    BOOL Create()
    {
        RECT rc = {40, 40, 40 + kViewWidth, 40 + 278};
        return CreateEx(0, L"AlmanixMemoDlgTestMain", "日历2.18", WS_POPUP, rc, nullptr, 0);
    }
    void ShowTodayButton(bool) override {}
    void RunMemoDialog(MemoDialogKind kind) override { RunMemoDialogFor(m_pView, this, kind); }
    CMonthView* m_pView = nullptr;
};

// The colour picker as the tests answer it: what it was offered, and what it answers.
struct ChooserRecord {
    int calls = 0;
    HWND owner = nullptr;
    DWORD flags = 0;
    COLORREF initial = 0;
    std::vector<COLORREF> custom;
    bool answerOk = true;
    COLORREF answer = 0;
};
ChooserRecord g_chooser;

BOOL WINAPI AnswerChooser(LPCHOOSECOLORW pcc)
{
    ++g_chooser.calls;
    g_chooser.owner = pcc->hwndOwner;
    g_chooser.flags = pcc->Flags;
    g_chooser.initial = pcc->rgbResult;
    g_chooser.custom.assign(pcc->lpCustColors, pcc->lpCustColors + 16);
    // What the user does to the custom colours is not kept.
    pcc->lpCustColors[0] = RGB(1, 2, 3);
    if (!g_chooser.answerOk)
        return FALSE;
    pcc->rgbResult = g_chooser.answer;
    return TRUE;
}

// Steps run one per tick of a thread timer, inside whatever modal loop runs at that moment.
// A step that returns false is tried again at the next tick.
std::deque<std::function<bool()>> g_steps;
int g_idleTicks = 0;

HWND TopWindowTitled(const wchar_t* title)
{
    struct Ctx {
        const wchar_t* title;
        HWND found;
    } ctx = {title, nullptr};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND h, LPARAM lp) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(lp);
            wchar_t buf[64] = {};
            ::GetWindowTextW(h, buf, 64);
            if (::IsWindowVisible(h) && wcscmp(buf, c->title) == 0) {
                c->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

void CALLBACK RunNextStep(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_steps.empty()) {
        // A dialog left open by a failed step would hang the test: close it.
        if (++g_idleTicks > 300) {
            for (const wchar_t* title : {L"警告", kMemoTitle, kWeeklyTitle})
                if (HWND h = TopWindowTitled(title)) {
                    ADD_FAILURE() << "a dialog was left open";
                    ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
                }
        }
        return;
    }
    g_idleTicks = 0;
    std::function<bool()> step = std::move(g_steps.front());
    g_steps.pop_front();
    if (!step())
        g_steps.push_front(std::move(step));
}

HWND MemoDlg()
{
    return TopWindowTitled(kMemoTitle);
}
HWND WeeklyDlg()
{
    return TopWindowTitled(kWeeklyTitle);
}
HWND WarningBox()
{
    return TopWindowTitled(L"警告");
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t buf[512] = {};
    ::GetWindowTextW(hwnd, buf, 512);
    return buf;
}

HWND ChildWithId(HWND parent, int id)
{
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        if (::GetDlgCtrlID(c) == id)
            return c;
    return nullptr;
}

std::wstring EditText(HWND dlg, int id)
{
    HWND edit = ::GetDlgItem(dlg, id);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetEdit(HWND dlg, int id, const std::wstring& text)
{
    ::SetWindowTextW(::GetDlgItem(dlg, id), text.c_str());
}

void Press(HWND dlg, int id)
{
    ::SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dlg, id)));
}

// A click on a swatch as the user makes it: the button posts its notification to the dialog.
void ClickSwatch(HWND dlg, int id)
{
    ::SendMessageW(ChildWithId(dlg, id), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

COLORREF SwatchColor(HWND dlg, int id)
{
    auto* pLabel = dynamic_cast<CLabel*>(CWnd::FromHandle(ChildWithId(dlg, id)));
    return pLabel ? pLabel->GetTextColor() : CLR_INVALID;
}

RECT RectIn(HWND dlg, HWND child)
{
    RECT rc = {};
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::string Record(int slot, const std::string& text, std::uint32_t flags = 0)
{
    std::string r;
    r += static_cast<char>(slot & 0xFF);
    r += static_cast<char>((slot >> 8) & 0xFF);
    r += static_cast<char>(text.size() & 0xFF);
    r += static_cast<char>((text.size() >> 8) & 0xFF);
    for (int i = 0; i < 4; ++i)
        r += static_cast<char>((flags >> (8 * i)) & 0xFF);
    return r + text;
}

std::string MemoFile(const std::string& records)
{
    return std::string("\x64\x00", 2) + records;
}

// A memo file's bytes, or "<none>" when there is no file.
std::string FileBytes(const char* name)
{
    std::size_t length = 0;
    std::unique_ptr<char[]> data = ReadWholeFile(name, length);
    return data ? std::string(data.get(), length) : std::string("<none>");
}

bool g_failWrites = false;
bool FailReplace(FileStep step)
{
    return g_failWrites && (step == FileStep::Replace || step == FileStep::Open);
}

class MemoDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_chooser = ChooserRecord();
        g_steps.clear();
        g_idleTicks = 0;
        SetColorChooser(AnswerChooser);
        ASSERT_TRUE(m_folder.PrepareMemos());
        ASSERT_TRUE(m_main.Create());
        m_main.m_pView = &m_view;
        ASSERT_TRUE(m_view.Create({0, 22, kViewWidth, 22 + kViewHeight}, &m_main, IDC_MONTH_VIEW, &m_main));
        // Dialogs open only over a view on screen.
        m_main.ShowWindow(SW_SHOWNA);
        m_timer = ::SetTimer(nullptr, 0, 10, RunNextStep);
    }
    void TearDown() override
    {
        ::KillTimer(nullptr, m_timer);
        g_steps.clear();
        SetColorChooser(nullptr);
        SetFileFaultHook(nullptr);
        g_failWrites = false;
        m_view.DestroyWindow();
        m_main.DestroyWindow();
        PumpMessages();
    }

    // The steps, then a click on day `day` of the shown month; returns when the dialog ends.
    void OpenDay(int day, std::initializer_list<std::function<bool()>> steps)
    {
        MonthPoint origin;
        ASSERT_TRUE(m_view.GetCellOrigin(day, origin));
        Run(POINT{origin.x + 20, origin.y + 12}, steps);
        EXPECT_EQ(MemoDlg(), nullptr);
    }
    void OpenWeekday(int column, std::initializer_list<std::function<bool()>> steps)
    {
        Run(POINT{52 * column + 20, 5}, steps);
        EXPECT_EQ(WeeklyDlg(), nullptr);
    }
    void Run(POINT pt, std::initializer_list<std::function<bool()>> steps)
    {
        // The first step waits for the dialog.
        g_steps.push_back([] { return MemoDlg() || WeeklyDlg(); });
        for (const auto& s : steps)
            g_steps.push_back(s);
        m_view.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
        EXPECT_TRUE(g_steps.empty()) << g_steps.size() << " steps did not run";
        g_steps.clear();
    }

    ScratchFolder m_folder{"almanix-dlg"};
    CMainWnd m_main;
    CMonthView m_view;
    UINT_PTR m_timer = 0;
};

// Step helpers: each acts on the dialog open at that moment.
std::function<bool()> Do(std::function<void(HWND)> f, bool weekly = false)
{
    return [f, weekly] {
        HWND dlg = weekly ? WeeklyDlg() : MemoDlg();
        if (!dlg)
            return false;
        f(dlg);
        return true;
    };
}
std::function<bool()> Type(int id, std::wstring text, bool weekly = false)
{
    return Do([id, text](HWND dlg) { SetEdit(dlg, id, text); }, weekly);
}
std::function<bool()> PressOk(bool weekly = false)
{
    return Do([](HWND dlg) { Press(dlg, IDOK); }, weekly);
}
std::function<bool()> PressCancel(bool weekly = false)
{
    return Do([](HWND dlg) { Press(dlg, IDCANCEL); }, weekly);
}
// Answers the warning box that must be showing, recording its text.
std::function<bool()> AnswerWarning(std::wstring* pText)
{
    return [pText] {
        HWND box = WarningBox();
        if (!box)
            return false;
        pText->clear();
        for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            wchar_t cls[32] = {};
            ::GetClassNameW(c, cls, 32);
            if (_wcsicmp(cls, L"Static") == 0)
                *pText += TextOf(c);
        }
        ::SendMessageW(box, WM_COMMAND, IDOK, 0);
        return true;
    };
}

const char kMay2024Once[] = "日历\\202405";
const char kMayYearly[] = "日历\\105";
const char kLunarThird[] = "日历\\003";

TEST_F(MemoDlgTest, StoresTheThreeMemosOfTheDayClicked)
{
    m_view.SetMonth(2024, 5, 0);
    std::wstring title, date, solar, lunar, once;
    HWND focus = nullptr, cancel = nullptr;
    // 1 May 2024: lunar third month, 23rd day.
    OpenDay(1,
        {Do([&](HWND dlg) {
             title = TextOf(dlg);
             date = TextOf(ChildWithId(dlg, IDC_MEMO_DATE));
             solar = TextOf(ChildWithId(dlg, IDC_SOLAR_CAPTION));
             lunar = TextOf(ChildWithId(dlg, IDC_LUNAR_CAPTION));
             focus = ::GetFocus();
             cancel = ::GetDlgItem(dlg, IDCANCEL);
         }),
            Type(IDC_MEMO_ONCE, L"  买菜\r\n  做饭  "), Type(IDC_MEMO_SOLAR_YEARLY, L"劳动节"),
            Type(IDC_MEMO_LUNAR_YEARLY, L" 生日 "), PressOk()});
    EXPECT_EQ(title, kMemoTitle);
    EXPECT_EQ(date, L"2024年5月1日星期三农历三月廿三");
    EXPECT_EQ(solar, L"阳历每年5月1日");
    EXPECT_EQ(lunar, L"农历每年三月廿三");
    EXPECT_EQ(focus, cancel);
    // Leading blanks go, trailing ones and those of later lines stay.
    EXPECT_EQ(FileBytes(kMay2024Once), MemoFile(Record(1, "买菜\r\n  做饭  ")));
    EXPECT_EQ(FileBytes(kMayYearly), MemoFile(Record(1, "劳动节")));
    EXPECT_EQ(FileBytes(kLunarThird), MemoFile(Record(23, "生日 ")));
    EXPECT_EQ(m_view.m_nHotDay, 1);
    ASSERT_NE(m_view.GetOnceEntry(1), nullptr);
    EXPECT_STREQ(m_view.GetOnceEntry(1)->m_pszText, "买菜\r\n  做饭  ");

    // Opened again, the edits show what was stored.
    OpenDay(1, {Do([&](HWND dlg) { once = EditText(dlg, IDC_MEMO_ONCE); }), PressCancel()});
    EXPECT_EQ(once, L"买菜\r\n  做饭  ");
}

TEST_F(MemoDlgTest, BlanksStoreNothingAndEmptyTextsRemoveRecordsAndFiles)
{
    PutMemo(2024, 5, 1, "旧的");
    PutMemo(2024, 5, 2, "第二天");
    PutMemo(1, 5, 1, "每年");
    PutMemo(0, 3, 23, "农历");
    m_view.SetMonth(2024, 5, 0);
    std::wstring texts[3];
    OpenDay(1,
        {Do([&](HWND dlg) {
             texts[0] = EditText(dlg, IDC_MEMO_ONCE);
             texts[1] = EditText(dlg, IDC_MEMO_SOLAR_YEARLY);
             texts[2] = EditText(dlg, IDC_MEMO_LUNAR_YEARLY);
         }),
            Type(IDC_MEMO_ONCE, L"    "), Type(IDC_MEMO_SOLAR_YEARLY, L""), Type(IDC_MEMO_LUNAR_YEARLY, L" "),
            PressOk()});
    EXPECT_EQ(texts[0], L"旧的");
    EXPECT_EQ(texts[1], L"每年");
    EXPECT_EQ(texts[2], L"农历");
    EXPECT_EQ(FileBytes(kMay2024Once), MemoFile(Record(2, "第二天")));
    EXPECT_EQ(FileBytes(kMayYearly), "<none>");
    EXPECT_EQ(FileBytes(kLunarThird), "<none>");
}

TEST_F(MemoDlgTest, AColourChosenWithoutTextIsKept)
{
    m_view.SetMonth(2024, 5, 0);
    g_chooser.answer = kGreen;
    OpenDay(1,
        {Do([](HWND dlg) { ClickSwatch(dlg, IDC_SOLAR_COLOR); }), Do([&](HWND dlg) {
             EXPECT_EQ(g_chooser.calls, 1);
             EXPECT_EQ(g_chooser.owner, dlg);
             EXPECT_EQ(SwatchColor(dlg, IDC_SOLAR_COLOR), kGreen);
         }),
            PressOk()});
    EXPECT_EQ(g_chooser.flags, static_cast<DWORD>(CC_RGBINIT));
    EXPECT_EQ(g_chooser.initial, kSolarDefault);
    std::vector<COLORREF> expected = {kOnceDefault, kSolarDefault, kLunarDefault};
    expected.resize(16, kWhite);
    EXPECT_EQ(g_chooser.custom, expected);
    // An empty record that holds the colour; no mark in the grid.
    EXPECT_EQ(FileBytes(kMayYearly), MemoFile(Record(1, "", MEMO_CUSTOM_COLOR | kGreen)));
    EXPECT_EQ(FileBytes(kMay2024Once), "<none>");
    EXPECT_FALSE(CMonthModel::HasMemoText(m_view.GetSolarYearlyEntry(1)));

    // Opened again: the swatch shows the colour, the picker offers it among the custom
    // colours (the user's change to them was not kept); cancelling the picker changes nothing.
    COLORREF swatches[3] = {};
    g_chooser = ChooserRecord();
    g_chooser.answerOk = false;
    OpenDay(1,
        {Do([&](HWND dlg) {
             swatches[0] = SwatchColor(dlg, IDC_ONCE_COLOR);
             swatches[1] = SwatchColor(dlg, IDC_SOLAR_COLOR);
             swatches[2] = SwatchColor(dlg, IDC_LUNAR_COLOR);
             ClickSwatch(dlg, IDC_LUNAR_COLOR);
         }),
            Do([&](HWND dlg) { swatches[2] = SwatchColor(dlg, IDC_LUNAR_COLOR); }), PressOk()});
    EXPECT_EQ(swatches[0], kOnceDefault);
    EXPECT_EQ(swatches[1], kGreen);
    EXPECT_EQ(swatches[2], kLunarDefault);
    expected[1] = kGreen;
    EXPECT_EQ(g_chooser.custom, expected);
    EXPECT_EQ(g_chooser.initial, kLunarDefault);
    EXPECT_EQ(FileBytes(kMayYearly), MemoFile(Record(1, "", MEMO_CUSTOM_COLOR | kGreen)));
    EXPECT_EQ(FileBytes(kLunarThird), "<none>");
}

TEST_F(MemoDlgTest, CancelLeavesTheFilesAsTheyWere)
{
    PutMemo(2024, 5, 1, "旧的", MEMO_CUSTOM_COLOR | RGB(1, 2, 3));
    PutMemo(1, 5, 1, "每年");
    m_view.SetMonth(2024, 5, 0);
    const std::string once = FileBytes(kMay2024Once), yearly = FileBytes(kMayYearly);
    g_chooser.answer = kGreen;
    OpenDay(1,
        {Type(IDC_MEMO_ONCE, L"新的"), Type(IDC_MEMO_SOLAR_YEARLY, L""),
            Do([](HWND dlg) { ClickSwatch(dlg, IDC_ONCE_COLOR); }), PressCancel()});
    EXPECT_EQ(g_chooser.calls, 1);
    EXPECT_EQ(g_chooser.initial, RGB(1, 2, 3));
    EXPECT_EQ(FileBytes(kMay2024Once), once);
    EXPECT_EQ(FileBytes(kMayYearly), yearly);
    EXPECT_EQ(FileBytes(kLunarThird), "<none>");
    // Esc and the close box are Cancel too.
    OpenDay(1, {Type(IDC_MEMO_ONCE, L"新的"), Do([](HWND dlg) { ::SendMessageW(dlg, WM_CLOSE, 0, 0); })});
    EXPECT_EQ(FileBytes(kMay2024Once), once);
}

TEST_F(MemoDlgTest, ADayOfALeapMonthUsesTheOrdinaryMonthsFile)
{
    // 25 March 2023 is the fourth day of the leap second lunar month.
    m_view.SetMonth(2023, 3, 0);
    ASSERT_EQ(m_view.m_cells[25].m_lunar.m_bLeap, 1);
    std::wstring date, lunar;
    OpenDay(25,
        {Do([&](HWND dlg) {
             date = TextOf(ChildWithId(dlg, IDC_MEMO_DATE));
             lunar = TextOf(ChildWithId(dlg, IDC_LUNAR_CAPTION));
         }),
            Type(IDC_MEMO_LUNAR_YEARLY, L"闰月也记"), PressOk()});
    EXPECT_EQ(date, L"2023年3月25日星期六农历二月初四");
    EXPECT_EQ(lunar, L"农历每年二月初四");
    EXPECT_EQ(FileBytes("日历\\002"), MemoFile(Record(4, "闰月也记")));
}

TEST_F(MemoDlgTest, DateLinesAndCaptions)
{
    struct Case {
        int y, m, d;
        const wchar_t* date;
        const wchar_t* solar;
        const wchar_t* lunar;
    };
    const Case cases[] = {
        {2024, 5, 1, L"2024年5月1日星期三农历三月廿三", L"阳历每年5月1日", L"农历每年三月廿三"},
        {2024, 2, 10, L"2024年2月10日星期六农历正月初一", L"阳历每年2月10日", L"农历每年正月初一"},
        {2023, 3, 22, L"2023年3月22日星期三农历二月初一", L"阳历每年3月22日", L"农历每年二月初一"},
        {2000, 1, 1, L"2000年1月1日星期六农历十一月廿五", L"阳历每年1月1日", L"农历每年十一月廿五"},
        {2024, 12, 31, L"2024年12月31日星期二农历十二月初一", L"阳历每年12月31日", L"农历每年十二月初一"},
        {2023, 1, 21, L"2023年1月21日星期六农历十二月三十", L"阳历每年1月21日", L"农历每年十二月三十"},
    };
    for (const Case& c : cases) {
        m_view.SetMonth(c.y, c.m, 0);
        m_view.m_nHotDay = static_cast<std::uint16_t>(c.d);
        CMemoDlg dlg(&m_view, &m_view);
        EXPECT_EQ(almanix::Wide(dlg.FormatDateLine()), c.date);
        EXPECT_EQ(almanix::Wide(dlg.FormatSolarCaption()), c.solar);
        EXPECT_EQ(almanix::Wide(dlg.FormatLunarCaption()), c.lunar);
    }
}

// The date rolls over while the dialog is open and the main window moves the view to the new
// month: the memos still go to the date the dialog was opened for.
TEST_F(MemoDlgTest, KeepsToItsDateWhenTheViewMovesOn)
{
    m_view.SetMonth(2024, 1, 31);
    // 31 January 2024 is lunar 12-21, 1 February 12-22: the view's new month uses the same
    // lunar file as the day being edited.
    OpenDay(31,
        {Type(IDC_MEMO_ONCE, L"一月底"), Type(IDC_MEMO_SOLAR_YEARLY, L"年年"), Type(IDC_MEMO_LUNAR_YEARLY, L"腊月廿一"),
            Do([&](HWND) { m_view.SetMonth(2024, 2, 1); }), PressOk()});
    EXPECT_EQ(m_view.m_nMonth, 2);
    EXPECT_EQ(FileBytes("日历\\202401"), MemoFile(Record(31, "一月底")));
    EXPECT_EQ(FileBytes("日历\\101"), MemoFile(Record(31, "年年")));
    EXPECT_EQ(FileBytes("日历\\012"), MemoFile(Record(21, "腊月廿一")));
    EXPECT_EQ(FileBytes("日历\\202402"), "<none>");
    EXPECT_EQ(FileBytes("日历\\102"), "<none>");
    // The view reread its stores: a later save of 1 February keeps the memo of 12-21.
    m_view.m_nHotDay = 1;
    EXPECT_EQ(m_view.SaveDayMemos("", 0, "", 0, "廿二", 0), 0);
    EXPECT_EQ(FileBytes("日历\\012"), MemoFile(Record(21, "腊月廿一") + Record(22, "廿二")));

    // A click on the view while a dialog is open opens no second one, and the first keeps its day.
    int dialogs = 0;
    m_view.SetMonth(2024, 2, 0);
    MonthPoint other;
    ASSERT_TRUE(m_view.GetCellOrigin(9, other));
    OpenDay(5,
        {Do([&](HWND) { m_view.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(other.x + 20, other.y + 12)); }), Do([&](HWND) {
             ::EnumThreadWindows(
                 ::GetCurrentThreadId(),
                 [](HWND h, LPARAM lp) -> BOOL {
                     *reinterpret_cast<int*>(lp) += TextOf(h) == kMemoTitle;
                     return TRUE;
                 },
                 reinterpret_cast<LPARAM>(&dialogs));
         }),
            Type(IDC_MEMO_ONCE, L"五号"), PressOk()});
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(FileBytes("日历\\202402"), MemoFile(Record(5, "五号")));
}

// A memo record holds at most 65535 bytes: typing and pasting stop there, and OK never
// drops a text silently.
TEST_F(MemoDlgTest, TextsKeepWithinARecord)
{
    m_view.SetMonth(2024, 5, 0);
    // Lines of 48 letters: the system's multi-line edit wraps one endless line very slowly.
    std::wstring paste;
    while (paste.size() < 70000)
        paste += std::wstring(48, L'x') + L"\r\n";
    // What fits after "ab": 65535 bytes, and never a CR without its LF.
    std::wstring fits = (L"ab" + paste).substr(0, 65535);
    if (fits.back() == L'\r')
        fits.pop_back();
    std::wstring once, solar, warning;
    DWORD caret = 0;
    OpenDay(1,
        {Do([&](HWND dlg) {
             // A paste into the multi-line edit after "ab".
             HWND edit = ::GetDlgItem(dlg, IDC_MEMO_ONCE);
             ::SetWindowTextW(edit, L"ab");
             ::SendMessageW(edit, EM_SETSEL, 2, 2);
             ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(paste.c_str()));
             once = EditText(dlg, IDC_MEMO_ONCE);
             ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
             // 40000 Chinese characters into a single-line edit: 32767 of them fit.
             SetEdit(dlg, IDC_MEMO_SOLAR_YEARLY, std::wstring(40000, L'中'));
             solar = EditText(dlg, IDC_MEMO_SOLAR_YEARLY);
         }),
            PressOk()});
    EXPECT_TRUE(once == fits) << once.size() << " characters";
    EXPECT_EQ(caret, fits.size());
    EXPECT_EQ(solar, std::wstring(32767, L'中'));
    const std::string storedOnce = almanix::Narrow(fits);
    EXPECT_EQ(FileBytes(kMay2024Once), MemoFile(Record(1, storedOnce)));
    std::string twoBytes;
    for (int i = 0; i < 32767; ++i)
        twoBytes += "中";
    EXPECT_EQ(FileBytes(kMayYearly), MemoFile(Record(1, twoBytes)));

    // A text that is too long all the same (put in without typing): OK says so and stores
    // nothing; the dialog stays open with the text.
    std::string filesWhileWarned;
    std::wstring left;
    OpenDay(2,
        {Do([&](HWND dlg) {
             SetEdit(dlg, IDC_MEMO_SOLAR_YEARLY, L"短的");
             ::SendMessageW(::GetDlgItem(dlg, IDC_MEMO_ONCE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(paste.c_str()));
         }),
            Do([&](HWND dlg) { ::PostMessageW(dlg, WM_COMMAND, IDOK, 0); }), AnswerWarning(&warning), Do([&](HWND dlg) {
                filesWhileWarned = FileBytes(kMay2024Once) + "|" + FileBytes(kMayYearly);
                left = EditText(dlg, IDC_MEMO_ONCE);
                SetEdit(dlg, IDC_MEMO_ONCE, L"改短了");
            }),
            PressOk()});
    EXPECT_NE(warning.find(L"65535"), std::wstring::npos) << almanix::Narrow(warning);
    EXPECT_TRUE(left == paste) << left.size() << " characters";
    EXPECT_EQ(filesWhileWarned, MemoFile(Record(1, storedOnce)) + "|" + MemoFile(Record(1, twoBytes)));
    EXPECT_EQ(FileBytes(kMay2024Once), MemoFile(Record(1, storedOnce) + Record(2, "改短了")));
}

// A memo file that cannot be written is said so, and the dialog stays open to try again.
TEST_F(MemoDlgTest, AFailedWriteKeepsTheDialogOpen)
{
    m_view.SetMonth(2024, 5, 0);
    SetFileFaultHook(FailReplace);
    g_failWrites = true;
    std::wstring warning, kept;
    OpenDay(1,
        {Type(IDC_MEMO_ONCE, L"要存的"), Do([](HWND dlg) { ::PostMessageW(dlg, WM_COMMAND, IDOK, 0); }),
            AnswerWarning(&warning), Do([&](HWND dlg) {
                kept = EditText(dlg, IDC_MEMO_ONCE);
                g_failWrites = false;
            }),
            PressOk()});
    EXPECT_NE(warning.find(L"没能写入"), std::wstring::npos) << almanix::Narrow(warning);
    EXPECT_EQ(kept, L"要存的");
    EXPECT_EQ(FileBytes(kMay2024Once), MemoFile(Record(1, "要存的")));
}

TEST_F(MemoDlgTest, WeeklyReminderOfTheColumnClicked)
{
    PutWeekly(1, "周一例会");
    m_view.SetMonth(2024, 5, 0);
    std::wstring title, caption;
    OpenWeekday(3,
        {Do(
             [&](HWND dlg) {
                 title = TextOf(dlg);
                 caption = TextOf(ChildWithId(dlg, -1));
             },
             true),
            Type(IDC_MEMO_WEEKLY, L"  倒垃圾 ", true), PressOk(true)});
    EXPECT_EQ(title, kWeeklyTitle);
    EXPECT_EQ(caption, L"每周三");
    EXPECT_EQ(m_view.m_nWeekdayCol, 3);
    EXPECT_EQ(FileBytes("日历\\week"), MemoFile(Record(1, "周一例会") + Record(3, "倒垃圾 ")));

    // Blanks store nothing; a colour without text stays as an empty record.
    g_chooser.answer = kGreen;
    std::wstring text;
    OpenWeekday(1,
        {Do([&](HWND dlg) { text = EditText(dlg, IDC_MEMO_WEEKLY); }, true), Type(IDC_MEMO_WEEKLY, L"   ", true),
            PressOk(true)});
    EXPECT_EQ(text, L"周一例会");
    EXPECT_EQ(FileBytes("日历\\week"), MemoFile(Record(3, "倒垃圾 ")));
    OpenWeekday(5, {Do([](HWND dlg) { ClickSwatch(dlg, IDC_WEEKLY_COLOR); }, true), PressOk(true)});
    std::vector<COLORREF> expected(16, kWhite);
    expected[0] = kWeeklyDefault;
    EXPECT_EQ(g_chooser.custom, expected);
    EXPECT_EQ(g_chooser.initial, kWeeklyDefault);
    EXPECT_EQ(FileBytes("日历\\week"), MemoFile(Record(3, "倒垃圾 ") + Record(5, "", MEMO_CUSTOM_COLOR | kGreen)));
    EXPECT_FALSE(CMonthModel::HasMemoText(m_view.GetWeeklyEntry(5)));

    // Cancel changes nothing; the last reminder removed removes the file.
    OpenWeekday(3, {Type(IDC_MEMO_WEEKLY, L"别的", true), PressCancel(true)});
    EXPECT_EQ(FileBytes("日历\\week"), MemoFile(Record(3, "倒垃圾 ") + Record(5, "", MEMO_CUSTOM_COLOR | kGreen)));
    g_chooser.answer = kGreen;
    COLORREF swatch = 0;
    OpenWeekday(5, {Do([&](HWND dlg) { swatch = SwatchColor(dlg, IDC_WEEKLY_COLOR); }, true), PressOk(true)});
    EXPECT_EQ(swatch, kGreen);
    // Opened again, the swatch shows the colour, and OK with the text still empty keeps it.
    EXPECT_EQ(FileBytes("日历\\week"), MemoFile(Record(3, "倒垃圾 ") + Record(5, "", MEMO_CUSTOM_COLOR | kGreen)));
    OpenWeekday(3, {Type(IDC_MEMO_WEEKLY, L"", true), PressOk(true)});
    EXPECT_EQ(FileBytes("日历\\week"), MemoFile(Record(5, "", MEMO_CUSTOM_COLOR | kGreen)));
}

TEST_F(MemoDlgTest, LastWeeklyReminderRemovedRemovesTheFile)
{
    PutWeekly(0, "周日");
    m_view.SetMonth(2024, 5, 0);
    std::wstring caption;
    OpenWeekday(0,
        {Do([&](HWND dlg) { caption = TextOf(ChildWithId(dlg, -1)); }, true), Type(IDC_MEMO_WEEKLY, L"", true),
            PressOk(true)});
    EXPECT_EQ(caption, L"每周日");
    EXPECT_EQ(FileBytes("日历\\week"), "<none>");
}

// Paints the dialog and its controls now; the screen shows it a few ticks later.
void Repaint(HWND dlg)
{
    ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// Captions and swatches line up with their edits, inside the dialog, in the order caption,
// swatch, edit; the pictures are saved for people to look at.
TEST_F(MemoDlgTest, CaptionsAndSwatchesLineUpWithTheirEdits)
{
    m_view.SetMonth(2024, 11, 0);
    auto inside = [](const RECT& client, const RECT& rc) {
        return rc.left >= client.left && rc.top >= client.top && rc.right <= client.right && rc.bottom <= client.bottom;
    };
    auto middle = [](const RECT& rc) { return (rc.top + rc.bottom) / 2; };
    auto check = [&](HWND dlg, int captionId, int swatchId, int editId) {
        RECT client;
        ::GetClientRect(dlg, &client);
        RECT caption = RectIn(dlg, ChildWithId(dlg, captionId));
        RECT swatch = RectIn(dlg, ChildWithId(dlg, swatchId));
        RECT edit = RectIn(dlg, ::GetDlgItem(dlg, editId));
        EXPECT_TRUE(inside(client, caption)) << captionId;
        EXPECT_TRUE(inside(client, swatch)) << swatchId;
        EXPECT_GT(swatch.right - swatch.left, 5) << swatchId;
        EXPECT_LE(caption.right, swatch.left) << captionId;
        EXPECT_LE(swatch.right, edit.left) << swatchId;
        EXPECT_NEAR(middle(caption), middle(edit), 2) << captionId;
        EXPECT_NEAR(middle(swatch), middle(edit), 2) << swatchId;
        // The caption's text fits its control.
        HDC dc = ::GetDC(dlg);
        HGDIOBJ old =
            ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(ChildWithId(dlg, captionId), WM_GETFONT, 0, 0)));
        std::wstring text = TextOf(ChildWithId(dlg, captionId));
        SIZE size;
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        ::SelectObject(dc, old);
        ::ReleaseDC(dlg, dc);
        EXPECT_LE(size.cx, caption.right - caption.left) << captionId;
    };
    // 29 November 2024: the lunar caption is one of the longest, 农历每年十月廿九.
    OpenDay(29,
        {Type(IDC_MEMO_ONCE, L"一行\r\n两行"), Type(IDC_MEMO_SOLAR_YEARLY, L"阳历的"),
            Type(IDC_MEMO_LUNAR_YEARLY, L"农历的"), Do(Repaint), Do([](HWND) {}), Do([](HWND) {}), Do([&](HWND dlg) {
                check(dlg, IDC_SOLAR_CAPTION, IDC_SOLAR_COLOR, IDC_MEMO_SOLAR_YEARLY);
                check(dlg, IDC_LUNAR_CAPTION, IDC_LUNAR_COLOR, IDC_MEMO_LUNAR_YEARLY);
                RECT client;
                ::GetClientRect(dlg, &client);
                RECT date = RectIn(dlg, ChildWithId(dlg, IDC_MEMO_DATE));
                RECT swatch = RectIn(dlg, ChildWithId(dlg, IDC_ONCE_COLOR));
                RECT edit = RectIn(dlg, ::GetDlgItem(dlg, IDC_MEMO_ONCE));
                EXPECT_TRUE(inside(client, date));
                EXPECT_TRUE(inside(client, swatch));
                EXPECT_LE(date.bottom, edit.top);
                EXPECT_LE(swatch.bottom, edit.top);
                EXPECT_EQ(date.left, edit.left);
                EXPECT_EQ(swatch.right, edit.right);
                EXPECT_LE(date.right, swatch.left);
                EXPECT_NEAR(middle(date), middle(swatch), 2);
                SaveWindowPng(dlg, L"memo_dialog");
            }),
            PressCancel()});
    OpenWeekday(3,
        {Type(IDC_MEMO_WEEKLY, L"倒垃圾", true), Do(Repaint, true), Do([](HWND) {}, true), Do([](HWND) {}, true),
            Do(
                [&](HWND dlg) {
                    RECT client;
                    ::GetClientRect(dlg, &client);
                    RECT caption = RectIn(dlg, ChildWithId(dlg, -1));
                    RECT swatch = RectIn(dlg, ChildWithId(dlg, IDC_WEEKLY_COLOR));
                    RECT edit = RectIn(dlg, ::GetDlgItem(dlg, IDC_MEMO_WEEKLY));
                    EXPECT_TRUE(inside(client, caption));
                    EXPECT_TRUE(inside(client, swatch));
                    // Fixed pixels: caption 20,10-80,30; the swatch from 80,10, sized to
                    // its "■"; both above the edit.
                    EXPECT_EQ(std::vector<LONG>({caption.left, caption.top, caption.right, caption.bottom}),
                        std::vector<LONG>({20, 10, 80, 30}));
                    EXPECT_EQ(std::vector<LONG>({swatch.left, swatch.top}), std::vector<LONG>({80, 10}));
                    EXPECT_LE(swatch.right, 105);
                    EXPECT_LE(caption.bottom, edit.top);
                    EXPECT_LE(swatch.bottom, edit.top);
                    SaveWindowPng(dlg, L"weekly_dialog");
                },
                true),
            PressCancel(true)});
}

}  // namespace
