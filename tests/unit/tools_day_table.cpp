// The day table behind almanix-cal --days.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "day_table.h"
#include "text/gbcodec.h"

namespace {

TEST(EngineDayTable, ParsesOnlyRealDatesInTheExactForm)
{
    struct Case {
        const char* szText;
        bool bValid;
        int nYear, nMonth, nDay;
    };
    const Case cases[] = {
        {"2024-02-10", true, 2024, 2, 10},
        {"1900-01-31", true, 1900, 1, 31},
        {"2000-02-29", true, 2000, 2, 29},
        {"0001-01-01", true, 1, 1, 1},
        {"1900-02-29", false, 0, 0, 0},
        {"2024-02-30", false, 0, 0, 0},
        {"2024-13-01", false, 0, 0, 0},
        {"2024-00-01", false, 0, 0, 0},
        {"2024-01-00", false, 0, 0, 0},
        {"2024-2-10", false, 0, 0, 0},
        {"2024-02-1", false, 0, 0, 0},
        {"24-02-10", false, 0, 0, 0},
        {"2024/02/10", false, 0, 0, 0},
        {"2024-02-10 ", false, 0, 0, 0},
        {" 2024-02-10", false, 0, 0, 0},
        {"2024-02-1x", false, 0, 0, 0},
        {"+024-02-10", false, 0, 0, 0},
        {"-024-02-10", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"20240210", false, 0, 0, 0},
        {"2024-02-100", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SolarDate date{7, 7, 7};
        EXPECT_EQ(ParseSolarDate(c.szText, date), c.bValid) << c.szText;
        if (c.bValid) {
            EXPECT_EQ(date.m_nYear, c.nYear);
            EXPECT_EQ(date.m_nMonth, c.nMonth);
            EXPECT_EQ(date.m_nDay, c.nDay);
        } else {
            EXPECT_EQ(date.m_nYear, 7) << "left untouched: " << c.szText;
        }
    }
}

// Lines for days whose festival, leap month or solar term the almanacs publish; the tool
// prints them in UTF-8.
TEST(EngineDayTable, PublishedDays)
{
    struct Case {
        SolarDate date;
        const char* szLine;  // UTF-8
    };
    const Case cases[] = {
        {{2024, 2, 4}, u8"2024-02-04\t0\t2023\t12\t25\t0\t30\t-\t1\t立春\n"},
        {{2024, 2, 9}, u8"2024-02-09\t5\t2023\t12\t30\t0\t30\t除夕\t0\t-\n"},
        {{2024, 2, 10}, u8"2024-02-10\t6\t2024\t1\t1\t0\t29\t春节\t0\t-\n"},
        {{2024, 2, 19}, u8"2024-02-19\t1\t2024\t1\t10\t0\t29\t-\t2\t雨水\n"},
        {{2024, 10, 1}, u8"2024-10-01\t2\t2024\t8\t29\t0\t30\t国庆\t0\t-\n"},
        {{2024, 12, 21}, u8"2024-12-21\t6\t2024\t11\t21\t0\t30\t-\t2\t冬至\n"},
        {{2023, 3, 22}, u8"2023-03-22\t3\t2023\t2\t1\t1\t29\t-\t0\t-\n"},
        {{2033, 10, 1}, u8"2033-10-01\t6\t2033\t9\t9\t0\t30\t重阳节\t0\t-\n"},
        {{2025, 1, 1}, u8"2025-01-01\t3\t2024\t12\t2\t0\t29\t元旦\t0\t-\n"},
        {{1900, 1, 31}, u8"1900-01-31\t3\t1900\t1\t1\t0\t29\t春节\t0\t-\n"},
    };
    for (const Case& c : cases) {
        std::string gb;
        ASSERT_EQ(FormatDayTable(c.date, c.date, DayTableMode::Convert, gb), 0);
        EXPECT_EQ(almanix::GbToUtf8(gb), c.szLine);
    }
}

// The two ways of finding the lunar dates print the same table over the whole range.
TEST(EngineDayTable, SteppingAndConvertingPrintTheSameTable)
{
    std::string converted;
    std::string stepped;
    ASSERT_EQ(FormatDayTable({1900, 1, 31}, {2051, 2, 10}, DayTableMode::Convert, converted), 0);
    ASSERT_EQ(FormatDayTable({1900, 1, 31}, {2051, 2, 10}, DayTableMode::Step, stepped), 0);
    EXPECT_TRUE(converted == stepped);
    size_t nLines = 0;
    for (char ch : converted)
        nLines += (ch == '\n');
    EXPECT_EQ(nLines, 55163u);
    EXPECT_EQ(converted.substr(0, 11), "1900-01-31\t");
    EXPECT_EQ(converted.substr(converted.rfind('\n', converted.size() - 2) + 1, 11), "2051-02-10\t");

    // Starting in the middle, across a leap month and a lunar new year.
    converted.clear();
    stepped.clear();
    ASSERT_EQ(FormatDayTable({2033, 12, 1}, {2034, 3, 1}, DayTableMode::Convert, converted), 0);
    ASSERT_EQ(FormatDayTable({2033, 12, 1}, {2034, 3, 1}, DayTableMode::Step, stepped), 0);
    EXPECT_EQ(converted, stepped);
}

// Every solar term of the range gets its mark: two per month, on the table's days.
TEST(EngineDayTable, TwoTermMarksPerMonth)
{
    std::string table;
    ASSERT_EQ(FormatDayTable({1900, 2, 1}, {2050, 12, 31}, DayTableMode::Step, table), 0);
    size_t nMarks[3] = {0, 0, 0};
    for (size_t nPos = 0; nPos < table.size();) {
        const size_t nEnd = table.find('\n', nPos);
        const std::string line = table.substr(nPos, nEnd - nPos);
        const size_t nMark = line.rfind('\t') - 1;
        ASSERT_TRUE(line[nMark] >= '0' && line[nMark] <= '2') << line;
        ++nMarks[line[nMark] - '0'];
        nPos = nEnd + 1;
    }
    const size_t nMonths = 12 * (2050 - 1900) + 11;
    EXPECT_EQ(nMarks[1], nMonths);
    EXPECT_EQ(nMarks[2], nMonths);
}

TEST(EngineDayTable, RejectsRangesOutsideTheTable)
{
    struct Case {
        SolarDate from, to;
    };
    const Case cases[] = {
        {{1900, 1, 30}, {1900, 2, 1}},
        {{2051, 2, 10}, {2051, 2, 11}},
        {{2024, 2, 2}, {2024, 2, 1}},
        {{2024, 2, 30}, {2024, 3, 1}},
        {{2024, 1, 1}, {2024, 13, 1}},
        {{INT_MIN, 1, 1}, {INT_MAX, 1, 1}},
        {{2051, 2, 11}, {1900, 1, 30}},
    };
    for (const Case& c : cases) {
        std::string out = "kept";
        EXPECT_EQ(FormatDayTable(c.from, c.to, DayTableMode::Convert, out), -1);
        EXPECT_EQ(FormatDayTable(c.from, c.to, DayTableMode::Step, out), -1);
        EXPECT_EQ(out, "kept");
    }
}

}  // namespace
