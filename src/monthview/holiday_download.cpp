#include "monthview/holiday_download.h"

#include <algorithm>
#include <cstdio>

#include "memo/memo_file.h"
#include "text/gbcodec.h"
#include "text/json.h"

namespace {

constexpr int DAYS_BESIDE_YEAR = 31;
constexpr std::int64_t MINUTES_A_DAY = 24 * 60;

bool ReadIsoDate(const std::string& text, SolarDate& d)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    int v[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, ends[3] = {4, 7, 10};
    for (int k = 0; k < 3; ++k)
        for (std::size_t i = starts[k]; i < ends[k]; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            v[k] = v[k] * 10 + (text[i] - '0');
        }
    d = {v[0], v[1], v[2]};
    return IsValidSolarDate(d.m_nYear, d.m_nMonth, d.m_nDay);
}

bool IsNearYear(const SolarDate& d, int nYear)
{
    if (d.m_nYear == nYear)
        return true;
    if (d.m_nYear == nYear - 1)
        return DaysBetween(nYear, 1, 1, d.m_nYear, d.m_nMonth, d.m_nDay) <= DAYS_BESIDE_YEAR;
    if (d.m_nYear == nYear + 1)
        return DaysBetween(d.m_nYear, d.m_nMonth, d.m_nDay, nYear, 12, 31) <= DAYS_BESIDE_YEAR;
    return false;
}

HolidayFileFault ReadDay(const almanix::JsonValue& day, int nYear, CHolidayOverlay& days)
{
    const almanix::JsonValue* name = day.Find("name");
    const almanix::JsonValue* date = day.Find("date");
    const almanix::JsonValue* off = day.Find("isOffDay");
    SolarDate d{};
    if (!name || !name->IsString() || !date || !date->IsString() || !off ||
        off->m_kind != almanix::JsonValue::Kind::Bool || !ReadIsoDate(date->m_text, d))
        return HolidayFileFault::BadDay;
    if (!IsNearYear(d, nYear))
        return HolidayFileFault::DateOutside;
    // The name goes into a cell's tip: one line of text.
    if (std::any_of(name->m_text.begin(), name->m_text.end(), [](char c) { return c >= 0 && c < 0x20; }))
        return HolidayFileFault::BadName;
    if (!days.SetDay(d, off->m_bTrue ? HOLIDAY_OFF : HOLIDAY_WORK, almanix::Utf8ToGb(name->m_text)))
        return HolidayFileFault::BadName;
    return HolidayFileFault::None;
}

}  // namespace

HolidayFileFault ReadHolidayYearFile(std::string_view bytes, int nYear, CHolidayOverlay& days)
{
    days = CHolidayOverlay();
    if (bytes.size() > HOLIDAY_DOWNLOAD_MAX_BYTES)
        return HolidayFileFault::TooLarge;
    almanix::JsonValue root;
    if (!almanix::ParseJson(bytes, root) || root.m_kind != almanix::JsonValue::Kind::Object)
        return HolidayFileFault::NotJson;
    const almanix::JsonValue* year = root.Find("year");
    int nFileYear = 0;
    if (!year || !year->AsInt(nFileYear) || nFileYear != nYear)
        return HolidayFileFault::WrongYear;
    const almanix::JsonValue* list = root.Find("days");
    if (!list || list->m_kind != almanix::JsonValue::Kind::Array)
        return HolidayFileFault::NotJson;
    if (list->m_items.empty())
        return HolidayFileFault::NoDays;
    for (const almanix::JsonValue& day : list->m_items) {
        const HolidayFileFault fault = ReadDay(day, nYear, days);
        if (fault != HolidayFileFault::None) {
            days = CHolidayOverlay();
            return fault;
        }
    }
    return HolidayFileFault::None;
}

const char* HolidayFaultWords(HolidayFileFault fault)
{
    switch (fault) {
    case HolidayFileFault::None:
        break;
    case HolidayFileFault::TooLarge:
        return "文件过大，不是节假日数据";
    case HolidayFileFault::NotJson:
        return "文件格式不对（不是节假日 JSON 文件）";
    case HolidayFileFault::WrongYear:
        return "文件中的年份不对";
    case HolidayFileFault::NoDays:
        return "尚未公布";
    case HolidayFileFault::BadDay:
        return "文件中有格式不对的日期";
    case HolidayFileFault::DateOutside:
        return "文件中有不属于该年的日期";
    case HolidayFileFault::BadName:
        return "文件中有空的或过长的节日名称";
    }
    return "";
}

std::string HolidayYearUrl(std::string_view pattern, int nYear)
{
    const std::string_view mark = "{year}";
    const std::string year = std::to_string(nYear);
    std::string url;
    for (std::size_t at; (at = pattern.find(mark)) != std::string_view::npos;) {
        url.append(pattern.substr(0, at)).append(year);
        pattern.remove_prefix(at + mark.size());
    }
    return url.append(pattern);
}

std::string HolidayDownloadPath(const std::string& memoFolder, int nYear)
{
    return memoFolder + HOLIDAY_DOWNLOAD_FOLDER + "\\" + std::to_string(nYear) + ".json";
}

std::vector<int> LoadHolidayDownloads(const std::string& memoFolder, int nFirstYear, int nLastYear)
{
    CHolidayOverlay all;
    std::vector<int> years;
    for (int nYear = std::max(nFirstYear, HOLIDAY_DOWNLOAD_FIRST_YEAR); nYear <= nLastYear; ++nYear) {
        std::size_t nLength = 0;
        const auto bytes = ReadWholeFile(HolidayDownloadPath(memoFolder, nYear).c_str(), nLength);
        CHolidayOverlay days;
        if (!bytes || ReadHolidayYearFile(std::string_view(bytes.get(), nLength), nYear, days) != HolidayFileFault::None)
            continue;
        // A later year's file wins for the December days it lists.
        all.MergeFrom(days);
        years.push_back(nYear);
    }
    SetDownloadedHolidays(all, years);
    return years;
}

std::int64_t HolidayClockMinutes(const SolarDate& day, int nHour, int nMinute)
{
    return static_cast<std::int64_t>(DaysBetween(day.m_nYear, day.m_nMonth, day.m_nDay, 2000, 1, 1)) * MINUTES_A_DAY +
        nHour * 60 + nMinute;
}

std::string FormatHolidayAskLog(const HolidayAskLog& log)
{
    std::string text;
    for (const auto& [nYear, nAsked] : log.m_asked)
        text += (text.empty() ? "" : ",") + std::to_string(nYear) + ":" + std::to_string(nAsked);
    return text;
}

HolidayAskLog ParseHolidayAskLog(std::string_view text)
{
    HolidayAskLog log;
    while (!text.empty()) {
        const std::size_t comma = std::min(text.find(','), text.size());
        const std::string pair(text.substr(0, comma));
        text.remove_prefix(std::min(comma + 1, text.size()));
        int nYear = 0;
        long long nAsked = 0;
        char extra = 0;
        if (std::sscanf(pair.c_str(), "%d:%lld%c", &nYear, &nAsked, &extra) == 2 && nYear >= 1900 && nYear <= 2100)
            log.m_asked[nYear] = nAsked;
    }
    return log;
}

std::vector<int> HolidayYearsDue(std::int64_t nNow, const SolarDate& today, int nShownYear, const HolidayAskLog& log,
    bool (*hasSchedule)(int nYear))
{
    std::vector<int> candidates = {today.m_nYear};
    if (today.m_nMonth >= 9)
        candidates.push_back(today.m_nYear + 1);
    if (nShownYear >= HOLIDAY_DOWNLOAD_FIRST_YEAR && nShownYear <= today.m_nYear + 1 && !hasSchedule(nShownYear))
        candidates.push_back(nShownYear);
    std::vector<int> due;
    for (int nYear : candidates) {
        const auto asked = log.m_asked.find(nYear);
        const bool bWaits = asked != log.m_asked.end() && asked->second <= nNow && nNow - asked->second < MINUTES_A_DAY;
        if (!bWaits && std::find(due.begin(), due.end(), nYear) == due.end())
            due.push_back(nYear);
    }
    return due;
}

std::string HolidayUpdateWords(int nYear, bool bTaken, const SolarDate& today, const std::string& reason)
{
    char text[96];
    if (bTaken)
        std::snprintf(text, sizeof text, "节假日数据：%d 年已更新（%04d-%02d-%02d）", nYear, today.m_nYear,
            today.m_nMonth, today.m_nDay);
    else
        std::snprintf(text, sizeof text, "节假日数据：%d 年未能更新：", nYear);
    return bTaken ? std::string(text) : text + reason;
}
