#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "harness.h"
#include "window_png.h"

namespace {

int WeekdayOf(int y, int m, int d)
{
    SYSTEMTIME st = {static_cast<WORD>(y), static_cast<WORD>(m), 0, static_cast<WORD>(d), 12, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    FileTimeToSystemTime(&ft, &st);
    return st.wDayOfWeek;
}

TEST(Display, ColoursOfThePaintedMonth)
{
    AlmanixRun run;
    ASSERT_TRUE(run.Start(true));
    // The program's clock is set once it runs, so that a slow start cannot cross a midnight.
    const SYSTEMTIME now = {2024, 10, 0, 16, 12, 0, 0, 0};
    SetTestClockTo(now);
    HWND main = run.Main();
    ASSERT_TRUE(WaitUntil([&] {
        return SendDlgItemMessageW(main, kComboMonth, CB_GETCURSEL, 0, 0) == now.wMonth - 1 &&
            SendDlgItemMessageW(main, kComboYear, CB_GETCURSEL, 0, 0) == now.wYear - 1900;
    }));
    Sync(main);
    HWND view = GetDlgItem(main, kMonthView);
    ASSERT_NE(view, nullptr);
    Picture pic;
    ASSERT_TRUE(pic.Capture(view));
    ASSERT_EQ(pic.w, 363);
    ASSERT_EQ(pic.h, 236);

    EXPECT_EQ(pic.At(48, 2), RGB(72, 61, 139));         // header, between two names
    EXPECT_EQ(pic.At(300, 236 - 3), RGB(255, 215, 0));  // gold strip right of the site link
    EXPECT_EQ(pic.At(51, 30), RGB(0, 0, 0));            // grid line between columns 0 and 1

    int first = WeekdayOf(now.wYear, now.wMonth, 1);
    auto cellLeft = [&](int d) { return 52 * ((first + d - 1) % 7); };
    auto cellTop = [&](int d) { return 21 + 33 * ((first + d - 1) / 7); };
    int sunday = (7 - first) % 7 + 1, saturday = sunday + 6 > 28 ? sunday - 1 : sunday + 6;
    if (saturday < 1)
        saturday += 7;
    // Between the number and the top-right corner (where a holiday's badge goes) a day cell
    // shows the cell colour.
    EXPECT_EQ(pic.At(cellLeft(15) + 34, cellTop(15) + 1), RGB(245, 245, 230));
    // Sunday numbers red, Saturday numbers green (unless a memo, festival or term wins).
    EXPECT_GT(pic.Count(cellLeft(sunday) + 8, cellTop(sunday) + 2, cellLeft(sunday) + 40, cellTop(sunday) + 17,
                  RGB(255, 0, 0)) +
            pic.Count(
                cellLeft(sunday) + 8, cellTop(sunday) + 2, cellLeft(sunday) + 40, cellTop(sunday) + 17, RGB(0, 0, 255)),
        5);
    EXPECT_GT(pic.Count(cellLeft(saturday) + 8, cellTop(saturday) + 2, cellLeft(saturday) + 40, cellTop(saturday) + 17,
                  RGB(0, 128, 0)) +
            pic.Count(cellLeft(saturday) + 8, cellTop(saturday) + 2, cellLeft(saturday) + 40, cellTop(saturday) + 17,
                RGB(0, 0, 255)) +
            pic.Count(cellLeft(saturday) + 8, cellTop(saturday) + 2, cellLeft(saturday) + 40, cellTop(saturday) + 17,
                RGB(255, 0, 0)),
        5);
    // Today's dotted cyan ring around its cell.
    int l = cellLeft(now.wDay), t = cellTop(now.wDay) - 1;
    EXPECT_GT(pic.Count((std::max)(0, l - 8), (std::max)(0, t - 8), l + 59, t + 42, RGB(0, 255, 255)), 20);
    // And today's weekday name in cyan in the header.
    int col = (first + now.wDay - 1) % 7;
    EXPECT_GT(pic.Count(52 * col + 8, 0, 52 * col + 30, 19, RGB(0, 255, 255)), 5);
    SaveWindowPng(run.Main(), L"display-today");
    SetTestClockOffset(0);
}

// Cases named English run under an English display language (see scripts/e2e.sh): the
// program must not depend on the system's code page.
TEST(EnglishLocale, TextsOnScreenAndFilesAreTheSame)
{
    EXPECT_EQ(GetACP(), 1252u);
    AlmanixRun run;
    ASSERT_TRUE(run.Start());
    HWND main = run.Main();
    EXPECT_EQ(TextOf(main), L"日历2.18");
    wchar_t item[16] = {};
    SendDlgItemMessageW(main, 1034, CB_GETLBTEXT, 124, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, L"2024年");
    SendDlgItemMessageW(main, 1034, CB_SETCURSEL, 124, 0);
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(1034, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(main, 1034)));
    SendDlgItemMessageW(main, 1035, CB_SETCURSEL, 1, 0);
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(1035, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(main, 1035)));
    EXPECT_EQ(TextOf(ChildWithId(GetDlgItem(main, kMonthView), -1)), L"癸卯【免】年－甲辰【龙】年");
    EXPECT_EQ(TextOf(GetDlgItem(main, 1044)), L"上月");

    // The notebook stores the same bytes as under a Chinese locale, characters outside GBK too.
    HWND notebook = OpenNotebook(run);
    ASSERT_NE(notebook, nullptr);
    HWND edit = GetDlgItem(notebook, 1047);
    for (wchar_t c : std::wstring(L"中a\u00e9"))
        SendMessageW(edit, WM_CHAR, c, 1);
    SendMessageW(edit, WM_CHAR, 0xD83D, 1);  // U+1F600 as a surrogate pair
    SendMessageW(edit, WM_CHAR, 0xDE00, 1);
    EXPECT_EQ(ReadBytes(MemoFolder() + L"\\备忘\\default"),
        "\xd6\xd0"
        "a\xa8\xa6\x94\x39\xfc\x36");
    EXPECT_EQ(TextOf(edit), L"中a\u00e9\U0001F600");
    SaveWindowPng(main, L"english-locale");
}

}  // namespace
