// The day's almanac (黄历): the stems and branches of its year, month and day, the activities
// the traditional rules call good (宜) and bad (忌) for it, and the branch it clashes with (冲)
// and the direction of 煞. Gregorian days of lunar years 1900-2050 (1900-01-31 .. 2051-02-10).
#pragma once

#include <cstdint>
#include <string>

#include "engine/lunar.h"

// Positions in the cycle of sixty, 0 = 甲子: stem n mod 10, branch n mod 12.
struct AlmanacDay {
    int m_nYearGanZhi = 0;     // the lunar year's: changes at the lunar new year, as the year title
    int m_nMonthGanZhi = 0;    // changes on the day of the solar term that begins the month (立春 ...)
    int m_nDayGanZhi = 0;      // changes at midnight
    const char* m_pszYi = "";  // activity numbers plus one (GetAlmanacActivity), in the almanac's order
    const char* m_pszJi = "";
};

// The almanac of Gregorian day (nYear, nMonth, nDay), whose lunar date is given: true. A day
// outside the lunar range or without solar terms (an invalid lunar date): false, day untouched.
bool GetAlmanacDay(int nYear, int nMonth, int nDay, const CLunarDate& lunar, AlmanacDay& day);

// Name of activity number n + 1 as m_pszYi and m_pszJi hold it (GBK), or null.
const char* GetAlmanacActivity(int nNumber);

// The day the day's stems and branches clash with (冲): its stem four on and its branch six on.
int GetClashGanZhi(int nDayGanZhi);
// The direction of 煞 of a day's branch: 南 for 申子辰, 东 for 巳酉丑, 北 for 寅午戌, 西 for 亥卯未 (GBK).
const char* GetShaDirection(int nDayGanZhi);
// The animal of a branch (鼠 牛 虎 兔 ...; GBK); branch any integer, taken mod 12.
const char* GetBranchAnimal(int nBranch);

// The texts of the tip and of almanix-cal, GBK. Line 1: "农历十月廿九  丙午年 庚子月 乙卯日".
void AppendAlmanacDateLine(const CLunarDate& lunar, const AlmanacDay& day, std::string& out);
// "冲鸡(己酉) 煞西".
void AppendClashLine(const AlmanacDay& day, std::string& out);
// The activities of pszList separated by sSep ("" for an empty list).
void AppendActivities(const char* pszList, const char* pszSep, std::string& out);
// "宜：" (or the given prefix) and the activities separated by blanks, wrapped at an activity
// so that no line is wider than nColumns (GBK bytes: one per half-width column); later lines
// are indented under the first activity by full-width blanks, and lines are separated by CR LF.
void AppendWrappedActivities(const char* pszPrefix, const char* pszList, int nColumns, std::string& out);

// Half-width columns (GBK bytes) the tip gives the 宜 and 忌 lines: about 300 pixels of its font.
inline constexpr int ALMANAC_TIP_COLUMNS = 40;
// The almanac's lines of the day's tip: the date line, 宜 and 忌 wrapped at ALMANAC_TIP_COLUMNS,
// the clash line, separated by CR LF (no CR LF after the last). Nothing for a day without one.
void AppendAlmanacTip(int nYear, int nMonth, int nDay, const CLunarDate& lunar, std::string& out);
