// Month model: cell texts, titles, the selected date and "返回", unsupported months, geometry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/lunar.h"
#include "engine/solar_terms.h"
#include "monthview/month_model.h"
#include "monthview_support.h"

namespace {

using monthview_test::FakeHost;
using monthview_test::MemoFolderTest;
using monthview_test::Utf8;

class MonthModelTest : public MemoFolderTest {};

TEST_F(MonthModelTest, February2024ReadsAsTheAlmanacPrintsIt)
{
    const char* const kTexts[29] = {
        u8"廿二",
        u8"廿三",
        u8"廿四",
        u8"立春",
        u8"廿六",
        u8"廿七",
        u8"廿八",
        u8"廿九",
        u8"除夕",
        u8"春节",
        u8"初二",
        u8"初三",
        u8"初四",
        u8"初五",
        u8"初六",
        u8"初七",
        u8"初八",
        u8"初九",
        u8"雨水",
        u8"十一",
        u8"十二",
        u8"十三",
        u8"十四",
        u8"元宵节",
        u8"十六",
        u8"十七",
        u8"十八",
        u8"十九",
        u8"二十",
    };
    CMonthModel model;
    model.SetMonth(2024, 2, 0);
    ASSERT_EQ(model.m_nDays, 29);
    for (int d = 1; d <= 29; ++d) {
        const CDayCell& cell = model.m_cells[d];
        EXPECT_EQ(Utf8(cell.m_szText), kTexts[d - 1]) << "day " << d;
        EXPECT_EQ(cell.m_nTerm, d == 4 ? 1 : (d == 19 ? 2 : 0)) << "day " << d;
        EXPECT_EQ(cell.m_bMonthStart, 0) << "day " << d;  // 春节 covers the one month start
    }
    EXPECT_EQ(model.m_cells[1].m_nWeekday, 4);  // Thursday
    EXPECT_EQ(Utf8(model.m_cells[10].m_pszFestival), u8"春节");
    EXPECT_EQ(model.m_cells[10].m_lunar.m_nYear, 2024);
    EXPECT_EQ(model.m_cells[9].m_lunar.m_nYear, 2023);
}

// Month starts, and what hides them: a festival or a solar term on the same day.
TEST_F(MonthModelTest, CellTextPrecedence)
{
    struct Case {
        int nYear, nMonth, nDay;
        const char* szText;  // UTF-8
        int nTerm;
        int bMonthStart;
        const char* szFestival;  // UTF-8, or null
    };
    const Case cases[] = {
        {2024, 3, 10, u8"二月大", 0, 1, nullptr},
        {2023, 3, 22, u8"闰二月小", 0, 1, nullptr},  // leap second month, 29 days
        {2015, 2, 19, u8"春节", 2, 0, u8"春节"},     // 雨水 falls on it too
        {2019, 2, 4, u8"除夕", 1, 0, u8"除夕"},      // 立春 falls on it too
        {2014, 12, 22, u8"冬至", 2, 0, nullptr},     // 冬至 on the first of the eleventh month
        {2001, 6, 21, u8"夏至", 2, 0, nullptr},      // the solstice's new moon (solar eclipse)
        {2016, 10, 1, u8"国庆", 0, 0, u8"国庆"},     // first of the ninth lunar month
        {2024, 6, 10, u8"端午", 0, 0, u8"端午"},
        {2024, 10, 1, u8"国庆", 0, 0, u8"国庆"},
        {2024, 9, 17, u8"中秋", 0, 0, u8"中秋"},
        {2023, 9, 29, u8"中秋", 0, 0, u8"中秋"},
        {2024, 2, 20, u8"十一", 0, 0, nullptr},
        {2024, 3, 9, u8"廿九", 0, 0, nullptr},
        {2024, 3, 30, u8"廿一", 0, 0, nullptr},
        {2024, 4, 8, u8"三十", 0, 0, nullptr},
        {2024, 4, 9, u8"三月小", 0, 1, nullptr},
    };
    for (const Case& c : cases) {
        CMonthModel model;
        model.SetMonth(c.nYear, c.nMonth, 0);
        const CDayCell& cell = model.m_cells[c.nDay];
        const std::string where =
            std::to_string(c.nYear) + "-" + std::to_string(c.nMonth) + "-" + std::to_string(c.nDay);
        EXPECT_EQ(Utf8(cell.m_szText), c.szText) << where;
        EXPECT_EQ(cell.m_nTerm, c.nTerm) << where;
        EXPECT_EQ(cell.m_bMonthStart, c.bMonthStart) << where;
        EXPECT_EQ(Utf8(cell.m_pszFestival), c.szFestival ? c.szFestival : "(null)") << where;
    }
}

TEST_F(MonthModelTest, TitleNamesOneOrTwoLunarYears)
{
    struct Case {
        int nYear, nMonth;
        const char* szTitle;  // UTF-8
    };
    const Case cases[] = {
        {2024, 2, u8"癸卯【免】年－甲辰【龙】年"},
        {2024, 3, u8"甲辰【龙】年"},
        {2024, 1, u8"癸卯【免】年"},
        {2025, 1, u8"甲辰【龙】年－乙巳【蛇】年"},  // new year on 29 January
        {1900, 2, u8"庚子【鼠】年"},
        {2049, 12, u8"己巳【蛇】年"},
    };
    for (const Case& c : cases) {
        FakeHost host;
        CMonthModel model(&host);
        model.SetMonth(c.nYear, c.nMonth, 0);
        EXPECT_EQ(Utf8(model.m_szTitle), c.szTitle) << c.nYear << "-" << c.nMonth;
        EXPECT_EQ(host.m_calls, (std::vector<std::string>{"today:1", std::string("title:") + c.szTitle, "invalidate"}));
    }
}

TEST_F(MonthModelTest, SelectedDateAndTheTodayButton)
{
    FakeHost host;
    CMonthModel model(&host);
    EXPECT_EQ(model.m_nWeekdayCol, -1);
    EXPECT_EQ(model.m_nYear, 0);
    EXPECT_EQ(model.m_nSelDay, 0);

    EXPECT_TRUE(model.SetMonth(2024, 2, 31));
    EXPECT_EQ(model.m_nDays, 29);
    EXPECT_EQ(model.m_nSelYear, 2024);
    EXPECT_EQ(model.m_nSelMonth, 2);
    EXPECT_EQ(model.m_nSelDay, 29);
    ASSERT_FALSE(host.m_calls.empty());
    EXPECT_EQ(host.m_calls.front(), "today:0");
    EXPECT_EQ(host.m_calls.back(), "invalidate");

    host.m_calls.clear();
    EXPECT_TRUE(model.SetMonth(2024, 3, 0));
    EXPECT_EQ(model.m_nSelMonth, 2);
    EXPECT_EQ(model.m_nSelDay, 29);
    EXPECT_FALSE(model.ShowsSelectedMonth());
    EXPECT_EQ(host.m_calls.front(), "today:1");

    host.m_calls.clear();
    model.m_nHotDay = 7;
    model.m_nWeekdayCol = 3;
    EXPECT_TRUE(model.SetMonth(2024, 2, 0));
    EXPECT_EQ(host.m_calls.front(), "today:0");
    EXPECT_TRUE(model.ShowsSelectedMonth());
    EXPECT_EQ(model.m_nHotDay, 7);  // carried over, as the pointer has not moved
    EXPECT_EQ(model.m_nWeekdayCol, 3);

    // The same year in another month: the year alone does not hide the button.
    host.m_calls.clear();
    model.SetMonth(2023, 2, 0);
    EXPECT_EQ(host.m_calls.front(), "today:1");
}

// Months outside February 1900 .. December 2049 show the nearest supported month; a day
// asked for with them selects nothing, since its date has no cell.
TEST_F(MonthModelTest, UnsupportedMonthsShowTheNearestOne)
{
    struct Case {
        int nYear, nMonth, nDay;
        int nShownYear, nShownMonth;
    };
    const Case cases[] = {
        {1900, 1, 31, 1900, 2},
        {1899, 12, 1, 1900, 2},
        {1, 1, 0, 1900, 2},
        {0, 0, 0, 1900, 2},
        {-5, 3, 9, 1900, 2},
        {2050, 1, 1, 2049, 12},
        {2051, 2, 0, 2049, 12},
        {65535, 65535, 65535, 2049, 12},
        {2049, 13, 1, 2049, 12},
        {2024, 0, 0, 2024, 1},
        {2024, 13, 0, 2024, 12},
        {1900, 0, 0, 1900, 2},
    };
    for (const Case& c : cases) {
        FakeHost host;
        CMonthModel model(&host);
        model.SetMonth(2024, 5, 6);
        host.m_calls.clear();
        EXPECT_TRUE(model.SetMonth(c.nYear, c.nMonth, c.nDay));
        const std::string where =
            std::to_string(c.nYear) + "-" + std::to_string(c.nMonth) + "-" + std::to_string(c.nDay);
        EXPECT_EQ(model.m_nYear, c.nShownYear) << where;
        EXPECT_EQ(model.m_nMonth, c.nShownMonth) << where;
        EXPECT_EQ(model.m_nDays, DaysInMonth(c.nShownYear, c.nShownMonth)) << where;
        for (int d = 1; d <= model.m_nDays; ++d) {
            CLunarDate lunar;
            lunar.FromSolar(c.nShownYear, c.nShownMonth, d);
            EXPECT_EQ(model.m_cells[d].m_lunar.m_nDay, lunar.m_nDay) << where << " day " << d;
            EXPECT_NE(model.m_cells[d].m_szText[0], '\0') << where << " day " << d;
        }
        if (c.nDay > 0) {
            EXPECT_EQ(model.m_nSelYear, 0) << where;
            EXPECT_EQ(model.m_nSelDay, 0) << where;
        } else {
            EXPECT_EQ(model.m_nSelYear, 2024) << where;
            EXPECT_EQ(model.m_nSelDay, 6) << where;
        }
        ASSERT_FALSE(host.m_calls.empty());
        EXPECT_EQ(host.m_calls.front(), "today:1") << where;
    }
}

// Every supported month: the stepped lunar dates agree with converting each day, the term
// marks sit on the table's days, every day has a text that fits its field, and the cells
// after the last day are cleared from the month before.
TEST_F(MonthModelTest, EverySupportedMonthBuildsConsistentCells)
{
    CMonthModel model;
    for (int y = 1900; y <= 2049; ++y) {
        for (int m = (y == 1900 ? 2 : 1); m <= 12; ++m) {
            model.SetMonth(y, m, 0);
            ASSERT_EQ(model.m_nDays, DaysInMonth(y, m));
            SolarTermTime first{}, second{};
            ASSERT_EQ(GetSolarTerms(y, m, first, second), 0);
            for (int d = 1; d <= model.m_nDays; ++d) {
                const CDayCell& cell = model.m_cells[d];
                CLunarDate lunar;
                lunar.FromSolar(y, m, d);
                ASSERT_TRUE(cell.m_lunar.m_nYear == lunar.m_nYear && cell.m_lunar.m_nMonth == lunar.m_nMonth &&
                    cell.m_lunar.m_nDay == lunar.m_nDay && cell.m_lunar.m_bLeap == lunar.m_bLeap &&
                    cell.m_lunar.m_nMonthDays == lunar.m_nMonthDays)
                    << y << "-" << m << "-" << d;
                ASSERT_EQ(cell.m_nWeekday, DayOfWeek(y, m, d));
                ASSERT_EQ(cell.m_nTerm, d == first.m_nDay ? 1 : (d == second.m_nDay ? 2 : 0));
                const std::size_t n = std::strlen(cell.m_szText);
                ASSERT_TRUE(n >= 4 && n <= 10) << y << "-" << m << "-" << d;
                ASSERT_EQ(cell.m_bMonthStart, lunar.m_nDay == 1 && !cell.m_pszFestival && cell.m_nTerm == 0);
            }
            for (int d = model.m_nDays + 1; d < 32; ++d)
                ASSERT_EQ(model.m_cells[d].m_szText[0], '\0');
        }
    }
}

TEST_F(MonthModelTest, HitTestAndCellOrigins)
{
    struct Case {
        int nYear, nMonth;
        int x, y;
        int nDay;
    };
    const Case cases[] = {
        // October 2022 starts on a Saturday and has 31 days: six rows.
        {2022, 10, 312, 20, 1},
        {2022, 10, 362, 52, 1},
        {2022, 10, 311, 30, 0},
        {2022, 10, 0, 20, 0},
        {2022, 10, 312, 19, 0},
        {2022, 10, 100, 0, 0},
        {2022, 10, 0, 53, 2},
        {2022, 10, 52, 185, 31},
        {2022, 10, 103, 217, 31},
        {2022, 10, 104, 185, 0},
        {2022, 10, 0, 185, 30},
        {2022, 10, 364, 60, 0},
        {2022, 10, -1, 60, 0},
        {2022, 10, 50, 230, 0},
        // February 2015 starts on a Sunday and has 28 days: rows 4 and 5 stay empty.
        {2015, 2, 0, 20, 1},
        {2015, 2, 312, 151, 28},
        {2015, 2, 0, 152, 0},
        {2015, 2, 200, 200, 0},
    };
    for (const Case& c : cases) {
        CMonthModel model;
        model.SetMonth(c.nYear, c.nMonth, 0);
        EXPECT_EQ(model.HitTest(c.x, c.y), c.nDay) << c.nYear << "-" << c.nMonth << " at " << c.x << "," << c.y;
    }

    CMonthModel model;
    EXPECT_EQ(model.HitTest(100, 100), 0);  // nothing shown yet
    model.SetMonth(2022, 10, 0);
    MonthPoint pt{-1, -1};
    EXPECT_TRUE(model.GetCellOrigin(1, pt));
    EXPECT_EQ(pt.x, 312);
    EXPECT_EQ(pt.y, 20);
    EXPECT_TRUE(model.GetCellOrigin(31, pt));
    EXPECT_EQ(pt.x, 52);
    EXPECT_EQ(pt.y, 20 + 33 * 5);
    EXPECT_FALSE(model.GetCellOrigin(0, pt));
    EXPECT_FALSE(model.GetCellOrigin(32, pt));
    // Every cell's reference point and the far corner of its hit zone find the cell again.
    for (int d = 1; d <= model.m_nDays; ++d) {
        ASSERT_TRUE(model.GetCellOrigin(d, pt));
        EXPECT_EQ(model.HitTest(pt.x, pt.y), d);
        EXPECT_EQ(model.HitTest(pt.x + 51, pt.y + 32), d);
    }
}

}  // namespace
