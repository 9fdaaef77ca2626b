#include "engine/lunar.h"

#include <cstdint>
#include <limits>

namespace {

constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
constexpr int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

constexpr bool IsLeap(int64_t nYear) { return nYear % 4 == 0 && (nYear % 100 != 0 || nYear % 400 == 0); }

// Days from 0001-01-01 (proleptic Gregorian). Inputs are 32-bit, so every term stays
// far inside 64 bits; the month is first folded into 1-12 by moving the year.
constexpr int64_t DaysFromCivil(int64_t nYear, int64_t nMonth, int64_t nDay) {
    nYear += FloorDiv(nMonth - 1, 12);
    nMonth = FloorMod(nMonth - 1, 12) + 1;
    const int64_t y = nYear - 1;
    return 365 * y + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400) + kDaysBeforeMonth[nMonth - 1] +
           ((IsLeap(nYear) && nMonth > 2) ? 1 : 0) + nDay - 1;
}

// Raw readings of a kLunarInfo word; the year is already known to be in the table.
constexpr int RawLeapMonth(int nYear) { return static_cast<int>(kLunarInfo[nYear - LUNAR_FIRST_YEAR] & 0xF); }
constexpr int RawMonthDays(int nYear, int nMonth) {
    return (kLunarInfo[nYear - LUNAR_FIRST_YEAR] & (0x10000u >> nMonth)) ? 30 : 29;
}
constexpr int RawLeapDays(int nYear) {
    if (RawLeapMonth(nYear) == 0) return 0;
    return (kLunarInfo[nYear - LUNAR_FIRST_YEAR] & 0x10000u) ? 30 : 29;
}
constexpr int RawYearDays(int nYear) {
    int n = 348;
    for (uint32_t mask = 0x8000; mask > 0x8; mask >>= 1) {
        if (kLunarInfo[nYear - LUNAR_FIRST_YEAR] & mask) ++n;
    }
    return n + RawLeapDays(nYear);
}

constexpr int64_t kEpochDays = DaysFromCivil(1900, 1, 31);  // lunar 1900, first month, first day

constexpr int CountDays() {
    int n = 0;
    for (int y = LUNAR_FIRST_YEAR; y <= LUNAR_LAST_YEAR; ++y) n += RawYearDays(y);
    return n;
}
constexpr int kTotalDays = CountDays();
// The table must end on the day before the published new year of lunar 2051.
static_assert(kTotalDays == DaysFromCivil(2051, 2, 11) - kEpochDays, "kLunarInfo does not end on 2051-02-10");

constexpr int CountMonths() {
    int n = 0;
    for (int y = LUNAR_FIRST_YEAR; y <= LUNAR_LAST_YEAR; ++y) n += RawLeapMonth(y) ? 13 : 12;
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

constexpr LunarMonthTable BuildMonthTable() {
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
        while (t.m_months[nMonth + 1].m_nStart <= (b << kBlockShift)) ++nMonth;
        t.m_blockMonth[b] = static_cast<uint16_t>(nMonth);
    }
    return t;
}

// Built by the compiler: no start-up work, nothing to lock.
constexpr LunarMonthTable kMonthTable = BuildMonthTable();

bool IsTableYear(int nYear) { return nYear >= LUNAR_FIRST_YEAR && nYear <= LUNAR_LAST_YEAR; }

int SaturateToInt(int64_t n) {
    if (n > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (n < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(n);
}

}  // namespace

int LunarLeapMonth(int nYear) { return IsTableYear(nYear) ? RawLeapMonth(nYear) : 0; }

int LunarMonthDays(int nYear, int nMonth) {
    if (!IsTableYear(nYear) || nMonth < 1 || nMonth > 12) return 0;
    return RawMonthDays(nYear, nMonth);
}

int LunarLeapDays(int nYear) { return IsTableYear(nYear) ? RawLeapDays(nYear) : 0; }

int LunarYearDays(int nYear) { return IsTableYear(nYear) ? RawYearDays(nYear) : 0; }

bool IsLeapYear(int nYear) { return IsLeap(nYear); }

int DaysInMonth(int nYear, int nMonth) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (nMonth < 1 || nMonth > 12) return 0;
    return (nMonth == 2 && IsLeap(nYear)) ? 29 : kDays[nMonth - 1];
}

int DayOfWeek(int nYear, int nMonth, int nDay) {
    int64_t nFullYear = static_cast<int64_t>(nYear) + FloorDiv(static_cast<int64_t>(nMonth) - 1, 12);
    const int nMonthIndex = static_cast<int>(FloorMod(static_cast<int64_t>(nMonth) - 1, 12));
    const int64_t y = nFullYear - 1;  // counted from 0001-01-01, a Monday
    int64_t s = FloorMod(y, 7) + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400) + kMonthOffset[nMonthIndex] +
                nDay;
    if (IsLeap(nFullYear) && nMonthIndex > 1) ++s;
    return static_cast<int>(FloorMod(s, 7));
}

int DaysBetween(int nYear1, int nMonth1, int nDay1, int nYear2, int nMonth2, int nDay2) {
    return SaturateToInt(DaysFromCivil(nYear1, nMonth1, nDay1) - DaysFromCivil(nYear2, nMonth2, nDay2));
}

bool IsValidSolarDate(int nYear, int nMonth, int nDay) {
    return nDay >= 1 && nDay <= DaysInMonth(nYear, nMonth);
}

CLunarDate& CLunarDate::FromSolar(int nYear, int nMonth, int nDay) {
    *this = CLunarDate{};
    if (nYear < LUNAR_FIRST_YEAR || nYear > LUNAR_LAST_YEAR + 1 || !IsValidSolarDate(nYear, nMonth, nDay)) return *this;
    // Plain int arithmetic: the year is known to be small and positive here.
    const int y = nYear - 1;
    const int nOffset = 365 * y + y / 4 - y / 100 + y / 400 + kDaysBeforeMonth[nMonth - 1] +
                        ((nMonth > 2 && IsLeap(nYear)) ? 1 : 0) + nDay - 1 - static_cast<int>(kEpochDays);
    if (nOffset < 0 || nOffset >= kTotalDays) return *this;

    int nIndex = kMonthTable.m_blockMonth[nOffset >> kBlockShift];
    while (kMonthTable.m_months[nIndex + 1].m_nStart <= nOffset) ++nIndex;
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

int CLunarDate::NextDay() {
    if (!IsTableYear(m_nYear) || m_nMonth < 1 || m_nMonth > 12) return -1;
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
        if (++nYear > LUNAR_LAST_YEAR) return -1;
    }
    m_nYear = nYear;
    m_nMonth = nMonth;
    m_bLeap = bLeap;
    if (!bLeap) m_bLeapFollows = (nMonth == RawLeapMonth(nYear));
    m_nDay = 1;
    m_nMonthDays = bLeap ? RawLeapDays(nYear) : RawMonthDays(nYear, nMonth);
    ++m_nOffset;
    return 0;
}
