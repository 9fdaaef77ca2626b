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
            for (std::string_view item : ListItems(val)) {
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
            for (std::string_view item : ListItems(val)) {
                int n;
                if (!Integer(item, n) || n == 0 || n < -31 || n > 31)
                    return false;
                r.m_byMonthDay.push_back(n);
            }
        } else if (name == "BYDAY") {
            for (std::string_view item : ListItems(val)) {
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
            for (std::string_view item : ListItems(val)) {
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
                for (std::string_view item : ListItems(p.m_value)) {
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

std::vector<std::string_view> ListItems(std::string_view s)
{
    std::vector<std::string_view> items;
    for (;;) {
        const std::size_t comma = s.find(',');
        std::string_view item = s.substr(0, comma);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        items.push_back(item);
        if (comma == std::string_view::npos)
            return items;
        s.remove_prefix(comma + 1);
    }
}
