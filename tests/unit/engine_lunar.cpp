#include <gtest/gtest.h>

#include <climits>

#include "engine/lunar.h"

namespace {

struct SolarDay {
    int nYear, nMonth, nDay;
};

// Gregorian date and the lunar date an almanac prints for it.
struct LunarCase {
    SolarDay solar;
    int nYear, nMonth, nDay;
    int bLeap;
};

::testing::AssertionResult HasLunarDate(const LunarCase& c)
{
    CLunarDate lunar;
    lunar.FromSolar(c.solar.nYear, c.solar.nMonth, c.solar.nDay);
    if (lunar.m_nYear == c.nYear && lunar.m_nMonth == c.nMonth && lunar.m_nDay == c.nDay && lunar.m_bLeap == c.bLeap)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << c.solar.nYear << "-" << c.solar.nMonth << "-" << c.solar.nDay << " gives "
                                         << lunar.m_nYear << "/" << (lunar.m_bLeap ? "leap " : "") << lunar.m_nMonth
                                         << "/" << lunar.m_nDay << ", expected " << c.nYear << "/"
                                         << (c.bLeap ? "leap " : "") << c.nMonth << "/" << c.nDay;
}

TEST(EngineLunar, ConversionEdgeCases)
{
    struct Case {
        SolarDay solar;
        int nYear, nMonth, nDay, bLeapFollows, bLeap, nMonthDays;
    };
    const Case cases[] = {
        {{1900, 1, 31}, 1900, 1, 1, 0, 0, 29},
        {{2024, 2, 9}, 2023, 12, 30, 0, 0, 30},
        {{2024, 2, 10}, 2024, 1, 1, 0, 0, 29},
        {{2023, 3, 21}, 2023, 2, 30, 1, 0, 30},
        {{2023, 3, 22}, 2023, 2, 1, 1, 1, 29},
        {{2023, 4, 19}, 2023, 2, 29, 1, 1, 29},
        {{2023, 4, 20}, 2023, 3, 1, 0, 0, 29},
        {{2020, 5, 23}, 2020, 4, 1, 1, 1, 29},
        {{2000, 1, 1}, 1999, 11, 25, 0, 0, 30},
        {{2049, 12, 31}, 2049, 12, 7, 0, 0, 29},
        {{2051, 2, 10}, 2050, 12, 29, 0, 0, 29},
    };
    for (const Case& c : cases) {
        CLunarDate lunar;
        lunar.FromSolar(c.solar.nYear, c.solar.nMonth, c.solar.nDay);
        SCOPED_TRACE(::testing::Message() << c.solar.nYear << "-" << c.solar.nMonth << "-" << c.solar.nDay);
        EXPECT_TRUE(lunar.IsValid());
        EXPECT_EQ(lunar.m_nYear, c.nYear);
        EXPECT_EQ(lunar.m_nMonth, c.nMonth);
        EXPECT_EQ(lunar.m_nDay, c.nDay);
        EXPECT_EQ(lunar.m_bLeapFollows, c.bLeapFollows);
        EXPECT_EQ(lunar.m_bLeap, c.bLeap);
        EXPECT_EQ(lunar.m_nMonthDays, c.nMonthDays);
        EXPECT_EQ(lunar.m_nOffset, c.nDay - 1);
    }
}

TEST(EngineLunar, YearWords)
{
    struct Case {
        int nYear, nLeapMonth, nLeapDays, nYearDays;
    };
    const Case cases[] = {
        {1900, 8, 29, 384},
        {2024, 0, 0, 354},
        {2050, 3, 30, 384},
        {2023, 2, 29, 384},
        {2020, 4, 29, 384},
        {1933, 5, 30, 384},
        {2033, 11, 29, 384},
        {2025, 6, 29, 384},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LunarLeapMonth(c.nYear), c.nLeapMonth) << c.nYear;
        EXPECT_EQ(LunarLeapDays(c.nYear), c.nLeapDays) << c.nYear;
        EXPECT_EQ(LunarYearDays(c.nYear), c.nYearDays) << c.nYear;
    }
    EXPECT_EQ(LunarMonthDays(2023, 12), 30);
    EXPECT_EQ(LunarMonthDays(2024, 1), 29);
}

// Chinese New Year as published by the national almanac and observatory tables.
TEST(EngineLunar, PublishedSpringFestivals)
{
    const SolarDay days[] = {
        {1901, 2, 19},
        {1910, 2, 10},
        {1912, 2, 18},
        {1920, 2, 20},
        {1921, 2, 8},
        {1927, 2, 2},
        {1930, 1, 30},
        {1933, 1, 26},
        {1934, 2, 14},
        {1937, 2, 11},
        {1940, 2, 8},
        {1945, 2, 13},
        {1949, 1, 29},
        {1950, 2, 17},
        {1955, 1, 24},
        {1960, 1, 28},
        {1966, 1, 21},
        {1970, 2, 6},
        {1976, 1, 31},
        {1978, 2, 7},
        {1980, 2, 16},
        {1984, 2, 2},
        {1985, 2, 20},
        {1988, 2, 17},
        {1990, 1, 27},
        {1993, 1, 23},
        {1995, 1, 31},
        {1996, 2, 19},
        {1999, 2, 16},
        {2000, 2, 5},
        {2001, 1, 24},
        {2002, 2, 12},
        {2003, 2, 1},
        {2004, 1, 22},
        {2005, 2, 9},
        {2006, 1, 29},
        {2007, 2, 18},
        {2008, 2, 7},
        {2009, 1, 26},
        {2010, 2, 14},
        {2011, 2, 3},
        {2012, 1, 23},
        {2013, 2, 10},
        {2014, 1, 31},
        {2015, 2, 19},
        {2016, 2, 8},
        {2017, 1, 28},
        {2018, 2, 16},
        {2019, 2, 5},
        {2020, 1, 25},
        {2021, 2, 12},
        {2022, 2, 1},
        {2023, 1, 22},
        {2024, 2, 10},
        {2025, 1, 29},
        {2026, 2, 17},
        {2027, 2, 6},
        {2028, 1, 26},
        {2029, 2, 13},
        {2030, 2, 3},
        {2031, 1, 23},
        {2032, 2, 11},
        {2033, 1, 31},
        {2034, 2, 19},
        {2035, 2, 8},
        {2036, 1, 28},
        {2037, 2, 15},
        {2038, 2, 4},
        {2039, 1, 24},
        {2040, 2, 12},
        {2041, 2, 1},
        {2042, 1, 22},
        {2043, 2, 10},
        {2044, 1, 30},
        {2045, 2, 17},
        {2046, 2, 6},
        {2047, 1, 26},
        {2048, 2, 14},
        {2049, 2, 2},
        {2050, 1, 23},
    };
    for (const SolarDay& d : days) {
        EXPECT_TRUE(HasLunarDate({d, d.nYear, 1, 1, 0}));
        // The day before closes the twelfth month of the previous lunar year.
        const SolarDay eve = d.nDay > 1 ? SolarDay{d.nYear, d.nMonth, d.nDay - 1} : SolarDay{d.nYear, 1, 31};
        CLunarDate lunar;
        lunar.FromSolar(eve.nYear, eve.nMonth, eve.nDay);
        EXPECT_EQ(lunar.m_nYear, d.nYear - 1) << d.nYear;
        EXPECT_EQ(lunar.m_nMonth, 12) << d.nYear;
        EXPECT_EQ(lunar.m_nDay, lunar.m_nMonthDays) << d.nYear;
    }
}

// Leap months and festival days as the almanacs print them.
TEST(EngineLunar, PublishedDates)
{
    const LunarCase cases[] = {
        // First days of leap months.
        {{1995, 9, 25}, 1995, 8, 1, 1},
        {{2001, 5, 23}, 2001, 4, 1, 1},
        {{2004, 3, 21}, 2004, 2, 1, 1},
        {{2006, 8, 24}, 2006, 7, 1, 1},
        {{2009, 6, 23}, 2009, 5, 1, 1},
        {{2012, 5, 21}, 2012, 4, 1, 1},
        {{2014, 10, 24}, 2014, 9, 1, 1},
        {{2017, 7, 23}, 2017, 6, 1, 1},
        {{2020, 5, 23}, 2020, 4, 1, 1},
        {{2023, 3, 22}, 2023, 2, 1, 1},
        {{2025, 7, 25}, 2025, 6, 1, 1},
        // Mid-Autumn Festival, 八月十五.
        {{2008, 9, 14}, 2008, 8, 15, 0},
        {{2012, 9, 30}, 2012, 8, 15, 0},
        {{2014, 9, 8}, 2014, 8, 15, 0},
        {{2017, 10, 4}, 2017, 8, 15, 0},
        {{2020, 10, 1}, 2020, 8, 15, 0},
        {{2021, 9, 21}, 2021, 8, 15, 0},
        {{2022, 9, 10}, 2022, 8, 15, 0},
        {{2023, 9, 29}, 2023, 8, 15, 0},
        {{2024, 9, 17}, 2024, 8, 15, 0},
        {{2025, 10, 6}, 2025, 8, 15, 0},
        {{2026, 9, 25}, 2026, 8, 15, 0},
        // Dragon Boat Festival, 五月初五.
        {{2009, 5, 28}, 2009, 5, 5, 0},
        {{2012, 6, 23}, 2012, 5, 5, 0},
        {{2017, 5, 30}, 2017, 5, 5, 0},
        {{2020, 6, 25}, 2020, 5, 5, 0},
        {{2023, 6, 22}, 2023, 5, 5, 0},
        {{2024, 6, 10}, 2024, 5, 5, 0},
        {{2025, 5, 31}, 2025, 5, 5, 0},
        // Lantern Festival, 正月十五.
        {{2024, 2, 24}, 2024, 1, 15, 0},
        {{2025, 2, 12}, 2025, 1, 15, 0},
    };
    for (const LunarCase& c : cases)
        EXPECT_TRUE(HasLunarDate(c));
}

// Lunar 1933: the fifth month is followed by a leap month of 30 days; the sixth month
// begins on 1933-07-23.
TEST(EngineLunar, Mended1933)
{
    const LunarCase cases[] = {
        {{1933, 5, 24}, 1933, 5, 1, 0},
        {{1933, 6, 22}, 1933, 5, 30, 0},
        {{1933, 6, 23}, 1933, 5, 1, 1},
        {{1933, 7, 22}, 1933, 5, 30, 1},
        {{1933, 7, 23}, 1933, 6, 1, 0},
        {{1934, 2, 13}, 1933, 12, 30, 0},
    };
    for (const LunarCase& c : cases)
        EXPECT_TRUE(HasLunarDate(c));
    CLunarDate lunar;
    lunar.FromSolar(1933, 7, 22);
    EXPECT_EQ(lunar.m_nMonthDays, 30);
    EXPECT_EQ(lunar.m_bLeapFollows, 1);
}

// Lunar 2033: the leap month follows the eleventh month.
TEST(EngineLunar, Mended2033)
{
    const LunarCase cases[] = {
        {{2033, 8, 25}, 2033, 8, 1, 0},
        {{2033, 9, 8}, 2033, 8, 15, 0},
        {{2033, 10, 1}, 2033, 9, 9, 0},
        {{2033, 12, 21}, 2033, 11, 30, 0},
        {{2033, 12, 22}, 2033, 11, 1, 1},
        {{2034, 1, 19}, 2033, 11, 29, 1},
        {{2034, 1, 20}, 2033, 12, 1, 0},
        {{2034, 2, 18}, 2033, 12, 30, 0},
        {{2034, 2, 19}, 2034, 1, 1, 0},
    };
    for (const LunarCase& c : cases)
        EXPECT_TRUE(HasLunarDate(c));
    CLunarDate lunar;
    lunar.FromSolar(2033, 8, 24);
    EXPECT_EQ(lunar.m_nMonth, 7);
    EXPECT_EQ(lunar.m_bLeap, 0);
    EXPECT_EQ(lunar.m_bLeapFollows, 0);
}

TEST(EngineLunar, StepsIntoAndOutOfLeapMonth)
{
    struct Case {
        SolarDay from;
        int nMonth, nDay, bLeap, bLeapFollows, nMonthDays;  // the day after
    };
    const Case cases[] = {
        {{2023, 3, 21}, 2, 1, 1, 1, 29},    // last of the regular second month -> leap second month
        {{2023, 4, 19}, 3, 1, 0, 0, 29},    // last of the leap month -> third month
        {{2033, 12, 21}, 11, 1, 1, 1, 29},  // into the leap eleventh month
        {{2034, 1, 19}, 12, 1, 0, 0, 30},   // out of it
        {{2024, 2, 9}, 1, 1, 0, 0, 29},     // lunar new year
        {{2024, 2, 10}, 1, 2, 0, 0, 29},
    };
    for (const Case& c : cases) {
        CLunarDate lunar;
        lunar.FromSolar(c.from.nYear, c.from.nMonth, c.from.nDay);
        const int nOffset = lunar.m_nOffset;
        EXPECT_EQ(lunar.NextDay(), 0);
        SCOPED_TRACE(::testing::Message() << "after " << c.from.nYear << "-" << c.from.nMonth << "-" << c.from.nDay);
        EXPECT_EQ(lunar.m_nMonth, c.nMonth);
        EXPECT_EQ(lunar.m_nDay, c.nDay);
        EXPECT_EQ(lunar.m_bLeap, c.bLeap);
        EXPECT_EQ(lunar.m_bLeapFollows, c.bLeapFollows);
        EXPECT_EQ(lunar.m_nMonthDays, c.nMonthDays);
        EXPECT_EQ(lunar.m_nOffset, nOffset + 1);
    }
}

// Outside 1900-01-31 .. 2051-02-10, and for dates that do not exist, nothing is made up.
TEST(EngineLunar, OutOfRangeDatesAreInvalid)
{
    const SolarDay days[] = {
        {1900, 1, 30},
        {2051, 2, 11},
        {1899, 12, 31},
        {2100, 1, 1},
        {0, 1, 1},
        {-2024, 2, 10},
        {2023, 2, 29},
        {2024, 2, 30},
        {2024, 4, 31},
        {2024, 13, 1},
        {2024, 0, 10},
        {2024, 1, 0},
        {2024, 1, -1},
        {INT_MAX, INT_MAX, INT_MAX},
        {INT_MIN, INT_MIN, INT_MIN},
        {2024, 1, INT_MAX},
    };
    for (const SolarDay& d : days) {
        CLunarDate lunar;
        lunar.FromSolar(2024, 2, 10);
        ASSERT_TRUE(lunar.IsValid());
        lunar.FromSolar(d.nYear, d.nMonth, d.nDay);
        SCOPED_TRACE(::testing::Message() << d.nYear << "-" << d.nMonth << "-" << d.nDay);
        EXPECT_FALSE(lunar.IsValid());
        EXPECT_EQ(lunar.m_nYear, 0);
        EXPECT_EQ(lunar.m_nMonth, 0);
        EXPECT_EQ(lunar.m_nDay, 0);
        EXPECT_EQ(lunar.m_bLeap, 0);
        EXPECT_EQ(lunar.m_bLeapFollows, 0);
        EXPECT_EQ(lunar.m_nMonthDays, 0);
        EXPECT_EQ(lunar.m_nOffset, 0);
        EXPECT_EQ(lunar.NextDay(), -1);
        EXPECT_FALSE(lunar.IsValid());
        EXPECT_EQ(lunar.GetFestival(), nullptr);
    }
    EXPECT_FALSE(CLunarDate{}.IsValid());
}

TEST(EngineLunar, NextDayStopsAtTheEndOfTheTable)
{
    CLunarDate lunar;
    lunar.FromSolar(2051, 2, 9);
    EXPECT_EQ(lunar.NextDay(), 0);
    EXPECT_EQ(lunar.m_nDay, 29);
    const CLunarDate last = lunar;
    EXPECT_EQ(lunar.NextDay(), -1);
    EXPECT_EQ(lunar.m_nYear, last.m_nYear);
    EXPECT_EQ(lunar.m_nMonth, last.m_nMonth);
    EXPECT_EQ(lunar.m_nDay, last.m_nDay);
    EXPECT_EQ(lunar.m_nMonthDays, last.m_nMonthDays);
    EXPECT_EQ(lunar.m_nOffset, last.m_nOffset);

    // A record filled by hand with nonsense steps to nothing rather than reading past a table.
    CLunarDate junk;
    junk.m_nYear = 2024;
    junk.m_nMonth = 13;
    EXPECT_EQ(junk.NextDay(), -1);
    junk.m_nYear = 1899;
    junk.m_nMonth = 1;
    EXPECT_EQ(junk.NextDay(), -1);
}

TEST(EngineLunar, YearFunctionsOutsideTheTable)
{
    for (int nYear : {INT_MIN, -1, 0, 1899, 2051, INT_MAX}) {
        EXPECT_EQ(LunarLeapMonth(nYear), 0) << nYear;
        EXPECT_EQ(LunarLeapDays(nYear), 0) << nYear;
        EXPECT_EQ(LunarYearDays(nYear), 0) << nYear;
        EXPECT_EQ(LunarMonthDays(nYear, 1), 0) << nYear;
    }
    for (int nMonth : {INT_MIN, -1, 0, 13, INT_MAX})
        EXPECT_EQ(LunarMonthDays(2024, nMonth), 0) << nMonth;
    EXPECT_EQ(LunarYearDays(1900), 384);
    EXPECT_EQ(LunarYearDays(2050), 384);
}

}  // namespace
