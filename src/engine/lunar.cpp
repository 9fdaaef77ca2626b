#include "engine/lunar.h"

#include <cstdint>
#include <limits>

namespace {

// One word per lunar year 1900-2050 (entry = year - 1900):
//   bits 0-3   the month followed by a leap month, 0 = none
//   bits 4-15  regular month m has 30 days when bit (0x10000 >> m) is set, else 29
//   bit 16     the leap month has 30 days when set, else 29
// Two words differ from the long-circulated table: 1933 (leap fifth month of 30 days,
// sixth month from 1933-07-23) and 2033 (leap month after the eleventh, not the seventh).
constexpr uint32_t kLunarInfo[151] = {
    0x04BD8, 0x04AE0, 0x0A570, 0x054D5, 0x0D260, 0x0D950, 0x16554, 0x056A0, 0x09AD0, 0x055D2,  // 1900
    0x04AE0, 0x0A5B6, 0x0A4D0, 0x0D250, 0x1D255, 0x0B540, 0x0D6A0, 0x0ADA2, 0x095B0, 0x14977,  // 1910
    0x04970, 0x0A4B0, 0x0B4B5, 0x06A50, 0x06D40, 0x1AB54, 0x02B60, 0x09570, 0x052F2, 0x04970,  // 1920
    0x06566, 0x0D4A0, 0x0EA50, 0x16A95, 0x05AD0, 0x02B60, 0x186E3, 0x092E0, 0x1C8D7, 0x0C950,  // 1930
    0x0D4A0, 0x1D8A6, 0x0B550, 0x056A0, 0x1A5B4, 0x025D0, 0x092D0, 0x0D2B2, 0x0A950, 0x0B557,  // 1940
    0x06CA0, 0x0B550, 0x15355, 0x04DA0, 0x0A5B0, 0x14573, 0x052B0, 0x0A9A8, 0x0E950, 0x06AA0,  // 1950
    0x0AEA6, 0x0AB50, 0x04B60, 0x0AAE4, 0x0A570, 0x05260, 0x0F263, 0x0D950, 0x05B57, 0x056A0,  // 1960
    0x096D0, 0x04DD5, 0x04AD0, 0x0A4D0, 0x0D4D4, 0x0D250, 0x0D558, 0x0B540, 0x0B6A0, 0x195A6,  // 1970
    0x095B0, 0x049B0, 0x0A974, 0x0A4B0, 0x0B27A, 0x06A50, 0x06D40, 0x0AF46, 0x0AB60, 0x09570,  // 1980
    0x04AF5, 0x04970, 0x064B0, 0x074A3, 0x0EA50, 0x06B58, 0x05AC0, 0x0AB60, 0x096D5, 0x092E0,  // 1990
    0x0C960, 0x0D954, 0x0D4A0, 0x0DA50, 0x07552, 0x056A0, 0x0ABB7, 0x025D0, 0x092D0, 0x0CAB5,  // 2000
    0x0A950, 0x0B4A0, 0x0BAA4, 0x0AD50, 0x055D9, 0x04BA0, 0x0A5B0, 0x15176, 0x052B0, 0x0A930,  // 2010
    0x07954, 0x06AA0, 0x0AD50, 0x05B52, 0x04B60, 0x0A6E6, 0x0A4E0, 0x0D260, 0x0EA65, 0x0D530,  // 2020
    0x05AA0, 0x076A3, 0x096D0, 0x04AFB, 0x04AD0, 0x0A4D0, 0x1D0B6, 0x0D250, 0x0D520, 0x0DD45,  // 2030
    0x0B5A0, 0x056D0, 0x055B2, 0x049B0, 0x0A577, 0x0A4B0, 0x0AA50, 0x1B255, 0x06D20, 0x0ADA0,  // 2040
    0x14B63,                                                                                   // 2050
};

// Days of a common year before month m, at index m - 1.
constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

constexpr int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
constexpr int64_t FloorMod(int64_t a, int64_t b)
{
    return a - FloorDiv(a, b) * b;
}

constexpr bool IsLeap(int64_t nYear)
{
    return nYear % 4 == 0 && (nYear % 100 != 0 || nYear % 400 == 0);
}

// Days from 0001-01-01 (proleptic Gregorian). Inputs are 32-bit, so every term stays
// far inside 64 bits; the month is first folded into 1-12 by moving the year.
constexpr int64_t DaysFrom0001(int64_t nYear, int64_t nMonth, int64_t nDay)
{
    nYear += FloorDiv(nMonth - 1, 12);
    nMonth = FloorMod(nMonth - 1, 12) + 1;
    const int64_t y = nYear - 1;
    return 365 * y + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400) + kDaysBeforeMonth[nMonth - 1] +
        ((IsLeap(nYear) && nMonth > 2) ? 1 : 0) + nDay - 1;
}

// Raw readings of a kLunarInfo word; the year is already known to be in the table.
constexpr int RawLeapMonth(int nYear)
{
    return static_cast<int>(kLunarInfo[nYear - LUNAR_FIRST_YEAR] & 0xF);
}
constexpr int RawMonthDays(int nYear, int nMonth)
{
    return (kLunarInfo[nYear - LUNAR_FIRST_YEAR] & (0x10000u >> nMonth)) ? 30 : 29;
}
constexpr int RawLeapDays(int nYear)
{
    if (RawLeapMonth(nYear) == 0)
        return 0;
    return (kLunarInfo[nYear - LUNAR_FIRST_YEAR] & 0x10000u) ? 30 : 29;
}
constexpr int RawYearDays(int nYear)
{
    int n = 348;
    for (uint32_t mask = 0x8000; mask > 0x8; mask >>= 1) {
        if (kLunarInfo[nYear - LUNAR_FIRST_YEAR] & mask)
            ++n;
    }
    return n + RawLeapDays(nYear);
}

constexpr int64_t kEpochDays = DaysFrom0001(1900, 1, 31);  // lunar 1900, first month, first day
constexpr int64_t kUnixEpochDays = DaysFrom0001(1970, 1, 1);

constexpr int CountDays()
{
    int n = 0;
    for (int y = LUNAR_FIRST_YEAR; y <= LUNAR_LAST_YEAR; ++y)
        n += RawYearDays(y);
    return n;
}
constexpr int kTotalDays = CountDays();
// The table must end on the day before the published new year of lunar 2051.
static_assert(kTotalDays == DaysFrom0001(2051, 2, 11) - kEpochDays, "kLunarInfo does not end on 2051-02-10");

constexpr int CountMonths()
{
    int n = 0;
    for (int y = LUNAR_FIRST_YEAR; y <= LUNAR_LAST_YEAR; ++y)
        n += RawLeapMonth(y) ? 13 : 12;
    return n;
}
constexpr int kMonthCount = CountMonths();

// Every lunar month of the table in order, with its first day as a count from the epoch.
struct LunarMonthRecord {
    uint16_t m_nStart;
    uint16_t m_nYear;
    uint8_t m_nMonth;
    uint8_t m_bLeap;
    uint8_t m_bLeapFollows;
    uint8_t m_nDays;
};

// Blocks of 32 days: a block's entry is the month holding its first day, and since every
// month has at least 29 days, the month of any day in the block is at most two further on.
constexpr int kBlockShift = 5;
constexpr int kBlockCount = ((kTotalDays - 1) >> kBlockShift) + 1;
static_assert(kTotalDays <= 0xFFFF, "day counts are stored in 16 bits");

struct LunarMonthTable {
    LunarMonthRecord m_months[kMonthCount + 1];  // the last record only closes the range
    uint16_t m_blockMonth[kBlockCount];
};

constexpr LunarMonthTable BuildMonthTable()
{
    LunarMonthTable t{};
    int nIndex = 0;
    int nStart = 0;
    for (int y = LUNAR_FIRST_YEAR; y <= LUNAR_LAST_YEAR; ++y) {
        const int nLeap = RawLeapMonth(y);
        for (int m = 1; m <= 12; ++m) {
            for (int nPass = 0; nPass < (m == nLeap ? 2 : 1); ++nPass) {
                LunarMonthRecord& r = t.m_months[nIndex++];
                r.m_nStart = static_cast<uint16_t>(nStart);
                r.m_nYear = static_cast<uint16_t>(y);
                r.m_nMonth = static_cast<uint8_t>(m);
                r.m_bLeap = static_cast<uint8_t>(nPass);
                r.m_bLeapFollows = static_cast<uint8_t>(m == nLeap);
                r.m_nDays = static_cast<uint8_t>(nPass ? RawLeapDays(y) : RawMonthDays(y, m));
                nStart += r.m_nDays;
            }
        }
    }
    t.m_months[nIndex].m_nStart = static_cast<uint16_t>(nStart);
    int nMonth = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        while (t.m_months[nMonth + 1].m_nStart <= (b << kBlockShift))
            ++nMonth;
        t.m_blockMonth[b] = static_cast<uint16_t>(nMonth);
    }
    return t;
}

// Built by the compiler: no start-up work, nothing to lock.
constexpr LunarMonthTable kMonthTable = BuildMonthTable();

bool IsTableYear(int nYear)
{
    return nYear >= LUNAR_FIRST_YEAR && nYear <= LUNAR_LAST_YEAR;
}

int SaturateToInt(int64_t n)
{
    if (n > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (n < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(n);
}

}  // namespace

int LunarLeapMonth(int nYear)
{
    return IsTableYear(nYear) ? RawLeapMonth(nYear) : 0;
}

int LunarMonthDays(int nYear, int nMonth)
{
    if (!IsTableYear(nYear) || nMonth < 1 || nMonth > 12)
        return 0;
    return RawMonthDays(nYear, nMonth);
}

int LunarLeapDays(int nYear)
{
    return IsTableYear(nYear) ? RawLeapDays(nYear) : 0;
}

int LunarYearDays(int nYear)
{
    return IsTableYear(nYear) ? RawYearDays(nYear) : 0;
}

bool IsLeapYear(int nYear)
{
    return IsLeap(nYear);
}

int DaysInMonth(int nYear, int nMonth)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (nMonth < 1 || nMonth > 12)
        return 0;
    return (nMonth == 2 && IsLeap(nYear)) ? 29 : kDays[nMonth - 1];
}

long DaysFromCivil(int nYear, int nMonth, int nDay)
{
    return static_cast<long>(DaysFrom0001(nYear, nMonth, nDay) - kUnixEpochDays);
}

void CivilFromDays(long nDays, int& nYear, int& nMonth, int& nDay)
{
    // Shifted to a year that begins on 1 March, so that the leap day ends it; eras of 400
    // years (146,097 days) keep every division positive.
    const int64_t z = static_cast<int64_t>(nDays) + kUnixEpochDays - DaysFrom0001(0, 3, 1);
    const int64_t era = FloorDiv(z, 146097);
    const int64_t doe = z - era * 146097;                                       // 0 .. 146096
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // 0 .. 399
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                // 0 .. 365
    const int64_t mp = (5 * doy + 2) / 153;                                     // 0 = March .. 11 = February
    nDay = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    nMonth = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    nYear = static_cast<int>(yoe + era * 400 + (nMonth <= 2));
}

int DayOfWeek(int nYear, int nMonth, int nDay)
{
    // 0001-01-01, day 0, was a Monday.
    return static_cast<int>(FloorMod(DaysFrom0001(nYear, nMonth, nDay) + 1, 7));
}

int DaysBetween(int nYear1, int nMonth1, int nDay1, int nYear2, int nMonth2, int nDay2)
{
    return SaturateToInt(DaysFrom0001(nYear1, nMonth1, nDay1) - DaysFrom0001(nYear2, nMonth2, nDay2));
}

bool IsValidSolarDate(int nYear, int nMonth, int nDay)
{
    return nDay >= 1 && nDay <= DaysInMonth(nYear, nMonth);
}

CLunarDate& CLunarDate::FromSolar(int nYear, int nMonth, int nDay)
{
    *this = CLunarDate{};
    if (nYear < LUNAR_FIRST_YEAR || nYear > LUNAR_LAST_YEAR + 1 || !IsValidSolarDate(nYear, nMonth, nDay))
        return *this;
    // The date is known to lie within a few days of the table: the difference fits an int.
    const int nOffset = static_cast<int>(DaysFrom0001(nYear, nMonth, nDay) - kEpochDays);
    if (nOffset < 0 || nOffset >= kTotalDays)
        return *this;

    int nIndex = kMonthTable.m_blockMonth[nOffset >> kBlockShift];
    while (kMonthTable.m_months[nIndex + 1].m_nStart <= nOffset)
        ++nIndex;
    const LunarMonthRecord& r = kMonthTable.m_months[nIndex];
    m_nYear = r.m_nYear;
    m_nMonth = r.m_nMonth;
    m_nOffset = nOffset - r.m_nStart;
    m_nDay = m_nOffset + 1;
    m_bLeapFollows = r.m_bLeapFollows;
    m_bLeap = r.m_bLeap;
    m_nMonthDays = r.m_nDays;
    return *this;
}

int CLunarDate::NextDay()
{
    if (!IsTableYear(m_nYear) || m_nMonth < 1 || m_nMonth > 12)
        return -1;
    if (m_nDay < m_nMonthDays) {
        ++m_nOffset;
        ++m_nDay;
        return 0;
    }
    int nYear = m_nYear;
    int nMonth = m_nMonth;
    const bool bLeap = m_bLeapFollows && !m_bLeap;  // the regular month is over: its leap month next
    if (!bLeap && ++nMonth > 12) {
        nMonth = 1;
        if (++nYear > LUNAR_LAST_YEAR)
            return -1;
    }
    m_nYear = nYear;
    m_nMonth = nMonth;
    m_bLeap = bLeap;
    if (!bLeap)
        m_bLeapFollows = (nMonth == RawLeapMonth(nYear));
    m_nDay = 1;
    m_nMonthDays = bLeap ? RawLeapDays(nYear) : RawMonthDays(nYear, nMonth);
    ++m_nOffset;
    return 0;
}
