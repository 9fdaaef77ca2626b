// Gregorian date arithmetic and the Chinese lunar calendar of lunar years 1900-2050.
#pragma once

#include <cstdint>

inline constexpr int LUNAR_FIRST_YEAR = 1900;
inline constexpr int LUNAR_LAST_YEAR = 2050;

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
int LunarLeapMonth(int nYear);              // 0, or the month followed by the leap month
int LunarMonthDays(int nYear, int nMonth);  // 29 or 30
int LunarLeapDays(int nYear);               // 0 without a leap month, else 29 or 30
int LunarYearDays(int nYear);               // 353-355, or 383-385 with a leap month

// Gregorian functions, proleptic Gregorian calendar.
bool IsLeapYear(int nYear);
int DaysInMonth(int nYear, int nMonth);  // 0 for a month outside 1-12
// 0 = Sunday .. 6 = Saturday. Any year, including 0 and negative ones; a month outside
// 1-12 rolls over into neighbouring years (month 13 is January of the next year) and a
// day outside the month counts on from the month's first day, so nothing is rejected.
int DayOfWeek(int nYear, int nMonth, int nDay);
// Days from date 2 to date 1, negative when date 1 is earlier; same rolling as DayOfWeek.
// A difference beyond the 32-bit range saturates.
int DaysBetween(int nYear1, int nMonth1, int nDay1, int nYear2, int nMonth2, int nDay2);
// Days from 1970-01-01 to a date (negative before it), with DayOfWeek's rolling of months and
// days; and back from such a count to the date. For dates of years -5,000,000 .. 5,000,000.
long DaysFromCivil(int nYear, int nMonth, int nDay);
void CivilFromDays(long nDays, int& nYear, int& nMonth, int& nDay);
// A real date: month 1-12, day 1 to the month's length.
bool IsValidSolarDate(int nYear, int nMonth, int nDay);
