// The days a lunar-yearly memo shows on, and how to write them as an RFC 7529 rule that a
// reader built on ICU's Chinese calendar expands to exactly those days.
#pragma once

#include <string>
#include <vector>

// The days (since 1970-01-01) of February 1900 .. December 2049, the months the calendar
// shows, on which a lunar-yearly memo of lunar month number nMonth (1-12), lunar day nDay
// (1-30) shows: that day of the month nMonth and of a leap month nMonth, where it exists.
std::vector<long> GridLunarDays(int nMonth, int nDay);

// The days of the same span that "RSCALE=CHINESE;FREQ=YEARLY;BYMONTH=nMonth;BYMONTHDAY=nDay"
// gives in ICU's Chinese calendar (leap months not included), from day nFrom on.
std::vector<long> IcuRuleDays(int nMonth, int nDay, long nFrom);

// First and last day the calendar shows.
long FirstShownDay();
long LastShownDay();

// The lunar date of a day: false outside the lunar table.
bool LunarDateOfDay(long nDays, int& nMonth, int& nDay, bool& bLeap);
