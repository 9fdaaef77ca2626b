#include <gtest/gtest.h>

#include "harness.h"
#include "window_png.h"

namespace {

// The top-left corner of day d's cell in a month whose 1st falls on weekday `first`.
POINT CellOf(int first, int d)
{
    int index = first + d - 1;
    return {52 * (index % 7), 21 + 33 * (index / 7)};
}

// The colour just inside the top-left corner of day d's badge (the glyph never reaches it).
COLORREF BadgeCorner(const Picture& pic, int first, int d)
{
    POINT c = CellOf(first, d);
    return pic.At(c.x + 51 - 13, c.y + 1);
}

const COLORREF kOff = RGB(220, 20, 30), kWork = RGB(70, 70, 90), kCell = RGB(245, 245, 230);

// 休 and 班 from the built-in table, on today's ringed cell too; the user's file adds a year
// and is read again when it changes.
TEST(Holidays, MarksFromTheTableAndTheUsersFile)
{
    CreateDirectoryW(MemoFolder().c_str(), nullptr);
    CreateDirectoryW((MemoFolder() + L"\\日历").c_str(), nullptr);
    const std::wstring file = MemoFolder() + L"\\日历\\节假日.txt";
    WriteBytes(file, "\xef\xbb\xbf# 2027\r\n2027-02-06 班 春节\r\n2027-02-07..2027-02-13 休 春节\r\n");
    SetTestClockTo({2026, 10, 0, 5, 12, 0, 0, 0});

    AlmanixRun run;
    ASSERT_TRUE(run.Start(true));
    HWND main = run.Main();
    HWND view = GetDlgItem(main, kMonthView);
    Picture pic;
    ASSERT_TRUE(pic.Capture(view));
    // October 2026 begins on a Thursday: 1-7 off, Saturday the 10th works, the 15th is plain.
    EXPECT_EQ(BadgeCorner(pic, 4, 1), kOff);
    EXPECT_EQ(BadgeCorner(pic, 4, 5), kOff);  // today, inside the ring
    EXPECT_EQ(BadgeCorner(pic, 4, 10), kWork);
    EXPECT_EQ(BadgeCorner(pic, 4, 15), kCell);
    POINT c = CellOf(4, 1);
    EXPECT_GT(pic.Count(c.x + 38, c.y + 1, c.x + 50, c.y + 13, RGB(255, 255, 255)), 10);  // the glyph
    SaveWindowPng(main, L"holidays-2026-10");
    Choose(main, 2026, 2);
    Sync(main);
    SaveWindowPng(main, L"holidays-2026-02");

    // February 2027 begins on a Monday; the year comes from the user's file alone.
    Choose(main, 2027, 2);
    // The screen shows the month once the view has repainted.
    EXPECT_TRUE(WaitUntil([&] { return pic.Capture(view) && BadgeCorner(pic, 1, 6) == kWork; }, 5000));
    EXPECT_EQ(BadgeCorner(pic, 1, 6), kWork);
    EXPECT_EQ(BadgeCorner(pic, 1, 7), kOff);
    EXPECT_EQ(BadgeCorner(pic, 1, 14), kCell);

    // The file changes: the next ticks show it without a restart.
    WriteBytes(file, "2027-02-14 休 春节\n");
    EXPECT_TRUE(WaitUntil(
        [&] { return pic.Capture(view) && BadgeCorner(pic, 1, 7) == kCell && BadgeCorner(pic, 1, 14) == kOff; }, 8000));
    SetTestClockOffset(0);
}

}  // namespace

namespace {

const int kItem = 1053, kNext = 1054;

// The bulletin line's own items on lunar New Year's Eve 2026 with two memos for the next day,
// the first too long for the line: "下一篇" steps through them, no item reaches under it, and a
// click on a memo item opens that day's memo dialog.
TEST(Holidays, BulletinLineShowsItsOwnItems)
{
    CreateDirectoryW(MemoFolder().c_str(), nullptr);
    CreateDirectoryW((MemoFolder() + L"\\日历").c_str(), nullptr);
    WriteBytes(MemoFolder() + L"\\日历\\202602", MemoFile(MemoRecord(17, "拜年 给外婆外公舅舅姨妈打电话问好再去看望邻居")));
    WriteBytes(MemoFolder() + L"\\日历\\102", MemoFile(MemoRecord(17, "生日")));
    SetTestClockTo({2026, 2, 0, 16, 12, 0, 0, 0});

    AlmanixRun run;
    ASSERT_TRUE(run.Start(true));
    HWND main = run.Main();
    HWND item = GetDlgItem(main, kItem), next = GetDlgItem(main, kNext);
    // The holiday's whole text does not fit before "下一篇": its gist shows.
    EXPECT_EQ(TextOf(item), L"距春节（2月17日）还有 1 天");
    EXPECT_EQ(TextOf(next), L"下一篇");
    Click(next, 3, 3);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(item) == L"2月18日 雨水"; }, 5000));
    Click(item, 3, 3);  // a solar term opens nothing
    Click(next, 3, 3);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(item).rfind(L"明天：拜年", 0) == 0; }, 5000));
    const std::wstring cut = TextOf(item);
    EXPECT_EQ(cut.back(), L'…') << cut;
    RECT rcItem, rcNext;
    GetWindowRect(item, &rcItem);
    GetWindowRect(next, &rcNext);
    EXPECT_LE(rcItem.right, rcNext.left);
    Click(next, 3, 3);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(item) == L"明天：生日"; }, 5000));
    PostClick(item, 3, 3);
    HWND dlg = WaitForDialog(run, L"输入记事 - 日历2.18");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(ChildWithId(dlg, 1032)), L"2026年2月17日星期二农历正月初一");
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    SetTestClockOffset(0);
}

}  // namespace

namespace {

const int kHolidayUpdateCommand = 32791, kAboutCommand = 32782;

// January 2027 is shown, without badges, while the update is off; turned on in the menu, it
// fetches the year from the web server and the shown month takes its 休 at once. The file is
// stored beside the memos, and the About box says how each year went.
TEST(HolidayUpdate, JanuaryGetsItsBadgesWhileShown)
{
    // In holiday-cn's shape; the days are the test's own (2027's are not published yet).
    const std::string year2027 = u8"{\"year\": 2027, \"papers\": [], \"days\": ["
                                 u8"{\"name\": \"元旦\", \"date\": \"2027-01-01\", \"isOffDay\": true},"
                                 u8"{\"name\": \"元旦\", \"date\": \"2027-01-02\", \"isOffDay\": true},"
                                 u8"{\"name\": \"元旦\", \"date\": \"2027-01-03\", \"isOffDay\": true}]}";
    CreateDirectoryW((WebServerDir() + L"\\holidays").c_str(), nullptr);
    WriteBytes(WebServerDir() + L"\\holidays\\2027.json", year2027);
    SetRegText(kSettingsKey, L"HolidayUpdate", L"0");
    SetTestClockTo({2026, 12, 0, 7, 12, 0, 0, 0});

    AlmanixRun run;
    ASSERT_TRUE(run.Start(true));
    HWND main = run.Main();
    HWND view = GetDlgItem(main, kMonthView);
    Choose(main, 2027, 1);
    Picture pic;
    // January 2027 begins on a Friday.
    ASSERT_TRUE(WaitUntil([&] { return pic.Capture(view) && BadgeCorner(pic, 5, 4) == kCell; }, 5000));
    EXPECT_EQ(BadgeCorner(pic, 5, 1), kCell);

    PostMessageW(main, WM_COMMAND, kHolidayUpdateCommand, 0);
    EXPECT_TRUE(WaitUntil([&] { return pic.Capture(view) && BadgeCorner(pic, 5, 1) == kOff; }, 30000));
    EXPECT_EQ(BadgeCorner(pic, 5, 3), kOff);
    EXPECT_EQ(BadgeCorner(pic, 5, 4), kCell);
    EXPECT_EQ(RegText(kSettingsKey, L"HolidayUpdate"), L"1");
    EXPECT_EQ(ReadBytes(CalendarFile(L"节假日-下载\\2027.json")), year2027);
    SaveWindowPng(main, L"holidays-2027-01-downloaded");

    PostMessageW(main, WM_COMMAND, kAboutCommand, 0);
    HWND about = WaitForDialog(run, L"Almanix");
    ASSERT_NE(about, nullptr);
    const std::wstring words = StaticTexts(about);
    EXPECT_NE(words.find(L"节假日数据：2026 年未能更新：尚未公布"), std::wstring::npos) << words;
    EXPECT_NE(words.find(L"节假日数据：2027 年已更新（2026-12-07）"), std::wstring::npos) << words;
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    WriteBytes(WebServerDir() + L"\\stop", "");
    SetTestClockOffset(0);
}

}  // namespace
