// The day-by-day table of almanix-cal --days: one tab-separated line per Gregorian day.
#pragma once

#include <string>

#include "engine/solar_date.h"

// Appends one GBK line, ended by '\n', for a Gregorian day and its lunar date:
//   date  weekday(0 = Sunday)  lunar-year  lunar-month  lunar-day  leap(0/1)  month-length
//   festival-or-"-"  term-mark(0, 1 = first term of the month, 2 = second)  term-name-or-"-"
// The festival is the lunar one if the day has one, else the Gregorian one.
void FormatDayLine(const SolarDate& date, const CLunarDate& lunar, std::string& out);

// Appends the almanac's six columns of a day, each after a tab: the stems and branches of the
// year (changing at the lunar new year), the month (at the solar term that begins it) and the
// day, 宜 and 忌 (activities separated by blanks) and the clash ("冲鸡(己酉) 煞西"). GBK.
void AppendAlmanacColumns(const SolarDate& date, const CLunarDate& lunar, std::string& out);

// Appends the lines of every day from `from` through `to`: 0. Either date outside
// 1900-01-31 .. 2051-02-10, not a real date, or `from` after `to`: -1, nothing appended.
int FormatDayTable(const SolarDate& from, const SolarDate& to, DayTableMode mode, std::string& out);
