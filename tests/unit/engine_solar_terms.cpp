// The solar-term table against published moments (China Standard Time).
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/solar_terms.h"

namespace {

struct PublishedTerm {
    int year, month, k;     // k: 1 = the month's first term, 2 = its second
    int day, hour, minute;  // hour -1: only the day is compared
};

// Minutes since 1900-01-01 00:00 of a moment in the table's month.
long MinutesOf(int year, int month, const SolarTermTime& t)
{
    static const int kCumDays[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    long days = 365L * (year - 1900) + (year - 1901) / 4 - (year - 1901) / 100 + (year - 1601) / 400;
    days += kCumDays[month - 1] + (month > 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0));
    days += t.m_nDay - 1;
    return days * 1440 + t.m_nHour * 60 + t.m_nMinute;
}

void ExpectTerms(const PublishedTerm* terms, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const PublishedTerm& p = terms[i];
        SolarTermTime first{}, second{};
        ASSERT_EQ(GetSolarTerms(p.year, p.month, first, second), 0);
        const SolarTermTime& t = p.k == 1 ? first : second;
        EXPECT_EQ(t.m_nDay, p.day) << p.year << "-" << p.month << " term " << p.k;
        if (p.hour < 0)
            continue;
        const int diff = (t.m_nHour * 60 + t.m_nMinute) - (p.hour * 60 + p.minute);
        EXPECT_LE(std::abs(diff), 1) << p.year << "-" << p.month << " term " << p.k << ": " << int(t.m_nHour) << ":"
                                     << int(t.m_nMinute);
    }
}

}  // namespace

TEST(SolarTermTable, SampleRows)
{
    const PublishedTerm kRows[] = {
        {1900, 1, 1, 6, 2, 4}, {1900, 1, 2, 20, 19, 32},    // 小寒, 大寒
        {2000, 3, 1, 5, 14, 43}, {2000, 3, 2, 20, 15, 35},  // 惊蛰, 春分
        {2024, 2, 1, 4, 16, 27}, {2024, 2, 2, 19, 12, 13},  // 立春, 雨水
        {2025, 2, 1, 3, 22, 10}, {2025, 2, 2, 18, 18, 6},   // 立春, 雨水
        {2054, 12, 1, 7, 6, 3}, {2054, 12, 2, 22, 0, 9},    // 大雪, 冬至
    };
    ExpectTerms(kRows, sizeof kRows / sizeof kRows[0]);
}

// All 48 terms of 2024 and 2025 as the observatories publish them.
TEST(SolarTermTable, PublishedTermsOf2024And2025)
{
    const PublishedTerm kTerms[] = {
        {2024, 1, 1, 6, 4, 49},
        {2024, 1, 2, 20, 22, 7},
        {2024, 2, 1, 4, 16, 27},
        {2024, 2, 2, 19, 12, 13},
        {2024, 3, 1, 5, 10, 23},
        {2024, 3, 2, 20, 11, 6},
        {2024, 4, 1, 4, 15, 2},
        {2024, 4, 2, 19, 21, 59},
        {2024, 5, 1, 5, 8, 10},
        {2024, 5, 2, 20, 21, 0},
        {2024, 6, 1, 5, 12, 10},
        {2024, 6, 2, 21, 4, 51},
        {2024, 7, 1, 6, 22, 20},
        {2024, 7, 2, 22, 15, 44},
        {2024, 8, 1, 7, 8, 9},
        {2024, 8, 2, 22, 22, 55},
        {2024, 9, 1, 7, 11, 11},
        {2024, 9, 2, 22, 20, 44},
        {2024, 10, 1, 8, 3, 0},
        {2024, 10, 2, 23, 6, 15},
        {2024, 11, 1, 7, 6, 20},
        {2024, 11, 2, 22, 3, 56},
        {2024, 12, 1, 6, 23, 17},
        {2024, 12, 2, 21, 17, 21},
        {2025, 1, 1, 5, 10, 33},
        {2025, 1, 2, 20, -1, 0},
        {2025, 2, 1, 3, 22, 10},
        {2025, 2, 2, 18, 18, 7},
        {2025, 3, 1, 5, 16, 7},
        {2025, 3, 2, 20, 17, 1},
        {2025, 4, 1, 4, 20, 48},
        {2025, 4, 2, 20, 3, 56},
        {2025, 5, 1, 5, 13, 57},
        {2025, 5, 2, 21, 2, 55},
        {2025, 6, 1, 5, 17, 56},
        {2025, 6, 2, 21, 10, 42},
        {2025, 7, 1, 7, 4, 5},
        {2025, 7, 2, 22, 21, 29},
        {2025, 8, 1, 7, 13, 51},
        {2025, 8, 2, 23, 4, 34},
        {2025, 9, 1, 7, 16, 52},
        {2025, 9, 2, 23, 2, 19},
        {2025, 10, 1, 8, 8, 41},
        {2025, 10, 2, 23, 11, 51},
        {2025, 11, 1, 7, 12, 4},
        {2025, 11, 2, 22, 9, 36},
        {2025, 12, 1, 7, -1, 0},
        {2025, 12, 2, 21, 23, 3},
    };
    ExpectTerms(kTerms, sizeof kTerms / sizeof kTerms[0]);
}

// Equinoxes and solstices from the published UTC instants, eight hours on.
TEST(SolarTermTable, PublishedEquinoxesAndSolstices)
{
    const PublishedTerm kTerms[] = {
        {2000, 3, 2, 20, 15, 35},
        {2000, 6, 2, 21, 9, 48},
        {2000, 9, 2, 23, 1, 28},
        {2000, 12, 2, 21, 21, 37},
        {2008, 3, 2, 20, 13, 48},
        {2008, 6, 2, 21, 7, 59},
        {2008, 9, 2, 22, 23, 44},
        {2008, 12, 2, 21, 20, 4},
        {2020, 3, 2, 20, 11, 50},
        {2020, 6, 2, 21, 5, 44},
        {2020, 9, 2, 22, 21, 31},
        {2020, 12, 2, 21, 18, 2},
        {2021, 3, 2, 20, 17, 37},
        {2021, 6, 2, 21, 11, 32},
        {2021, 9, 2, 23, 3, 21},
        {2021, 12, 2, 21, 23, 59},
        {2022, 3, 2, 20, 23, 33},
        {2022, 6, 2, 21, 17, 14},
        {2022, 9, 2, 23, 9, 4},
        {2022, 12, 2, 22, 5, 48},
        {2023, 3, 2, 21, 5, 24},
        {2023, 6, 2, 21, 22, 57},
        {2023, 9, 2, 23, 14, 50},
        {2023, 12, 2, 22, 11, 27},
    };
    ExpectTerms(kTerms, sizeof kTerms / sizeof kTerms[0]);
}

// Terms that begin within seconds of midnight: the day is the one on which the term begins.
TEST(SolarTermTable, NearMidnightTermsFallOnTheirDay)
{
    const PublishedTerm kTerms[] = {
        {1911, 5, 1, 7, 0, 0},      // 立夏, 00:00:25
        {1951, 12, 2, 23, 0, 0},    // 冬至, 00:00:05
        {1979, 1, 2, 20, 23, 59},   // 大寒, 23:59:55
        {2008, 5, 2, 21, 0, 1},     // 小满, 00:01
        {2021, 12, 2, 21, 23, 59},  // 冬至, 23:59:09
    };
    ExpectTerms(kTerms, sizeof kTerms / sizeof kTerms[0]);
}

// Over the whole table: fields in range, each term in its usual part of the month, and the
// terms in order about 15 days apart (14.7 days near perihelion, 15.7 near aphelion).
TEST(SolarTermTable, SweepOfAllTerms)
{
    long previous = -1;
    for (int y = SOLAR_TERM_FIRST_YEAR; y <= SOLAR_TERM_LAST_YEAR; ++y) {
        for (int m = 1; m <= 12; ++m) {
            SolarTermTime t[2];
            ASSERT_EQ(GetSolarTerms(y, m, t[0], t[1]), 0);
            for (int k = 0; k < 2; ++k) {
                SCOPED_TRACE(testing::Message() << y << "-" << m << " term " << k + 1);
                ASSERT_GE(t[k].m_nDay, k == 0 ? 3 : 18);
                ASSERT_LE(t[k].m_nDay, k == 0 ? 9 : 24);
                ASSERT_LT(t[k].m_nHour, 24);
                ASSERT_LT(t[k].m_nMinute, 60);
                const long now = MinutesOf(y, m, t[k]);
                if (previous >= 0) {
                    ASSERT_GE(now - previous, 14.5 * 1440);
                    ASSERT_LE(now - previous, 16.0 * 1440);
                }
                previous = now;
            }
        }
    }
}

TEST(SolarTermTable, OutsideTheTableIsRefused)
{
    SolarTermTime first{9, 9, 9}, second{9, 9, 9};
    EXPECT_EQ(GetSolarTerms(1899, 12, first, second), -1);
    EXPECT_EQ(first.m_nDay, 0);
    EXPECT_EQ(GetSolarTerms(2055, 1, first, second), -1);
    EXPECT_EQ(GetSolarTerms(2000, 13, first, second), -1);
}
