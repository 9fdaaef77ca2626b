// The theory behind solarterm-gen, checked against published reference values.
#include <gtest/gtest.h>

#include <cmath>

#include "solar_term_calc.h"

using namespace solarterm;

namespace {

double Arcsec(int deg, int min, double sec)
{
    return (deg * 60.0 + min) * 60.0 + sec;
}

}  // namespace

// Meeus, Astronomical Algorithms (2nd ed.), example 22.a: 1987 April 10, 0h TD.
TEST(SolarTermTheory, NutationInLongitudeMatchesWorkedExample)
{
    EXPECT_NEAR(GetNutationInLongitude(2446895.5), -3.788, 0.001);
}

// Meeus example 25.b, 1992 October 13.0 TD, with the complete VSOP87 series:
// apparent longitude 199°54'21.548", latitude +0.72", distance 0.99760853 au.
TEST(SolarTermTheory, ApparentSunMatchesCompleteVsop87Example)
{
    const SunPosition pos = GetSunPosition(2448908.5);
    EXPECT_NEAR(pos.m_dLongitude * 3600.0, Arcsec(199, 54, 21.548), 0.02);
    EXPECT_NEAR(pos.m_dLatitude, 0.72, 0.01);
    EXPECT_NEAR(pos.m_dRadius, 0.99760853, 2e-8);
}

// Meeus example 27.a: the June solstice of 1962 is at 21h24m42s TD on June 21 by VSOP87.
TEST(SolarTermTheory, SolsticeInstantMatchesVsop87Example)
{
    TermMoment t;
    ASSERT_TRUE(ComputeTermMoment(1962, 6, 1, t));
    const double expected = JulianDayFromDate(1962, 6, 21) + (21 * 3600 + 24 * 60 + 42) / 86400.0;
    EXPECT_NEAR((t.m_dJde - expected) * 86400.0, 0.0, 1.0);
}

// Observed ΔT (Espenak and Meeus's tables); the polynomials follow them within a fraction of a second.
TEST(SolarTermTheory, DeltaTFollowsObservedValues)
{
    const struct {
        double year, deltaT;
    } kObserved[] = {{1900, -2.7}, {1910, 10.4}, {1920, 21.2}, {1930, 24.0}, {1940, 24.4}, {1950, 29.1}, {1960, 33.2},
        {1970, 40.2}, {1980, 50.5}, {1990, 56.9}, {2000, 63.8}, {2005, 64.7}};
    for (const auto& o : kObserved)
        EXPECT_NEAR(GetDeltaT(o.year), o.deltaT, 0.5) << o.year;
    // The pieces join without jumps: a jump at a boundary would move terms by whole seconds.
    for (double y : {1920.0, 1941.0, 1961.0, 1986.0, 2005.0, 2050.0})
        EXPECT_NEAR(GetDeltaT(y), GetDeltaT(y - 1e-9), 0.1) << y;
}

TEST(SolarTermDates, JulianDayRoundTripsOverTheWholeRange)
{
    EXPECT_EQ(JulianDayFromDate(2000, 1, 1), 2451544.5);
    EXPECT_EQ(JulianDayFromDate(1957, 10, 4), 2436115.5);
    EXPECT_EQ(JulianDayFromDate(1900, 3, 1) - JulianDayFromDate(1900, 2, 28), 1.0);  // 1900 is no leap year
    long previous = static_cast<long>(JulianDayFromDate(1899, 12, 31) + 0.5);
    for (int y = 1900; y <= 2055; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= 31; ++d) {
                const long jdn = static_cast<long>(JulianDayFromDate(y, m, d) + 0.5);
                int yy, mm, dd;
                DateFromDayNumber(jdn, yy, mm, dd);
                if (mm != m)
                    break;  // past the end of the month
                ASSERT_EQ(jdn, previous + 1) << y << "-" << m << "-" << d;
                ASSERT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d);
                previous = jdn;
            }
        }
    }
}

// Every term of the table is solved to the millisecond and lands in its own month.
TEST(SolarTermSolve, EveryTermSettlesOnItsLongitude)
{
    for (int y = FIRST_YEAR; y <= LAST_YEAR; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int k = 0; k < 2; ++k) {
                TermMoment t;
                ASSERT_TRUE(ComputeTermMoment(y, m, k, t)) << y << "-" << m << " " << k;
                double miss = GetSunPosition(t.m_dJde).m_dLongitude - GetTermLongitude(m, k);
                if (miss > 180.0)
                    miss -= 360.0;
                // The Sun moves about 0.04" per second.
                ASSERT_LT(std::fabs(miss) * 3600.0, 0.001) << y << "-" << m << " " << k;
                ASSERT_EQ(t.m_nYear * 100 + t.m_nMonth, y * 100 + m);
                ASSERT_GE(t.m_dLocalSecond, 0.0);
                ASSERT_LT(t.m_dLocalSecond, 86400.0);
            }
        }
    }
}

TEST(SolarTermSolve, RefusesMonthsOutsideTheTable)
{
    TermMoment t;
    EXPECT_FALSE(ComputeTermMoment(1899, 12, 1, t));
    EXPECT_FALSE(ComputeTermMoment(2055, 1, 0, t));
    EXPECT_FALSE(ComputeTermMoment(2000, 0, 0, t));
    EXPECT_FALSE(ComputeTermMoment(2000, 13, 0, t));
    EXPECT_FALSE(ComputeTermMoment(2000, 6, 2, t));
}

// Terms that begin within seconds of midnight keep the day on which they begin, and rounding
// to the minute never carries them into the next day.
TEST(SolarTermSolve, NearMidnightTermsKeepTheirDay)
{
    const struct {
        int year, month, k, day, hour, minute;
        double second;  // local time of day, seconds
    } kCases[] = {
        {1911, 5, 0, 7, 0, 0, 25},         // 立夏, about 00:00:25
        {1951, 12, 1, 23, 0, 0, 5},        // 冬至, about 00:00:05
        {1979, 1, 1, 20, 23, 59, 86395},   // 大寒, about 23:59:55
        {2021, 12, 1, 21, 23, 59, 86349},  // 冬至, 23:59:09
    };
    for (const auto& c : kCases) {
        TermMoment t;
        ASSERT_TRUE(ComputeTermMoment(c.year, c.month, c.k, t));
        EXPECT_EQ(t.m_nDay, c.day) << c.year << "-" << c.month;
        EXPECT_EQ(t.m_nHour * 60 + t.m_nMinute, c.hour * 60 + c.minute) << c.year << "-" << c.month;
        EXPECT_NEAR(t.m_dLocalSecond, c.second, 5.0) << c.year << "-" << c.month;
    }
}
