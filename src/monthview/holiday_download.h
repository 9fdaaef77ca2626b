// Holiday schedules kept current from the holiday-cn project's yearly JSON files: what makes a
// file acceptable, where a taken file is stored (beside the memo files) and read back, which
// years are asked when, and the words that tell the user how it went. The download itself is
// the Windows side's (app/holiday_update_win.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/holidays.h"
#include "engine/solar_date.h"

// 日历\节假日-下载, relative to the memo folder (GBK); a year's file is <year>.json in it.
inline constexpr char HOLIDAY_DOWNLOAD_FOLDER[] = "\xc8\xd5\xc0\xfa\\\xbd\xda\xbc\xd9\xc8\xd5-\xcf\xc2\xd4\xd8";
// A year's file is some 5 KB; more than this is no such file, and reading stops there.
inline constexpr std::size_t HOLIDAY_DOWNLOAD_MAX_BYTES = 64 * 1024;

enum class HolidayFileFault { None, TooLarge, NotJson, WrongYear, NoDays, BadDay, DateOutside, BadName };

// Reads bytes as holiday-cn's file of nYear: {"year": nYear, "days": [{"name": "元旦",
// "date": "2027-01-01", "isOffDay": true}, ...]}, isOffDay false for an adjusted working day.
// Every date must lie in nYear or within 31 days of it (a New Year's holiday begins in the
// December before, a working day may fall in the January after); every name is 1-64 GBK bytes
// without control characters. None with the days in days, else the first fault found.
HolidayFileFault ReadHolidayYearFile(std::string_view bytes, int nYear, CHolidayOverlay& days);

// The reason, in the user's words (GBK), for a fault other than None.
const char* HolidayFaultWords(HolidayFileFault fault);

// pattern with every "{year}" replaced by nYear.
std::string HolidayYearUrl(std::string_view pattern, int nYear);

// memoFolder (program bytes, ending in a separator; empty: the current folder) + the year's file.
std::string HolidayDownloadPath(const std::string& memoFolder, int nYear);

// Reads the stored files of the years nFirstYear..nLastYear that still pass the checks, and
// makes them the downloaded schedules GetHoliday answers from. The years taken, ascending.
std::vector<int> LoadHolidayDownloads(const std::string& memoFolder, int nFirstYear, int nLastYear);

// The year files worth looking for: holiday-cn starts in 2007, and nothing is published
// beyond next year.
inline constexpr int HOLIDAY_DOWNLOAD_FIRST_YEAR = 2007;

// When each year was last asked, in minutes of local time since 2000-01-01 00:00.
struct HolidayAskLog {
    std::map<int, std::int64_t> m_asked;
};
std::int64_t HolidayClockMinutes(const SolarDate& day, int nHour, int nMinute);
// "2026:14230080,2027:14230080", as the registry keeps it; a malformed pair is dropped.
std::string FormatHolidayAskLog(const HolidayAskLog& log);
HolidayAskLog ParseHolidayAskLog(std::string_view text);

// The years to ask at nNow (on the day today): the current year, the next one from September 1
// on, and the shown year when it has no schedule at all (hasSchedule) and lies between 2007 and
// next year. A year asked less than a day ago waits, whatever its answer was; one asked "later"
// than now (the clock was set back) does not.
std::vector<int> HolidayYearsDue(std::int64_t nNow, const SolarDate& today, int nShownYear, const HolidayAskLog& log,
    bool (*hasSchedule)(int nYear));

// The About box's line for a year: "节假日数据：2027 年已更新（2026-12-07）" when taken, else
// "节假日数据：2027 年未能更新：<reason>" (GBK).
std::string HolidayUpdateWords(int nYear, bool bTaken, const SolarDate& today, const std::string& reason);
