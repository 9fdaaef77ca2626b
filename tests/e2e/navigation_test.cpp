#include <gtest/gtest.h>

#include "harness.h"
#include "window_png.h"

namespace {

const int kPrev = 1044, kNext = 1045, kToday = 105;

struct Shown {
    int year, month;
    bool operator==(const Shown& o) const { return year == o.year && month == o.month; }
};

Shown ShownBySelectors(HWND main)
{
    int y = static_cast<int>(SendDlgItemMessageW(main, kComboYear, CB_GETCURSEL, 0, 0));
    int m = static_cast<int>(SendDlgItemMessageW(main, kComboMonth, CB_GETCURSEL, 0, 0));
    return {1900 + y, m + 1};
}

// A click on a hover button. The button posts its notification, which a round trip through
// the window does not wait for; every button here ends by setting the month selector, so
// clearing it first shows when the click has been handled.
void Press(HWND main, int id)
{
    SendDlgItemMessageW(main, kComboMonth, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Click(GetDlgItem(main, id), 3, 3);
    WaitUntil([&] { return SendDlgItemMessageW(main, kComboMonth, CB_GETCURSEL, 0, 0) != -1; });
}

TEST(Navigation, MonthsSelectorsAndTheTodayButton)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start(true));
    HWND main = run.Main();
    // The program's clock is set once it runs, so that a slow start cannot cross a midnight.
    SetTestClockTo({2024, 5, 0, 15, 12, 0, 0, 0});
    const SYSTEMTIME now = {2024, 5, 0, 15, 12, 0, 0, 0};
    ASSERT_TRUE(WaitUntil([&] { return ShownBySelectors(main) == Shown{now.wYear, now.wMonth}; }));
    HWND today = GetDlgItem(main, kToday);
    EXPECT_FALSE(IsWindowVisible(today));

    EXPECT_EQ(SendDlgItemMessageW(main, kComboYear, CB_GETCOUNT, 0, 0), 150);
    wchar_t item[16] = {};
    SendDlgItemMessageW(main, kComboYear, CB_GETLBTEXT, 124, (LPARAM)item);
    EXPECT_STREQ(item, L"2024年");
    SendDlgItemMessageW(main, kComboMonth, CB_GETLBTEXT, 11, (LPARAM)item);
    EXPECT_STREQ(item, L"12月");

    struct Step {
        int pressId;
        Shown from, to;
    } steps[] = {
        {kPrev, {2000, 1}, {1999, 12}},
        {kNext, {1999, 12}, {2000, 1}},
        {kPrev, {1900, 2}, {1900, 2}},
        {kNext, {2049, 12}, {2049, 12}},
        {kNext, {2049, 11}, {2049, 12}},
    };
    for (const Step& s : steps) {
        Choose(main, s.from.year, s.from.month);
        ASSERT_EQ(ShownBySelectors(main), s.from);
        Press(main, s.pressId);
        EXPECT_EQ(ShownBySelectors(main), s.to) << s.from.year << "-" << s.from.month;
        EXPECT_TRUE(IsWindowVisible(today));
    }

    // January 1900 is never shown: the month selector moves to February.
    Choose(main, 1900, 1);
    EXPECT_EQ(ShownBySelectors(main), (Shown{1900, 2}));

    Press(main, kToday);
    EXPECT_EQ(ShownBySelectors(main), (Shown{now.wYear, now.wMonth}));
    EXPECT_FALSE(IsWindowVisible(today));
    SetTestClockOffset(0);
}

// The year title under the grid tells which month the view shows.
std::wstring TitleOf(HWND main)
{
    return TextOf(ChildWithId(GetDlgItem(main, 107), -1));
}

TEST(Navigation, TypingIntoASelectorChangesNothing)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND main = run.Main();
    Choose(main, 2024, 2);
    ASSERT_EQ(TitleOf(main), L"癸卯【免】年－甲辰【龙】年");
    HWND combo = GetDlgItem(main, kComboYear);
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_CHAR, L'7', 0);
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(kComboYear, CBN_EDITCHANGE), (LPARAM)combo);
    Sync(main);
    EXPECT_EQ(TitleOf(main), L"癸卯【免】年－甲辰【龙】年");
    EXPECT_EQ(SendDlgItemMessageW(main, kComboMonth, CB_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(main, kToday)));
}

TEST(Navigation, DateChangeMovesToTheNewDayWithinATick)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start(true));
    HWND main = run.Main();
    // Once the program runs, its clock goes to 2024-02-29 23:59:55 local time, five seconds
    // before March: a slow start cannot let midnight pass unseen.
    SetTestClockTo({2024, 2, 0, 29, 23, 59, 55, 0});
    ASSERT_TRUE(WaitUntil([&] { return ShownBySelectors(main) == Shown{2024, 2}; }, 4000));
    // Midnight passes on the program's clock; the next ticks move the view to 1 March.
    EXPECT_TRUE(WaitUntil([&] { return ShownBySelectors(main) == Shown{2024, 3}; }, 8000));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(main, kToday)));
    SetTestClockOffset(0);
}

TEST(Screenshots, SomeMonthsForPeopleToLookAt)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND main = run.Main();
    // Each picture is of the month its title names.
    struct {
        int y, m;
        const wchar_t* name;
        const wchar_t* title;
    } months[] = {{2024, 2, L"month-2024-02", L"癸卯【免】年－甲辰【龙】年"},
        {2023, 3, L"month-2023-03", L"癸卯【免】年"}, {2000, 7, L"month-2000-07", L"庚辰【龙】年"},
        {1900, 2, L"month-1900-02", L"庚子【鼠】年"}};
    for (auto& m : months) {
        Choose(main, m.y, m.m);
        UpdateWindow(main);
        Sync(main);
        EXPECT_EQ(ShownBySelectors(main), (Shown{m.y, m.m}));
        EXPECT_EQ(TitleOf(main), m.title);
        EXPECT_FALSE(SaveWindowPng(main, m.name).empty());
    }
}

}  // namespace
