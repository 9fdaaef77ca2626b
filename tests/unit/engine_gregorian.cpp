#include <gtest/gtest.h>

#include <vector>

#include <climits>

#include "engine/lunar.h"

namespace {

TEST(EngineGregorian, LeapYearsAndMonthLengths)
{
    struct Case {
        int nYear, nMonth, nDays;
    };
    const Case cases[] = {
        {1900, 2, 28},
        {2000, 2, 29},
        {2024, 2, 29},
        {2023, 2, 28},
        {2100, 2, 28},
        {1600, 2, 29},
        {2024, 1, 31},
        {2024, 4, 30},
        {2024, 6, 30},
        {2024, 9, 30},
        {2024, 11, 30},
        {2024, 12, 31},
        {2024, 13, 0},
        {2024, 0, 0},
        {2024, -1, 0},
        {2024, INT_MAX, 0},
        {0, 2, 29},
        {-4, 2, 29},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DaysInMonth(c.nYear, c.nMonth), c.nDays) << c.nYear << "-" << c.nMonth;
    }
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(2023));
    EXPECT_FALSE(IsLeapYear(-100));
    EXPECT_TRUE(IsLeapYear(-400));
}

TEST(EngineGregorian, PublishedWeekdays)
{
    struct Case {
        int nYear, nMonth, nDay, nWeekday;
    };
    const Case cases[] = {
        {2024, 1, 1, 1},
        {2000, 2, 29, 2},
        {1900, 1, 31, 3},
        {1900, 1, 1, 1},
        {1949, 10, 1, 6},
        {1970, 1, 1, 4},
        {2001, 9, 11, 2},
        {2008, 8, 8, 5},
        {2051, 2, 10, 5},
        {2100, 1, 1, 5},
        {1, 1, 1, 1},
        {1582, 10, 15, 5},
        {2024, 2, 29, 4},
        {2024, 12, 25, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DayOfWeek(c.nYear, c.nMonth, c.nDay), c.nWeekday) << c.nYear << "-" << c.nMonth << "-" << c.nDay;
    }
}

// Every day from 1850 to 2150 counted one by one: weekdays advance by one and day
// differences by one, across every month and year end.
TEST(EngineGregorian, DayByDaySweep)
{
    int nCount = 0;
    int nWeekday = DayOfWeek(1850, 1, 1);
    for (int y = 1850; y <= 2150; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= DaysInMonth(y, m); ++d) {
                ASSERT_EQ(DayOfWeek(y, m, d), nWeekday) << y << "-" << m << "-" << d;
                ASSERT_EQ(DaysBetween(y, m, d, 1850, 1, 1), nCount) << y << "-" << m << "-" << d;
                ASSERT_EQ(DaysBetween(1850, 1, 1, y, m, d), -nCount);
                ASSERT_TRUE(IsValidSolarDate(y, m, d));
                nWeekday = (nWeekday + 1) % 7;
                ++nCount;
            }
            ASSERT_FALSE(IsValidSolarDate(y, m, DaysInMonth(y, m) + 1));
        }
    }
    // 301 years with 73 leap days (1900, 2100 are common years).
    EXPECT_EQ(nCount, 301 * 365 + 73);
}

TEST(EngineGregorian, DaysBetweenEdges)
{
    EXPECT_EQ(DaysBetween(2024, 1, 1, 1900, 1, 31), 45260);
    EXPECT_EQ(DaysBetween(1900, 1, 31, 2024, 1, 1), -45260);
    EXPECT_EQ(DaysBetween(2024, 3, 1, 2024, 2, 28), 2);
    EXPECT_EQ(DaysBetween(2023, 3, 1, 2023, 2, 28), 1);
    EXPECT_EQ(DaysBetween(2051, 2, 10, 1900, 1, 31), 55162);
}

// Arguments outside the calendar never index outside a table; months roll over.
TEST(EngineGregorian, OutOfRangeArgumentsRollOver)
{
    EXPECT_EQ(DaysBetween(2024, 13, 1, 2025, 1, 1), 0);
    EXPECT_EQ(DaysBetween(2024, 0, 1, 2023, 12, 1), 0);
    EXPECT_EQ(DaysBetween(2024, -11, 1, 2023, 1, 1), 0);
    EXPECT_EQ(DaysBetween(2024, 1, 32, 2024, 2, 1), 0);
    EXPECT_EQ(DaysBetween(2024, 3, 0, 2024, 2, 29), 0);
    EXPECT_EQ(DayOfWeek(2024, 13, 1), DayOfWeek(2025, 1, 1));
    EXPECT_EQ(DayOfWeek(2024, 25, 1), DayOfWeek(2026, 1, 1));
    EXPECT_EQ(DayOfWeek(2024, 0, 1), DayOfWeek(2023, 12, 1));
    EXPECT_EQ(DayOfWeek(0, 1, 1), 6);  // proleptic 0000-01-01, a Saturday
    EXPECT_EQ(DayOfWeek(-1, 12, 31), 5);
    EXPECT_EQ(DaysBetween(1, 1, 1, 0, 1, 1), 366);  // year 0 is a leap year

    for (int nMonth : {INT_MIN, -1, 0, 13, INT_MAX}) {
        for (int nYear : {INT_MIN, -1, 0, 2024, INT_MAX}) {
            const int nWeekday = DayOfWeek(nYear, nMonth, 1);
            EXPECT_GE(nWeekday, 0);
            EXPECT_LE(nWeekday, 6);
            EXPECT_FALSE(IsValidSolarDate(nYear, nMonth, 1));
        }
    }
    EXPECT_EQ(DaysBetween(INT_MAX, 1, 1, INT_MIN, 1, 1), INT_MAX);
    EXPECT_EQ(DaysBetween(INT_MIN, 1, 1, INT_MAX, 1, 1), INT_MIN);
    EXPECT_EQ(DaysBetween(2024, 1, INT_MAX, 2024, 1, INT_MIN), INT_MAX);
}

}  // namespace

// Day counts from 1970-01-01 and back: fixed points, then every day of years -2200 .. 2200 in
// order, each the day after the one before.
TEST(Gregorian, DayCountsRoundTrip)
{
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(1900, 1, 31), -25537);
    EXPECT_EQ(DaysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(DaysFromCivil(2024, 13, 1), DaysFromCivil(2025, 1, 1));  // months roll over
    int y = 0, m = 0, d = 0;
    const long first = DaysFromCivil(-2200, 1, 1), last = DaysFromCivil(2200, 12, 31);
    CivilFromDays(first, y, m, d);
    ASSERT_EQ(std::vector<int>({y, m, d}), std::vector<int>({-2200, 1, 1}));
    for (long n = first + 1; n <= last; ++n) {
        int py = y, pm = m, pd = d;
        CivilFromDays(n, y, m, d);
        const bool next = (y == py && m == pm && d == pd + 1) ||
            (y == py && m == pm + 1 && d == 1 && pd == DaysInMonth(py, pm)) ||
            (y == py + 1 && m == 1 && d == 1 && pm == 12 && pd == 31);
        ASSERT_TRUE(next) << n;
        ASSERT_EQ(DaysFromCivil(y, m, d), n);
    }
}
