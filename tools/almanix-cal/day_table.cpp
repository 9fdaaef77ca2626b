#include "day_table.h"

#include <cstdio>

#include "engine/almanac.h"
#include "engine/names.h"
#include "engine/solar_terms.h"

void FormatDayLine(const SolarDate& date, const CLunarDate& lunar, std::string& out)
{
    const char* szFestival = lunar.GetFestival();
    if (!szFestival)
        szFestival = GetSolarFestival(date.m_nMonth, date.m_nDay);

    int nTermMark = 0;
    SolarTermTime first{};
    SolarTermTime second{};
    if (GetSolarTerms(date.m_nYear, date.m_nMonth, first, second) == 0) {
        if (date.m_nDay == first.m_nDay)
            nTermMark = 1;
        else if (date.m_nDay == second.m_nDay)
            nTermMark = 2;
    }
    const char* szTerm = nTermMark ? GetSolarTermName(date.m_nMonth, nTermMark) : nullptr;

    char buf[160];
    const int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d\t%d\t%d\t%d\t%d\t%d\t%d\t%s\t%d\t%s\n", date.m_nYear,
        date.m_nMonth, date.m_nDay, DayOfWeek(date.m_nYear, date.m_nMonth, date.m_nDay), lunar.m_nYear, lunar.m_nMonth,
        lunar.m_nDay, lunar.m_bLeap, lunar.m_nMonthDays, szFestival ? szFestival : "-", nTermMark,
        szTerm ? szTerm : "-");
    if (n > 0)
        out.append(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

void AppendAlmanacColumns(const SolarDate& date, const CLunarDate& lunar, std::string& out)
{
    AlmanacDay day;
    if (!GetAlmanacDay(date.m_nYear, date.m_nMonth, date.m_nDay, lunar, day)) {
        out += "\t-\t-\t-\t-\t-\t-";
        return;
    }
    for (int n : {day.m_nYearGanZhi, day.m_nMonthGanZhi, day.m_nDayGanZhi}) {
        out += '\t';
        out += GetGanZhiYear(n);
    }
    out += '\t';
    AppendActivities(day.m_pszYi, " ", out);
    out += '\t';
    AppendActivities(day.m_pszJi, " ", out);
    out += '\t';
    AppendClashLine(day, out);
}

int FormatDayTable(const SolarDate& from, const SolarDate& to, DayTableMode mode, std::string& out)
{
    return ForEachDay(
        from, to, mode, [&out](const SolarDate& date, const CLunarDate& lunar) { FormatDayLine(date, lunar, out); });
}
