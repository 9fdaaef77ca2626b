// The holiday download against a real web server on this computer (with_holiday_server.sh):
// for each reply, whether the year is taken and stored, what the calendar then marks, and the
// About box's words.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/holiday_update.h"
#include "engine/holidays.h"
#include "memo/memo_file.h"
#include "scratch_folder.h"
#include "text/gbcodec_win.h"

TEST(HolidayUpdate, RepliesOfALocalServer)
{
    const char* server = std::getenv("ALMANIX_HOLIDAY_TEST_URL");
    ASSERT_NE(server, nullptr) << "run by with_holiday_server.sh";
    ScratchFolder folder("holiday-update");
    ASSERT_TRUE(folder.PrepareMemos());
    wchar_t cwd[MAX_PATH];
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH, cwd), 0u);
    const std::string memoFolder = almanix::WideToGb(cwd) + "\\";
    const SolarDate today = {2026, 12, 7};

    const struct {
        const char* url;  // after the server's address, or a whole address
        int nYear;
        const char* words;
        SolarDate day;  // what the calendar marks there afterwards
        int nKind;
    } cases[] = {
        {"/good/{year}.json", 2026, "节假日数据：2026 年已更新（2026-12-07）", {2026, 1, 1}, HOLIDAY_OFF},
        {"/moved/{year}.json", 2019, "节假日数据：2019 年已更新（2026-12-07）", {2018, 12, 30}, HOLIDAY_OFF},
        {"/missing/{year}.json", 2027, "节假日数据：2027 年未能更新：尚未公布", {2027, 1, 1}, HOLIDAY_NONE},
        {"/empty/{year}.json", 2027, "节假日数据：2027 年未能更新：尚未公布", {2027, 1, 1}, HOLIDAY_NONE},
        {"/malformed/{year}.json", 2027, "节假日数据：2027 年未能更新：文件格式不对（不是节假日 JSON 文件）",
            {2027, 1, 1}, HOLIDAY_NONE},
        {"/wrongyear/{year}.json", 2027, "节假日数据：2027 年未能更新：文件中的年份不对", {2027, 1, 1},
            HOLIDAY_NONE},
        {"/outside/{year}.json", 2027, "节假日数据：2027 年未能更新：文件中有不属于该年的日期", {2027, 1, 1},
            HOLIDAY_NONE},
        {"/emptyname/{year}.json", 2027, "节假日数据：2027 年未能更新：文件中有空的或过长的节日名称", {2027, 1, 1},
            HOLIDAY_NONE},
        {"/huge/{year}.json", 2027, "节假日数据：2027 年未能更新：文件过大，不是节假日数据", {2027, 1, 1},
            HOLIDAY_NONE},
        {"/tohttp/{year}.json", 2027, "节假日数据：2027 年未能更新：服务器转向了不安全的地址，未跟随", {2027, 1, 1},
            HOLIDAY_NONE},
        {"/silent/{year}.json", 2027, "节假日数据：2027 年未能更新：服务器应答超时", {2027, 1, 1}, HOLIDAY_NONE},
        {"http://www.example.com/{year}.json", 2027,
            "节假日数据：2027 年未能更新：只能通过 https 下载（http 只用于本机）", {2027, 1, 1}, HOLIDAY_NONE},
    };
    for (const auto& c : cases) {
        const std::string url = c.url[0] == '/' ? server + std::string(c.url) : c.url;
        const HolidayYearOutcome outcome = UpdateHolidayYear(url, memoFolder, c.nYear);
        EXPECT_EQ(HolidayUpdateWords(c.nYear, outcome.m_bTaken, today, outcome.m_reason), c.words) << c.url;
        EXPECT_EQ(GetFileStamp(HolidayDownloadPath("", c.nYear).c_str()) != FileStamp{}, outcome.m_bTaken) << c.url;
        LoadHolidayDownloads("", HOLIDAY_DOWNLOAD_FIRST_YEAR, 2030);
        EXPECT_EQ(GetHoliday(c.day.m_nYear, c.day.m_nMonth, c.day.m_nDay), c.nKind) << c.url;
    }
    SetDownloadedHolidays(CHolidayOverlay(), {});
}
