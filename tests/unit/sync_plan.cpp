// The sync's decisions for each combination of local, server and agreed state; the state file;
// the event bodies a memo goes to the server as.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memo/memo_store.h"
#include "scratch_folder.h"
#include "sync/sync_engine.h"
#include "sync/event_patch.h"
#include "sync/memo_parts.h"
#include "sync/sync_schedule.h"
#include "text/gbcodec.h"

#include <map>

namespace {

MemoItem Memo(const char* text, std::uint32_t flags = 0)
{
    MemoItem m;
    m.m_nKind = MEMO_KIND_ONCE;
    m.m_nFileYear = 2026;
    m.m_nFileMonth = 12;
    m.m_nSlot = 7;
    m.m_dwFlags = flags;
    m.m_text = text;
    return m;
}

const char kCol[] = "/u/cal/";
const char kHref[] = "/u/cal/once-20261207-almanix.memo.ics";

MemoItem At(int day, const char* text)
{
    MemoItem m = Memo(text);
    m.m_nSlot = day;
    return m;
}

std::string HrefOf(int i)
{
    return std::string(kCol) + "e" + std::to_string(i) + ".ics";
}

std::string Ops(const SyncPlan& plan)
{
    std::string ops;
    for (const SyncAction& a : plan.m_actions)
        ops += a.m_bMerged ? 'M' : "CUXRF"[static_cast<int>(a.m_op)];
    return ops;
}

}  // namespace

// One day's slot against the events both sides agreed on (one part each), with what the
// server holds now for each of them ("=": as agreed, null: gone, else its new text on day 7,
// or "@8 text": moved to day 8), and events the state does not know.
TEST(SyncPlan, EveryEventKeepsItsOwnPart)
{
    struct Case {
        const char* local;
        std::vector<const char*> agreed, server, added;
        const char* ops;        // C create, U update, X delete there, R record, F forget, M merged
        const char* day7;       // the slot afterwards, when it is written
        const char* day8 = nullptr;
        bool cautious = false;
    };
    const Case cases[] = {
        {"a", {}, {}, {}, "C", nullptr},                            // new here
        {nullptr, {}, {}, {"s"}, "R", "s"},                         // new there
        {"a", {}, {}, {"a"}, "R", nullptr},                         // the same on both: bound, no copy
        {"a", {}, {}, {"s"}, "RC", "a\r\n\r\ns"},                   // first sync: both kept, each an event
        {"a\r\nb", {}, {}, {"a", "b"}, "RR", "a\r\n\r\nb"},         // two events joined by an older version
        {"a\r\n\r\nb", {"a", "b"}, {"=", "="}, {}, "", nullptr},    // unchanged
        {"b\r\n\r\na", {"a", "b"}, {"=", "="}, {}, "", nullptr},    // only the order
        {"a\r\n\r\nb2", {"a", "b"}, {"=", "="}, {}, "U", nullptr},  // one part edited: that event
        {"a\r\n\r\nb\r\n\r\nc", {"a", "b"}, {"=", "="}, {}, "C", nullptr},  // a new part: a new event
        {"b", {"a", "b"}, {"=", "="}, {}, "X", nullptr},                    // a part removed: that event
        {"a\r\n\r\nb", {"a", "b"}, {"=", "s"}, {}, "R", "a\r\n\r\ns"},      // edited there
        {"a\r\n\r\nb", {"a", "b"}, {"=", nullptr}, {}, "F", "a"},           // removed there
        {"a\r\n\r\nb", {"a", "b"}, {"=", "@8 b"}, {}, "R", "a", "b"},       // moved there
        {"a\r\n\r\nb2", {"a", "b"}, {"=", "@8 s"}, {}, "M", "a", "s\r\n【本机】b2"},  // moved there, edited here
        {"a\r\n\r\nb2", {"a", "b"}, {"=", "s"}, {}, "M", "a\r\n\r\ns\r\n【本机】b2"},
        {"a\r\n\r\nb2", {"a", "b"}, {"=", "b2"}, {}, "R", nullptr},  // the same edit on both
        {"a2", {"a"}, {"a"}, {}, "U", nullptr},  // a new ETag for the same text is no conflict
        {"a\r\n\r\nb2", {"a", "b"}, {"=", nullptr}, {}, "C", nullptr},  // edited here, removed there: up again
        {"a", {"a", "b"}, {"=", "s"}, {}, "R", "a\r\n\r\ns"},           // an edit there beats a removal here
        {"a", {"a", "b"}, {"=", nullptr}, {}, "F", nullptr},
        // New on both sides at once; a day's events stand in the order of their UIDs on every computer.
        {"a\r\n\r\nb", {"a"}, {"="}, {"c"}, "RC", "b\r\n\r\nc\r\n\r\na"},
        // Cautious: nothing the last sync brought is undone.
        {"old", {"new"}, {"="}, {}, "M", "new\r\n【本机】old", nullptr, true},
        {"a", {"a", "b"}, {"=", "="}, {}, "R", "a\r\n\r\nb", nullptr, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        SyncInputs in;
        in.m_collection = kCol;
        if (c.local)
            in.m_local.push_back(At(7, c.local));
        SyncState state;
        for (std::size_t k = 0; k < c.agreed.size(); ++k) {
            state.m_records.push_back({At(7, c.agreed[k]), HrefOf(k), "\"1\"", "u" + std::to_string(k)});
            if (!c.server[k])
                continue;
            const std::string now = c.server[k];
            if (now == "=") {
                in.m_listing.push_back({HrefOf(k), "\"1\""});
                continue;
            }
            in.m_listing.push_back({HrefOf(k), "\"2\""});
            const bool moved = now[0] == '@';
            in.m_fetched.push_back({HrefOf(k), "\"2\"", "u" + std::to_string(k),
                {At(moved ? 8 : 7, moved ? now.substr(3).c_str() : now.c_str())}, "BEGIN:VCALENDAR"});
        }
        for (std::size_t k = 0; k < c.added.size(); ++k) {
            const std::string href = HrefOf(100 + k);
            in.m_listing.push_back({href, "\"9\""});
            in.m_fetched.push_back({href, "\"9\"", "p" + std::to_string(k), {At(7, c.added[k])}, ""});
        }
        in.m_bCautious = c.cautious;
        EXPECT_EQ(HrefsToFetch(state, in.m_listing).size(), in.m_fetched.size());
        const SyncPlan plan = PlanSync(in, state);
        EXPECT_EQ(Ops(plan), c.ops);
        std::map<int, std::string> writes;
        for (const SlotWrite& w : plan.m_writes)
            writes[w.m_after.m_nSlot] = w.m_after.m_text;
        EXPECT_EQ(writes.count(7) ? writes[7] : "(not written)", c.day7 ? c.day7 : "(not written)");
        if (c.day8) {
            EXPECT_EQ(writes[8], c.day8);
        }
    }
}

// An event on days 7 and 8 (two days of a trip, or a repeat with a changed occurrence): an
// edit on one day is the event's, a day cleared here comes back, both cleared delete it.
TEST(SyncPlan, AnEventOnSeveralDays)
{
    struct Case {
        const char* day7;
        const char* day8;
        std::vector<int> serverDays;  // empty: as agreed (days 7 and 8, "trip")
        const char* ops;
        const char* after7;  // the slots afterwards ("-": not written)
        const char* after8;
        const char* after9 = "-";
    };
    const Case cases[] = {
        {"trip", "trip", {}, "", "-", "-"},
        {"trip!", "trip", {}, "U", "-", "trip!"},
        {"trip", nullptr, {}, "R", "-", "trip"},
        {nullptr, nullptr, {}, "X", "-", "-"},
        {"trip", "trip", {8, 9}, "R", "", "-", "trip"},  // moved on by a day there
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        SyncInputs in;
        in.m_collection = kCol;
        if (c.day7)
            in.m_local.push_back(At(7, c.day7));
        if (c.day8)
            in.m_local.push_back(At(8, c.day8));
        SyncState state;
        for (int day : {7, 8})
            state.m_records.push_back({At(day, "trip"), HrefOf(0), "\"1\"", "u0"});
        in.m_listing.push_back({HrefOf(0), c.serverDays.empty() ? "\"1\"" : "\"2\""});
        if (!c.serverDays.empty()) {
            FetchedEvent f{HrefOf(0), "\"2\"", "u0", {}, "BEGIN:VCALENDAR"};
            for (int day : c.serverDays)
                f.m_items.push_back(At(day, "trip"));
            in.m_fetched.push_back(f);
        }
        const SyncPlan plan = PlanSync(in, state);
        EXPECT_EQ(Ops(plan), c.ops);
        std::map<int, std::string> writes;
        for (const SlotWrite& w : plan.m_writes)
            writes[w.m_after.m_nSlot] = w.m_after.m_text;
        for (auto [day, want] : {std::pair{7, c.after7}, {8, c.after8}, {9, c.after9}})
            EXPECT_EQ(writes.count(day) ? writes[day] : "-", want) << day;
    }
}

TEST(SyncPlan, UnreadableFilesAndForeignEntriesDeleteNothing)
{
    SyncState state;
    state.m_records.push_back({At(7, "a"), HrefOf(0), "\"1\"", "u0"});
    state.m_records.push_back({MemoItem{}, "/u/cal/todo.ics", "\"7\"", "t"});
    SyncInputs in;
    in.m_collection = kCol;
    in.m_listing = {{HrefOf(0), "\"1\""}, {"/u/cal/todo.ics", "\"7\""}, {"/u/cal/new.ics", "\"9\""}};
    in.m_fetched = {{"/u/cal/new.ics", "\"9\"", "n", {}, "BEGIN:VCALENDAR"}};
    in.m_unreadable.push_back(Memo(""));  // day 7's file broke off before its record
    const SyncPlan plan = PlanSync(in, state);
    EXPECT_EQ(Ops(plan), "R");  // only the new entry that is no memo is remembered
    EXPECT_EQ(plan.m_actions[0].First().m_item.m_nKind, 0);
    EXPECT_TRUE(plan.m_writes.empty());
}

TEST(SyncParts, SplitJoinAndAlign)
{
    EXPECT_EQ(SplitParts(" a \r\nb\r\n\r\n \r\n\r\nc\r\n"), (std::vector<std::string>{"a \r\nb", "c"}));
    EXPECT_EQ(JoinParts({"a", "", "b"}), "a\r\n\r\nb");
    EXPECT_EQ(PartOfText("x\r\n\r\ny"), "x\r\ny");
    struct Case {
        std::vector<std::string> before, now;
        std::vector<int> pair;
    };
    const Case cases[] = {
        {{"a", "b"}, {"b", "a"}, {1, 0}},                      // identical texts, anywhere
        {{"a\r\nx", "b"}, {"b", "a\r\ny"}, {1, 0}},            // a shared line
        {{"a", "b"}, {"a", "c", "d"}, {0, 1, -1}},             // no line shared: in order, the rest new
        {{"a", "b"}, {"a", "c"}, {0, 1}},                      // one left on each side: an edit
        {{"a", "b", "c"}, {"c"}, {2}},
        {{"09:45 P1"}, {"L2"}, {-1}},                          // a timed event's part replaced
        {{"17:00 P1"}, {"17:00 L2", "L3"}, {0, -1}},           // its time tells it, edited
        {{"17:00 P1", "x"}, {"18:00 P1", "y"}, {-1, 1}},       // another time is another event
    };
    for (const Case& c : cases)
        EXPECT_EQ(AlignParts(c.before, c.now), c.pair);
}

TEST(SyncState, FileRoundTripAndRefusals)
{
    ScratchFolder folder("sync-state");
    ASSERT_TRUE(folder.Ready());
    SyncState state;
    state.m_calendar = "https://dav.example/u/cal/";
    state.m_rscale = SyncState::Rscale::Dates;
    state.m_syncToken = "http://radicale.org/ns/sync/abc";
    state.m_ctag = "\"c1\"";
    state.m_records.push_back({Memo("line\r\ntab\there\\", 0xFFFFFFFFu), kHref, "\"1\"", "u"});
    state.m_records.push_back({MemoItem{}, "/u/cal/x.ics", "", "t"});
    ASSERT_EQ(SaveSyncState(SYNC_STATE_FILE, state), 0);
    SyncState back;
    ASSERT_EQ(LoadSyncState(SYNC_STATE_FILE, state.m_calendar, back), 0);
    EXPECT_EQ(FormatSyncState(back), FormatSyncState(state));
    EXPECT_EQ(back.m_records[0].m_item.m_text, "line\r\ntab\there\\");
    // Another calendar's state, or a damaged file, counts as none.
    EXPECT_EQ(LoadSyncState(SYNC_STATE_FILE, "https://other/", back), -1);
    EXPECT_TRUE(back.m_records.empty());
    std::string cut = FormatSyncState(state);
    cut.pop_back();
    EXPECT_FALSE(ParseSyncState(cut, back));
    EXPECT_FALSE(ParseSyncState("ALMANIX-SYNC 2\tx\trscale\t\t\n5\t0\t0\t0\t0\t/h\t\t\t\n", back));  // kind 5
    // The version that kept one event per day: its records count as none, its rule choice stays.
    ASSERT_TRUE(ParseSyncState("ALMANIX-SYNC 1\tx\tdates\tt\t\n1\t7ea\tc\t7\t0\t/h\t\t\ta\n", back));
    EXPECT_TRUE(back.m_records.empty() && back.m_syncToken.empty());
    EXPECT_EQ(back.m_rscale, SyncState::Rscale::Dates);
}

// What goes to the server comes back as the same memo, in both forms of a lunar memo.
TEST(SyncEvent, BodiesComeBackAsTheSameMemo)
{
    MemoItem lunar = Memo("腊八");
    lunar.m_nKind = MEMO_KIND_LUNAR_YEARLY;
    lunar.m_nFileYear = 0;
    lunar.m_nFileMonth = 12;
    lunar.m_nSlot = 8;
    MemoItem weekly = Memo("例会\r\n三楼", MEMO_CUSTOM_COLOR | 0x00FF00);
    weekly.m_nKind = MEMO_KIND_WEEKLY;
    weekly.m_nFileYear = weekly.m_nFileMonth = 0;
    weekly.m_nSlot = 3;
    for (const MemoItem& m : {Memo("牙医"), lunar, weekly}) {
        for (bool dates : {false, true}) {
            const std::string body = MemoEventBody(m, "phone-uid-1", dates);
            SCOPED_TRACE(body.substr(0, 400));
            EXPECT_EQ(body.find("RSCALE") != std::string::npos, m.m_nKind == MEMO_KIND_LUNAR_YEARLY && !dates);
            if (m.m_nKind == MEMO_KIND_LUNAR_YEARLY && dates) {
                // One date for each of the calendar's 150 years, but for the first (DTSTART).
                const std::size_t at = body.find("RDATE;VALUE=DATE:");
                ASSERT_NE(at, std::string::npos);
                std::string list = body.substr(at);
                list = list.substr(0, list.find("\r\nX-"));
                EXPECT_GE(std::count(list.begin(), list.end(), ','), 145);
            }
            std::string uid;
            MemoItem back;
            ASSERT_TRUE(EventToMemo(body, uid, back));
            EXPECT_EQ(uid, "phone-uid-1");
            EXPECT_EQ(back.m_nKind, m.m_nKind);
            EXPECT_EQ(back.m_nFileYear, m.m_nFileYear);
            EXPECT_EQ(back.m_nFileMonth, m.m_nFileMonth);
            EXPECT_EQ(back.m_nSlot, m.m_nSlot);
            EXPECT_EQ(back.m_text, m.m_text);
            EXPECT_EQ(back.m_dwFlags, m.m_dwFlags);
        }
    }
}

// When syncs happen: events at times (s), and whether a sync is due at the probe time.
TEST(SyncSchedule, WhenSyncsAreDue)
{
    enum Ev { Start, Change, Began, EndedOk, EndedFail };
    struct Case {
        std::vector<std::pair<Ev, int>> events;
        int probe;
        bool due;
    };
    const Case cases[] = {
        {{}, 0, false},                                        // not started
        {{{Start, 0}}, 0, true},                               // at start
        {{{Start, 0}, {Began, 0}}, 1000, false},               // never two at once
        {{{Start, 0}, {Began, 0}, {EndedOk, 1}}, 900, false},  // 15 minutes later
        {{{Start, 0}, {Began, 0}, {EndedOk, 1}}, 901, true},
        {{{Start, 0}, {Began, 0}, {EndedOk, 1}, {Change, 10}}, 14, false},  // a few seconds after a change
        {{{Start, 0}, {Began, 0}, {EndedOk, 1}, {Change, 10}, {Change, 13}}, 16, false},  // a burst is one
        {{{Start, 0}, {Began, 0}, {EndedOk, 1}, {Change, 10}, {Change, 13}}, 18, true},
        {{{Start, 0}, {Began, 0}, {Change, 1}, {EndedOk, 2}}, 7, true},                       // changed during the sync
        {{{Start, 0}, {Began, 0}, {EndedFail, 1}}, 31, true},                                 // retries back off: 30 s,
        {{{Start, 0}, {Began, 0}, {EndedFail, 1}, {Began, 31}, {EndedFail, 32}}, 91, false},  // then 60 s
        {{{Start, 0}, {Began, 0}, {EndedFail, 1}, {Began, 31}, {EndedFail, 32}}, 92, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        CSyncSchedule s;
        for (auto [ev, t] : cases[i].events) {
            const std::int64_t ms = t * 1000LL;
            switch (ev) {
            case Start:
                s.Start(ms);
                break;
            case Change:
                s.LocalChange(ms);
                break;
            case Began:
                s.Began();
                break;
            case EndedOk:
                s.Ended(ms, true);
                break;
            case EndedFail:
                s.Ended(ms, false);
                break;
            }
        }
        EXPECT_EQ(s.Due(cases[i].probe * 1000LL), cases[i].due);
    }
}

// A memo edit changes only the text of a phone's event; every other line stays as it was.
TEST(SyncEvent, AnEditKeepsWhatTheMemoDoesNotShow)
{
    const std::string phone = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\n"
                              "UID:p1\r\nDTSTART:20261207T090000\r\nDTEND:20261207T100000\r\nSUMMARY:Standup\r\n"
                              "LOCATION:Room 5\r\nATTENDEE;CN=Li:mailto:li@example.com\r\nX-PHONE-TAG:keep\r\n"
                              "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nTRIGGER:-PT10M\r\n"
                              "END:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    struct Case {
        std::string edit;  // the memo's part now (GB18030)
        std::string text;  // what the patched event reads as
    };
    const Case cases[] = {
        {"09:00 Standup moved", "09:00 Standup moved"},
        {"09:00 Standup\r\nbring notes", "09:00 Standup\r\nbring notes"},
        {"10:00 Standup", "09:00 10:00 Standup"},  // a time the user typed is text, not the event's time
        {"09:00 站会", "09:00 站会"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit);
        const std::string body = PatchEventBody(phone, "09:00 Standup", c.edit, MEMO_KIND_ONCE, 0, false);
        for (const char* kept : {"DTEND:20261207T100000\r\n", "LOCATION:Room 5\r\n", "ATTENDEE;CN=Li:mailto:",
                 "X-PHONE-TAG:keep\r\n", "DESCRIPTION:Reminder\r\nTRIGGER:-PT10M\r\n", "UID:p1\r\n"})
            EXPECT_NE(body.find(kept), std::string::npos) << kept;
        std::string uid;
        MemoItem back;
        ASSERT_TRUE(EventToMemo(body, uid, back));
        EXPECT_EQ(back.m_text, c.text);
    }
    // Another program edits only the summary of an event of ours: the memo's further lines stay.
    for (const bool older : {false, true}) {
        std::string ours = MemoEventBody(Memo("买蛋糕\r\n巧克力的"), MemoUid(Memo("")), false);
        if (older) {  // written before the mark: DESCRIPTION repeats the summary
            const std::size_t d = ours.find("DESCRIPTION:");
            ours.insert(d + 12, almanix::GbToUtf8("买蛋糕") + "\\n");
            ours.erase(ours.find("X-ALMANIX-DESCRIPTION:REST\r\n"), 28);
        }
        const std::size_t s = ours.find("SUMMARY:");
        ours.replace(s, ours.find("\r\n", s) - s, "SUMMARY:" + almanix::GbToUtf8("买两个蛋糕"));
        std::string uid;
        MemoItem back;
        ASSERT_TRUE(EventToMemo(ours, uid, back));
        EXPECT_EQ(back.m_text, "买两个蛋糕\r\n巧克力的") << older;
    }
}

// A time typed at the start of an all-day event's text is its text.
TEST(SyncEvent, ATypedTimeIsText)
{
    const std::string body = MemoEventBody(Memo("09:00 Standup"), "u1", false);
    const std::string patched = PatchEventBody(body, "09:00 Standup", "09:00 Standup later", MEMO_KIND_ONCE, 0, false);
    EXPECT_NE(patched.find("SUMMARY:09:00 Standup later\r\n"), std::string::npos) << patched;
}
