// Moments of the 24 solar terms: the instants at which the Sun's apparent geocentric
// longitude reaches a multiple of 15 degrees, from VSOP87D with the FK5 correction,
// IAU 1980 nutation and annual aberration, turned into China Standard Time (UTC+8).
#pragma once

#include <string>

namespace solarterm {

// First and last years of the table; ΔT below is fitted for 1900-2150 only.
constexpr int FIRST_YEAR = 1900;
constexpr int LAST_YEAR = 2054;

struct SunPosition {
    double m_dLongitude;  // apparent geocentric longitude, degrees in [0, 360)
    double m_dLatitude;   // geocentric latitude (FK5), arcseconds
    double m_dRadius;     // Earth-Sun distance, au
};

struct TermMoment {
    double m_dJde;     // the instant, Julian Ephemeris Day (TT)
    double m_dDeltaT;  // TT - UT used, seconds
    int m_nYear;       // local (UTC+8) date on which the term begins
    int m_nMonth;
    int m_nDay;
    int m_nHour;  // local time rounded to the minute, never past 23:59 of that date
    int m_nMinute;
    double m_dLocalSecond;  // unrounded local time of day, seconds in [0, 86400)
};

// Apparent position of the Sun at the given Julian Ephemeris Day (TT).
SunPosition GetSunPosition(double dJde);

// Nutation in longitude (IAU 1980), arcseconds.
double GetNutationInLongitude(double dJde);

// ΔT = TT - UT in seconds at decimal year dYear (polynomials fitted to 1900-2150).
double GetDeltaT(double dYear);

// Longitude of term k (0 = the month's first term, 1 = its second) of Gregorian month nMonth:
// January's first term is 285 degrees, and each term is 15 degrees after the one before.
double GetTermLongitude(int nMonth, int k);

// The moment of term k (0 or 1) of the month; false if the month is outside the table
// or the iteration does not settle.
bool ComputeTermMoment(int nYear, int nMonth, int k, TermMoment& moment);

// The whole table text: a comment line, then one line per month from January FIRST_YEAR to
// December LAST_YEAR, "{{D, H, M}, {D, H, M}}, // YYYY-MM". False if any term fails.
bool BuildTermTable(std::string& text);

// Julian Day of 0h UT of a Gregorian date, and the reverse (for any day number).
double JulianDayFromDate(int nYear, int nMonth, int nDay);
void DateFromDayNumber(long nDayNumber, int& nYear, int& nMonth, int& nDay);

}  // namespace solarterm
