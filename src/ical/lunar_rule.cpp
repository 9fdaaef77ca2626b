#include "ical/lunar_rule.h"

#include <algorithm>

#include "engine/lunar.h"
#include "ical/ical_time.h"

namespace {

struct LunarMonth {
    long m_nStart;  // days since 1970-01-01
    int m_nMonth;
    int m_nLeap;
    int m_nDays;
};

// Where ICU's Chinese calendar parts from the lunar table: whole months, by their position
// counted from the first month of lunar 1900. ICU computes new moons and solar terms for
// China's time zone, and a few fall on the other side of midnight than in the published
// calendar, which is what the table holds.
struct IcuMonth {
    int m_nIndex;
    long m_nStartDate;  // YYYYMMDD
    int m_nMonth, m_nLeap, m_nDays;
};
const IcuMonth kIcuMonths[] = {
#include "ical/icu_chinese_months.inc"
};

// Every lunar month of lunar 1900 .. 2050, from the engine's table.
const std::vector<LunarMonth>& TableMonths() {
    static const std::vector<LunarMonth> months = [] {
        std::vector<LunarMonth> v;
        long start = DaysFromCivil(1900, 1, 31);
        for (int y = LUNAR_FIRST_YEAR; y <= LUNAR_LAST_YEAR; ++y) {
            const int leap = LunarLeapMonth(y);
            for (int m = 1; m <= 12; ++m) {
                v.push_back({start, m, 0, LunarMonthDays(y, m)});
                start += v.back().m_nDays;
                if (m == leap) {
                    v.push_back({start, m, 1, LunarLeapDays(y)});
                    start += v.back().m_nDays;
                }
            }
        }
        return v;
    }();
    return months;
}

const std::vector<LunarMonth>& IcuMonths() {
    static const std::vector<LunarMonth> months = [] {
        std::vector<LunarMonth> v = TableMonths();
        for (const IcuMonth& m : kIcuMonths) {
            if (m.m_nIndex < 0 || static_cast<std::size_t>(m.m_nIndex) >= v.size()) continue;
            const long date = m.m_nStartDate;
            v[m.m_nIndex] = {DaysFromCivil(static_cast<int>(date / 10000), static_cast<int>(date / 100 % 100),
                                           static_cast<int>(date % 100)),
                             m.m_nMonth, m.m_nLeap, m.m_nDays};
        }
        return v;
    }();
    return months;
}

}  // namespace

long FirstShownDay() { return DaysFromCivil(1900, 2, 1); }
long LastShownDay() { return DaysFromCivil(2049, 12, 31); }

std::vector<long> GridLunarDays(int nMonth, int nDay) {
    std::vector<long> days;
    for (const LunarMonth& m : TableMonths()) {
        if (m.m_nMonth != nMonth || nDay < 1 || nDay > m.m_nDays) continue;
        const long d = m.m_nStart + nDay - 1;
        if (d >= FirstShownDay() && d <= LastShownDay()) days.push_back(d);
    }
    return days;
}

std::vector<long> IcuRuleDays(int nMonth, int nDay, long nFrom) {
    std::vector<long> days;
    for (const LunarMonth& m : IcuMonths()) {
        if (m.m_nMonth != nMonth || m.m_nLeap || nDay < 1 || nDay > m.m_nDays) continue;
        const long d = m.m_nStart + nDay - 1;
        if (d >= nFrom && d >= FirstShownDay() && d <= LastShownDay()) days.push_back(d);
    }
    return days;
}

bool LunarDateOfDay(long nDays, int& nMonth, int& nDay, bool& bLeap) {
    const std::vector<LunarMonth>& months = TableMonths();
    auto it = std::upper_bound(months.begin(), months.end(), nDays,
                               [](long d, const LunarMonth& m) { return d < m.m_nStart; });
    if (it == months.begin()) return false;
    --it;
    if (nDays >= it->m_nStart + it->m_nDays) return false;
    nMonth = it->m_nMonth;
    nDay = static_cast<int>(nDays - it->m_nStart) + 1;
    bLeap = it->m_nLeap != 0;
    return true;
}
