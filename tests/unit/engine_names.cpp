#include <gtest/gtest.h>

#include <climits>

#include "engine/lunar.h"
#include "engine/names.h"
#include "engine/solar_terms.h"

namespace {

TEST(EngineNames, YearNames)
{
    struct Case {
        int nLunarYear;
        const char* szGanZhi;
        const char* szAnimal;
    };
    const Case cases[] = {
        {1900, "庚子", "鼠"},
        {1911, "辛亥", "猪"},
        {1949, "己丑", "牛"},
        {1984, "甲子", "鼠"},
        {1864, "甲子", "鼠"},
        {2000, "庚辰", "龙"},
        {2008, "戊子", "鼠"},
        {2022, "壬寅", "虎"},
        {2023, "癸卯", "免"},
        {2024, "甲辰", "龙"},
        {2025, "乙巳", "蛇"},
        {2026, "丙午", "马"},
        {2027, "丁未", "羊"},
        {2028, "戊申", "猴"},
        {2029, "己酉", "鸡"},
        {2030, "庚戌", "狗"},
        {2050, "庚午", "马"},
        {1863, "癸亥", "猪"},
        {1804, "甲子", "鼠"},
        {4, "甲子", "鼠"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(GetGanZhiYear(c.nLunarYear - 1864), c.szGanZhi) << c.nLunarYear;
        EXPECT_STREQ(GetZodiac(c.nLunarYear), c.szAnimal) << c.nLunarYear;
    }
    // Any count names a year of the cycle.
    for (int n : {INT_MIN, -61, -1, 59, 60, INT_MAX}) {
        ASSERT_NE(GetGanZhiYear(n), nullptr);
        EXPECT_EQ(std::string(GetGanZhiYear(n)).size(), 4u) << n;
        ASSERT_NE(GetZodiac(n), nullptr);
        EXPECT_EQ(std::string(GetZodiac(n)).size(), 2u) << n;
    }
}

TEST(EngineNames, LunarMonthNames)
{
    const char* const regular[12] = {"正", "二", "三", "四", "五", "六", "七", "八", "九", "十", "十一", "十二"};
    const char* const leap[12] = {
        "闰正", "闰二", "闰三", "闰四", "闰五", "闰六", "闰七", "闰八", "闰九", "闰十", "闰十一", "闰十二"};
    for (int m = 1; m <= 12; ++m) {
        EXPECT_STREQ(GetLunarMonthName(m, false), regular[m - 1]) << m;
        EXPECT_STREQ(GetLunarMonthName(m, true), leap[m - 1]) << m;
    }
    for (int m : {INT_MIN, -1, 0, 13, INT_MAX}) {
        EXPECT_EQ(GetLunarMonthName(m, false), nullptr) << m;
        EXPECT_EQ(GetLunarMonthName(m, true), nullptr) << m;
    }
}

TEST(EngineNames, LunarDayNames)
{
    const char* const names[30] = {
        "初一",
        "初二",
        "初三",
        "初四",
        "初五",
        "初六",
        "初七",
        "初八",
        "初九",
        "初十",
        "十一",
        "十二",
        "十三",
        "十四",
        "十五",
        "十六",
        "十七",
        "十八",
        "十九",
        "二十",
        "廿一",
        "廿二",
        "廿三",
        "廿四",
        "廿五",
        "廿六",
        "廿七",
        "廿八",
        "廿九",
        "三十",
    };
    for (int d = 1; d <= 30; ++d)
        EXPECT_STREQ(GetLunarDayName(d), names[d - 1]) << d;
    for (int d : {INT_MIN, -1, 0, 31, INT_MAX})
        EXPECT_EQ(GetLunarDayName(d), nullptr) << d;
}

TEST(EngineNames, WeekdayNames)
{
    const char* const names[7] = {"日", "一", "二", "三", "四", "五", "六"};
    for (int i = 0; i < 7; ++i)
        EXPECT_STREQ(GetWeekdayName(i), names[i]) << i;
    for (int i : {INT_MIN, -1, 7, 8, INT_MAX})
        EXPECT_EQ(GetWeekdayName(i), nullptr) << i;
    EXPECT_STREQ(kWeekdayNames[7], "日");
}

TEST(EngineNames, SolarFestivals)
{
    struct Case {
        int nMonth, nDay;
        const char* szName;  // null = none
    };
    const Case cases[] = {
        {1, 1, "元旦"},
        {5, 1, "劳动节"},
        {6, 1, "儿童节"},
        {10, 1, "国庆"},
        {10, 2, nullptr},
        {3, 8, nullptr},
        {1, 2, nullptr},
        {12, 25, nullptr},
        {0, 0, nullptr},
        {0, 1, nullptr},
        {INT_MIN, INT_MIN, nullptr},
    };
    for (const Case& c : cases) {
        const char* sz = GetSolarFestival(c.nMonth, c.nDay);
        if (c.szName)
            EXPECT_STREQ(sz, c.szName) << c.nMonth << "-" << c.nDay;
        else
            EXPECT_EQ(sz, nullptr) << c.nMonth << "-" << c.nDay;
    }
}

// Lunar festivals on the days the almanacs give them, and none in leap months.
TEST(EngineNames, LunarFestivalsOnPublishedDays)
{
    struct Case {
        int nYear, nMonth, nDay;
        const char* szName;  // null = none
    };
    const Case cases[] = {
        {2024, 2, 10, "春节"},
        {2024, 2, 11, "初二"},
        {2024, 2, 12, "初三"},
        {2024, 2, 13, nullptr},
        {2024, 2, 24, "元宵节"},
        {2024, 6, 10, "端午"},
        {2024, 8, 10, "七夕节"},
        {2024, 9, 17, "中秋"},
        {2024, 10, 11, "重阳节"},
        {2024, 2, 9, "除夕"},
        {2024, 2, 8, nullptr},
        {2025, 1, 28, "除夕"},  // a 29-day twelfth month
        {2025, 1, 29, "春节"},
        {2023, 3, 22, nullptr},  // 闰二月初一
        {2023, 2, 20, nullptr},  // 二月初一
        {2009, 5, 28, "端午"},   // 五月初五
        {2009, 6, 27, nullptr},  // 闰五月初五
        {2033, 10, 1, "重阳节"},
        {2034, 2, 18, "除夕"},   // the twelfth month after the leap eleventh
        {2034, 1, 19, nullptr},  // last day of 闰十一月
        {2051, 2, 10, "除夕"},
    };
    for (const Case& c : cases) {
        CLunarDate lunar;
        lunar.FromSolar(c.nYear, c.nMonth, c.nDay);
        const char* sz = lunar.GetFestival();
        if (c.szName)
            EXPECT_STREQ(sz, c.szName) << c.nYear << "-" << c.nMonth << "-" << c.nDay;
        else
            EXPECT_EQ(sz, nullptr) << c.nYear << "-" << c.nMonth << "-" << c.nDay << ": " << sz;
    }
}

// No year of the table has a leap twelfth month, so the rule is checked on made-up dates.
TEST(EngineNames, NewYearsEveWithALeapTwelfthMonth)
{
    CLunarDate lunar;
    lunar.m_nYear = 2000;
    lunar.m_nMonth = 12;
    lunar.m_nDay = 29;
    lunar.m_nMonthDays = 29;
    lunar.m_bLeapFollows = 1;
    lunar.m_bLeap = 0;
    EXPECT_EQ(lunar.GetFestival(), nullptr);  // the leap twelfth month is still to come
    lunar.m_bLeap = 1;
    EXPECT_STREQ(lunar.GetFestival(), "除夕");
    lunar.m_nDay = 28;
    EXPECT_EQ(lunar.GetFestival(), nullptr);
    lunar.m_nMonth = 8;
    lunar.m_nDay = 15;
    EXPECT_EQ(lunar.GetFestival(), nullptr);  // 闰八月十五 is no 中秋
    lunar.m_bLeap = 0;
    EXPECT_STREQ(lunar.GetFestival(), "中秋");
}

TEST(EngineNames, SolarTermNames)
{
    const char* const names[24] = {
        "小寒",
        "大寒",
        "立春",
        "雨水",
        "惊蛰",
        "春分",
        "清明",
        "谷雨",
        "立夏",
        "小满",
        "芒种",
        "夏至",
        "小暑",
        "大暑",
        "立秋",
        "处暑",
        "白露",
        "秋分",
        "寒露",
        "霜降",
        "立冬",
        "小雪",
        "大雪",
        "冬至",
    };
    for (int m = 1; m <= 12; ++m) {
        EXPECT_STREQ(GetSolarTermName(m, 1), names[2 * m - 2]) << m;
        EXPECT_STREQ(GetSolarTermName(m, 2), names[2 * m - 1]) << m;
    }
    EXPECT_EQ(GetSolarTermName(0, 1), nullptr);
    EXPECT_EQ(GetSolarTermName(13, 1), nullptr);
    EXPECT_EQ(GetSolarTermName(1, 0), nullptr);
    EXPECT_EQ(GetSolarTermName(1, 3), nullptr);
    EXPECT_EQ(GetSolarTermName(INT_MIN, INT_MAX), nullptr);
}

TEST(EngineNames, SolarTermsOutsideTheTable)
{
    struct Case {
        int nYear, nMonth;
    };
    const Case cases[] = {{1899, 12}, {2055, 1}, {2024, 0}, {2024, 13}, {INT_MIN, 1}, {INT_MAX, 1}, {2024, INT_MIN}};
    for (const Case& c : cases) {
        SolarTermTime first{9, 9, 9};
        SolarTermTime second{9, 9, 9};
        EXPECT_EQ(GetSolarTerms(c.nYear, c.nMonth, first, second), -1) << c.nYear << "-" << c.nMonth;
        EXPECT_EQ(first.m_nDay, 0);
        EXPECT_EQ(second.m_nDay, 0);
    }
    SolarTermTime first{};
    SolarTermTime second{};
    EXPECT_EQ(GetSolarTerms(1900, 1, first, second), 0);
    EXPECT_EQ(GetSolarTerms(2054, 12, first, second), 0);
}

}  // namespace
