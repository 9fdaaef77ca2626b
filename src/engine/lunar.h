// Gregorian date arithmetic and the Chinese lunar calendar of lunar years 1900-2050.
#pragma once

#include <cstdint>

// One word per lunar year 1900-2050 (entry = year - 1900):
//   bits 0-3   the month followed by a leap month, 0 = none
//   bits 4-15  regular month m has 30 days when bit (0x10000 >> m) is set, else 29
//   bit 16     the leap month has 30 days when set, else 29
// Two words differ from the long-circulated table: 1933 (leap fifth month of 30 days,
// sixth month from 1933-07-23) and 2033 (leap month after the eleventh, not the seventh).
inline constexpr uint32_t kLunarInfo[151] = {
    0x04BD8, 0x04AE0, 0x0A570, 0x054D5, 0x0D260, 0x0D950, 0x16554, 0x056A0, 0x09AD0, 0x055D2, // 1900
    0x04AE0, 0x0A5B6, 0x0A4D0, 0x0D250, 0x1D255, 0x0B540, 0x0D6A0, 0x0ADA2, 0x095B0, 0x14977, // 1910
    0x04970, 0x0A4B0, 0x0B4B5, 0x06A50, 0x06D40, 0x1AB54, 0x02B60, 0x09570, 0x052F2, 0x04970, // 1920
    0x06566, 0x0D4A0, 0x0EA50, 0x16A95, 0x05AD0, 0x02B60, 0x186E3, 0x092E0, 0x1C8D7, 0x0C950, // 1930
    0x0D4A0, 0x1D8A6, 0x0B550, 0x056A0, 0x1A5B4, 0x025D0, 0x092D0, 0x0D2B2, 0x0A950, 0x0B557, // 1940
    0x06CA0, 0x0B550, 0x15355, 0x04DA0, 0x0A5B0, 0x14573, 0x052B0, 0x0A9A8, 0x0E950, 0x06AA0, // 1950
    0x0AEA6, 0x0AB50, 0x04B60, 0x0AAE4, 0x0A570, 0x05260, 0x0F263, 0x0D950, 0x05B57, 0x056A0, // 1960
    0x096D0, 0x04DD5, 0x04AD0, 0x0A4D0, 0x0D4D4, 0x0D250, 0x0D558, 0x0B540, 0x0B6A0, 0x195A6, // 1970
    0x095B0, 0x049B0, 0x0A974, 0x0A4B0, 0x0B27A, 0x06A50, 0x06D40, 0x0AF46, 0x0AB60, 0x09570, // 1980
    0x04AF5, 0x04970, 0x064B0, 0x074A3, 0x0EA50, 0x06B58, 0x05AC0, 0x0AB60, 0x096D5, 0x092E0, // 1990
    0x0C960, 0x0D954, 0x0D4A0, 0x0DA50, 0x07552, 0x056A0, 0x0ABB7, 0x025D0, 0x092D0, 0x0CAB5, // 2000
    0x0A950, 0x0B4A0, 0x0BAA4, 0x0AD50, 0x055D9, 0x04BA0, 0x0A5B0, 0x15176, 0x052B0, 0x0A930, // 2010
    0x07954, 0x06AA0, 0x0AD50, 0x05B52, 0x04B60, 0x0A6E6, 0x0A4E0, 0x0D260, 0x0EA65, 0x0D530, // 2020
    0x05AA0, 0x076A3, 0x096D0, 0x04AFB, 0x04AD0, 0x0A4D0, 0x1D0B6, 0x0D250, 0x0D520, 0x0DD45, // 2030
    0x0B5A0, 0x056D0, 0x055B2, 0x049B0, 0x0A577, 0x0A4B0, 0x0AA50, 0x1B255, 0x06D20, 0x0ADA0, // 2040
    0x14B63,                                                                                   // 2050
};

inline constexpr int LUNAR_FIRST_YEAR = 1900;
inline constexpr int LUNAR_LAST_YEAR = 2050;

// Days of a common year before month m, at index m - 1.
inline constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
// kDaysBeforeMonth mod 7, at index m - 1: the weekday shift of a month's first day.
inline constexpr int kMonthOffset[12] = {0, 3, 3, 6, 1, 4, 6, 2, 5, 0, 3, 5};

// A lunar date of lunar years 1900-2050. Gregorian 1900-01-31 (lunar 1900, first month,
// first day) through 2051-02-10 (the last day of lunar 2050) convert; any other date
// leaves the invalid state: every field 0, IsValid() false.
struct CLunarDate {
    int32_t m_nYear = 0;         // lunar year 1900-2050; 0 = invalid
    int32_t m_nMonth = 0;        // 1-12; a leap month carries the number of the month it follows
    int32_t m_nDay = 0;          // 1-30
    uint8_t m_bLeapFollows = 0;  // m_nMonth is this year's leap-month number (set in both months)
    uint8_t m_bLeap = 0;         // the date lies in the leap month
    int32_t m_nMonthDays = 0;    // 29 or 30: length of the month the date lies in
    int32_t m_nOffset = 0;       // FromSolar: 0-based day within the month; NextDay adds 1

    bool IsValid() const { return m_nYear != 0; }

    // Lunar date of Gregorian nYear-nMonth-nDay; out of range or not a real date: invalid.
    CLunarDate& FromSolar(int nYear, int nMonth, int nDay);
    // The following day in place: 0. From the last day of lunar 2050 or from an invalid
    // date: -1, and the date is left as it was.
    int NextDay();
    // Lunar festival name (GBK), or null: none in a leap month, none for an invalid date.
    const char* GetFestival() const;
};

// Lunar year functions; a year outside 1900-2050 or a month outside 1-12 answers 0.
int LunarLeapMonth(int nYear);                 // 0, or the month followed by the leap month
int LunarMonthDays(int nYear, int nMonth);     // 29 or 30
int LunarLeapDays(int nYear);                  // 0 without a leap month, else 29 or 30
int LunarYearDays(int nYear);                  // 353-355, or 383-385 with a leap month

// Gregorian functions, proleptic Gregorian calendar.
bool IsLeapYear(int nYear);
int DaysInMonth(int nYear, int nMonth);        // 0 for a month outside 1-12
// 0 = Sunday .. 6 = Saturday. Any year, including 0 and negative ones; a month outside
// 1-12 rolls over into neighbouring years (month 13 is January of the next year) and a
// day outside the month counts on from the month's first day, so nothing is rejected.
int DayOfWeek(int nYear, int nMonth, int nDay);
// Days from date 2 to date 1, negative when date 1 is earlier; same rolling as DayOfWeek.
// A difference beyond the 32-bit range saturates.
int DaysBetween(int nYear1, int nMonth1, int nDay1, int nYear2, int nMonth2, int nDay2);
// A real date: month 1-12, day 1 to the month's length.
bool IsValidSolarDate(int nYear, int nMonth, int nDay);
