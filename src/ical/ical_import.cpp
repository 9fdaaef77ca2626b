// The import's reading of a file: events, their occurrences and the memos they become.
#include <algorithm>
#include <climits>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "engine/lunar.h"
#include "ical/ical_format.h"
#include "ical/ical_time.h"
#include "ical/memo_ical.h"
#include "ical/memo_ical_detail.h"
#include "memo/memo_store.h"
#include "text/gbcodec.h"

using namespace ical_detail;

namespace {

using SlotKey = std::tuple<int, int, int, int>;  // kind, file year, file month, slot

SlotKey KeyOf(const MemoItem& m)
{
    return {m.m_nKind, m.m_nFileYear, m.m_nFileMonth, m.m_nSlot};
}
// ---- reading one event

constexpr std::size_t kMaxOccurrences = 5000;  // of one event: a daily rule over 13 years
constexpr long kMaxEventDays = 400;            // of one occurrence, each marked
constexpr long kSpreadBack = 365;              // an endless rule is spread from a year ago
constexpr long kSpreadAhead = 730;             // to two years ahead
constexpr std::size_t kMaxMemos = 200000;      // of one file: a thousand daily rules spread

// What every event of one calendar of the file shares.
struct CalendarContext {
    const ImportOptions* m_pOptions = nullptr;
    bool m_bOurs = false;                          // written by this program
    std::map<std::string, CIcalTimeZone> m_zones;  // the file's VTIMEZONEs, then zones known by name
    std::set<std::string> m_unknownZones;          // TZIDs no zone was found for
    long m_nToday = 0;
};

// A DATE or DATE-TIME value on its own clock.
struct EventTime {
    bool m_bTime = false;
    bool m_bUtc = false;
    long m_nDay = 0;                         // its day on its own wall clock
    int m_nSecs = 0;                         // seconds into that day
    const CIcalTimeZone* m_pZone = nullptr;  // TZID's zone; null with a TZID: read as local time
    std::int64_t Wall() const { return static_cast<std::int64_t>(m_nDay) * 86400 + m_nSecs; }
};

// A time on the computer's clock.
struct LocalTime {
    long m_nDay = 0;
    int m_nSecs = 0;
};

long FloorDiv(std::int64_t a, std::int64_t b)
{
    return static_cast<long>(a / b - (a % b < 0 ? 1 : 0));
}

const CIcalTimeZone* ZoneOf(const std::string& tzid, CalendarContext& ctx)
{
    const auto it = ctx.m_zones.find(tzid);
    if (it != ctx.m_zones.end())
        return &it->second;
    CIcalTimeZone zone;
    if (!zone.LoadKnown(tzid)) {
        ctx.m_unknownZones.insert(tzid);
        return nullptr;
    }
    return &ctx.m_zones.emplace(tzid, std::move(zone)).first->second;
}

// One value of a DATE or DATE-TIME property (a list item of EXDATE or RDATE); bAllDay reads a
// DATE-TIME as its wall date (Outlook writes all-day events as midnight).
bool ReadTime(const IcalProperty& p, std::string_view value, bool bAllDay, CalendarContext& ctx, EventTime& t)
{
    IcalDateTime dt;
    if (!ParseDateTime(value, dt))
        return false;
    const std::string* type = p.Param("VALUE");
    if (type && *type == "DATE" && dt.m_bTime)
        return false;
    t = EventTime{};
    t.m_nDay = DaysFromCivil(dt.m_nYear, dt.m_nMonth, dt.m_nDay);
    if (!dt.m_bTime || bAllDay)
        return true;
    t.m_bTime = true;
    t.m_bUtc = dt.m_bUtc;
    t.m_nSecs = dt.m_nHour * 3600 + dt.m_nMinute * 60 + std::min(dt.m_nSecond, 59);
    if (const std::string* tzid = p.Param("TZID"); tzid && !dt.m_bUtc)
        t.m_pZone = ZoneOf(*tzid, ctx);
    return true;
}

// UTC seconds of a DATE-TIME; a floating time (or one in an unknown zone) counts as UTC here,
// which keeps its wall clock through LocalOf.
std::int64_t UtcOf(const EventTime& t)
{
    if (t.m_pZone)
        return t.m_pZone->UtcOf(t.Wall());
    return t.Wall();
}

bool IsFloating(const EventTime& t)
{
    return t.m_bTime && !t.m_bUtc && !t.m_pZone;
}

// The C library's offset of local time at utc; 0 where it knows none (before 1970 on Windows).
int SystemOffset(std::int64_t utc)
{
    static std::mutex guard;  // localtime's result is shared by every thread
    const std::lock_guard<std::mutex> lock(guard);
    const std::time_t t = static_cast<std::time_t>(utc);
    const std::tm* local = std::localtime(&t);
    if (!local)
        return 0;
    const std::int64_t wall =
        static_cast<std::int64_t>(DaysFromCivil(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday)) * 86400 +
        local->tm_hour * 3600 + local->tm_min * 60 + local->tm_sec;
    return static_cast<int>(wall - utc);
}

int OffsetAt(const ImportOptions& options, std::int64_t utc)
{
    return options.m_pfnLocalOffset ? options.m_pfnLocalOffset(utc) : SystemOffset(utc);
}

LocalTime LocalOf(const EventTime& t, const CalendarContext& ctx)
{
    if (!t.m_bTime || IsFloating(t))
        return {t.m_nDay, t.m_nSecs};
    const std::int64_t utc = UtcOf(t);
    const std::int64_t local = utc + OffsetAt(*ctx.m_pOptions, utc);
    const long day = FloorDiv(local, 86400);
    return {day, static_cast<int>(local - static_cast<std::int64_t>(day) * 86400)};
}

// The day of t on the clock of start: how EXDATE and RECURRENCE-ID name an occurrence.
long DayOnClockOf(const EventTime& t, const EventTime& start)
{
    if (!t.m_bTime || !start.m_bTime || IsFloating(t) || IsFloating(start))
        return t.m_nDay;
    const std::int64_t utc = UtcOf(t);
    const int offset = start.m_pZone ? start.m_pZone->OffsetAt(utc) : 0;
    return FloorDiv(utc + offset, 86400);
}

bool IsTrue(const IcalComponent& ev, std::string_view name)
{
    const IcalProperty* p = ev.Find(name);
    return p && (p->m_value == "TRUE" || p->m_value == "true");
}

bool IsCancelled(const IcalComponent& ev)
{
    const IcalProperty* p = ev.Find("STATUS");
    return p && (p->m_value == "CANCELLED" || p->m_value == "cancelled");
}

// Text with blanks and empty lines gone from both ends and blanks from every line's end.
std::string TrimText(std::string_view text)
{
    std::string out;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        while (
            !line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r' || line.back() == '\n'))
            line.remove_suffix(1);
        if (out.empty())
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
                line.remove_prefix(1);
        if (!out.empty() || !line.empty()) {
            if (!out.empty())
                out += "\r\n";
            out.append(line);
        }
        pos = end + 2;
    }
    while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0)
        out.resize(out.size() - 2);
    return out;
}

// The memo text of an event (GB18030): its SUMMARY and DESCRIPTION trimmed, read as TextOf
// reads them, then, when asked, its LOCATION as a line "地点：…" unless the text names that place.
std::string MemoTextOf(const IcalComponent& ev, bool bLocation)
{
    IcalComponent trimmed;
    for (const char* name : {"SUMMARY", "DESCRIPTION", kRestMarkName, "UID"}) {
        if (const IcalProperty* p = ev.Find(name)) {
            IcalProperty copy = *p;
            if (copy.m_name == "SUMMARY" || copy.m_name == "DESCRIPTION")
                copy.m_value = EscapeText(TrimText(UnescapeText(p->m_value)));
            trimmed.m_props.push_back(std::move(copy));
        }
    }
    std::string text = TrimText(TextOf(trimmed));
    if (const IcalProperty* p = ev.Find("LOCATION"); p && bLocation) {
        std::string place = TrimText(UnescapeText(p->m_value));
        for (std::size_t nl; (nl = place.find("\r\n")) != std::string::npos;)
            place.replace(nl, 2, ", ");
        if (!place.empty() && text.find(place) == std::string::npos)
            text += (text.empty() ? "" : "\r\n") + std::string(u8"地点：") + place;
    }
    return almanix::Utf8ToGb(text);
}

// One occurrence: where it starts on the event's own clock and on the computer's.
struct Occurrence {
    long m_nRuleDay = 0;  // its day on the event's own clock, as EXDATE and RECURRENCE-ID name it
    bool m_bTime = false;
    LocalTime m_start;
    std::int64_t m_nLength = 0;  // seconds; all-day: whole days in seconds
    const IcalComponent* m_pEvent = nullptr;
};

// An event's start and length as it writes them.
struct EventSpan {
    EventTime m_start;
    std::int64_t m_nLength = 0;
    bool m_bAllDay = false;  // Outlook's midnight start that means a day
    std::string m_badEnd;    // a DTEND that is no date, left out
};

bool ReadSpan(const IcalComponent& ev, CalendarContext& ctx, EventSpan& span, std::string& bad)
{
    const IcalProperty* start = ev.Find("DTSTART");
    if (!start)
        return false;
    IcalDateTime dt;
    span.m_bAllDay = (IsTrue(ev, "X-MICROSOFT-CDO-ALLDAYEVENT") || IsTrue(ev, "X-MICROSOFT-MSNCALENDAR-ALLDAYEVENT")) &&
        ParseDateTime(start->m_value, dt) && dt.m_nHour == 0 && dt.m_nMinute == 0 && dt.m_nSecond == 0;
    if (!ReadTime(*start, start->m_value, span.m_bAllDay, ctx, span.m_start)) {
        bad = start->m_value;
        return false;
    }
    const EventTime& s = span.m_start;
    span.m_nLength = s.m_bTime ? 0 : 86400;
    std::int64_t seconds = 0;
    if (const IcalProperty* end = ev.Find("DTEND")) {
        // An end that cannot be read leaves the event its start.
        EventTime e;
        if (ReadTime(*end, end->m_value, span.m_bAllDay || !s.m_bTime, ctx, e))
            span.m_nLength = s.m_bTime ? UtcOf(e) - UtcOf(s) : (e.m_nDay - s.m_nDay) * 86400L;
        else
            span.m_badEnd = end->m_value;
    } else if (const IcalProperty* d = ev.Find("DURATION"); d && ParseDuration(d->m_value, seconds)) {
        span.m_nLength = s.m_bTime ? seconds : seconds / 86400 * 86400;
    }
    if (span.m_nLength < 0 || (!s.m_bTime && span.m_nLength < 86400))
        span.m_nLength = s.m_bTime ? 0 : 86400;
    return true;
}

Occurrence OccurrenceAt(const EventSpan& span, const EventTime& at, const IcalComponent* ev, const CalendarContext& ctx)
{
    Occurrence o;
    o.m_nRuleDay = DayOnClockOf(at, span.m_start);
    o.m_bTime = at.m_bTime;
    o.m_start = LocalOf(at, ctx);
    o.m_nLength = span.m_nLength;
    o.m_pEvent = ev;
    return o;
}

// The days an occurrence marks on the computer's clock: an all-day end is exclusive, and so
// is a timed end at midnight.
std::pair<long, long> DaysOf(const Occurrence& o)
{
    const std::int64_t start = static_cast<std::int64_t>(o.m_start.m_nDay) * 86400 + o.m_start.m_nSecs;
    const long last = o.m_nLength > 0 ? FloorDiv(start + o.m_nLength - 1, 86400) : o.m_start.m_nDay;
    return {o.m_start.m_nDay, last};
}

// A master event and the events that change its occurrences (RECURRENCE-ID), by UID.
struct EventGroup {
    const IcalComponent* m_pMaster = nullptr;
    std::vector<const IcalComponent*> m_overrides;
};

// Reads an event and its overrides into memos; one pass of the import over one event.
class CEventReader {
public:
    CEventReader(CalendarContext& ctx, ImportReport& report) : m_ctx(ctx), m_report(report) {}

    // False when the event gives no memo (the report says why).
    bool Read(const EventGroup& group, ImportedEvent& out);

private:
    void Note(ExchangeWhy why, const std::string& detail = std::string())
    {
        m_report.m_notes.push_back({m_pEvent->m_nLine, m_what, why, detail});
    }
    bool Skip(ExchangeWhy why, const std::string& detail = std::string())
    {
        ++m_report.m_nSkipped;
        Note(why, detail);
        return false;
    }
    bool Begin(const EventGroup& group, ImportedEvent& out);
    bool ReadRule(IcalRecur& r);
    bool Occurrences(
        const EventGroup& group, const IcalRecur* r, long nFrom, long nTo, std::vector<Occurrence>& occurrences);
    void Spread(long nFrom, long nTo, ImportedEvent& out);
    bool Lunar(const IcalComponent& ev, long nStartDay, MemoItem& m);
    bool HeldByKind(const IcalRecur& r, const std::vector<Occurrence>& ruleOnly, ImportedEvent& out);
    void ExpandRule(const IcalRecur& r, long nFrom, long nTo, std::vector<Occurrence>& occurrences);
    void AddRdates(std::vector<Occurrence>& occurrences);
    std::set<long> Exdates();
    bool ApplyOverrides(const EventGroup& group, std::vector<Occurrence>& occurrences);
    void OneOffs(const std::vector<Occurrence>& occurrences, long nFrom, long nTo, ImportedEvent& out);
    std::string TextAt(const Occurrence& o, bool bFirstDay);

    CalendarContext& m_ctx;
    ImportReport& m_report;
    const IcalComponent* m_pEvent = nullptr;
    std::string m_what;
    EventSpan m_span;
    Occurrence m_first;                                   // DTSTART's occurrence
    std::map<const IcalComponent*, std::string> m_texts;  // memo text of the master and each override
};

bool CEventReader::Lunar(const IcalComponent& ev, long nStartDay, MemoItem& m)
{
    int month, day;
    if (const IcalProperty* tag = ev.Find("X-ALMANIX-LUNAR"); tag && ParseLunarTag(tag->m_value, month, day)) {
        m.m_nKind = MEMO_KIND_LUNAR_YEARLY;
        m.m_nFileMonth = month;
        m.m_nSlot = day;
        return true;
    }
    const IcalProperty* rrule = ev.Find("RRULE");
    IcalRecur r;
    return rrule && ParseRecur(rrule->m_value, r) && r.m_rscale == "CHINESE" && KindOfRule(r, nStartDay, m);
}

// Endless weekly and yearly rules whose every occurrence is as the master writes it become
// weekly and yearly memos on the days of their first occurrences.
bool CEventReader::HeldByKind(const IcalRecur& r, const std::vector<Occurrence>& first, ImportedEvent& out)
{
    if (r.m_nCount || r.m_bUntil || r.m_nInterval != 1 || r.HasRareParts() ||
        !(r.m_rscale.empty() || r.m_rscale == "GREGORIAN") || !(r.m_skip.empty() || r.m_skip == "OMIT") ||
        first.empty())
        return false;
    MemoItem m, probe;
    m.m_dwFlags = FlagsOf(*m_pEvent, m_ctx.m_bOurs);
    if (r.m_freq == "WEEKLY") {
        if (!r.m_byMonth.empty() || !r.m_byMonthDay.empty())
            return false;
        for (int ordinal : r.m_byDayOrdinal)
            if (ordinal != 0)
                return false;
        m.m_nKind = MEMO_KIND_WEEKLY;
    } else {
        if (r.m_freq != "YEARLY" || !KindOfRule(r, first[0].m_nRuleDay, probe))
            return false;
        m.m_nKind = MEMO_KIND_SOLAR_YEARLY;
        m.m_nFileYear = 1;
    }
    // A DTSTART off the rule (a Tuesday of a rule of Mondays) is a day of its own.
    std::vector<Occurrence> onRule, offRule;
    for (const Occurrence& o : first) {
        int y, mo, dd;
        CivilFromDays(o.m_nRuleDay, y, mo, dd);
        const int wd = WeekdayOfDay(o.m_nRuleDay);
        const bool bOn = m.m_nKind == MEMO_KIND_WEEKLY ? r.m_byDayWeekday.empty() ||
                std::find(r.m_byDayWeekday.begin(), r.m_byDayWeekday.end(), wd) != r.m_byDayWeekday.end()
                                                       : mo == probe.m_nFileMonth && dd == probe.m_nSlot;
        if (!bOn && o.m_nRuleDay == m_span.m_start.m_nDay)
            offRule.push_back(o);
        else if (bOn && (m.m_nKind == MEMO_KIND_WEEKLY || onRule.empty()))
            onRule.push_back(o);
    }
    if (onRule.empty())
        return false;
    OneOffs(offRule, LONG_MIN / 2, LONG_MAX / 2, out);
    // The first occurrences on the computer's clock name the slots: a weekday or a date may
    // move with the time zone, and a multi-day event holds several.
    for (const Occurrence& o : onRule) {
        const auto [from, to] = DaysOf(o);
        for (long d = from; d <= to && d < from + 7; ++d) {
            int y, mo, dd;
            CivilFromDays(d, y, mo, dd);
            if (m.m_nKind == MEMO_KIND_WEEKLY) {
                m.m_nSlot = WeekdayOfDay(d);
            } else {
                m.m_nFileMonth = mo;
                m.m_nSlot = dd;
            }
            m.m_text = TextAt(o, d == from);
            const bool bSeen = std::any_of(out.m_memos.begin(), out.m_memos.end(),
                [&](const MemoItem& held) { return held.m_nSlot == m.m_nSlot && held.m_nFileMonth == m.m_nFileMonth; });
            if (!bSeen)
                out.m_memos.push_back(m);
        }
    }
    return true;
}

void CEventReader::ExpandRule(const IcalRecur& r, long nFrom, long nTo, std::vector<Occurrence>& occurrences)
{
    const EventTime& start = m_span.m_start;
    long nLast = LONG_MAX;
    if (r.m_bUntil) {
        // UNTIL on the start's clock: the last day whose occurrence starts at or before it.
        EventTime u;
        u.m_nDay = DaysFromCivil(r.m_until.m_nYear, r.m_until.m_nMonth, r.m_until.m_nDay);
        if (r.m_until.m_bTime && start.m_bTime) {
            u.m_bTime = true;
            u.m_bUtc = r.m_until.m_bUtc;
            u.m_nSecs = r.m_until.m_nHour * 3600 + r.m_until.m_nMinute * 60 + r.m_until.m_nSecond;
            u.m_pZone = u.m_bUtc ? nullptr : start.m_pZone;
            const std::int64_t utc = UtcOf(u);
            const std::int64_t wall =
                IsFloating(start) ? u.Wall() : utc + (start.m_pZone ? start.m_pZone->OffsetAt(utc) : 0);
            nLast = FloorDiv(wall - start.m_nSecs, 86400);
        } else {
            nLast = u.m_nDay;
        }
    }
    bool bCut = false;
    for (long d : ExpandRecurDays(r, start.m_nDay, nLast, nFrom, nTo, kMaxOccurrences, &bCut)) {
        EventTime at = start;
        at.m_nDay = d;
        occurrences.push_back(OccurrenceAt(m_span, at, m_pEvent, m_ctx));
    }
    if (bCut)
        Note(ExchangeWhy::TooManyDates, std::to_string(kMaxOccurrences));
}

void CEventReader::AddRdates(std::vector<Occurrence>& occurrences)
{
    for (const IcalProperty& p : m_pEvent->m_props) {
        if (p.m_name != "RDATE")
            continue;
        for (std::string_view item : ListItems(p.m_value)) {
            if (item.empty())
                continue;
            EventTime at;
            const std::string_view value = item.substr(0, item.find('/'));  // a PERIOD's start
            if (!ReadTime(p, value, m_span.m_bAllDay, m_ctx, at)) {
                Note(ExchangeWhy::BadDate, std::string(item));
                continue;
            }
            occurrences.push_back(OccurrenceAt(m_span, at, m_pEvent, m_ctx));
        }
    }
}

std::set<long> CEventReader::Exdates()
{
    std::set<long> days;
    for (const IcalProperty& p : m_pEvent->m_props) {
        if (p.m_name != "EXDATE")
            continue;
        for (std::string_view item : ListItems(p.m_value)) {
            if (item.empty())
                continue;
            EventTime at;
            if (ReadTime(p, item, m_span.m_bAllDay, m_ctx, at))
                days.insert(DayOnClockOf(at, m_span.m_start));
            else
                Note(ExchangeWhy::BadDate, std::string(item));
        }
    }
    return days;
}

// Each override replaces the occurrence its RECURRENCE-ID names, or cancels it; true when one
// changed anything a memo shows.
bool CEventReader::ApplyOverrides(const EventGroup& group, std::vector<Occurrence>& occurrences)
{
    bool bChanged = false;
    for (const IcalComponent* ov : group.m_overrides) {
        const IcalProperty* rid = ov->Find("RECURRENCE-ID");
        EventTime at;
        if (!ReadTime(*rid, rid->m_value, m_span.m_bAllDay, m_ctx, at)) {
            Note(ExchangeWhy::BadDate, rid->m_value);
            continue;
        }
        const long ruleDay = DayOnClockOf(at, m_span.m_start);
        const auto it = std::find_if(
            occurrences.begin(), occurrences.end(), [&](const Occurrence& o) { return o.m_nRuleDay == ruleDay; });
        Occurrence replaced;
        const bool bFound = it != occurrences.end();
        if (bFound) {
            replaced = *it;
            occurrences.erase(it);
        }
        if (IsCancelled(*ov)) {
            bChanged = true;
            continue;
        }
        EventSpan span;
        std::string bad;
        const bool bOwnStart = ReadSpan(*ov, m_ctx, span, bad);
        if (!bOwnStart) {
            span = m_span;
            span.m_start = at;
        }
        Occurrence o = OccurrenceAt(span, span.m_start, ov, m_ctx);
        o.m_nRuleDay = ruleDay;
        m_texts[ov] = MemoTextOf(*ov, m_ctx.m_pOptions->m_bLocationLine);
        bChanged = bChanged || !bFound || DaysOf(o) != DaysOf(replaced) ||
            o.m_start.m_nSecs != replaced.m_start.m_nSecs || m_texts[ov] != m_texts[m_pEvent];
        occurrences.push_back(o);
    }
    return bChanged;
}

std::string CEventReader::TextAt(const Occurrence& o, bool bFirstDay)
{
    std::string text = m_texts[o.m_pEvent];
    if (!o.m_bTime || (!bFirstDay && !text.empty()))  // an event of no text shows its time on every day
        return text;
    return Format("%02d:%02d", o.m_start.m_nSecs / 3600, o.m_start.m_nSecs / 60 % 60) + (text.empty() ? "" : " ") +
        text;
}

// One-off memos on every day of the occurrences within nFrom..nTo and the calendar's years.
void CEventReader::OneOffs(const std::vector<Occurrence>& occurrences, long nFrom, long nTo, ImportedEvent& out)
{
    const long first = std::max(nFrom, DaysFromCivil(kFirstYear, 1, 1));
    const long last = std::min(nTo, DaysFromCivil(kLastYear, 12, 31));
    bool bOutside = false, bLong = false;
    for (const Occurrence& o : occurrences) {
        auto [from, to] = DaysOf(o);
        if (to - from >= kMaxEventDays) {
            to = from + kMaxEventDays - 1;
            bLong = true;
        }
        for (long d = from; d <= to; ++d) {
            if (d < first || d > last) {
                bOutside = bOutside || d < DaysFromCivil(kFirstYear, 1, 1) || d > DaysFromCivil(kLastYear, 12, 31);
                continue;
            }
            MemoItem m;
            CivilFromDays(d, m.m_nFileYear, m.m_nFileMonth, m.m_nSlot);
            m.m_nKind = MEMO_KIND_ONCE;
            m.m_dwFlags = FlagsOf(*o.m_pEvent, m_ctx.m_bOurs);
            m.m_text = TextAt(o, d == from);
            if (!m.m_text.empty())
                out.m_memos.push_back(std::move(m));
        }
    }
    if (bLong)
        Note(ExchangeWhy::TooManyDates, std::to_string(kMaxEventDays));
    if (bOutside && out.m_memos.empty() && !occurrences.empty()) {
        const long d = occurrences.front().m_start.m_nDay;
        int y, mo, dd;
        CivilFromDays(d, y, mo, dd);
        Note(ExchangeWhy::OutsideYears, Format("%04d-%02d-%02d", y, mo, dd));
    }
}

// The event's start, text and first occurrence; false when it gives no memo.
bool CEventReader::Begin(const EventGroup& group, ImportedEvent& out)
{
    m_pEvent = group.m_pMaster;
    const IcalComponent& ev = *m_pEvent;
    const IcalProperty* summary = ev.Find("SUMMARY");
    m_what = summary ? TrimText(UnescapeText(summary->m_value)) : ev.m_name;
    out.m_nLine = ev.m_nLine;
    if (const IcalProperty* uid = ev.Find("UID"))
        out.m_uid = uid->m_value;
    if (IsCancelled(ev))
        return Skip(ExchangeWhy::Cancelled);
    std::string bad;
    if (!ReadSpan(ev, m_ctx, m_span, bad))
        return bad.empty() ? Skip(ExchangeWhy::NoStart) : Skip(ExchangeWhy::BadDate, bad);
    if (!m_span.m_badEnd.empty())
        Note(ExchangeWhy::BadDate, m_span.m_badEnd);
    m_texts[m_pEvent] = MemoTextOf(ev, m_ctx.m_pOptions->m_bLocationLine);
    m_first = OccurrenceAt(m_span, m_span.m_start, m_pEvent, m_ctx);
    out.m_nFirstDay = m_first.m_start.m_nDay;
    if (m_texts[m_pEvent].empty() && !m_first.m_bTime && group.m_overrides.empty())
        return Skip(ExchangeWhy::NoText);
    return true;
}

// The rule the event repeats by, when its days can be worked out; a rule that cannot (one
// that does not read, repeats within a day or on another calendar) leaves the first day.
bool CEventReader::ReadRule(IcalRecur& r)
{
    const IcalProperty* rrule = m_pEvent->Find("RRULE");
    if (!rrule)
        return false;
    if (ParseRecur(rrule->m_value, r) && (r.m_rscale.empty() || r.m_rscale == "GREGORIAN") &&
        (r.m_freq == "DAILY" || r.m_freq == "WEEKLY" || r.m_freq == "MONTHLY" || r.m_freq == "YEARLY"))
        return true;
    ++m_report.m_nSimplified;
    Note(ExchangeWhy::Simplified);
    return false;
}

// The occurrences in nFrom..nTo less EXDATE, with the changes of the overrides; true when an
// exception changed what the rule alone would show.
bool CEventReader::Occurrences(
    const EventGroup& group, const IcalRecur* r, long nFrom, long nTo, std::vector<Occurrence>& occurrences)
{
    if (r)
        ExpandRule(*r, nFrom - 1, nTo + 1, occurrences);
    else
        occurrences.push_back(m_first);
    const std::set<long> exdates = Exdates();
    occurrences.erase(std::remove_if(occurrences.begin(), occurrences.end(),
                          [&](const Occurrence& o) { return exdates.count(o.m_nRuleDay) > 0; }),
        occurrences.end());
    const bool bChanged = ApplyOverrides(group, occurrences);
    return bChanged || !exdates.empty();
}

void CEventReader::Spread(long nFrom, long nTo, ImportedEvent& out)
{
    out.m_bSpread = true;
    out.m_nSpreadFrom = nFrom;
    out.m_nSpreadTo = nTo;
    if (m_report.m_nSpread++ == 0 || nFrom < m_report.m_nSpreadFrom)
        m_report.m_nSpreadFrom = nFrom;
    if (m_report.m_nSpread == 1 || nTo > m_report.m_nSpreadTo)
        m_report.m_nSpreadTo = nTo;
    Note(ExchangeWhy::Spread, FormatDay(nFrom) + ".." + FormatDay(nTo));
}

bool CEventReader::Read(const EventGroup& group, ImportedEvent& out)
{
    if (!Begin(group, out))
        return false;
    MemoItem lunar;
    lunar.m_dwFlags = FlagsOf(*m_pEvent, m_ctx.m_bOurs);
    if (Lunar(*m_pEvent, m_span.m_start.m_nDay, lunar)) {
        lunar.m_text = TextAt(m_first, true);
        out.m_memos.push_back(std::move(lunar));
        return true;
    }

    IcalRecur r;
    const bool bRule = ReadRule(r);
    const bool bEndless = bRule && !r.m_nCount && !r.m_bUntil;
    const long start = m_span.m_start.m_nDay;
    // Finite rules give their days in the calendar's years, endless ones those around today.
    const long nFrom = bEndless ? std::max(start, m_ctx.m_nToday - kSpreadBack) : DaysFromCivil(kFirstYear, 1, 1);
    const long nTo = bEndless ? std::max(m_ctx.m_nToday, start) + kSpreadAhead : DaysFromCivil(kLastYear, 12, 31);
    std::vector<Occurrence> occurrences, further;
    const bool bExceptions = Occurrences(group, bRule ? &r : nullptr, nFrom, nTo, occurrences);
    AddRdates(further);

    // The first week's occurrences name a weekly memo's weekdays; a yearly memo's date is the
    // first year's.
    std::vector<Occurrence> firstOnes;
    if (bEndless && !bExceptions)
        ExpandRule(r, start, start + (r.m_freq == "WEEKLY" ? 6 : 366), firstOnes);
    if (bEndless && !bExceptions && HeldByKind(r, firstOnes, out)) {
        OneOffs(further, LONG_MIN / 2, LONG_MAX / 2, out);
    } else if (bEndless) {
        Spread(nFrom, nTo, out);
        OneOffs(occurrences, nFrom, nTo, out);
        OneOffs(further, LONG_MIN / 2, LONG_MAX / 2, out);
    } else {
        occurrences.insert(occurrences.end(), further.begin(), further.end());
        OneOffs(occurrences, LONG_MIN / 2, LONG_MAX / 2, out);
    }
    std::stable_sort(out.m_memos.begin(), out.m_memos.end(), [](const MemoItem& a, const MemoItem& b) {
        return std::tie(a.m_nFileYear, a.m_nFileMonth, a.m_nSlot) < std::tie(b.m_nFileYear, b.m_nFileMonth, b.m_nSlot);
    });
    if (!out.m_memos.empty())
        return true;
    ++m_report.m_nSkipped;
    if (m_report.m_notes.empty() || m_report.m_notes.back().m_nLine != m_pEvent->m_nLine)
        Note(m_texts[m_pEvent].empty() ? ExchangeWhy::NoText : ExchangeWhy::OutsideYears);
    return false;
}

// ---- reading a file

void NoteProblems(const std::vector<IcalProblem>& problems, ImportReport& report)
{
    for (const IcalProblem& p : problems) {
        ++report.m_nUnreadable;
        report.m_notes.push_back({p.m_nLine, "", ExchangeWhy::Unreadable, p.m_what});
    }
}

void LoadZones(const IcalComponent& cal, CalendarContext& ctx)
{
    for (const IcalComponent& c : cal.m_children) {
        CIcalTimeZone z;
        // Outlook escapes the comma of "Pacific Time (US & Canada)\, Tijuana" in TZID's value.
        if (c.m_name == "VTIMEZONE" && z.Load(c))
            ctx.m_zones.emplace(UnescapeText(z.Id()), std::move(z));
    }
}

// The events of a calendar by UID: masters first in file order, each with its overrides; an
// override without its master stands for itself. Other components are noted.
std::vector<EventGroup> GroupEvents(const IcalComponent& cal, ImportReport& report)
{
    std::vector<EventGroup> groups;
    std::map<std::string, std::size_t> masters;
    std::vector<const IcalComponent*> overrides;
    for (const IcalComponent& c : cal.m_children) {
        if (c.m_name == "VTIMEZONE" || c.m_name == "VCALENDAR")
            continue;
        if (c.m_name != "VEVENT") {
            ++report.m_nSkipped;
            const IcalProperty* summary = c.Find("SUMMARY");
            report.m_notes.push_back(
                {c.m_nLine, summary ? UnescapeText(summary->m_value) : c.m_name, ExchangeWhy::NotAnEvent, c.m_name});
            continue;
        }
        if (c.Find("RECURRENCE-ID")) {
            overrides.push_back(&c);
            continue;
        }
        const IcalProperty* uid = c.Find("UID");
        if (uid)
            masters.emplace(uid->m_value, groups.size());
        groups.push_back({&c, {}});
    }
    for (const IcalComponent* c : overrides) {
        const IcalProperty* uid = c->Find("UID");
        const auto it = uid ? masters.find(uid->m_value) : masters.end();
        if (it != masters.end())
            groups[it->second].m_overrides.push_back(c);
        else
            groups.push_back({c, {}});
    }
    return groups;
}

long TodayOf(const ImportOptions& options)
{
    const std::int64_t now = options.m_nNow ? options.m_nNow : static_cast<std::int64_t>(std::time(nullptr));
    const std::int64_t local = now + OffsetAt(options, now);
    return FloorDiv(local, 86400);
}

}  // namespace

bool ReadIcalEvents(
    std::string_view ics, const ImportOptions& options, std::vector<ImportedEvent>& events, ImportReport& report)
{
    report = ImportReport{};
    events.clear();
    std::vector<IcalComponent> calendars;
    std::vector<IcalProblem> problems;
    if (!ParseIcalFile(ics, calendars, problems, report.m_error))
        return false;
    NoteProblems(problems, report);
    const long today = TodayOf(options);
    std::size_t nMemos = 0;
    // A calendar nested in another (as some files have it) is read as one of its own.
    std::vector<const IcalComponent*> all;
    for (const IcalComponent& cal : calendars)
        all.push_back(&cal);
    for (std::size_t i = 0; i < all.size(); ++i)
        for (const IcalComponent& c : all[i]->m_children)
            if (c.m_name == "VCALENDAR")
                all.push_back(&c);
    for (const IcalComponent* pCal : all) {
        const IcalComponent& cal = *pCal;
        CalendarContext ctx;
        ctx.m_pOptions = &options;
        const IcalProperty* prodId = cal.Find("PRODID");
        ctx.m_bOurs = prodId && prodId->m_value.find("Almanix") != std::string::npos;
        ctx.m_nToday = today;
        LoadZones(cal, ctx);
        for (const EventGroup& group : GroupEvents(cal, report)) {
            CEventReader reader(ctx, report);
            ImportedEvent event;
            if (nMemos >= kMaxMemos) {
                ++report.m_nSkipped;
                report.m_notes.push_back(
                    {group.m_pMaster->m_nLine, "", ExchangeWhy::TooManyDates, std::to_string(kMaxMemos)});
                continue;
            }
            if (reader.Read(group, event)) {
                nMemos += event.m_memos.size();
                events.push_back(std::move(event));
            }
        }
        for (const std::string& tzid : ctx.m_unknownZones)
            report.m_notes.push_back({cal.m_nLine, "", ExchangeWhy::UnknownZone, tzid});
    }
    return true;
}

bool ReadIcalMemos(
    std::string_view ics, const ImportOptions& options, std::vector<MemoItem>& memos, ImportReport& report)
{
    memos.clear();
    std::vector<ImportedEvent> events;
    if (!ReadIcalEvents(ics, options, events, report))
        return false;
    std::map<SlotKey, std::size_t> index;  // slot -> position in memos
    for (ImportedEvent& event : events) {
        for (MemoItem& m : event.m_memos) {
            const auto it = index.find(KeyOf(m));
            if (it == index.end()) {
                index.emplace(KeyOf(m), memos.size());
                memos.push_back(std::move(m));
                continue;
            }
            // Several events on one memo (an expanded lunar memo, two events on a day): one text.
            MemoItem& held = memos[it->second];
            // Texts are cut to a memo's size when they are added to the folder.
            if (!JoinText(held.m_text, m.m_text))
                continue;
            if (!(held.m_dwFlags & MEMO_CUSTOM_COLOR))
                held.m_dwFlags = m.m_dwFlags;
        }
    }
    return true;
}
