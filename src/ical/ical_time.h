// iCalendar dates, date-times, recurrence rules and the offsets of VTIMEZONE components.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lunar.h"  // DaysFromCivil, CivilFromDays: day counts from 1970-01-01
#include "ical/ical_format.h"

// A DATE or DATE-TIME value: YYYYMMDD, or YYYYMMDDTHHMMSS with an optional Z (UTC).
struct IcalDateTime {
    int m_nYear = 0, m_nMonth = 0, m_nDay = 0;
    bool m_bTime = false;  // a DATE-TIME
    int m_nHour = 0, m_nMinute = 0, m_nSecond = 0;
    bool m_bUtc = false;  // ends in Z
};
// False for anything but these two forms or an impossible date or time (second 60 allowed).
bool ParseDateTime(std::string_view value, IcalDateTime& dt);
// "YYYYMMDD" of a day count.
std::string FormatDate(long nDays);
// A DURATION value ("P1D", "-PT1H30M", "P2W") in seconds; false when malformed.
bool ParseDuration(std::string_view value, std::int64_t& seconds);
// 0 = Sunday .. 6 of a day count.
int WeekdayOfDay(long nDays);

// A recurrence rule, the parts the memo mapping needs; every other part is counted as other.
struct IcalRecur {
    std::string m_freq;    // upper case, e.g. YEARLY
    std::string m_rscale;  // upper case, empty when absent
    std::string m_skip;    // upper case, empty when absent
    int m_nInterval = 1;
    int m_nCount = 0;  // 0: none
    bool m_bUntil = false;
    IcalDateTime m_until;
    std::vector<int> m_byMonth;       // month numbers
    std::vector<bool> m_byMonthLeap;  // parallel to m_byMonth: written with L (RFC 7529)
    std::vector<int> m_byMonthDay;
    std::vector<int> m_byDayWeekday;  // 0 = Sunday .. 6
    std::vector<int> m_byDayOrdinal;  // parallel: 0 when none, else -53..53
    std::vector<int> m_byYearDay;     // -366..366, not 0
    std::vector<int> m_byWeekNo;      // -53..53, not 0
    std::vector<int> m_bySetPos;      // -366..366, not 0
    int m_nWkst = 1;                  // the day weeks begin on, 0 = Sunday
    bool m_bOtherParts = false;       // BYHOUR, BYMINUTE, BYSECOND, parts of later standards
    // Parts beyond a plain FREQ with BYMONTH, BYMONTHDAY and BYDAY.
    bool HasRareParts() const
    {
        return m_bOtherParts || !m_byYearDay.empty() || !m_byWeekNo.empty() || !m_bySetPos.empty();
    }
};
// False for a value that is not a rule (no FREQ, unknown FREQ, a malformed number).
bool ParseRecur(std::string_view value, IcalRecur& recur);

// The days of a Gregorian rule's occurrences (RFC 5545, at most one a day: parts below a day
// are not expanded) that lie in nFrom..nTo, ascending. The rule runs on its start's own wall
// clock: nStart is DTSTART's day, which is always the first occurrence and counts for COUNT;
// nLast is the last day UNTIL lets an occurrence start on (LONG_MAX without UNTIL). At most
// nMax days are returned (*pbCut set when more were due); a rule that cannot end never runs
// for more than 200,000 of its periods.
std::vector<long> ExpandRecurDays(
    const IcalRecur& recur, long nStart, long nLast, long nFrom, long nTo, std::size_t nMax, bool* pbCut = nullptr);

// One VTIMEZONE, enough to say which offset from UTC holds at an instant.
class CIcalTimeZone {
public:
    // Reads the STANDARD and DAYLIGHT parts of a VTIMEZONE; false without any usable part.
    bool Load(const IcalComponent& vtimezone);
    // Offset from UTC in seconds at utcSeconds (seconds since 1970-01-01 UTC): the offset of
    // the part whose last onset at or before the instant is latest; before every onset, the
    // earliest part's offset before it.
    int OffsetAt(std::int64_t utcSeconds) const;
    // UTC seconds of a wall-clock time of the zone (seconds since 1970-01-01 read as UTC).
    std::int64_t UtcOf(std::int64_t wallSeconds) const;
    // A zone known by its name alone, for a TZID without its VTIMEZONE: common IANA names, the
    // Windows names Outlook and Exchange write ("China Standard Time", "tzone://Microsoft/Utc"),
    // names with a vendor prefix ("/mozilla.org/20050126_1/Europe/London"), and fixed offsets
    // ("(UTC+08:00) Beijing", "Etc/GMT-8"). Today's rules only; false for an unknown name.
    bool LoadKnown(std::string_view tzid);
    const std::string& Id() const { return m_id; }

private:
    struct Part {
        int m_nFrom = 0, m_nTo = 0;  // TZOFFSETFROM, TZOFFSETTO in seconds
        IcalDateTime m_start;        // local time in the m_nFrom offset
        bool m_bRule = false;        // a yearly rule: BYMONTH with one BYDAY (e.g. -1SU) or BYMONTHDAY
        int m_nMonth = 0, m_nWeekday = -1, m_nOrdinal = 0, m_nMonthDay = 0;
        bool m_bUntil = false;
        std::int64_t m_nUntil = 0;           // UTC seconds
        std::vector<std::int64_t> m_onsets;  // DTSTART and RDATEs as UTC seconds
    };
    // Latest onset of part at or before t; false when there is none.
    static bool LastOnset(const Part& part, std::int64_t t, std::int64_t& onset);

    std::string m_id;
    std::vector<Part> m_parts;
};

// Seconds since 1970-01-01 of a date-time read as UTC.
std::int64_t SecondsOf(const IcalDateTime& dt);

// The comma-separated items of a list value, without blanks around them (empty ones kept).
std::vector<std::string_view> ListItems(std::string_view s);
