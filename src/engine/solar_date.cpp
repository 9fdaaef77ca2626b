#include "engine/solar_date.h"

namespace {

bool ReadDigits(std::string_view text, size_t nPos, size_t nCount, int& nValue)
{
    nValue = 0;
    for (size_t i = nPos; i < nPos + nCount; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        nValue = nValue * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

void AdvanceSolarDate(SolarDate& date)
{
    if (++date.m_nDay <= DaysInMonth(date.m_nYear, date.m_nMonth))
        return;
    date.m_nDay = 1;
    if (++date.m_nMonth <= 12)
        return;
    date.m_nMonth = 1;
    ++date.m_nYear;
}

void RetreatSolarDate(SolarDate& date)
{
    if (--date.m_nDay >= 1)
        return;
    if (--date.m_nMonth < 1) {
        date.m_nMonth = 12;
        --date.m_nYear;
    }
    date.m_nDay = DaysInMonth(date.m_nYear, date.m_nMonth);
}

bool ParseSolarDate(std::string_view text, SolarDate& date)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    SolarDate d{};
    if (!ReadDigits(text, 0, 4, d.m_nYear) || !ReadDigits(text, 5, 2, d.m_nMonth) || !ReadDigits(text, 8, 2, d.m_nDay))
        return false;
    if (!IsValidSolarDate(d.m_nYear, d.m_nMonth, d.m_nDay))
        return false;
    date = d;
    return true;
}

int ForEachDay(const SolarDate& from, const SolarDate& to, DayTableMode mode,
    const std::function<void(const SolarDate&, const CLunarDate&)>& visit)
{
    CLunarDate lunar;
    if (!lunar.FromSolar(to.m_nYear, to.m_nMonth, to.m_nDay).IsValid())
        return -1;
    if (!lunar.FromSolar(from.m_nYear, from.m_nMonth, from.m_nDay).IsValid())
        return -1;
    const int nDays = DaysBetween(to.m_nYear, to.m_nMonth, to.m_nDay, from.m_nYear, from.m_nMonth, from.m_nDay);
    if (nDays < 0)
        return -1;

    SolarDate date = from;
    for (int i = 0; i <= nDays; ++i) {
        if (i > 0) {
            AdvanceSolarDate(date);
            if (mode == DayTableMode::Step)
                lunar.NextDay();
            else
                lunar.FromSolar(date.m_nYear, date.m_nMonth, date.m_nDay);
        }
        visit(date, lunar);
    }
    return 0;
}
