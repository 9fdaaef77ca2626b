// A real reader's view of our exports: libical (with ICU for RSCALE=CHINESE) reads every
// export, and every rule it expands gives, from 1900 to 2049, exactly the days on which the
// month model shows the memo.
#include <gtest/gtest.h>

#include <libical/ical.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "engine/lunar.h"
#include "ical/ical_time.h"
#include "ical/memo_ical.h"
#include "memo/memo_store.h"
#include "monthview/month_model.h"
#include "monthview_support.h"

namespace {

using monthview_test::MemoFolderTest;

class IcalReaderTest : public MemoFolderTest {
protected:
    // Slots nFirst..nLast (or the listed ones) get the text "<tag><slot>", unique across files.
    static void FillFile(
        int nYear, int nMonth, int nFirst, int nLast, const std::string& tag, std::vector<int> slots = {})
    {
        CMemoStore store;
        if (nYear < 0)
            store.OpenWeek();
        else
            store.Open(nYear, nMonth);
        if (slots.empty())
            for (int i = nFirst; i <= nLast; ++i)
                slots.push_back(i);
        for (int i : slots) {
            const std::string text = tag + std::to_string(i);
            store.m_pEntries[i].Set(text.data(), static_cast<int>(text.size()), 0);
        }
        ASSERT_EQ(store.Save(), 0);
    }

    // Text -> the days (since 1970) the month model shows it on, February 1900 .. 2049.
    static std::map<std::string, std::set<long>> ShownDays()
    {
        std::map<std::string, std::set<long>> shown;
        CMonthModel model;
        for (int y = 1900; y <= 2049; ++y) {
            for (int m = (y == 1900 ? 2 : 1); m <= 12; ++m) {
                model.SetMonth(y, m, 0);
                for (int d = 1; d <= model.m_nDays; ++d) {
                    const CMemoEntry* slots[4] = {model.GetOnceEntry(d), model.GetSolarYearlyEntry(d),
                        model.GetLunarEntry(d), model.GetWeeklyEntry(model.m_cells[d].m_nWeekday)};
                    for (const CMemoEntry* e : slots)
                        if (CMonthModel::HasMemoText(e))
                            shown[e->m_pszText].insert(DaysFromCivil(y, m, d));
                }
            }
        }
        return shown;
    }

    static long DayOf(icaltimetype t) { return DaysFromCivil(t.year, t.month, t.day); }

    // The recurrence set as RFC 5545 defines it: DTSTART, RRULE, RDATE, less EXDATE, up to
    // the end of 2049.
    static std::set<long> Expand(icalcomponent* ev)
    {
        const long last = DaysFromCivil(2049, 12, 31);
        const icaltimetype start = icalcomponent_get_dtstart(ev);
        std::set<long> days{DayOf(start)};
        if (icalproperty* rrule = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY)) {
            icalrecur_iterator* it = icalrecur_iterator_new(icalproperty_get_rrule(rrule), start);
            EXPECT_NE(it, nullptr) << icalproperty_get_value_as_string(rrule);
            for (icaltimetype t; it && !icaltime_is_null_time(t = icalrecur_iterator_next(it)) && DayOf(t) <= last;)
                days.insert(DayOf(t));
            if (it)
                icalrecur_iterator_free(it);
        }
        for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(ev, ICAL_RDATE_PROPERTY))
            days.insert(DayOf(icalproperty_get_rdate(p).time));
        for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_EXDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(ev, ICAL_EXDATE_PROPERTY))
            days.erase(DayOf(icalproperty_get_exdate(p)));
        return days;
    }
};

// Every lunar month on its first, middle and last two days (leap months share them, 30th days
// only in long months, the months where ICU's Chinese calendar parts from the published one:
// a month that starts a day early or late moves its first and last days), every
// Gregorian-yearly day including 29 February, every weekday, and one-off memos at the edges.
TEST_F(IcalReaderTest, EveryExportedRuleExpandsToTheDaysTheGridShows)
{
    for (int m = 1; m <= 12; ++m) {
        // ICU works out every lunar month from the sun and moon: 30 days a month would take a minute.
        FillFile(0, m, 0, 0, "L" + std::to_string(m) + "-", {1, 15, 29, 30});
        FillFile(1, m, 1, DaysInMonth(2000, m), "S" + std::to_string(m) + "-");
    }
    FillFile(-1, 0, 0, 6, "W");
    FillFile(1900, 2, 1, 1, "O190002-");
    FillFile(2024, 2, 29, 29, "O202402-");
    FillFile(2049, 12, 31, 31, "O204912-");
    const std::map<std::string, std::set<long>> shown = ShownDays();
    ASSERT_EQ(shown.size(), 12u * 4 + 366 + 7 + 3);

    std::vector<ExchangeNote> notes;
    ExportReport report;
    const std::string ics = ExportIcal(ReadMemoFolder(DefaultCalendarFolder(), notes), ExportOptions{}, report);
    EXPECT_TRUE(notes.empty());
    EXPECT_TRUE(report.m_notes.empty());

    icalcomponent* cal = icalparser_parse_string(ics.c_str());
    ASSERT_NE(cal, nullptr);
    EXPECT_EQ(icalcomponent_count_errors(cal), 0);
    std::set<std::string> seen;
    for (icalcomponent* ev = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); ev;
         ev = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
        const std::string text = icalcomponent_get_summary(ev);
        const auto it = shown.find(text);
        ASSERT_NE(it, shown.end()) << text;
        const std::set<long> expanded = Expand(ev);
        std::vector<std::string> missing, extra;
        for (long d : it->second)
            if (!expanded.count(d))
                missing.push_back(FormatDate(d));
        for (long d : expanded)
            if (!it->second.count(d))
                extra.push_back(FormatDate(d));
        EXPECT_TRUE(missing.empty() && extra.empty())
            << text << ": " << missing.size() << " days missing (first " << (missing.empty() ? "" : missing[0]) << "), "
            << extra.size() << " extra (first " << (extra.empty() ? "" : extra[0]) << ")";
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), shown.size());
    icalcomponent_free(cal);
}

// The dated form for readers without RSCALE: libical, and python-icalendar with dateutil, read
// it, and the events of a span are the shown days of that span.
TEST_F(IcalReaderTest, ExpandedLunarMemosAreTheShownDaysOfTheSpan)
{
    FillFile(0, 4, 17, 17, "L4-");  // 2020 has a leap fourth month
    ExportOptions options;
    options.m_nExpandFrom = 2020;
    options.m_nExpandTo = 2040;
    options.m_calendarName = kExportCalendarName;
    std::vector<ExchangeNote> notes;
    ExportReport report;
    const std::string ics = ExportIcal(ReadMemoFolder(DefaultCalendarFolder(), notes), options, report);
    icalcomponent* cal = icalparser_parse_string(ics.c_str());
    ASSERT_NE(cal, nullptr);
    std::string name;
    for (icalproperty* p = icalcomponent_get_first_property(cal, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(cal, ICAL_X_PROPERTY))
        if (std::string(icalproperty_get_x_name(p)) == "X-WR-CALNAME")
            name = icalproperty_get_x(p);
    EXPECT_EQ(name, kExportCalendarName);
    std::set<long> days;
    for (icalcomponent* ev = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); ev;
         ev = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
        EXPECT_EQ(icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY), nullptr);
        days.insert(DayOf(icalcomponent_get_dtstart(ev)));
    }
    icalcomponent_free(cal);
    std::set<long> expected;
    const std::map<std::string, std::set<long>> shown = ShownDays();
    for (long d : shown.at("L4-17")) {
        int y, m, dd;
        CivilFromDays(d, y, m, dd);
        if (y >= 2020 && y <= 2040)
            expected.insert(d);
    }
    EXPECT_EQ(days, expected);
    EXPECT_EQ(expected.size(), 21u + 1);  // one a year, and the leap fourth month

    // The corpus's dateutil reader prints the days of every event up to 2035.
    std::filesystem::create_directory("dated");
    std::ofstream("dated/almanix.ics", std::ios::binary) << ics;
    FILE* pipe = ::popen("/usr/bin/python3 " ALMANIX_SOURCE_DIR "/tests/unit/ical_corpus_dateutil.py dated", "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        out.append(buf, n);
    ASSERT_EQ(::pclose(pipe), 0) << "python3-icalendar and python3-dateutil are needed";
    std::set<long> theirs;
    for (std::size_t at = 0; (at = out.find("\t", at)) != std::string::npos;) {
        const std::size_t list = out.find('\t', at + 1) + 1;
        at = out.find('\n', list);
        for (std::size_t d = list; d + 8 <= at; d += 9)
            theirs.insert(DaysFromCivil(
                std::stoi(out.substr(d, 4)), std::stoi(out.substr(d + 4, 2)), std::stoi(out.substr(d + 6, 2))));
    }
    EXPECT_EQ(theirs, std::set<long>(expected.begin(), expected.upper_bound(DaysFromCivil(2035, 12, 31))));
}

}  // namespace
