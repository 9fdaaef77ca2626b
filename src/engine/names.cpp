#include "engine/names.h"

#include <cstdint>

namespace {

// Every name is a few two-byte characters, so each set of names is composed once, by the
// compiler, into a table of fixed-width texts that callers can keep pointers into.
template <int N, int W> struct TextTable {
    char m_sz[N][W];
};

// Appends nChars two-byte characters of src, starting at character nFrom.
constexpr void AppendChars(char* dst, int& nPos, const char* src, int nFrom, int nChars)
{
    for (int i = 0; i < 2 * nChars; ++i)
        dst[nPos++] = src[2 * nFrom + i];
    dst[nPos] = '\0';
}
constexpr void AppendText(char* dst, int& nPos, const char* src)
{
    while (*src)
        dst[nPos++] = *src++;
    dst[nPos] = '\0';
}

constexpr TextTable<60, 5> BuildGanZhi()
{
    TextTable<60, 5> t{};
    for (int n = 0; n < 60; ++n) {
        int nPos = 0;
        AppendText(t.m_sz[n], nPos, kHeavenlyStems[n % 10]);
        AppendText(t.m_sz[n], nPos, kEarthlyBranches[n % 12]);
    }
    return t;
}

constexpr TextTable<12, 3> BuildZodiac()
{
    TextTable<12, 3> t{};
    for (int n = 0; n < 12; ++n) {
        int nPos = 0;
        AppendChars(t.m_sz[n], nPos, kZodiacAnimals, n, 1);
    }
    return t;
}

// Index bLeap * 12 + month - 1.
constexpr TextTable<24, 7> BuildMonthNames()
{
    TextTable<24, 7> t{};
    for (int nLeap = 0; nLeap < 2; ++nLeap) {
        for (int m = 1; m <= 12; ++m) {
            char* dst = t.m_sz[nLeap * 12 + m - 1];
            int nPos = 0;
            if (nLeap)
                AppendText(dst, nPos, kLeapPrefix);
            if (m <= 10)
                AppendChars(dst, nPos, kLunarMonthNumerals, m - 1, 1);
            else
                AppendText(dst, nPos, m == 11 ? kLunarMonth11 : kLunarMonth12);
        }
    }
    return t;
}

// Index day - 1. Days 20 and 30 read 二十 and 三十; the rest take a tens prefix.
constexpr TextTable<30, 5> BuildDayNames()
{
    TextTable<30, 5> t{};
    for (int d = 1; d <= 30; ++d) {
        char* dst = t.m_sz[d - 1];
        int nPos = 0;
        if (d == 20 || d == 30) {
            AppendChars(dst, nPos, kLunarDayUnits, d / 10 - 1, 1);
            AppendChars(dst, nPos, kLunarDayUnits, 9, 1);
        } else {
            AppendText(dst, nPos, kLunarDayTens[(d - 1) / 10]);
            AppendChars(dst, nPos, kLunarDayUnits, (d - 1) % 10, 1);
        }
    }
    return t;
}

constexpr TextTable<60, 5> kGanZhiNames = BuildGanZhi();
constexpr TextTable<12, 3> kZodiacNames = BuildZodiac();
constexpr TextTable<24, 7> kMonthNames = BuildMonthNames();
constexpr TextTable<30, 5> kDayNames = BuildDayNames();

int PositiveMod(int64_t a, int b)
{
    const int64_t r = a % b;
    return static_cast<int>(r < 0 ? r + b : r);
}

const char* FindFestival(const FestivalRecord* table, int nMonth, int nDay)
{
    for (; table->m_nMonth != 0; ++table) {
        if (table->m_nMonth == nMonth && table->m_nDay == nDay)
            return table->m_szName;
    }
    return nullptr;
}

}  // namespace

const char* GetGanZhiYear(int n)
{
    // Stem n mod 10 and branch n mod 12 together are n mod 60.
    return kGanZhiNames.m_sz[PositiveMod(n, 60)];
}

const char* GetZodiac(int nYear)
{
    return kZodiacNames.m_sz[PositiveMod(static_cast<int64_t>(nYear) - 4, 12)];
}

const char* GetLunarMonthName(int nMonth, bool bLeap)
{
    if (nMonth < 1 || nMonth > 12)
        return nullptr;
    return kMonthNames.m_sz[(bLeap ? 12 : 0) + nMonth - 1];
}

const char* GetLunarDayName(int nDay)
{
    if (nDay < 1 || nDay > 30)
        return nullptr;
    return kDayNames.m_sz[nDay - 1];
}

const char* GetWeekdayName(int nWeekday)
{
    if (nWeekday < 0 || nWeekday > 6)
        return nullptr;
    return kWeekdayNames[nWeekday];
}

const char* GetSolarFestival(int nMonth, int nDay)
{
    return FindFestival(kSolarFestivals, nMonth, nDay);
}

const char* CLunarDate::GetFestival() const
{
    if (!IsValid())
        return nullptr;
    if (m_nMonth == 12 && m_nDay == m_nMonthDays) {
        // The regular twelfth month of a year whose leap month is the twelfth is not the last.
        return (!m_bLeapFollows || m_bLeap) ? kNewYearsEve : nullptr;
    }
    if (m_bLeap)
        return nullptr;
    return FindFestival(kLunarFestivals, m_nMonth, m_nDay);
}
