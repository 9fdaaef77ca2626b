// iCalendar dates, date-times, recurrence rules and the offsets of VTIMEZONE components.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ical/ical_format.h"

// Days since 1970-01-01 of a proleptic Gregorian date, and back; exact for years -10^6..10^6.
long DaysFromCivil(int nYear, int nMonth, int nDay);
void CivilFromDays(long nDays, int& nYear, int& nMonth, int& nDay);

// A DATE or DATE-TIME value: YYYYMMDD, or YYYYMMDDTHHMMSS with an optional Z (UTC).
struct IcalDateTime {
    int m_nYear = 0, m_nMonth = 0, m_nDay = 0;
    bool m_bTime = false;  // a DATE-TIME
    int m_nHour = 0, m_nMinute = 0, m_nSecond = 0;
    bool m_bUtc = false;   // ends in Z
};
// False for anything but these two forms or an impossible date or time (second 60 allowed).
bool ParseDateTime(std::string_view value, IcalDateTime& dt);
// "YYYYMMDD" of a day count.
std::string FormatDate(long nDays);

// A recurrence rule, the parts the memo mapping needs; every other part is counted as other.
struct IcalRecur {
    std::string m_freq;     // upper case, e.g. YEARLY
    std::string m_rscale;   // upper case, empty when absent
    std::string m_skip;     // upper case, empty when absent
    int m_nInterval = 1;
    int m_nCount = 0;       // 0: none
    bool m_bUntil = false;
    IcalDateTime m_until;
    std::vector<int> m_byMonth;       // month numbers
    std::vector<bool> m_byMonthLeap;  // parallel to m_byMonth: written with L (RFC 7529)
    std::vector<int> m_byMonthDay;
    std::vector<int> m_byDayWeekday;  // 0 = Sunday .. 6
    std::vector<int> m_byDayOrdinal;  // parallel: 0 when none, else -53..53
    bool m_bOtherParts = false;       // BYSETPOS, BYWEEKNO, BYYEARDAY, BYHOUR, ...
};
// False for a value that is not a rule (no FREQ, unknown FREQ, a malformed number).
bool ParseRecur(std::string_view value, IcalRecur& recur);

// One VTIMEZONE, enough to say which offset from UTC holds at an instant.
class CIcalTimeZone {
public:
    // Reads the STANDARD and DAYLIGHT parts of a VTIMEZONE; false without any usable part.
    bool Load(const IcalComponent& vtimezone);
    // Offset from UTC in seconds at utcSeconds (seconds since 1970-01-01 UTC): the offset of
    // the part whose last onset at or before the instant is latest; before every onset, the
    // earliest part's offset before it.
    int OffsetAt(std::int64_t utcSeconds) const;
    const std::string& Id() const { return m_id; }

private:
    struct Part {
        int m_nFrom = 0, m_nTo = 0;   // TZOFFSETFROM, TZOFFSETTO in seconds
        IcalDateTime m_start;         // local time in the m_nFrom offset
        bool m_bRule = false;         // a yearly rule: BYMONTH with one BYDAY (e.g. -1SU) or BYMONTHDAY
        int m_nMonth = 0, m_nWeekday = -1, m_nOrdinal = 0, m_nMonthDay = 0;
        bool m_bUntil = false;
        std::int64_t m_nUntil = 0;    // UTC seconds
        std::vector<std::int64_t> m_onsets;  // DTSTART and RDATEs as UTC seconds
    };
    // Latest onset of part at or before t; false when there is none.
    static bool LastOnset(const Part& part, std::int64_t t, std::int64_t& onset);

    std::string m_id;
    std::vector<Part> m_parts;
};

// Seconds since 1970-01-01 of a date-time read as UTC.
std::int64_t SecondsOf(const IcalDateTime& dt);
