// The holiday schedules: the user file's lines and the periods the bulletin names.
#include <gtest/gtest.h>

#include <string>

#include "engine/holidays.h"
#include "text/gbcodec.h"

namespace {

std::string Name(int y, int m, int d)
{
    const char* pszName = nullptr;
    GetHoliday(y, m, d, &pszName);
    return pszName ? almanix::GbToUtf8(pszName) : "-";
}

// Removes the user's schedules when a test ends.
class HolidayFileTest : public ::testing::Test {
protected:
    void TearDown() override { SetUserHolidays(CHolidayOverlay()); }
};

const char kUserFile[] = "\xef\xbb\xbf# 2027 as published\r\n"            // 1
                         u8"2027-01-01..2027-01-03 休 元旦\r\n"           // 2
                         u8"2027-02-06 班 春节\r\n"                       // 3
                         u8"2027-02-07..2027-02-13 休 春节   # 七天\r\n"  // 4
                         u8"2027-2-14\t班\t春节\r\n"                      // 5
                         u8"2027-02-10 班 春节调整\r\n"                   // 6 overlaps line 4: the later line wins
                         u8"2027-02-30 休 坏\r\n"                         // 7 no such day
                         u8"2027-13-01 休 坏\r\n"                         // 8
                         u8"1899-12-31 休 太早\r\n"                       // 9 out of range
                         u8"2027-03-05..2027-03-01 休 倒序\r\n"           // 10 backwards
                         u8"2027-04-01 放 清明节\r\n"                     // 11 unknown kind
                         u8"2027-04-02 休\r\n"                            // 12 no name
                         u8"2027-04-03..2028-04-03 休 太长\r\n"           // 13 more than 366 days
                         u8"2027-04-04 休 一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三\r\n"  // 14
                         "garbage \xff\r\n"                                  // 15 (the file stays UTF-8 without it)
                         "\r\n"                                              // 16
                         u8"2028-12-31..2029-01-01 休 元旦\n"                // 17 across a year's end
                         u8"\u30002027-05-01\u3000休\u3000劳动节 \u3000 \r"  // 18 ideographic spaces, CR alone
                         u8"2026-10-09 休 国庆节";                           // 19 replaces the built-in 2026

}  // namespace

TEST_F(HolidayFileTest, UserFileLines)
{
    std::string utf8 = kUserFile;
    utf8.erase(utf8.find(" \xff"), 2);  // a stray byte would make the file GBK
    for (const bool bGbk : {false, true}) {
        // Notepad's "ANSI" on a Chinese system: the same lines in GBK, without the BOM.
        const std::string bytes = bGbk ? almanix::Utf8ToGb(utf8.substr(3)) : utf8;
        CHolidayOverlay overlay;
        const HolidayFileReport report = overlay.Parse(bytes);
        EXPECT_EQ(report.m_nGoodLines, 8) << bGbk;
        EXPECT_EQ(report.m_nBadLines, 9) << bGbk;
        EXPECT_EQ(report.m_nFirstBadLine, 7) << bGbk;
        EXPECT_EQ(overlay.Years(), (std::vector<int>{2026, 2027, 2028, 2029})) << bGbk;
        SetUserHolidays(overlay);

        struct Case {
            int y, m, d;
            int nKind;
            const char* szName;  // UTF-8
        };
        const Case cases[] = {
            {2027, 1, 3, HOLIDAY_OFF, u8"元旦"},
            {2027, 1, 4, HOLIDAY_NONE, "-"},
            {2027, 2, 6, HOLIDAY_WORK, u8"春节"},
            {2027, 2, 9, HOLIDAY_OFF, u8"春节"},
            {2027, 2, 10, HOLIDAY_WORK, u8"春节调整"},
            {2027, 2, 13, HOLIDAY_OFF, u8"春节"},
            {2027, 2, 14, HOLIDAY_WORK, u8"春节"},
            {2027, 4, 1, HOLIDAY_NONE, "-"},
            {2027, 4, 3, HOLIDAY_NONE, "-"},
            {2027, 5, 1, HOLIDAY_OFF, u8"劳动节"},
            {2028, 12, 31, HOLIDAY_OFF, u8"元旦"},
            {2029, 1, 1, HOLIDAY_OFF, u8"元旦"},
            {2026, 10, 1, HOLIDAY_NONE, "-"},
            {2026, 10, 9, HOLIDAY_OFF, u8"国庆节"},
            {2026, 2, 17, HOLIDAY_NONE, "-"},
            {2025, 10, 1, HOLIDAY_OFF, u8"国庆节"},
            {1899, 12, 31, HOLIDAY_NONE, "-"},
            {2030, 1, 1, HOLIDAY_NONE, "-"},
        };
        for (const Case& c : cases) {
            EXPECT_EQ(GetHoliday(c.y, c.m, c.d), c.nKind) << c.y << "-" << c.m << "-" << c.d << " gbk " << bGbk;
            EXPECT_EQ(Name(c.y, c.m, c.d), c.szName) << c.y << "-" << c.m << "-" << c.d << " gbk " << bGbk;
        }
    }

    // A stray byte that is no UTF-8 makes the whole file GBK: its Chinese lines then go wrong
    // and are skipped, the file never stops the calendar.
    CHolidayOverlay overlay;
    const HolidayFileReport report = overlay.Parse(kUserFile);
    EXPECT_EQ(report.m_nGoodLines + report.m_nBadLines, 17);
    // Nothing at all, or only comments: no year is named and the built-in table stays.
    for (const char* sz : {"", "# nothing\n\n", "\xef\xbb\xbf"}) {
        EXPECT_EQ(overlay.Parse(sz).m_nBadLines, 0);
        EXPECT_TRUE(overlay.Years().empty());
    }
}

TEST_F(HolidayFileTest, PeriodsAroundADate)
{
    struct Case {
        SolarDate from;
        const char* szName;  // UTF-8; null: none found
        SolarDate festival, first, last;
    };
    const Case cases[] = {
        {{2025, 12, 7}, u8"元旦", {2026, 1, 1}, {2026, 1, 1}, {2026, 1, 3}},       // Sunday the 4th works
        {{2026, 2, 10}, u8"春节", {2026, 2, 17}, {2026, 2, 15}, {2026, 2, 23}},    // before it
        {{2026, 2, 16}, u8"春节", {2026, 2, 17}, {2026, 2, 15}, {2026, 2, 23}},    // lunar New Year's Eve
        {{2026, 2, 23}, u8"春节", {2026, 2, 17}, {2026, 2, 15}, {2026, 2, 23}},    // its last day
        {{2026, 2, 24}, u8"清明节", {2026, 4, 5}, {2026, 4, 4}, {2026, 4, 6}},     // the next one
        {{2023, 9, 29}, u8"中秋节", {2023, 9, 29}, {2023, 9, 29}, {2023, 10, 6}},  // one run, two names
        {{2023, 9, 30}, u8"国庆节", {2023, 10, 1}, {2023, 9, 29}, {2023, 10, 6}},
        {{2022, 12, 30}, u8"元旦", {2023, 1, 1}, {2022, 12, 31}, {2023, 1, 2}},  // Saturday before it
        {{2015, 9, 5}, u8"中国人民抗日战争暨世界反法西斯战争胜利70周年纪念日", {2015, 9, 3}, {2015, 9, 3},
            {2015, 9, 5}},                     // a Saturday inside
        {{2026, 10, 8}, nullptr, {}, {}, {}},  // 2027 is unknown
    };
    for (const Case& c : cases) {
        const std::string where = std::to_string(c.from.m_nYear) + "-" + std::to_string(c.from.m_nMonth) + "-" +
            std::to_string(c.from.m_nDay);
        HolidayPeriod period;
        const bool bFound = FindHolidayPeriod(c.from, period);
        ASSERT_EQ(bFound, c.szName != nullptr) << where;
        if (!bFound)
            continue;
        EXPECT_EQ(almanix::GbToUtf8(period.m_pszName), c.szName) << where;
        const SolarDate got[3] = {period.m_festival, period.m_firstOff, period.m_lastOff};
        const SolarDate want[3] = {c.festival, c.first, c.last};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(std::make_tuple(got[i].m_nYear, got[i].m_nMonth, got[i].m_nDay),
                std::make_tuple(want[i].m_nYear, want[i].m_nMonth, want[i].m_nDay))
                << where << " date " << i;
        }
    }
}
