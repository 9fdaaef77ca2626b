// The sync's decisions for each combination of local, server and agreed state; the state file;
// the event bodies a memo goes to the server as.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memo/memo_store.h"
#include "scratch_folder.h"
#include "sync/sync_engine.h"
#include "sync/sync_schedule.h"

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

}  // namespace

// local/agreed/server: null = absent; server "=" = as agreed (listed with the old ETag).
TEST(SyncPlan, OneDecisionPerCombination)
{
    struct Case {
        const char* local;
        const char* agreed;
        const char* server;
        SyncOp op;
        const char* result;  // the text both sides hold afterwards
        const char* ifMatch;
        bool bNew;
        bool cautious = false;
    };
    const Case cases[] = {
        {"a", nullptr, nullptr, SyncOp::Upload, "a", "", true},     // new here
        {nullptr, nullptr, "s", SyncOp::Download, "s", "", false},  // new there
        {"a", nullptr, "a", SyncOp::Agree, "a", "", false},         // same on both already
        {"a", nullptr, "s", SyncOp::Merge, "s\r\n【本机】a", "\"2\"", false},
        {"b", "a", "=", SyncOp::Upload, "b", "\"1\"", false},            // edited here
        {nullptr, "a", "=", SyncOp::DeleteRemote, "a", "\"1\"", false},  // removed here
        {"a", "a", "s", SyncOp::Download, "s", "", false},               // edited there
        {nullptr, "a", "s", SyncOp::Download, "s", "", false},           // edit there beats removal here
        {"b", "a", "s", SyncOp::Merge, "s\r\n【本机】b", "\"2\"", false},
        {"b", "a", "b", SyncOp::Agree, "b", "", false},            // same edit on both
        {"a", "a", nullptr, SyncOp::DeleteLocal, "a", "", false},  // removed there
        {"b", "a", nullptr, SyncOp::Upload, "b", "", true},        // edit here beats removal there
        {nullptr, "a", nullptr, SyncOp::Forget, "a", "", false},
        // Cautious (memos saved while the last sync ran): nothing the sync brought is undone.
        {"old", "new", "=", SyncOp::Merge, "new\r\n【本机】old", "\"1\"", false, true},
        {"new and more", "new", "=", SyncOp::Merge, "new and more", "\"1\"", false, true},
        {nullptr, "new", "=", SyncOp::Download, "new", "", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.local ? c.local : "-") + "/" + (c.agreed ? c.agreed : "-") + "/" +
            (c.server ? c.server : "-"));
        std::vector<MemoItem> local;
        if (c.local)
            local.push_back(Memo(c.local));
        SyncState state;
        if (c.agreed)
            state.m_records.push_back({Memo(c.agreed), kHref, "\"1\"", MemoUid(Memo(""))});
        std::vector<ServerEntry> listing;
        std::vector<FetchedEvent> fetched;
        if (c.server) {
            const bool same = std::string(c.server) == "=";
            listing.push_back({kHref, same ? "\"1\"" : "\"2\""});
            if (!same)
                fetched.push_back({kHref, "\"2\"", MemoUid(Memo("")), true, Memo(c.server)});
        }
        EXPECT_EQ(HrefsToFetch(state, listing).size(), fetched.size());
        const std::vector<SyncAction> actions = PlanSync(local, state, listing, fetched, kCol, c.cautious);
        ASSERT_EQ(actions.size(), 1u);
        EXPECT_EQ(static_cast<int>(actions[0].m_op), static_cast<int>(c.op));
        EXPECT_EQ(actions[0].m_item.m_text, c.result);
        EXPECT_EQ(actions[0].m_href, kHref);
        EXPECT_EQ(actions[0].m_ifMatch, c.ifMatch);
        EXPECT_EQ(actions[0].m_bNew, c.bNew);
    }
}

TEST(SyncPlan, UnchangedAndForeignEventsAreLeftAlone)
{
    SyncState state;
    state.m_records.push_back({Memo("a"), kHref, "\"1\"", "u"});
    state.m_records.push_back({MemoItem{}, "/u/cal/todo.ics", "\"7\"", "t"});
    const std::vector<ServerEntry> listing = {
        {kHref, "\"1\""}, {"/u/cal/todo.ics", "\"7\""}, {"/u/cal/new.ics", "\"9\""}};
    const std::vector<FetchedEvent> fetched = {{"/u/cal/new.ics", "\"9\"", "n", false, MemoItem{}}};
    EXPECT_EQ(HrefsToFetch(state, listing), std::vector<std::string>{"/u/cal/new.ics"});
    const std::vector<SyncAction> actions = PlanSync({Memo("a")}, state, listing, fetched, kCol);
    ASSERT_EQ(actions.size(), 1u);  // only the new foreign event is remembered; nothing deleted
    EXPECT_EQ(static_cast<int>(actions[0].m_op), static_cast<int>(SyncOp::Foreign));
    EXPECT_EQ(actions[0].m_item.m_nKind, 0);
}

TEST(SyncPlan, MergeKeepsBothTextsOnceAndFitsAMemo)
{
    EXPECT_EQ(MergeTexts("s", "a"), "s\r\n【本机】a");
    EXPECT_EQ(MergeTexts("s", "s\r\n【本机】a"), "s\r\n【本机】a");  // merged already, before a crash
    EXPECT_EQ(MergeTexts("s and a", "a"), "s and a");
    const std::string big(MEMO_MAX_TEXT_LENGTH - 10, 'x');
    const std::string merged = MergeTexts(big, "中文中文中文中文");
    EXPECT_LE(merged.size(), static_cast<std::size_t>(MEMO_MAX_TEXT_LENGTH));
    EXPECT_EQ(merged.size() % 2, big.size() % 2);  // whole two-byte characters only
}

TEST(SyncState, FileRoundTripAndRefusals)
{
    ScratchFolder folder("sync-state");
    ASSERT_TRUE(folder.Ready());
    SyncState state;
    state.m_calendar = "https://dav.example/u/cal/";
    state.m_bNoRscale = true;
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
    EXPECT_FALSE(ParseSyncState("ALMANIX-SYNC 1\tx\trscale\t\t\n5\t0\t0\t0\t0\t/h\t\t\t\n", back));  // kind 5
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
