#include "ical/ical_time.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

bool IsLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int MonthDays(int y, int m)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool Digits(std::string_view s, std::size_t at, std::size_t n, int& value)
{
    if (at + n > s.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// A signed decimal of at most 6 digits.
bool Integer(std::string_view s, int& value)
{
    bool bNeg = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        bNeg = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 6 || !Digits(s, 0, s.size(), value))
        return false;
    if (bNeg)
        value = -value;
    return true;
}

int WeekdayOf(std::string_view s)
{
    static const char* const kNames[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    for (int i = 0; i < 7; ++i)
        if (s == kNames[i])
            return i;
    return -1;
}

std::string Upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Comma-separated items of a rule part.
std::vector<std::string_view> Items(std::string_view s)
{
    std::vector<std::string_view> items;
    for (;;) {
        const std::size_t comma = s.find(',');
        items.push_back(s.substr(0, comma));
        if (comma == std::string_view::npos)
            return items;
        s.remove_prefix(comma + 1);
    }
}

// UTC offset "+HHMM" or "-HHMMSS" in seconds.
bool ParseOffset(std::string_view s, int& seconds)
{
    if (s.size() != 5 && s.size() != 7)
        return false;
    if (s[0] != '+' && s[0] != '-')
        return false;
    int h, m, sec = 0;
    if (!Digits(s, 1, 2, h) || !Digits(s, 3, 2, m) || (s.size() == 7 && !Digits(s, 5, 2, sec)))
        return false;
    seconds = h * 3600 + m * 60 + sec;
    if (s[0] == '-')
        seconds = -seconds;
    return true;
}

int WeekdayOfDays(long nDays)
{
    return static_cast<int>(((nDays % 7) + 11) % 7);  // 1970-01-01 was a Thursday
}

}  // namespace

bool ParseDateTime(std::string_view v, IcalDateTime& dt)
{
    dt = IcalDateTime{};
    if (v.size() < 8 || !Digits(v, 0, 4, dt.m_nYear) || !Digits(v, 4, 2, dt.m_nMonth) || !Digits(v, 6, 2, dt.m_nDay))
        return false;
    if (dt.m_nMonth < 1 || dt.m_nMonth > 12 || dt.m_nDay < 1 || dt.m_nDay > MonthDays(dt.m_nYear, dt.m_nMonth))
        return false;
    if (v.size() == 8)
        return true;
    if (v.size() < 15 || v[8] != 'T' || !Digits(v, 9, 2, dt.m_nHour) || !Digits(v, 11, 2, dt.m_nMinute) ||
        !Digits(v, 13, 2, dt.m_nSecond))
        return false;
    if (dt.m_nHour > 23 || dt.m_nMinute > 59 || dt.m_nSecond > 60)
        return false;
    dt.m_bTime = true;
    if (v.size() == 15)
        return true;
    dt.m_bUtc = v.size() == 16 && (v[15] == 'Z' || v[15] == 'z');
    return dt.m_bUtc;
}

std::string FormatDate(long nDays)
{
    int y, m, d;
    CivilFromDays(nDays, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
    return buf;
}

int WeekdayOfDay(long nDays)
{
    return WeekdayOfDays(nDays);
}

bool ParseDuration(std::string_view v, std::int64_t& seconds)
{
    bool bNeg = false;
    if (!v.empty() && (v[0] == '+' || v[0] == '-')) {
        bNeg = v[0] == '-';
        v.remove_prefix(1);
    }
    if (v.size() < 3 || (v[0] != 'P' && v[0] != 'p'))
        return false;
    seconds = 0;
    bool bTime = false, bAny = false;
    std::int64_t n = -1;
    for (std::size_t i = 1; i < v.size(); ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(v[i])));
        if (c >= '0' && c <= '9') {
            n = (n < 0 ? 0 : n) * 10 + (c - '0');
            if (n > 100000000)
                return false;
            continue;
        }
        if (c == 'T' && n < 0 && !bTime) {
            bTime = true;
            continue;
        }
        std::int64_t unit = 0;
        if (!bTime && c == 'W')
            unit = 7 * 86400;
        else if (!bTime && c == 'D')
            unit = 86400;
        else if (bTime && c == 'H')
            unit = 3600;
        else if (bTime && c == 'M')
            unit = 60;
        else if (bTime && c == 'S')
            unit = 1;
        if (unit == 0 || n < 0)
            return false;
        seconds += n * unit;
        n = -1;
        bAny = true;
    }
    if (!bAny || n >= 0)
        return false;
    if (bNeg)
        seconds = -seconds;
    return true;
}

std::int64_t SecondsOf(const IcalDateTime& dt)
{
    return static_cast<std::int64_t>(DaysFromCivil(dt.m_nYear, dt.m_nMonth, dt.m_nDay)) * 86400 + dt.m_nHour * 3600 +
        dt.m_nMinute * 60 + dt.m_nSecond;
}

bool ParseRecur(std::string_view value, IcalRecur& r)
{
    r = IcalRecur{};
    if (value.empty())
        return false;
    std::string_view rest = value;
    while (!rest.empty()) {
        const std::size_t semi = rest.find(';');
        const std::string_view part = rest.substr(0, semi);
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
        if (part.empty())
            continue;
        const std::size_t eq = part.find('=');
        if (eq == std::string_view::npos)
            return false;
        const std::string name = Upper(part.substr(0, eq));
        const std::string_view val = part.substr(eq + 1);
        if (name == "FREQ") {
            r.m_freq = Upper(val);
        } else if (name == "RSCALE") {
            r.m_rscale = Upper(val);
        } else if (name == "SKIP") {
            r.m_skip = Upper(val);
        } else if (name == "INTERVAL") {
            if (!Integer(val, r.m_nInterval) || r.m_nInterval < 1)
                return false;
        } else if (name == "COUNT") {
            if (!Integer(val, r.m_nCount) || r.m_nCount < 1)
                return false;
        } else if (name == "UNTIL") {
            if (!ParseDateTime(val, r.m_until))
                return false;
            r.m_bUntil = true;
        } else if (name == "BYMONTH") {
            for (std::string_view item : Items(val)) {
                const bool bLeap = !item.empty() && (item.back() == 'L' || item.back() == 'l');
                if (bLeap)
                    item.remove_suffix(1);
                int n;
                if (!Integer(item, n) || n < 1 || n > 13)
                    return false;
                r.m_byMonth.push_back(n);
                r.m_byMonthLeap.push_back(bLeap);
            }
        } else if (name == "BYMONTHDAY") {
            for (std::string_view item : Items(val)) {
                int n;
                if (!Integer(item, n) || n == 0 || n < -31 || n > 31)
                    return false;
                r.m_byMonthDay.push_back(n);
            }
        } else if (name == "BYDAY") {
            for (std::string_view item : Items(val)) {
                if (item.size() < 2)
                    return false;
                const int wd = WeekdayOf(Upper(item.substr(item.size() - 2)));
                int ordinal = 0;
                if (wd < 0 ||
                    (item.size() > 2 &&
                        (!Integer(item.substr(0, item.size() - 2), ordinal) || ordinal == 0 || ordinal < -53 ||
                            ordinal > 53)))
                    return false;
                r.m_byDayWeekday.push_back(wd);
                r.m_byDayOrdinal.push_back(ordinal);
            }
        } else if (name == "WKST") {
            r.m_nWkst = WeekdayOf(Upper(val));
            if (r.m_nWkst < 0)
                return false;
        } else if (name == "BYYEARDAY" || name == "BYWEEKNO" || name == "BYSETPOS") {
            std::vector<int>& list = name == "BYYEARDAY" ? r.m_byYearDay
                : name == "BYWEEKNO"                     ? r.m_byWeekNo
                                                         : r.m_bySetPos;
            const int nMax = name == "BYWEEKNO" ? 53 : 366;
            for (std::string_view item : Items(val)) {
                int n;
                if (!Integer(item, n) || n == 0 || n < -nMax || n > nMax)
                    return false;
                list.push_back(n);
            }
        } else {
            r.m_bOtherParts = true;
        }
    }
    static const char* const kFreqs[] = {"SECONDLY", "MINUTELY", "HOURLY", "DAILY", "WEEKLY", "MONTHLY", "YEARLY"};
    for (const char* f : kFreqs)
        if (r.m_freq == f)
            return true;
    return false;
}

bool CIcalTimeZone::Load(const IcalComponent& vtz)
{
    m_parts.clear();
    m_id.clear();
    if (const IcalProperty* id = vtz.Find("TZID"))
        m_id = id->m_value;
    for (const IcalComponent& c : vtz.m_children) {
        if (c.m_name != "STANDARD" && c.m_name != "DAYLIGHT")
            continue;
        Part part;
        const IcalProperty* start = c.Find("DTSTART");
        const IcalProperty* from = c.Find("TZOFFSETFROM");
        const IcalProperty* to = c.Find("TZOFFSETTO");
        if (!start || !from || !to || !ParseDateTime(start->m_value, part.m_start) ||
            !ParseOffset(from->m_value, part.m_nFrom) || !ParseOffset(to->m_value, part.m_nTo))
            continue;
        part.m_onsets.push_back(SecondsOf(part.m_start) - part.m_nFrom);
        for (const IcalProperty& p : c.m_props) {
            if (p.m_name == "RDATE") {
                for (std::string_view item : Items(p.m_value)) {
                    IcalDateTime dt;
                    if (!ParseDateTime(item, dt))
                        continue;
                    if (!dt.m_bTime) {
                        dt.m_nHour = part.m_start.m_nHour;
                        dt.m_nMinute = part.m_start.m_nMinute;
                    }
                    part.m_onsets.push_back(SecondsOf(dt) - (dt.m_bUtc ? 0 : part.m_nFrom));
                }
            } else if (p.m_name == "RRULE") {
                IcalRecur r;
                if (!ParseRecur(p.m_value, r) || r.m_freq != "YEARLY" || r.m_byMonth.size() != 1)
                    continue;
                part.m_nMonth = r.m_byMonth[0];
                if (r.m_byDayWeekday.size() == 1) {
                    part.m_nWeekday = r.m_byDayWeekday[0];
                    part.m_nOrdinal = r.m_byDayOrdinal[0];
                    // "BYDAY=SU;BYMONTHDAY=8,9,...,14" is the second Sunday written the long way.
                    if (part.m_nOrdinal == 0 && !r.m_byMonthDay.empty()) {
                        part.m_nMonthDay = r.m_byMonthDay[0];
                        part.m_nOrdinal = 0;
                    }
                } else if (r.m_byMonthDay.size() == 1) {
                    part.m_nMonthDay = r.m_byMonthDay[0];
                } else {
                    continue;
                }
                part.m_bRule = true;
                if (r.m_bUntil) {
                    part.m_bUntil = true;
                    part.m_nUntil = SecondsOf(r.m_until) - (r.m_until.m_bUtc ? 0 : part.m_nFrom);
                }
            }
        }
        m_parts.push_back(std::move(part));
    }
    return !m_parts.empty();
}

bool CIcalTimeZone::LastOnset(const Part& part, std::int64_t t, std::int64_t& onset)
{
    bool bFound = false;
    for (std::int64_t o : part.m_onsets)
        if (o <= t && (!bFound || o > onset)) {
            onset = o;
            bFound = true;
        }
    if (!part.m_bRule)
        return bFound;
    int year, month, day;
    // A rule that ended (UNTIL) has its last onset in UNTIL's year, however long ago.
    const std::int64_t local = (part.m_bUntil ? std::min(t, part.m_nUntil) : t) + part.m_nFrom;
    CivilFromDays(static_cast<long>(local / 86400 - (local % 86400 < 0 ? 1 : 0)), year, month, day);
    for (int y = year; y >= year - 1 && y >= part.m_start.m_nYear; --y) {
        if (part.m_nMonth < 1 || part.m_nMonth > 12)
            break;
        const int nDays = MonthDays(y, part.m_nMonth);
        int d = 0;
        if (part.m_nWeekday >= 0 && part.m_nOrdinal != 0) {
            if (part.m_nOrdinal > 0) {
                const int first = WeekdayOfDays(DaysFromCivil(y, part.m_nMonth, 1));
                d = 1 + (part.m_nWeekday - first + 7) % 7 + 7 * (part.m_nOrdinal - 1);
            } else {
                const int last = WeekdayOfDays(DaysFromCivil(y, part.m_nMonth, nDays));
                d = nDays - (last - part.m_nWeekday + 7) % 7 + 7 * (part.m_nOrdinal + 1);
            }
        } else if (part.m_nWeekday >= 0 && part.m_nMonthDay > 0) {
            // The first such weekday on or after the given month day.
            const int at = WeekdayOfDays(DaysFromCivil(y, part.m_nMonth, part.m_nMonthDay));
            d = part.m_nMonthDay + (part.m_nWeekday - at + 7) % 7;
        } else {
            d = part.m_nMonthDay > 0 ? part.m_nMonthDay : nDays + 1 + part.m_nMonthDay;
        }
        if (d < 1 || d > nDays)
            continue;
        IcalDateTime local = part.m_start;
        local.m_nYear = y;
        local.m_nMonth = part.m_nMonth;
        local.m_nDay = d;
        const std::int64_t o = SecondsOf(local) - part.m_nFrom;
        if (o < SecondsOf(part.m_start) - part.m_nFrom || o > t)
            continue;
        if (part.m_bUntil && o > part.m_nUntil)
            continue;
        if (!bFound || o > onset) {
            onset = o;
            bFound = true;
        }
        break;
    }
    return bFound;
}

int CIcalTimeZone::OffsetAt(std::int64_t t) const
{
    const Part* best = nullptr;
    std::int64_t bestOnset = 0;
    for (const Part& part : m_parts) {
        std::int64_t onset;
        if (LastOnset(part, t, onset) && (!best || onset > bestOnset)) {
            best = &part;
            bestOnset = onset;
        }
    }
    if (best)
        return best->m_nTo;
    const Part* earliest = nullptr;
    for (const Part& part : m_parts)
        if (!earliest || SecondsOf(part.m_start) < SecondsOf(earliest->m_start))
            earliest = &part;
    return earliest ? earliest->m_nFrom : 0;
}

// ---------------------------------------------------------------- rule expansion

namespace {

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
    if (nStart > nLast || !take(nStart))
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

// ---------------------------------------------------------------- zones by name

std::int64_t CIcalTimeZone::UtcOf(std::int64_t wall) const
{
    // The offset at the instant the wall time names; in a gap or an overlap, the earlier offset's.
    const int guess = OffsetAt(wall - OffsetAt(wall));
    return wall - OffsetAt(wall - guess);
}

namespace {

// When summer time begins and ends, as today's laws say.
enum class Summer { None, Us, Eu, AuSouth, Nz };

struct KnownZone {
    const char* m_pszName;
    int m_nMinutes;  // standard offset from UTC
    Summer m_summer;
};

const KnownZone kKnownZones[] = {
    {"UTC", 0, Summer::None},
    {"GMT", 0, Summer::None},
    {"Etc/UTC", 0, Summer::None},
    {"Etc/GMT", 0, Summer::None},
    {"Z", 0, Summer::None},
    {"Coordinated Universal Time", 0, Summer::None},
    {"tzone://Microsoft/Utc", 0, Summer::None},
    {"Greenwich Standard Time", 0, Summer::None},
    {"Atlantic/Reykjavik", 0, Summer::None},
    {"Europe/London", 0, Summer::Eu},
    {"Europe/Dublin", 0, Summer::Eu},
    {"Europe/Lisbon", 0, Summer::Eu},
    {"GMT Standard Time", 0, Summer::Eu},
    {"Europe/Berlin", 60, Summer::Eu},
    {"Europe/Paris", 60, Summer::Eu},
    {"Europe/Rome", 60, Summer::Eu},
    {"Europe/Madrid", 60, Summer::Eu},
    {"Europe/Amsterdam", 60, Summer::Eu},
    {"Europe/Brussels", 60, Summer::Eu},
    {"Europe/Vienna", 60, Summer::Eu},
    {"Europe/Zurich", 60, Summer::Eu},
    {"Europe/Stockholm", 60, Summer::Eu},
    {"Europe/Oslo", 60, Summer::Eu},
    {"Europe/Copenhagen", 60, Summer::Eu},
    {"Europe/Prague", 60, Summer::Eu},
    {"Europe/Warsaw", 60, Summer::Eu},
    {"Europe/Budapest", 60, Summer::Eu},
    {"Europe/Belgrade", 60, Summer::Eu},
    {"Europe/Ljubljana", 60, Summer::Eu},
    {"Europe/Zagreb", 60, Summer::Eu},
    {"Europe/Luxembourg", 60, Summer::Eu},
    {"W. Europe Standard Time", 60, Summer::Eu},
    {"Romance Standard Time", 60, Summer::Eu},
    {"Central Europe Standard Time", 60, Summer::Eu},
    {"Central European Standard Time", 60, Summer::Eu},
    {"Africa/Lagos", 60, Summer::None},
    {"W. Central Africa Standard Time", 60, Summer::None},
    {"Europe/Athens", 120, Summer::Eu},
    {"Europe/Helsinki", 120, Summer::Eu},
    {"Europe/Kiev", 120, Summer::Eu},
    {"Europe/Kyiv", 120, Summer::Eu},
    {"Europe/Bucharest", 120, Summer::Eu},
    {"Europe/Riga", 120, Summer::Eu},
    {"Europe/Tallinn", 120, Summer::Eu},
    {"Europe/Vilnius", 120, Summer::Eu},
    {"Europe/Sofia", 120, Summer::Eu},
    {"GTB Standard Time", 120, Summer::Eu},
    {"FLE Standard Time", 120, Summer::Eu},
    {"E. Europe Standard Time", 120, Summer::Eu},
    {"Africa/Johannesburg", 120, Summer::None},
    {"Africa/Cairo", 120, Summer::None},
    {"South Africa Standard Time", 120, Summer::None},
    {"Europe/Moscow", 180, Summer::None},
    {"Europe/Istanbul", 180, Summer::None},
    {"Africa/Nairobi", 180, Summer::None},
    {"Asia/Riyadh", 180, Summer::None},
    {"Russian Standard Time", 180, Summer::None},
    {"Turkey Standard Time", 180, Summer::None},
    {"Arab Standard Time", 180, Summer::None},
    {"Asia/Dubai", 240, Summer::None},
    {"Arabian Standard Time", 240, Summer::None},
    {"Asia/Karachi", 300, Summer::None},
    {"Pakistan Standard Time", 300, Summer::None},
    {"Asia/Kolkata", 330, Summer::None},
    {"Asia/Calcutta", 330, Summer::None},
    {"India Standard Time", 330, Summer::None},
    {"Asia/Kathmandu", 345, Summer::None},
    {"Asia/Dhaka", 360, Summer::None},
    {"Bangladesh Standard Time", 360, Summer::None},
    {"Asia/Bangkok", 420, Summer::None},
    {"Asia/Jakarta", 420, Summer::None},
    {"Asia/Ho_Chi_Minh", 420, Summer::None},
    {"Asia/Saigon", 420, Summer::None},
    {"SE Asia Standard Time", 420, Summer::None},
    {"Asia/Shanghai", 480, Summer::None},
    {"Asia/Chongqing", 480, Summer::None},
    {"Asia/Harbin", 480, Summer::None},
    {"Asia/Urumqi", 480, Summer::None},
    {"Asia/Hong_Kong", 480, Summer::None},
    {"Asia/Macau", 480, Summer::None},
    {"Asia/Taipei", 480, Summer::None},
    {"Asia/Singapore", 480, Summer::None},
    {"Asia/Kuala_Lumpur", 480, Summer::None},
    {"Asia/Manila", 480, Summer::None},
    {"Australia/Perth", 480, Summer::None},
    {"PRC", 480, Summer::None},
    {"China Standard Time", 480, Summer::None},
    {"Taipei Standard Time", 480, Summer::None},
    {"Singapore Standard Time", 480, Summer::None},
    {"W. Australia Standard Time", 480, Summer::None},
    {"Asia/Tokyo", 540, Summer::None},
    {"Asia/Seoul", 540, Summer::None},
    {"Tokyo Standard Time", 540, Summer::None},
    {"Korea Standard Time", 540, Summer::None},
    {"Australia/Darwin", 570, Summer::None},
    {"AUS Central Standard Time", 570, Summer::None},
    {"Australia/Adelaide", 570, Summer::AuSouth},
    {"Cen. Australia Standard Time", 570, Summer::AuSouth},
    {"Australia/Brisbane", 600, Summer::None},
    {"E. Australia Standard Time", 600, Summer::None},
    {"Australia/Sydney", 600, Summer::AuSouth},
    {"Australia/Melbourne", 600, Summer::AuSouth},
    {"Australia/Canberra", 600, Summer::AuSouth},
    {"Australia/Hobart", 600, Summer::AuSouth},
    {"AUS Eastern Standard Time", 600, Summer::AuSouth},
    {"Pacific/Auckland", 720, Summer::Nz},
    {"New Zealand Standard Time", 720, Summer::Nz},
    {"America/Sao_Paulo", -180, Summer::None},
    {"America/Argentina/Buenos_Aires", -180, Summer::None},
    {"America/Buenos_Aires", -180, Summer::None},
    {"E. South America Standard Time", -180, Summer::None},
    {"Argentina Standard Time", -180, Summer::None},
    {"America/St_Johns", -210, Summer::Us},
    {"Newfoundland Standard Time", -210, Summer::Us},
    {"America/Halifax", -240, Summer::Us},
    {"Atlantic Standard Time", -240, Summer::Us},
    {"America/New_York", -300, Summer::Us},
    {"America/Toronto", -300, Summer::Us},
    {"America/Detroit", -300, Summer::Us},
    {"America/Montreal", -300, Summer::Us},
    {"US/Eastern", -300, Summer::Us},
    {"EST5EDT", -300, Summer::Us},
    {"Eastern Standard Time", -300, Summer::Us},
    {"America/Bogota", -300, Summer::None},
    {"America/Lima", -300, Summer::None},
    {"SA Pacific Standard Time", -300, Summer::None},
    {"America/Chicago", -360, Summer::Us},
    {"America/Winnipeg", -360, Summer::Us},
    {"US/Central", -360, Summer::Us},
    {"CST6CDT", -360, Summer::Us},
    {"Central Standard Time", -360, Summer::Us},
    {"America/Mexico_City", -360, Summer::None},
    {"Central Standard Time (Mexico)", -360, Summer::None},
    {"America/Denver", -420, Summer::Us},
    {"America/Edmonton", -420, Summer::Us},
    {"US/Mountain", -420, Summer::Us},
    {"MST7MDT", -420, Summer::Us},
    {"Mountain Standard Time", -420, Summer::Us},
    {"America/Phoenix", -420, Summer::None},
    {"US Mountain Standard Time", -420, Summer::None},
    {"America/Los_Angeles", -480, Summer::Us},
    {"America/Vancouver", -480, Summer::Us},
    {"America/Tijuana", -480, Summer::Us},
    {"US/Pacific", -480, Summer::Us},
    {"PST8PDT", -480, Summer::Us},
    {"Pacific Standard Time", -480, Summer::Us},
    {"America/Anchorage", -540, Summer::Us},
    {"Alaskan Standard Time", -540, Summer::Us},
    {"Pacific/Honolulu", -600, Summer::None},
    {"US/Hawaii", -600, Summer::None},
    {"Hawaiian Standard Time", -600, Summer::None},
};

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// "(UTC+08:00) Beijing", "(GMT-05.00) Eastern", "UTC+8", "GMT+0800", "Etc/GMT-8": a fixed offset.
bool FixedOffsetOf(std::string_view name, int& minutes)
{
    bool bEtc = false;
    if (!name.empty() && name[0] == '(')
        name.remove_prefix(1);
    if (name.substr(0, 4) == "Etc/") {
        name.remove_prefix(4);
        bEtc = true;  // Etc/GMT-8 is eight hours ahead of UTC
    }
    if (name.size() < 5 || (name.substr(0, 3) != "UTC" && name.substr(0, 3) != "GMT") ||
        (name[3] != '+' && name[3] != '-'))
        return false;
    const int sign = (name[3] == '-') != bEtc ? -1 : 1;
    std::size_t i = 4;
    int h = 0, m = 0, nDigits = 0;
    while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && nDigits < 2) {
        h = h * 10 + (name[i++] - '0');
        ++nDigits;
    }
    if (nDigits == 0 || h > 14)
        return false;
    if (i < name.size() && (name[i] == ':' || name[i] == '.'))
        ++i;
    if (i + 1 < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) &&
        std::isdigit(static_cast<unsigned char>(name[i + 1])))
        m = (name[i] - '0') * 10 + (name[i + 1] - '0');
    minutes = sign * (h * 60 + m);
    return true;
}

}  // namespace

bool CIcalTimeZone::LoadKnown(std::string_view tzid)
{
    m_parts.clear();
    m_id = std::string(tzid);
    while (!tzid.empty() && (tzid.front() == '"' || tzid.front() == ' '))
        tzid.remove_prefix(1);
    while (!tzid.empty() && (tzid.back() == '"' || tzid.back() == ' '))
        tzid.remove_suffix(1);
    const KnownZone* known = nullptr;
    int minutes = 0;
    // A vendor's prefix ("/mozilla.org/20050126_1/", "/softwarestudio.org/Olson_20011030_5/") ends
    // where a name of the table begins.
    for (std::size_t at = 0; !known && at < tzid.size(); at = tzid.find('/', at + 1)) {
        const std::string_view name = tzid.substr(tzid[at] == '/' ? at + 1 : at);
        for (const KnownZone& z : kKnownZones)
            if (SameName(name, z.m_pszName)) {
                known = &z;
                break;
            }
        if (at == std::string_view::npos)
            break;
    }
    if (known)
        minutes = known->m_nMinutes;
    else if (!FixedOffsetOf(tzid, minutes))
        return false;

    const int nStd = minutes * 60;
    const Summer summer = known ? known->m_summer : Summer::None;
    auto add = [this](int from, int to, int month, int ordinal, int hour) {
        Part p;
        p.m_nFrom = from;
        p.m_nTo = to;
        p.m_start.m_nYear = 1970;
        p.m_start.m_nMonth = month == 0 ? 1 : month;
        p.m_start.m_nDay = 1;
        p.m_start.m_bTime = true;
        p.m_start.m_nHour = hour;
        p.m_onsets.push_back(SecondsOf(p.m_start) - from);
        if (month != 0) {
            p.m_bRule = true;
            p.m_nMonth = month;
            p.m_nWeekday = 0;  // Sunday
            p.m_nOrdinal = ordinal;
            p.m_onsets.clear();
        }
        m_parts.push_back(p);
    };
    const int nSummer = nStd + 3600;
    switch (summer) {
    case Summer::None:
        add(nStd, nStd, 0, 0, 0);
        break;
    case Summer::Us:
        add(nStd, nSummer, 3, 2, 2);
        add(nSummer, nStd, 11, 1, 2);
        break;
    case Summer::Eu:  // at 01:00 UTC
        add(nStd, nSummer, 3, -1, 1 + nStd / 3600);
        add(nSummer, nStd, 10, -1, 1 + nSummer / 3600);
        break;
    case Summer::AuSouth:
        add(nStd, nSummer, 10, 1, 2);
        add(nSummer, nStd, 4, 1, 3);
        break;
    case Summer::Nz:
        add(nStd, nSummer, 9, -1, 2);
        add(nSummer, nStd, 4, 1, 3);
        break;
    }
    return true;
}
