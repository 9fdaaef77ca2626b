// Whole-range sweeps of the lunar conversion.
#include <gtest/gtest.h>

#include "engine/lunar.h"

namespace {

// The classic conversion: walk year by year, then month by month, from 1900-01-31.
// FromSolar must agree with it on every field of every day.
CLunarDate WalkFromSolar(int y, int m, int d)
{
    CLunarDate r;
    int offset = DaysBetween(y, m, d, 1900, 1, 31);
    int last = 0;
    int year = 1900;
    while (offset > 0) {
        last = LunarYearDays(year);
        offset -= last;
        ++year;
        if (year == 2050)
            break;
    }
    if (offset < 0) {
        offset += last;
        --year;
    }
    r.m_nYear = year;
    const int leap = LunarLeapMonth(year);
    r.m_bLeap = 0;
    int i = 1;
    while (offset > 0 && i < 13) {
        if (leap > 0 && i == leap + 1 && r.m_bLeap == 0) {
            --i;
            r.m_bLeap = 1;
            last = LunarLeapDays(year);
        } else {
            last = LunarMonthDays(year, i);
        }
        if (r.m_bLeap == 1 && i == leap + 1)
            r.m_bLeap = 0;
        offset -= last;
        ++i;
    }
    if (offset == 0 && leap > 0 && i == leap + 1) {
        if (r.m_bLeap == 1) {
            r.m_bLeap = 0;
        } else {
            r.m_bLeap = 1;
            --i;
        }
    }
    if (offset < 0) {
        offset += last;
        --i;
        r.m_nMonthDays = last;
    } else if (offset == 0) {
        r.m_nMonthDays = r.m_bLeap ? LunarLeapDays(year) : LunarMonthDays(year, i);
    }
    r.m_nMonth = i;
    r.m_nDay = offset + 1;
    r.m_nOffset = offset;
    r.m_bLeapFollows = (i == leap) ? 1 : 0;
    return r;
}

bool SameFields(const CLunarDate& a, const CLunarDate& b)
{
    return a.m_nYear == b.m_nYear && a.m_nMonth == b.m_nMonth && a.m_nDay == b.m_nDay &&
        a.m_bLeapFollows == b.m_bLeapFollows && a.m_bLeap == b.m_bLeap && a.m_nMonthDays == b.m_nMonthDays &&
        a.m_nOffset == b.m_nOffset;
}

std::string Describe(const CLunarDate& a)
{
    return std::to_string(a.m_nYear) + "/" + std::to_string(a.m_nMonth) + "/" + std::to_string(a.m_nDay) +
        " follows=" + std::to_string(a.m_bLeapFollows) + " leap=" + std::to_string(a.m_bLeap) +
        " days=" + std::to_string(a.m_nMonthDays) + " offset=" + std::to_string(a.m_nOffset);
}

// Calls f(y, m, d) for every Gregorian day from y1-m1-d1 through y2-m2-d2.
template <typename F> void ForEachDay(int y1, int m1, int d1, int y2, int m2, int d2, F f)
{
    int y = y1, m = m1, d = d1;
    for (;;) {
        f(y, m, d);
        if (y == y2 && m == m2 && d == d2)
            return;
        if (++d > DaysInMonth(y, m)) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
    }
}

TEST(EngineLunarSweep, LookupMatchesTheWalkOnEveryDay)
{
    int nDays = 0;
    int nFailures = 0;
    ForEachDay(1900, 1, 31, 2051, 2, 10, [&](int y, int m, int d) {
        ++nDays;
        CLunarDate fast;
        fast.FromSolar(y, m, d);
        const CLunarDate walk = WalkFromSolar(y, m, d);
        if (!SameFields(fast, walk) && ++nFailures <= 10) {
            ADD_FAILURE() << y << "-" << m << "-" << d << ": " << Describe(fast) << " but the walk gives "
                          << Describe(walk);
        }
    });
    EXPECT_EQ(nFailures, 0);
    EXPECT_EQ(nDays, 55163);
}

// Every month the window can show: converting day 1 and stepping gives what converting
// each day gives, the month steps on into the next month's day 1, and the lunar months
// and years have the lengths the table gives them.
TEST(EngineLunarSweep, SteppingMatchesConvertingEveryMonth)
{
    int nPrevNewYear = -1;
    int nPrevLunarYear = 0;
    int nNewYears = 0;
    int nMonthStart = -1;  // day count at the first day of the current lunar month
    CLunarDate monthFirst;
    for (int y = 1900; y <= 2049; ++y) {
        for (int m = (y == 1900 ? 2 : 1); m <= 12; ++m) {
            CLunarDate stepped;
            stepped.FromSolar(y, m, 1);
            ASSERT_TRUE(stepped.IsValid()) << y << "-" << m;
            const int nDays = DaysInMonth(y, m);
            for (int d = 1; d <= nDays + 1; ++d) {
                if (d > 1) {
                    ASSERT_EQ(stepped.NextDay(), 0);
                }
                const int ny = d > nDays ? (m == 12 ? y + 1 : y) : y;
                const int nm = d > nDays ? (m == 12 ? 1 : m + 1) : m;
                const int nd = d > nDays ? 1 : d;
                CLunarDate converted;
                converted.FromSolar(ny, nm, nd);
                SCOPED_TRACE(::testing::Message() << ny << "-" << nm << "-" << nd);
                ASSERT_EQ(stepped.m_nYear, converted.m_nYear);
                ASSERT_EQ(stepped.m_nMonth, converted.m_nMonth);
                ASSERT_EQ(stepped.m_nDay, converted.m_nDay);
                ASSERT_EQ(stepped.m_bLeap, converted.m_bLeap);
                ASSERT_EQ(stepped.m_bLeapFollows, converted.m_bLeapFollows);
                ASSERT_EQ(stepped.m_nMonthDays, converted.m_nMonthDays);
                if (d > nDays)
                    break;

                // Invariants the month model and the festival rule rely on.
                ASSERT_EQ(converted.m_bLeapFollows, converted.m_nMonth == LunarLeapMonth(converted.m_nYear));
                ASSERT_TRUE(!converted.m_bLeap || converted.m_bLeapFollows);
                ASSERT_EQ(converted.m_nMonthDays,
                    converted.m_bLeap ? LunarLeapDays(converted.m_nYear)
                                      : LunarMonthDays(converted.m_nYear, converted.m_nMonth));
                ASSERT_LE(converted.m_nDay, converted.m_nMonthDays);

                const int nCount = DaysBetween(y, m, d, 1900, 1, 31);
                if (converted.m_nDay == 1) {
                    if (nMonthStart >= 0) {
                        ASSERT_EQ(nCount - nMonthStart, monthFirst.m_nMonthDays);
                    }
                    nMonthStart = nCount;
                    monthFirst = converted;
                }
                if (converted.m_nMonth == 1 && converted.m_nDay == 1 && !converted.m_bLeap) {
                    if (nPrevNewYear >= 0) {
                        ASSERT_EQ(converted.m_nYear, nPrevLunarYear + 1);
                        ASSERT_EQ(nCount - nPrevNewYear, LunarYearDays(nPrevLunarYear));
                    }
                    nPrevNewYear = nCount;
                    nPrevLunarYear = converted.m_nYear;
                    ++nNewYears;
                }
            }
        }
    }
    EXPECT_EQ(nNewYears, 2049 - 1901 + 1);
}

}  // namespace
