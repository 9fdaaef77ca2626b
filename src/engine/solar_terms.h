// The 24 solar terms: the moment (China Standard Time) at which each term begins,
// for every Gregorian month from January 1900 to December 2054.
#pragma once

#include <cstdint>

struct SolarTermTime {
    uint8_t m_nDay;     // day of the month, 1-31
    uint8_t m_nHour;    // 0-23
    uint8_t m_nMinute;  // 0-59
};

inline constexpr int SOLAR_TERM_FIRST_YEAR = 1900;
inline constexpr int SOLAR_TERM_LAST_YEAR = 2054;

// Row 12 * (year - 1900) + month - 1: the month's first term, then its second.
extern const SolarTermTime kSolarTermTable[1860][2];

// Names in calendar order, two per Gregorian month from 小寒 and 大寒 in January (GBK).
extern const char* const kTermNames[24];

// The moments of the two terms of a Gregorian month: 0. For a year outside 1900-2054 or a
// month outside 1-12 both outputs are zeroed (day 0 is no day) and the result is -1.
int GetSolarTerms(int nYear, int nMonth, SolarTermTime& first, SolarTermTime& second);
// Name of the month's first (k = 1) or second (k = 2) term; null for anything else.
const char* GetSolarTermName(int nMonth, int k);
