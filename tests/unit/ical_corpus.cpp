// The corpus of real files (tests/data/ical-corpus) read by the import and by libical: every
// event shows on the same days, in a fixed zone (UTC+8) from 2020 to 2030, but for the
// differences listed below with their reasons.
#include <gtest/gtest.h>

#include <libical/ical.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "engine/lunar.h"
#include "ical/ical_time.h"
#include "ical/lunar_rule.h"
#include "ical/memo_ical.h"
#include "memo/memo_store.h"

namespace {

namespace fs = std::filesystem;
using DaysByEvent = std::map<std::string, std::set<long>>;  // "UID#n" -> days

const long kWindowFrom = DaysFromCivil(1990, 1, 1), kWindowTo = DaysFromCivil(2035, 12, 31);
const std::int64_t kNow = static_cast<std::int64_t>(DaysFromCivil(2025, 6, 15)) * 86400;

int Plus8(std::int64_t)
{
    return 8 * 3600;
}

// Where the two readers part, and why; an empty UID stands for every event of the file.
const struct {
    const char* file;
    const char* uid;
    const char* why;
} kExpectedDifferences[] = {
    {"libical__2446.ics", "",
        "iTIP messages: versions of one UID in many calendars, changed occurrences without their event"},
    {"pyical__issue_1231_recurrence.ics", "",
        "a changed occurrence without its event: ours takes it, libical has no event"},
    {"pyical__issue_156_RDATE_with_PERIOD_TZID_khal_2.ics", "", "the same, with further dates (RDATE)"},
    {"pyical__issue_313_globally_unique_tzid.ics", "mozilla-lightning@issue-313",
        "a vendor-prefixed TZID without its VTIMEZONE: libical reads it as floating, ours knows New York"},
    {"ical4j__phpicalendar_sample.ics", "20030425T023455Z-5454-500-1-0@lbt-laplinux.voiping.com",
        "the same with /softwarestudio.org/Olson_20011030_5/America/Chicago"},
    {"pyical__rfc_7529.ics", "4.3.1", "lunar new year: ours is the published calendar, ICU's differs in 2027 and 2030"},
    {"pyical__rfc_7529.ics", "4.3.2", "RSCALE=ETHIOPIC: no memo kind, taken on its first day"},
    {"pyical__rfc_7529.ics", "4.3.3", "RSCALE=HEBREW: no memo kind, taken on its first day"},
    {"ical4j__calconnect6.ics", "", "a Lotus Notes changed occurrence without its event: ours takes it"},
    {"ical4j__calconnect7.ics", "", "the same"},
    {"icaljs__google_birthday.ics", "", "Google's changed birthdays without their event: ours takes each"},
    {"khal__event_dt_multi_recuid_no_master.ics", "", "changed occurrences without their event: ours takes each"},
    {"khal__event_dt_recuid_no_master.ics", "", "the same"},
    {"pyical__issue_156_RDATE_with_PERIOD_TZID_khal.ics", "", "the same, with further dates (RDATE)"},
    {"ical4j__13-MoonPhase.ics", "", "libical reads nothing of the file; ours its 42 events"},
    {"libical__crash.ics", "", "libical reads nothing of the damaged file; ours the one event it can"},
    {"pyical__multiple_calendar_components.ics", "", "blank lines inside folded lines: libical loses the event"},
    {"ical4j__korganizer_sample.ics", "",
        "DTSTART off its COUNT rule: RFC 5545 counts it as the first occurrence, libical adds one more"},
    {"ical4j__smallcluster.ics", "", "UNTIL=20123456T123456 is no date: ours takes the event on its first day"},
    {"khal__event_dtr_notz_untilz.ics", "",
        "TZID GMT-05.00/-04.00 without VTIMEZONE: ours reads the offset, libical a floating time"},
    {"libical__process-calendar.ics", "", "DTSTART 19970701T13000Z is no date: ours skips the event"},
    {"libical__process-incoming.ics", "", "the same"},
    {"pyical__issue_1426_value_parameters.ics", "", "no text at all: a memo needs one"},
    {"pyical__issue_178_custom_component_contains_other.ics", "", "a VEVENT inside an unknown component: skipped"},
};

std::set<const void*> g_used;  // entries of the table that a difference needed

bool Expected(const std::string& file, const std::string& key)
{
    for (const auto& d : kExpectedDifferences)
        if (file == d.file && (*d.uid == '\0' || key.compare(0, key.rfind('#'), d.uid) == 0)) {
            g_used.insert(&d);
            return true;
        }
    return false;
}

std::string Key(std::map<std::string, int>& seen, const std::string& uid)
{
    return uid + "#" + std::to_string(seen[uid]++);
}

// Our days by event, and the spans endless rules were spread over.
DaysByEvent OurDays(const std::string& ics, std::map<std::string, std::pair<long, long>>& spans)
{
    ImportOptions options;
    options.m_pfnLocalOffset = Plus8;
    options.m_nNow = kNow;
    std::vector<ImportedEvent> events;
    ImportReport report;
    ReadIcalEvents(ics, options, events, report);
    DaysByEvent days;
    std::map<std::string, int> seen;
    for (const ImportedEvent& e : events) {
        const std::string key = Key(seen, e.m_uid);
        std::set<long>& out = days[key];
        if (e.m_bSpread)
            spans[key] = {e.m_nSpreadFrom, e.m_nSpreadTo};
        // Weekly and yearly memos show before the event's start as well.
        const long from = std::max(kWindowFrom, e.m_bSpread ? e.m_nSpreadFrom : kWindowFrom);
        const long firstHeld = std::max(from, e.m_nFirstDay);
        const long to = std::min(kWindowTo, e.m_bSpread ? e.m_nSpreadTo : kWindowTo);
        for (const MemoItem& m : e.m_memos) {
            std::vector<long> shown;
            if (m.m_nKind == MEMO_KIND_ONCE)
                shown.push_back(DaysFromCivil(m.m_nFileYear, m.m_nFileMonth, m.m_nSlot));
            else if (m.m_nKind == MEMO_KIND_LUNAR_YEARLY)
                shown = GridLunarDays(m.m_nFileMonth, m.m_nSlot);
            for (long d = from; m.m_nKind == MEMO_KIND_SOLAR_YEARLY && d <= to; ++d) {
                int y, mo, dd;
                CivilFromDays(d, y, mo, dd);
                if (mo == m.m_nFileMonth && dd == m.m_nSlot)
                    shown.push_back(d);
            }
            for (long d = from; m.m_nKind == MEMO_KIND_WEEKLY && d <= to; ++d)
                if (WeekdayOfDay(d) == m.m_nSlot)
                    shown.push_back(d);
            for (long d : shown)
                if (d >= (m.m_nKind == MEMO_KIND_ONCE ? from : firstHeld) && d <= to)
                    out.insert(d);
        }
    }
    return days;
}

// ---- libical's reading of the same file

long DayOf(icaltimetype t)
{
    return DaysFromCivil(t.year, t.month, t.day);
}

// The day an instance names on the clock of start, as EXDATE and RECURRENCE-ID are matched.
long DayOnClockOf(icaltimetype t, icaltimetype start)
{
    if (!t.is_date && !start.is_date && t.zone && start.zone)
        t = icaltime_convert_to_zone(t, const_cast<icaltimezone*>(start.zone));
    return DayOf(t);
}

void MarkDays(icaltimetype t, int nLength, std::set<long>& out)
{
    if (t.is_date) {
        for (long d = DayOf(t); d < DayOf(t) + std::max(1, nLength / 86400); ++d)
            out.insert(d);
        return;
    }
    // A floating time keeps its wall clock; a zoned one is shown in UTC+8.
    const std::int64_t local = t.zone ? icaltime_as_timet_with_zone(t, t.zone) + 8 * 3600
                                      : static_cast<std::int64_t>(DayOf(t)) * 86400 + t.hour * 3600 + t.minute * 60;
    const std::int64_t end = local + std::max(0, nLength - 1);
    for (long d = static_cast<long>(local / 86400); d <= static_cast<long>(end / 86400); ++d)
        out.insert(d);
}

int LengthOf(icalcomponent* ev)
{
    const icaltimetype start = icalcomponent_get_dtstart(ev);
    if (icalcomponent_get_first_property(ev, ICAL_DTEND_PROPERTY) ||
        icalcomponent_get_first_property(ev, ICAL_DURATION_PROPERTY)) {
        const icaltimetype end = icalcomponent_get_dtend(ev);
        if (!icaltime_is_null_time(end))
            return std::max(0, icaldurationtype_as_int(icaltime_subtract(end, start)));
    }
    return start.is_date ? 86400 : 0;
}

bool Cancelled(icalcomponent* ev)
{
    return icalcomponent_get_status(ev) == ICAL_STATUS_CANCELLED;
}

// Instances by their day on the start's clock: DTSTART, RRULE and RDATE, less EXDATE.
std::map<long, icaltimetype> Instances(icalcomponent* ev)
{
    const icaltimetype start = icalcomponent_get_dtstart(ev);
    std::map<long, icaltimetype> at{{DayOf(start), start}};
    const long last = kWindowTo + 2;
    if (icalproperty* rrule = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY)) {
        const icalrecurrencetype recur = icalproperty_get_rrule(rrule);
        if (icalrecur_iterator* it = icalrecur_iterator_new(recur, start)) {
            icaltimetype t;
            for (int n = 0; n < 100000 && !icaltime_is_null_time(t = icalrecur_iterator_next(it)) && DayOf(t) <= last;
                 ++n)
                at.emplace(DayOf(t), t);
            icalrecur_iterator_free(it);
        }
    }
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype rdate = icalproperty_get_rdate(p);
        icaltimetype t = icaltime_is_null_time(rdate.time) ? rdate.period.start : rdate.time;
        // libical leaves a PERIOD's start without its zone.
        if (icalparameter* tzid = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER); tzid && !t.zone)
            t.zone = icalcomponent_get_timezone(icalcomponent_get_parent(ev), icalparameter_get_tzid(tzid));
        if (!icaltime_is_null_time(t))
            at.emplace(DayOnClockOf(t, start), t);
    }
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_EXDATE_PROPERTY))
        at.erase(DayOnClockOf(icalproperty_get_exdate(p), start));
    return at;
}

void LibicalCalendar(icalcomponent* cal, DaysByEvent& days, std::map<std::string, int>& seen)
{
    std::multimap<std::string, icalcomponent*> overrides;
    for (icalcomponent* ev = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); ev;
         ev = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT))
        if (icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY) && icalcomponent_get_uid(ev))
            overrides.emplace(icalcomponent_get_uid(ev), ev);
    for (icalcomponent* ev = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); ev;
         ev = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
        if (icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY) || Cancelled(ev) ||
            icaltime_is_null_time(icalcomponent_get_dtstart(ev)))
            continue;
        const std::string uid = icalcomponent_get_uid(ev) ? icalcomponent_get_uid(ev) : "";
        std::map<long, icaltimetype> instances = Instances(ev);
        std::set<long> out;
        const auto range = overrides.equal_range(uid);
        for (auto it = range.first; it != range.second; ++it) {
            instances.erase(DayOnClockOf(icalcomponent_get_recurrenceid(it->second), icalcomponent_get_dtstart(ev)));
            if (!Cancelled(it->second))
                MarkDays(icalcomponent_get_dtstart(it->second), LengthOf(it->second), out);
        }
        const int length = LengthOf(ev);
        for (const auto& [day, t] : instances)
            MarkDays(t, length, out);
        std::set<long>& mine = days[Key(seen, uid)];
        for (long d : out)
            if (d >= kWindowFrom && d <= kWindowTo)
                mine.insert(d);
    }
}

// The events of root and of the calendars in it; a bare VEVENT is a calendar of its own.
void LibicalTree(icalcomponent* root, DaysByEvent& days, std::map<std::string, int>& seen)
{
    LibicalCalendar(root, days, seen);
    for (icalcomponent* cal = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); cal;
         cal = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT))
        LibicalTree(cal, days, seen);
}

DaysByEvent LibicalDays(const std::string& ics)
{
    DaysByEvent days;
    std::map<std::string, int> seen;
    icalcomponent* root = icalparser_parse_string(ics.c_str());
    if (!root)
        return days;
    if (icalcomponent_isa(root) == ICAL_VEVENT_COMPONENT) {
        icalcomponent* cal = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
        icalcomponent_add_component(cal, root);
        root = cal;
    }
    LibicalTree(root, days, seen);
    icalcomponent_free(root);
    return days;
}

std::string Sample(const std::set<long>& a, const std::set<long>& b)
{
    std::ostringstream s;
    int n = 0;
    for (long d : a)
        if (!b.count(d) && n++ < 3)
            s << FormatDate(d) << ' ';
    return s.str();
}

TEST(IcalCorpus, EveryEventShowsOnTheDaysLibicalExpands)
{
    const fs::path dir = fs::path(ALMANIX_SOURCE_DIR) / "tests/data/ical-corpus";
    std::ifstream manifest(dir / "MANIFEST");
    std::string line;
    int nFiles = 0, nEvents = 0, nDiffering = 0;
    while (std::getline(manifest, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::string file = line.substr(0, line.find('\t'));
        std::ifstream in(dir / file, std::ios::binary);
        const std::string ics((std::istreambuf_iterator<char>(in)), {});
        ++nFiles;
        std::map<std::string, std::pair<long, long>> spans;
        const DaysByEvent ours = OurDays(ics, spans), theirs = LibicalDays(ics);
        std::set<std::string> keys;
        for (const auto& [key, days] : ours)
            keys.insert(key);
        for (const auto& [key, days] : theirs)
            keys.insert(key);
        for (const std::string& key : keys) {
            ++nEvents;
            const std::set<long> a = ours.count(key) ? ours.at(key) : std::set<long>();
            std::set<long> b = theirs.count(key) ? theirs.at(key) : std::set<long>();
            if (spans.count(key))
                b = std::set<long>(b.lower_bound(spans[key].first), b.upper_bound(spans[key].second));
            if (a == b)
                continue;
            ++nDiffering;
            if (!Expected(file, key))
                ADD_FAILURE() << file << " " << key << ": " << a.size() << " days here, " << b.size()
                              << " by libical; only here: " << Sample(a, b) << "; only libical: " << Sample(b, a);
        }
    }
    EXPECT_GT(nFiles, 300);
    for (const auto& d : kExpectedDifferences)
        EXPECT_TRUE(g_used.count(&d)) << d.file << " " << d.uid << " no longer differs: take it off the table";
    std::printf("%d files, %d events, %d differing (each listed)\n", nFiles, nEvents, nDiffering);
}

// A second reader for the events that start on a date: python-icalendar with dateutil's rules
// (tests/unit/ical_corpus_dateutil.py) gives the same days as the import.
TEST(IcalCorpus, DateEventsShowOnTheDaysDateutilExpands)
{
    const fs::path dir = fs::path(ALMANIX_SOURCE_DIR) / "tests/data/ical-corpus";
    const std::string command =
        "/usr/bin/python3 " ALMANIX_SOURCE_DIR "/tests/unit/ical_corpus_dateutil.py " + dir.string();
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        out.append(buf, n);
    ASSERT_EQ(::pclose(pipe), 0) << "python3-icalendar and python3-dateutil are needed";
    std::istringstream lines(out);
    std::string file, key, list, loaded;
    DaysByEvent ours;
    std::map<std::string, std::pair<long, long>> spans;
    int nEvents = 0;
    while (std::getline(lines, file, '\t') && std::getline(lines, key, '\t') && std::getline(lines, list)) {
        if (file != loaded) {
            std::ifstream in(dir / file, std::ios::binary);
            spans.clear();
            ours = OurDays(std::string((std::istreambuf_iterator<char>(in)), {}), spans);
            loaded = file;
        }
        std::set<long> theirs;
        for (std::size_t at = 0; at + 8 <= list.size(); at += 9)
            theirs.insert(DaysFromCivil(
                std::stoi(list.substr(at, 4)), std::stoi(list.substr(at + 4, 2)), std::stoi(list.substr(at + 6, 2))));
        if (spans.count(key))
            theirs = std::set<long>(theirs.lower_bound(spans[key].first), theirs.upper_bound(spans[key].second));
        const std::set<long> mine = ours.count(key) ? ours[key] : std::set<long>();
        ++nEvents;
        EXPECT_TRUE(mine == theirs || Expected(file, key))
            << file << " " << key << ": " << mine.size() << " days here, " << theirs.size()
            << " by dateutil; only here: " << Sample(mine, theirs) << "; only dateutil: " << Sample(theirs, mine);
    }
    EXPECT_GT(nEvents, 2000);
}

}  // namespace
