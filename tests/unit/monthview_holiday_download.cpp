// The downloaded holiday schedules: which files are taken, which years are asked when, and
// where a download stands between the user's file and the built-in table.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "engine/holidays.h"
#include "monthview/holiday_download.h"

namespace {

std::string Fixture(const char* name)
{
    std::ifstream in(std::string(ALMANIX_SOURCE_DIR) + "/tests/data/holiday-cn/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string YearFile(int nYear, const std::string& days)
{
    return "{\"year\": " + std::to_string(nYear) + ", \"papers\": [], \"days\": [" + days + "]}";
}

std::string Day(const std::string& name, const std::string& date, bool bOff = true)
{
    return "{\"name\": \"" + name + "\", \"date\": \"" + date + "\", \"isOffDay\": " + (bOff ? "true" : "false") + "}";
}

std::string LongName(int nChars)
{
    std::string name;
    for (int i = 0; i < nChars; ++i)
        name += u8"节";
    return name;
}

}  // namespace

TEST(HolidayDownload, FilesTakenOrRefused)
{
    const std::string newYear = Day(u8"元旦", "2027-01-01");
    const struct {
        const char* what;
        std::string bytes;
        int nYear;
        HolidayFileFault fault;
    } cases[] = {
        {"the real 2026 file", Fixture("2026.json"), 2026, HolidayFileFault::None},
        {"the real 2019 file, New Year's from 2018-12-30", Fixture("2019.json"), 2019, HolidayFileFault::None},
        {"a working day in the next January", YearFile(2027, newYear + "," + Day(u8"春节", "2028-01-29", false)), 2027,
            HolidayFileFault::None},
        {"a combined name", YearFile(2027, Day(u8"国庆节、中秋节", "2027-10-01")), 2027, HolidayFileFault::None},
        {"another year's file", Fixture("2026.json"), 2027, HolidayFileFault::WrongYear},
        {"no year", "{\"days\": [" + newYear + "]}", 2027, HolidayFileFault::WrongYear},
        {"a date in the summer after", YearFile(2027, newYear + "," + Day(u8"元旦", "2028-06-01")), 2027,
            HolidayFileFault::DateOutside},
        {"a date two months before", YearFile(2027, Day(u8"国庆节", "2026-10-31")), 2027,
            HolidayFileFault::DateOutside},
        {"an empty name", YearFile(2027, Day("", "2027-01-01")), 2027, HolidayFileFault::BadName},
        {"a name of 33 characters", YearFile(2027, Day(LongName(33), "2027-01-01")), 2027, HolidayFileFault::BadName},
        {"a name of 32 characters", YearFile(2027, Day(LongName(32), "2027-01-01")), 2027, HolidayFileFault::None},
        {"a name across lines", YearFile(2027, Day(u8"元\\n旦", "2027-01-01")), 2027, HolidayFileFault::BadName},
        {"no such date", YearFile(2027, Day(u8"元旦", "2027-02-30")), 2027, HolidayFileFault::BadDay},
        {"isOffDay not a truth value", YearFile(2027, "{\"name\": \"x\", \"date\": \"2027-01-01\", \"isOffDay\": 1}"),
            2027, HolidayFileFault::BadDay},
        {"a name in escapes, a pair among them", YearFile(2027, Day("\\u5143\\u65e6\\ud83c\\udf8a", "2027-01-01")), 2027,
            HolidayFileFault::None},
        {"a lone surrogate", YearFile(2027, Day("\\ud83c", "2027-01-01")), 2027, HolidayFileFault::NotJson},
        {"a name not in UTF-8", YearFile(2027, Day("\xd4\xaa\xb5\xa9", "2027-01-01")), 2027, HolidayFileFault::NotJson},
        {"something after the object", YearFile(2027, newYear) + "]", 2027, HolidayFileFault::NotJson},
        {"malformed JSON", YearFile(2027, newYear).substr(0, 40), 2027, HolidayFileFault::NotJson},
        {"an error page", "<html>404</html>", 2027, HolidayFileFault::NotJson},
        {"days empty (not published yet)", YearFile(2027, ""), 2027, HolidayFileFault::NoDays},
        {"over 64 KB", YearFile(2027, newYear + std::string(HOLIDAY_DOWNLOAD_MAX_BYTES, ' ')), 2027,
            HolidayFileFault::TooLarge},
    };
    for (const auto& c : cases) {
        CHolidayOverlay days;
        EXPECT_EQ(ReadHolidayYearFile(c.bytes, c.nYear, days), c.fault) << c.what;
        EXPECT_EQ(days.Years().empty(), c.fault != HolidayFileFault::None) << c.what;
    }
}

TEST(HolidayDownload, YearsAskedOnADate)
{
    const auto known = [](int nYear) { return nYear <= 2026; };
    const std::int64_t now = HolidayClockMinutes({2026, 12, 7}, 10, 0);
    const std::int64_t hour = 60, day = 24 * 60;
    const struct {
        const char* what;
        SolarDate today;
        int nShown;
        std::map<int, std::int64_t> askedAgo;  // minutes before now
        std::vector<int> due;
    } cases[] = {
        {"first start in December: this year and the next", {2026, 12, 7}, 2026, {}, {2026, 2027}},
        {"August: this year only", {2026, 8, 31}, 2026, {}, {2026}},
        {"September 1: the next year too", {2026, 9, 1}, 2026, {}, {2026, 2027}},
        {"both asked an hour ago (a 404 among them)", {2026, 12, 7}, 2026, {{2026, hour}, {2027, hour}}, {}},
        {"asked 23 hours ago: not yet", {2026, 12, 7}, 2026, {{2027, day - hour}}, {2026}},
        {"asked a day ago: again", {2026, 12, 7}, 2026, {{2026, day}, {2027, day}}, {2026, 2027}},
        {"the clock was set back", {2026, 12, 7}, 2026, {{2026, -day}, {2027, hour}}, {2026}},
        {"a shown year without a schedule", {2026, 3, 1}, 2027, {}, {2026, 2027}},
        {"a shown year far ahead is never published", {2026, 3, 1}, 2030, {}, {2026}},
        {"a shown year with a schedule", {2026, 3, 1}, 2024, {}, {2026}},
        {"a shown year before the project's data", {2026, 3, 1}, 1990, {}, {2026}},
    };
    for (const auto& c : cases) {
        HolidayAskLog log;
        for (const auto& [nYear, nAgo] : c.askedAgo)
            log.m_asked[nYear] = now - nAgo;
        EXPECT_EQ(HolidayYearsDue(now, c.today, c.nShown, log, +known), c.due) << c.what;
    }
}

TEST(HolidayDownload, AskLogRoundTrip)
{
    HolidayAskLog log;
    log.m_asked = {{2026, 14230080}, {2027, 14230081}};
    const std::string text = FormatHolidayAskLog(log);
    EXPECT_EQ(text, "2026:14230080,2027:14230081");
    EXPECT_EQ(ParseHolidayAskLog(text + ",junk,1800:5,2028:7x").m_asked, log.m_asked);
}

TEST(HolidayDownload, UserFileThenDownloadThenBuiltIn)
{
    CHolidayOverlay downloaded;
    ASSERT_EQ(ReadHolidayYearFile(YearFile(2026, Day(u8"元旦", "2025-12-31") + "," + Day(u8"元旦", "2026-01-05")),
                  2026, downloaded),
        HolidayFileFault::None);
    SetDownloadedHolidays(downloaded, {2026});
    CHolidayOverlay user;
    user.Parse(u8"2025-10-01 休 国庆节\n");
    const char* name = nullptr;
    EXPECT_EQ(GetHoliday(2026, 1, 5, &name), HOLIDAY_OFF);  // the download's year is its own
    EXPECT_STREQ(name, "元旦");
    EXPECT_EQ(GetHoliday(2026, 1, 1), HOLIDAY_NONE);
    EXPECT_EQ(GetHoliday(2025, 12, 31), HOLIDAY_OFF);  // a day it lists before its year
    EXPECT_EQ(GetHoliday(2025, 10, 8), HOLIDAY_OFF);   // the built-in table elsewhere
    SetUserHolidays(user);
    EXPECT_EQ(GetHoliday(2025, 12, 31), HOLIDAY_NONE);  // the user's year wins
    EXPECT_EQ(GetHoliday(2026, 1, 5), HOLIDAY_OFF);
    EXPECT_TRUE(HasHolidaySchedule(2026));
    EXPECT_FALSE(HasHolidaySchedule(2027));
    SetUserHolidays(CHolidayOverlay());
    SetDownloadedHolidays(CHolidayOverlay(), {});
}
