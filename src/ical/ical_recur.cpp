// Expanding a recurrence rule to the days of its occurrences.
#include <algorithm>
#include <climits>
#include <iterator>

#include "ical/ical_time.h"

namespace {

int MonthDays(int y, int m)
{
    return DaysInMonth(y, m);
}

bool IsLeap(int y)
{
    return DaysInMonth(y, 2) == 29;
}

int WeekdayOfDays(long nDays)
{
    return WeekdayOfDay(nDays);
}

constexpr long kMaxPeriods = 200000;

bool Contains(const std::vector<int>& v, int x)
{
    return std::find(v.begin(), v.end(), x) != v.end();
}

// The n-th weekday wd of first..last (n < 0 counts from the end), or every one for n == 0.
void WeekdaysIn(long first, long last, int wd, int n, std::vector<long>& out)
{
    if (n == 0) {
        for (long d = first + (wd - WeekdayOfDays(first) + 7) % 7; d <= last; d += 7)
            out.push_back(d);
        return;
    }
    const long d = n > 0 ? first + (wd - WeekdayOfDays(first) + 7) % 7 + 7L * (n - 1)
                         : last - (WeekdayOfDays(last) - wd + 7) % 7 - 7L * (-n - 1);
    if (d >= first && d <= last)
        out.push_back(d);
}

// One rule's periods and the days each gives, before COUNT, UNTIL and DTSTART are applied.
class CRecurPeriods {
public:
    CRecurPeriods(const IcalRecur& r, long nStart) : m_r(r), m_nStart(nStart)
    {
        CivilFromDays(nStart, m_nYear, m_nMonth, m_nDay);
        m_nWeekStart = nStart - (WeekdayOfDays(nStart) - r.m_nWkst + 7) % 7;
    }

    // The first day period k can give: periods before nDay give none.
    long FirstPeriodAtOrBefore(long nDay) const
    {
        const long step = m_r.m_nInterval;
        if (m_r.m_freq == "DAILY")
            return std::max(0L, (nDay - m_nStart) / step);
        if (m_r.m_freq == "WEEKLY")
            return std::max(0L, (nDay - m_nWeekStart) / (7 * step));
        int y, m, d;
        CivilFromDays(nDay, y, m, d);
        if (m_r.m_freq == "MONTHLY")
            return std::max(0L, ((y * 12L + m - 1) - (m_nYear * 12L + m_nMonth - 1)) / step - 1);
        return std::max(0L, (y - m_nYear) / step - 1);
    }

    // The first day of period k, for the end of the expansion.
    long PeriodStart(long k) const
    {
        const long step = m_r.m_nInterval * k;
        if (m_r.m_freq == "DAILY")
            return m_nStart + step;
        if (m_r.m_freq == "WEEKLY")
            return m_nWeekStart + 7 * step;
        if (m_r.m_freq == "MONTHLY") {
            const long idx = m_nYear * 12L + m_nMonth - 1 + step;
            return idx / 12 > 9999 ? LONG_MAX / 2 : DaysFromCivil(static_cast<int>(idx / 12), idx % 12 + 1, 1);
        }
        const long y = m_nYear + step;
        return y > 9999 ? LONG_MAX / 2 : DaysFromCivil(static_cast<int>(y), 1, 1) - 7;  // week 1 may begin in December
    }

    // The days of period k, ascending, BYSETPOS applied.
    void Days(long k, std::vector<long>& out) const
    {
        out.clear();
        const long step = m_r.m_nInterval * k;
        if (m_r.m_freq == "DAILY") {
            const long d = m_nStart + step;
            if (MonthMatches(d) && MonthDayMatches(d) && YearDayMatches(d) && DayMatches(d, false))
                out.push_back(d);
        } else if (m_r.m_freq == "WEEKLY") {
            for (long d = m_nWeekStart + 7 * step; d < m_nWeekStart + 7 * step + 7; ++d) {
                const bool bDay = m_r.m_byDayWeekday.empty() ? WeekdayOfDays(d) == WeekdayOfDays(m_nStart)
                                                             : Contains(m_r.m_byDayWeekday, WeekdayOfDays(d));
                if (bDay && MonthMatches(d))
                    out.push_back(d);
            }
        } else if (m_r.m_freq == "MONTHLY") {
            const long idx = m_nYear * 12L + m_nMonth - 1 + step;
            if (idx / 12 > 9999)
                return;
            const int y = static_cast<int>(idx / 12), m = static_cast<int>(idx % 12 + 1);
            if (m_r.m_byMonth.empty() || Contains(m_r.m_byMonth, m))
                DaysOfMonth(y, m, out);
        } else {
            const long y = m_nYear + step;
            if (y > 9999)
                return;
            YearDays(static_cast<int>(y), out);
        }
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        if (m_r.m_bySetPos.empty())
            return;
        std::vector<long> chosen;
        const long n = static_cast<long>(out.size());
        for (int pos : m_r.m_bySetPos) {
            const long i = pos > 0 ? pos - 1 : n + pos;
            if (i >= 0 && i < n)
                chosen.push_back(out[i]);
        }
        std::sort(chosen.begin(), chosen.end());
        chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
        out.swap(chosen);
    }

private:
    bool MonthMatches(long d) const
    {
        if (m_r.m_byMonth.empty())
            return true;
        int y, m, dd;
        CivilFromDays(d, y, m, dd);
        return Contains(m_r.m_byMonth, m);
    }

    bool MonthDayMatches(long d) const
    {
        if (m_r.m_byMonthDay.empty())
            return true;
        int y, m, dd;
        CivilFromDays(d, y, m, dd);
        const int n = MonthDays(y, m);
        for (int want : m_r.m_byMonthDay)
            if ((want > 0 ? want : n + 1 + want) == dd)
                return true;
        return false;
    }

    bool YearDayMatches(long d) const
    {
        if (m_r.m_byYearDay.empty())
            return true;
        int y, m, dd;
        CivilFromDays(d, y, m, dd);
        const long nth = d - DaysFromCivil(y, 1, 1) + 1, n = IsLeap(y) ? 366 : 365;
        for (int want : m_r.m_byYearDay)
            if ((want > 0 ? want : n + 1 + want) == nth)
                return true;
        return false;
    }

    // BYDAY as a limit: ordinals count within the month, or within the year when bYear.
    bool DayMatches(long d, bool bYear) const
    {
        if (m_r.m_byDayWeekday.empty())
            return true;
        int y, m, dd;
        CivilFromDays(d, y, m, dd);
        const long first = bYear ? DaysFromCivil(y, 1, 1) : DaysFromCivil(y, m, 1);
        const long last = bYear ? DaysFromCivil(y, 12, 31) : DaysFromCivil(y, m, MonthDays(y, m));
        for (std::size_t i = 0; i < m_r.m_byDayWeekday.size(); ++i) {
            if (m_r.m_byDayWeekday[i] != WeekdayOfDays(d))
                continue;
            std::vector<long> hit;
            WeekdaysIn(first, last, m_r.m_byDayWeekday[i], m_r.m_byDayOrdinal[i], hit);
            if (std::find(hit.begin(), hit.end(), d) != hit.end())
                return true;
        }
        return false;
    }

    // The days of month y-m: BYMONTHDAY (limited by BYDAY), else BYDAY, else the start's day.
    void DaysOfMonth(int y, int m, std::vector<long>& out) const
    {
        const int n = ::MonthDays(y, m);
        const long first = DaysFromCivil(y, m, 1);
        if (!m_r.m_byMonthDay.empty()) {
            for (int want : m_r.m_byMonthDay) {
                const int dd = want > 0 ? want : n + 1 + want;
                if (dd >= 1 && dd <= n && DayMatches(first + dd - 1, false))
                    out.push_back(first + dd - 1);
                else if (dd > n)
                    Skipped(first, n, out);
            }
        } else if (!m_r.m_byDayWeekday.empty()) {
            for (std::size_t i = 0; i < m_r.m_byDayWeekday.size(); ++i)
                WeekdaysIn(first, first + n - 1, m_r.m_byDayWeekday[i], m_r.m_byDayOrdinal[i], out);
        } else if (m_nDay <= n) {
            out.push_back(first + m_nDay - 1);
        } else {
            Skipped(first, n, out);
        }
    }

    // A day the month lacks (RFC 7529 SKIP): dropped, or the month's last day, or the next month's first.
    void Skipped(long first, int n, std::vector<long>& out) const
    {
        if (m_r.m_skip == "BACKWARD")
            out.push_back(first + n - 1);
        else if (m_r.m_skip == "FORWARD")
            out.push_back(first + n);
    }

    void YearDays(int y, std::vector<long>& out) const
    {
        const long first = DaysFromCivil(y, 1, 1), last = DaysFromCivil(y, 12, 31);
        if (!m_r.m_byYearDay.empty()) {
            const long n = last - first + 1;
            for (int want : m_r.m_byYearDay) {
                const long d = first + (want > 0 ? want : n + 1 + want) - 1;
                if (d >= first && d <= last && MonthMatches(d) && MonthDayMatches(d) && DayMatches(d, true))
                    out.push_back(d);
            }
        } else if (!m_r.m_byWeekNo.empty()) {
            // Week 1 is the first week (from WKST) with at least four days in the year.
            auto weekOne = [this](int year) {
                const long jan1 = DaysFromCivil(year, 1, 1);
                const long back = (WeekdayOfDays(jan1) - m_r.m_nWkst + 7) % 7;
                return jan1 - back + (back >= 4 ? 7 : 0);
            };
            const long w1 = weekOne(y);
            const long nWeeks = (weekOne(y + 1) - w1) / 7;
            for (int want : m_r.m_byWeekNo) {
                const long wn = want > 0 ? want : nWeeks + 1 + want;
                if (wn < 1 || wn > nWeeks)
                    continue;
                for (long d = w1 + 7 * (wn - 1); d < w1 + 7 * wn; ++d) {
                    const bool bDay = m_r.m_byDayWeekday.empty() ? WeekdayOfDays(d) == WeekdayOfDays(m_nStart)
                                                                 : Contains(m_r.m_byDayWeekday, WeekdayOfDays(d));
                    if (bDay && MonthMatches(d) && MonthDayMatches(d))
                        out.push_back(d);
                }
            }
        } else if (!m_r.m_byMonth.empty()) {
            for (int m : m_r.m_byMonth)
                if (m >= 1 && m <= 12)
                    DaysOfMonth(y, m, out);
        } else if (!m_r.m_byMonthDay.empty()) {
            for (int m = 1; m <= 12; ++m)
                DaysOfMonth(y, m, out);
        } else if (!m_r.m_byDayWeekday.empty()) {
            for (std::size_t i = 0; i < m_r.m_byDayWeekday.size(); ++i)
                WeekdaysIn(first, last, m_r.m_byDayWeekday[i], m_r.m_byDayOrdinal[i], out);
        } else {
            DaysOfMonth(y, m_nMonth, out);
        }
    }

    const IcalRecur& m_r;
    long m_nStart;
    int m_nYear, m_nMonth, m_nDay;
    long m_nWeekStart;  // the first day of the start's week
};

}  // namespace

std::vector<long> ExpandRecurDays(
    const IcalRecur& r, long nStart, long nLast, long nFrom, long nTo, std::size_t nMax, bool* pbCut)
{
    std::vector<long> days;
    if (pbCut)
        *pbCut = false;
    static const char* const kDayOrLonger[] = {"DAILY", "WEEKLY", "MONTHLY", "YEARLY"};
    if (std::none_of(std::begin(kDayOrLonger), std::end(kDayOrLonger), [&](const char* f) { return r.m_freq == f; }))
        return days;
    long nCount = 0;
    auto take = [&](long d) {
        ++nCount;
        if (d < nFrom || d > nTo)
            return true;
        if (days.size() == nMax) {
            if (pbCut)
                *pbCut = true;
            return false;
        }
        days.push_back(d);
        return true;
    };
    if (!take(nStart) || nStart >= nLast)  // DTSTART is the first occurrence even after UNTIL
        return days;
    const CRecurPeriods periods(r, nStart);
    const long nEnd = std::min(nLast, nTo);
    // Without COUNT the periods before the span need not be walked.
    const long kFirst = r.m_nCount ? 0 : periods.FirstPeriodAtOrBefore(std::max(nFrom, nStart));
    std::vector<long> inPeriod;
    for (long k = kFirst; k < kFirst + kMaxPeriods; ++k) {
        if (periods.PeriodStart(k) > nEnd)
            break;
        periods.Days(k, inPeriod);
        for (long d : inPeriod) {
            if (d <= nStart)
                continue;
            if (d > nLast || (r.m_nCount && nCount >= r.m_nCount))
                return days;
            if (!take(d))
                return days;
        }
    }
    return days;
}
