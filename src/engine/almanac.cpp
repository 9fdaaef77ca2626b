#include "engine/almanac.h"

#include <cstring>

#include "engine/names.h"
#include "engine/solar_terms.h"

namespace {

#include "almanac_table.inc"

int PositiveMod(long n, int m)
{
    const long r = n % m;
    return static_cast<int>(r < 0 ? r + m : r);
}

// 1970-01-01, day 0 of DaysFromCivil, was a 辛巳 day.
constexpr int kGanZhiOfDayZero = 17;
// A month counted 12 * year + month of the Gregorian month whose first solar term begins it:
// 12 * 1984 + 1 is 49 mod 60, and 小寒 1984 began a 乙丑 month, 1.
constexpr int kGanZhiOfMonthZero = 12;

const char* const kAnimals[12] = {"鼠", "牛", "虎", "兔", "龙", "蛇", "马", "羊", "猴", "鸡", "狗", "猪"};
// Index branch mod 4: 申子辰 南, 巳酉丑 东, 寅午戌 北, 亥卯未 西.
const char* const kShaDirections[4] = {"南", "东", "北", "西"};

int ColumnsOf(const char* psz)
{
    return static_cast<int>(std::strlen(psz));
}

}  // namespace

bool GetAlmanacDay(int nYear, int nMonth, int nDay, const CLunarDate& lunar, AlmanacDay& day)
{
    SolarTermTime first{}, second{};
    if (!lunar.IsValid() || GetSolarTerms(nYear, nMonth, first, second) != 0)
        return false;
    // The first term of every Gregorian month (小寒, 立春, ..., 大雪) begins a month of stems and
    // branches; the days before it belong to the previous Gregorian month's.
    const long nMonthCount = 12L * nYear + nMonth - (nDay < first.m_nDay ? 1 : 0);
    day.m_nYearGanZhi = PositiveMod(lunar.m_nYear - 1864L, 60);
    day.m_nMonthGanZhi = PositiveMod(nMonthCount + kGanZhiOfMonthZero, 60);
    day.m_nDayGanZhi = PositiveMod(DaysFromCivil(nYear, nMonth, nDay) + kGanZhiOfDayZero, 60);
    const char* const* rules = kAlmanacRules[60 * (day.m_nMonthGanZhi % 12) + day.m_nDayGanZhi];
    day.m_pszYi = rules[0];
    day.m_pszJi = rules[1];
    return true;
}

const char* GetAlmanacActivity(int nNumber)
{
    return nNumber >= 1 && nNumber <= ALMANAC_ACTIVITY_COUNT ? kAlmanacActivities[nNumber - 1] : nullptr;
}

int GetClashGanZhi(int nDayGanZhi)
{
    // Stem + 4 and branch + 6 keep the stem's and branch's parity, so the pair is in the cycle.
    const int nStem = PositiveMod(nDayGanZhi + 4, 10);
    const int nBranch = PositiveMod(nDayGanZhi + 6, 12);
    // The n of the cycle with n mod 10 == nStem and n mod 12 == nBranch.
    for (int n = nBranch; n < 60; n += 12)
        if (n % 10 == nStem)
            return n;
    return 0;
}

const char* GetShaDirection(int nDayGanZhi)
{
    return kShaDirections[PositiveMod(nDayGanZhi, 12) % 4];
}

const char* GetBranchAnimal(int nBranch)
{
    return kAnimals[PositiveMod(nBranch, 12)];
}

void AppendAlmanacDateLine(const CLunarDate& lunar, const AlmanacDay& day, std::string& out)
{
    out += "农历";
    if (const char* psz = GetLunarMonthName(lunar.m_nMonth, lunar.m_bLeap != 0))
        out += psz;
    out += "月";
    if (const char* psz = GetLunarDayName(lunar.m_nDay))
        out += psz;
    out += "  ";
    out += GetGanZhiYear(day.m_nYearGanZhi);
    out += "年 ";
    out += GetGanZhiYear(day.m_nMonthGanZhi);
    out += "月 ";
    out += GetGanZhiYear(day.m_nDayGanZhi);
    out += "日";
}

void AppendClashLine(const AlmanacDay& day, std::string& out)
{
    const int nClash = GetClashGanZhi(day.m_nDayGanZhi);
    out += "冲";
    out += GetBranchAnimal(nClash);
    out += "(";
    out += GetGanZhiYear(nClash);
    out += ") 煞";
    out += GetShaDirection(day.m_nDayGanZhi);
}

void AppendActivities(const char* pszList, const char* pszSep, std::string& out)
{
    for (const char* p = pszList; *p; ++p) {
        if (p != pszList)
            out += pszSep;
        if (const char* pszName = GetAlmanacActivity(static_cast<unsigned char>(*p)))
            out += pszName;
    }
}

void AppendWrappedActivities(const char* pszPrefix, const char* pszList, int nColumns, std::string& out)
{
    const int nIndent = ColumnsOf(pszPrefix);
    // Full-width blanks as wide as the prefix's characters put later lines under the first activity.
    std::string indent;
    for (int i = 0; i + 1 < nIndent; i += 2)
        indent += "　";
    if (nIndent % 2)
        indent += ' ';
    out += pszPrefix;
    int nLine = nIndent;
    for (const char* p = pszList; *p; ++p) {
        const char* pszName = GetAlmanacActivity(static_cast<unsigned char>(*p));
        if (!pszName)
            continue;
        const int nWidth = ColumnsOf(pszName);
        if (nLine > nIndent && nLine + 1 + nWidth > nColumns) {
            out += "\r\n";
            out += indent;
            nLine = nIndent;
        } else if (nLine > nIndent) {
            out += ' ';
            ++nLine;
        }
        out += pszName;
        nLine += nWidth;
    }
}

void AppendAlmanacTip(int nYear, int nMonth, int nDay, const CLunarDate& lunar, std::string& out)
{
    AlmanacDay day;
    if (!GetAlmanacDay(nYear, nMonth, nDay, lunar, day))
        return;
    AppendAlmanacDateLine(lunar, day, out);
    out += "\r\n";
    AppendWrappedActivities("宜：", day.m_pszYi, ALMANAC_TIP_COLUMNS, out);
    out += "\r\n";
    AppendWrappedActivities("忌：", day.m_pszJi, ALMANAC_TIP_COLUMNS, out);
    out += "\r\n";
    AppendClashLine(day, out);
}
