// The memo dialogs of the running program: a click on a day or a weekday name opens them,
// typed texts reach the memo files, the grid and the tip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "window_png.h"

namespace {

const int kOnce = 1029, kSolarYearly = 1030, kLunarYearly = 1031, kDateLine = 1032, kWeekly = 1049;
const wchar_t kWeeklyTitle[] = L"每周提示";

TEST(MemoDialog, DayMemosReachTheFilesTheGridAndTheTip)
{
    AlmanixRun run;
    HWND view = StartOnMay2024(run);
    ASSERT_NE(view, nullptr);
    HWND main = run.Main();

    POINT cell = CellOfMay2024(1);
    HWND dlg = OpenDayMemo(run, view, DayOfMay2024(1));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(ChildWithId(dlg, kDateLine)), L"2024年5月1日星期三农历三月廿三");
    EXPECT_EQ(TextOf(ChildWithId(dlg, 1038)), L"阳历每年5月1日");
    EXPECT_EQ(TextOf(ChildWithId(dlg, 1039)), L"农历每年三月廿三");
    Type(GetDlgItem(dlg, kOnce), L"  买菜\r做饭");
    Type(GetDlgItem(dlg, kSolarYearly), L"劳动节");
    Type(GetDlgItem(dlg, kLunarYearly), L"生日 ");
    SaveWindowPng(dlg, L"e2e-memo-dialog");
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));

    EXPECT_EQ(ReadBytes(CalendarFile(L"202405")), MemoFile(MemoRecord(1, "买菜\r\n做饭")));
    EXPECT_EQ(ReadBytes(CalendarFile(L"105")), MemoFile(MemoRecord(1, "劳动节")));
    EXPECT_EQ(ReadBytes(CalendarFile(L"003")), MemoFile(MemoRecord(23, "生日 ")));

    // The cell is filled with the one-off colour and carries the two stars; Labour Day's 休
    // badge stays on top in its corner.
    Picture pic;
    auto marked = [&] {
        Sync(main);
        return pic.Capture(view) && pic.At(cell.x + 34, cell.y + 1) == RGB(135, 206, 250);
    };
    EXPECT_TRUE(WaitUntil(marked, 5000));
    EXPECT_EQ(pic.At(cell.x + 38, cell.y + 1), RGB(220, 20, 30));
    EXPECT_GT(pic.Count(cell.x, cell.y + 15, cell.x + 17, cell.y + 32, RGB(255, 0, 0)), 5);
    EXPECT_GT(pic.Count(cell.x + 34, cell.y + 15, cell.x + 51, cell.y + 32, RGB(128, 0, 255)), 5);
    SaveWindowPng(main, L"e2e-memo-marks");

    // Hovering over the day shows its memos in the tip, one per line.
    POINT other = CellOfMay2024(2);
    MoveMouse(view, other.x + 20, other.y + 12);
    MoveMouse(view, cell.x + 20, cell.y + 12);
    HWND tip = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (tip = VisibleTip(run)) != nullptr; }));
    EXPECT_EQ(MemoLinesOf(TextOf(tip)), L"劳动节 放假\r\n买菜\r\n做饭\r\n劳动节\r\n生日 ");

    // Opened again, the dialog shows the stored texts; Cancel changes nothing.
    dlg = OpenDayMemo(run, view, DayOfMay2024(1));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(dlg, kOnce)), L"买菜\r\n做饭");
    Type(GetDlgItem(dlg, kSolarYearly), L"改了");
    SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));
    EXPECT_EQ(ReadBytes(CalendarFile(L"105")), MemoFile(MemoRecord(1, "劳动节")));
}

TEST(MemoDialog, HeaderClickOpensTheWeeklyReminder)
{
    AlmanixRun run;
    HWND view = StartOnMay2024(run);
    ASSERT_NE(view, nullptr);

    PostClick(view, 52 * 3 + 20, 5);
    HWND dlg = WaitForDialog(run, kWeeklyTitle);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(ChildWithId(dlg, -1)), L"每周三");
    Type(GetDlgItem(dlg, kWeekly), L" 倒垃圾");
    SaveWindowPng(dlg, L"e2e-weekly-dialog");
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));
    EXPECT_EQ(ReadBytes(CalendarFile(L"week")), MemoFile(MemoRecord(3, "倒垃圾")));

    // A Wednesday's tip lists the reminder; emptied again, the file goes.
    POINT wednesday = CellOfMay2024(8);
    MoveMouse(view, wednesday.x + 20, wednesday.y + 12);
    HWND tip = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (tip = VisibleTip(run)) != nullptr; }));
    EXPECT_EQ(MemoLinesOf(TextOf(tip)), L"倒垃圾");

    PostClick(view, 52 * 3 + 20, 5);
    dlg = WaitForDialog(run, kWeeklyTitle);
    ASSERT_NE(dlg, nullptr);
    HWND edit = GetDlgItem(dlg, kWeekly);
    EXPECT_EQ(TextOf(edit), L"倒垃圾");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));
    EXPECT_FALSE(FileExists(CalendarFile(L"week")));
}

// Midnight passes while the dialog is open and the calendar moves to the new month: the
// memos still go to the day that was clicked.
TEST(MemoDialog, MidnightWhileOpenKeepsTheDayClicked)
{
    // The test build's clock: 2024-01-31 23:59:57, three seconds before February.
    SetTestClockTo({2024, 1, 0, 31, 23, 59, 57, 0});
    AlmanixRun run;
    ASSERT_TRUE(run.Start(true));
    HWND main = run.Main();
    HWND view = ChildWithId(main, kMonthView);
    ASSERT_NE(view, nullptr);
    // 31 January 2024, a Wednesday in the fifth row (day 1 a Monday); lunar 12-21.
    HWND dlg = OpenDayMemo(run, view, {52 * 3 + 20, 21 + 33 * 4 + 12});
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(ChildWithId(dlg, kDateLine)), L"2024年1月31日星期三农历十二月廿一");
    Type(GetDlgItem(dlg, kOnce), L"月底");
    Type(GetDlgItem(dlg, kSolarYearly), L"年年");
    Type(GetDlgItem(dlg, kLunarYearly), L"腊月");
    EXPECT_TRUE(WaitUntil([&] { return SendDlgItemMessageW(main, kComboMonth, CB_GETCURSEL, 0, 0) == 1; }, 8000));
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));
    SetTestClockOffset(0);
    EXPECT_EQ(ReadBytes(CalendarFile(L"202401")), MemoFile(MemoRecord(31, "月底")));
    EXPECT_EQ(ReadBytes(CalendarFile(L"101")), MemoFile(MemoRecord(31, "年年")));
    EXPECT_EQ(ReadBytes(CalendarFile(L"012")), MemoFile(MemoRecord(21, "腊月")));
    EXPECT_FALSE(FileExists(CalendarFile(L"202402")));
    EXPECT_FALSE(FileExists(CalendarFile(L"102")));
}

// Under an English display language the memo files hold the same GB18030 bytes, for
// characters outside GBK too, and the texts come back unchanged.
TEST(MemoDialog, EnglishLocaleStoresTheSameBytes)
{
    EXPECT_EQ(GetACP(), 1252u);
    AlmanixRun run;
    HWND view = StartOnMay2024(run);
    ASSERT_NE(view, nullptr);
    POINT cell = CellOfMay2024(1);

    HWND dlg = OpenDayMemo(run, view, DayOfMay2024(1));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(ChildWithId(dlg, kDateLine)), L"2024年5月1日星期三农历三月廿三");
    HWND edit = GetDlgItem(dlg, kOnce);
    Type(edit, L"中a\u00e9\U0001F600\uAC00");
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));
    const std::string bytes = "\xd6\xd0"
                              "a"
                              "\xa8\xa6"
                              "\x94\x39\xfc\x36"
                              "\x82\x37\xcf\x35";
    EXPECT_EQ(ReadBytes(CalendarFile(L"202405")), MemoFile(MemoRecord(1, bytes)));

    dlg = OpenDayMemo(run, view, DayOfMay2024(1));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(dlg, kOnce)), L"中a\u00e9\U0001F600\uAC00");
    SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));

    POINT other = CellOfMay2024(2);
    MoveMouse(view, other.x + 20, other.y + 12);
    MoveMouse(view, cell.x + 20, cell.y + 12);
    HWND tip = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (tip = VisibleTip(run)) != nullptr; }));
    EXPECT_EQ(MemoLinesOf(TextOf(tip)), L"劳动节 放假\r\n中a\u00e9\U0001F600\uAC00");
}

}  // namespace
