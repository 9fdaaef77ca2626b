// Gregorian dates as values, and the walk over a range of days with their lunar dates.
#pragma once

#include <functional>
#include <string_view>

#include "engine/lunar.h"

struct SolarDate {
    int m_nYear;
    int m_nMonth;
    int m_nDay;
};

// Strictly YYYY-MM-DD naming a real Gregorian date: true and fills date; else false.
bool ParseSolarDate(std::string_view text, SolarDate& date);

// The next Gregorian day, and the day before.
void AdvanceSolarDate(SolarDate& date);
void RetreatSolarDate(SolarDate& date);

// How the lunar dates of a range are found: each day converted on its own, or the first
// day converted and the rest stepped with NextDay. Both give the same dates.
enum class DayTableMode { Convert, Step };

// Calls visit for every day from `from` through `to` with its lunar date: 0. Either date
// outside 1900-01-31 .. 2051-02-10, not a real date, or `from` after `to`: -1, no call.
int ForEachDay(const SolarDate& from, const SolarDate& to, DayTableMode mode,
    const std::function<void(const SolarDate&, const CLunarDate&)>& visit);
