// The bulletin line's own items on fixed dates, and the user's holiday file in a memo folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "engine/holidays.h"
#include "monthview/holiday_file.h"
#include "monthview/local_bulletin.h"
#include "monthview/month_model.h"
#include "monthview_support.h"
#include "text/gbcodec.h"

using monthview_test::MemoFileBytes;
using monthview_test::MemoFolderTest;

namespace {

class HolidayFolderTest : public MemoFolderTest {
protected:
    void TearDown() override
    {
        SetUserHolidays(CHolidayOverlay());
        MemoFolderTest::TearDown();
    }
};

}  // namespace

TEST(LocalBulletin, ItemsOnFixedDates)
{
    // Memos of New Year's Eve and New Year's Day 2026; the second memo has two lines.
    const DayMemoReader memos = [](const SolarDate& d) {
        std::map<int, std::vector<std::string>> byDay = {{16, {"年夜饭"}}, {17, {"拜年\r\n带礼物", "生日"}}};
        return d.m_nYear == 2026 && d.m_nMonth == 2 && byDay.count(d.m_nDay) ? byDay[d.m_nDay]
                                                                             : std::vector<std::string>{};
    };
    struct Case {
        SolarDate today;
        std::vector<std::string> items;  // UTF-8
    };
    const Case cases[] = {
        {{2025, 12, 4}, {u8"距元旦（1月1日）还有 28 天，放假 1月1日至1月3日", u8"12月7日 大雪"}},
        {{2026, 2, 10}, {u8"距春节（2月17日）还有 7 天，放假 2月15日至2月23日", u8"2月18日 雨水"}},
        {{2026, 2, 16},  // lunar New Year's Eve, inside the days off
            {u8"距春节（2月17日）还有 1 天，放假 2月15日至2月23日", u8"2月18日 雨水", u8"今天：年夜饭",
                u8"明天：拜年", u8"明天：生日"}},
        {{2026, 2, 17}, {u8"今天是春节，放假 2月15日至2月23日", u8"2月18日 雨水", u8"今天：拜年", u8"今天：生日"}},
        {{2026, 2, 20}, {u8"春节假期还有 4 天，放假 2月15日至2月23日", u8"3月5日 惊蛰"}},
        {{2026, 4, 5}, {u8"今天是清明节，放假 4月4日至4月6日", u8"今天 清明"}},
        // No schedule of 2027 is known: the next festival says so.
        {{2026, 12, 22}, {u8"距元旦（1月1日）还有 10 天，2027 年放假安排尚未公布", u8"今天 冬至"}},
        {{2027, 1, 1}, {u8"今天是元旦，2027 年放假安排尚未公布", u8"1月5日 小寒"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const LocalBulletinItem& item : BuildLocalBulletinItems(c.today, memos))
            got.push_back(almanix::GbToUtf8(item.m_strText));
        EXPECT_EQ(got, c.items) << c.today.m_nYear << "-" << c.today.m_nMonth << "-" << c.today.m_nDay;
    }
    const std::vector<LocalBulletinItem> items = BuildLocalBulletinItems({2026, 2, 16}, memos);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[4].m_nKind, LOCAL_BULLETIN_MEMO);
    EXPECT_EQ(items[4].m_date.m_nDay, 17);
}

TEST_F(HolidayFolderTest, FileAndMemosFromTheMemoFolder)
{
    WriteMemoFile("202602", MemoFileBytes({{28, "交房租", 0}}));
    WriteMemoFile("week", MemoFileBytes({{6, "周六加班", 0}}));
    EXPECT_EQ(ReadDayMemos({2026, 2, 28}), (std::vector<std::string>{"周六加班", "交房租"}));
    EXPECT_TRUE(ReadDayMemos({2026, 2, 27}).empty());

    CHolidayFileWatch watch;
    EXPECT_FALSE(watch.Refresh());  // no file: the built-in table stands
    EXPECT_EQ(GetHoliday(2026, 2, 28), HOLIDAY_WORK);
    WriteMemoFile("节假日.txt", u8"2026-02-28 休 春节\nnonsense\n");
    EXPECT_TRUE(watch.Refresh());
    EXPECT_EQ(GetHoliday(2026, 2, 28), HOLIDAY_OFF);
    EXPECT_EQ(GetHoliday(2026, 2, 17), HOLIDAY_NONE);  // the year is the file's alone
    EXPECT_EQ(watch.GetReport().m_nBadLines, 1);
    EXPECT_FALSE(watch.Refresh());  // unchanged

    std::remove("日历/节假日.txt");
    EXPECT_TRUE(watch.Refresh());
    EXPECT_EQ(GetHoliday(2026, 2, 17), HOLIDAY_OFF);
}

// The main festivals of a year nobody has published say so in their tips, until a schedule of
// the year is known; years before the built-in table say nothing.
TEST_F(HolidayFolderTest, TipsOfFestivalsWithoutASchedule)
{
    CHolidayFileWatch watch;    auto tipOf = [](int year, int month, int day) {
        CMonthModel model;
        model.SetMonth(year, month, 0);
        int length = 0;
        char* note = model.BuildDayNote(day, length);
        std::string text = note ? almanix::GbToUtf8(std::string(note, static_cast<std::size_t>(length))) : "";
        std::free(note);
        return text;
    };
    EXPECT_EQ(tipOf(2027, 1, 1), u8"2027 年放假安排尚未公布");
    EXPECT_EQ(tipOf(2027, 2, 6), u8"2027 年放假安排尚未公布");  // 春节
    EXPECT_EQ(tipOf(2027, 10, 1), u8"2027 年放假安排尚未公布");
    EXPECT_EQ(tipOf(2027, 5, 1), "");
    EXPECT_EQ(tipOf(2026, 10, 1), u8"国庆节 放假");
    WriteMemoFile("节假日.txt", u8"2027-01-01 休 元旦\n");
    EXPECT_TRUE(watch.Refresh());
    EXPECT_EQ(tipOf(2027, 1, 1), u8"元旦 放假");
    EXPECT_EQ(tipOf(2027, 10, 1), "");
    EXPECT_EQ(tipOf(2003, 10, 1), "");
}
