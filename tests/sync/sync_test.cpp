// The sync against a real server (Radicale, Xandikos, Cyrus: the script that starts it picks
// which): each case on a fresh calendar and a fresh memo folder, the server checked and changed
// with curl as another client would.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "scratch_folder.h"
#include "sync/sync_settings.h"
#include "sync_support.h"

namespace {

void SetMemo(int year, int month, int slot, const std::string& text)
{
    CMemoStore store;
    ASSERT_EQ(store.Open(year, month), 0);
    ASSERT_EQ(store.SetEntry(slot, text.data(), static_cast<int>(text.size()), 0), 0);
}

std::string GetMemo(int year, int month, int slot)
{
    CMemoStore store;
    if (store.Open(year, month) != 0)
        return "<damaged>";
    const CMemoEntry& e = store.m_pEntries[slot];
    return e.m_pszText ? std::string(e.m_pszText, e.m_nLength) : "";
}

// curl at the server with the test user; its output (the HTTP code last, after a "|").
std::string Curl(const std::string& args)
{
    int rc = 0;
    return Shell("curl -s -u \"$ALMANIX_DAV_USER:$ALMANIX_DAV_PASS\" -w '|%{http_code}' " + args, rc);
}
std::string Url(const std::string& href)
{
    return "\"${ALMANIX_DAV_URL%/}" + href + "\"";
}
std::string PutEvent(const std::string& href, const std::string& uid, const char* start, const char* summary,
    const char* kind = "VEVENT")
{
    const std::string ics = std::string("BEGIN:VCALENDAR\\r\\nVERSION:2.0\\r\\nPRODID:-//phone//EN\\r\\nBEGIN:") +
        kind + "\\r\\nUID:" + uid + "\\r\\nDTSTAMP:20260101T000000Z\\r\\nDTSTART;VALUE=DATE:" + start +
        "\\r\\nSUMMARY:" + summary + "\\r\\nEND:" + kind + "\\r\\nEND:VCALENDAR\\r\\n";
    return Curl("-X PUT -H 'Content-Type: text/calendar' --data-binary \"$(printf '" + ics + "')\" " + Url(href));
}

struct Case : testing::Test {
    ScratchFolder m_folder{"sync"};
    CCalDavClient m_client;
    void Begin(const char* calendar)
    {
        ASSERT_TRUE(m_folder.PrepareMemos());
        std::string err;
        ASSERT_TRUE(OpenFreshCalendar(m_client, calendar, err)) << err;
    }
};

const char kOnce[] = "once-20261207-almanix.memo.ics";

}  // namespace

// One memo each way, removals each way, events of no memo kind left alone, and a second sync
// with nothing changed that only lists.
TEST_F(Case, BothWaysAndRemovals)
{
    Begin("both-ways");
    SetMemo(2026, 12, 7, "牙医");
    SetMemo(0, 12, 8, "腊八粥");  // lunar-yearly: Radicale refuses RSCALE, so it goes as dates
    SyncReport r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nUploaded, 2);
    const std::string col = m_client.Collection();
    EXPECT_NE(Curl(Url(col + kOnce)).find("SUMMARY:\xe7\x89\x99\xe5\x8c\xbb"), std::string::npos);  // 牙医, UTF-8
    const std::string lunar = Curl(Url(col + "lunar-1208-almanix.memo.ics"));
    EXPECT_NE(lunar.find("RDATE;VALUE=DATE:"), std::string::npos) << lunar;
    EXPECT_NE(lunar.find("X-ALMANIX-LUNAR:12-08"), std::string::npos);

    EXPECT_NE(PutEvent(col + "phone-1.ics", "phone-1", "20261210", u8"会议").find("|201"), std::string::npos);
    // A task beside the events, never a memo. A server that holds the calendar to its events
    // (Cyrus: 403 supported-calendar-component) has no task there to leave alone.
    const std::string todo = PutEvent(col + "todo-1.ics", "todo-1", "20261211", u8"买菜", "VTODO");
    const bool hasTodo = todo.find("|201") != std::string::npos;
    if (!hasTodo) {
        EXPECT_NE(todo.find("supported-calendar-component"), std::string::npos) << todo;
    }
    r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nDownloaded, 1);
    EXPECT_EQ(GetMemo(2026, 12, 10), "会议");
    EXPECT_EQ(GetMemo(2026, 12, 11), "");

    r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nRequests, 1);  // the listing, nothing else
    EXPECT_EQ(r.m_nUploaded + r.m_nDownloaded + r.m_nDeletedLocal + r.m_nDeletedRemote + r.m_nMerged, 0);

    EXPECT_NE(Curl("-X DELETE " + Url(col + "phone-1.ics")).find("|20"), std::string::npos);
    SetMemo(2026, 12, 7, "");
    r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nDeletedLocal, 1);
    EXPECT_EQ(r.m_nDeletedRemote, 1);
    EXPECT_EQ(GetMemo(2026, 12, 10), "");
    EXPECT_NE(Curl(Url(col + kOnce)).find("|404"), std::string::npos);
    if (hasTodo) {
        EXPECT_NE(Curl(Url(col + "todo-1.ics")).find("|200"), std::string::npos);  // never ours to delete
    }
    EXPECT_EQ(GetMemo(0, 12, 8), "腊八粥");
}

TEST_F(Case, ConflictKeepsBothTexts)
{
    Begin("conflict");
    SetMemo(2026, 12, 7, "三点");
    ASSERT_TRUE(SyncNow(m_client).m_bOk);
    // Changed on both sides: the phone rewrites the event, the calendar the memo.
    PutEvent(m_client.Collection() + kOnce, "once-20261207@almanix.memo", "20261207", u8"四点");
    SetMemo(2026, 12, 7, "三点半");
    SyncReport r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nMerged, 1);
    EXPECT_EQ(GetMemo(2026, 12, 7), "四点\r\n【本机】三点半");
    const std::string server = Curl(Url(m_client.Collection() + kOnce));
    EXPECT_NE(server.find("\xe3\x80\x90\xe6\x9c\xac\xe6\x9c\xba\xe3\x80\x91"), std::string::npos)
        << server;  // 【本机】
    r = SyncNow(m_client);
    EXPECT_EQ(r.m_nMerged + r.m_nUploaded + r.m_nDownloaded, 0);
}

// A wrong password, a server gone before and in the middle of a sync: a status in words, memo
// files untouched, and the next sync completes without duplicates.
TEST_F(Case, FailuresTouchNothing)
{
    Begin("failures");
    for (int d = 1; d <= 6; ++d)
        SetMemo(2026, 11, d, "记事" + std::to_string(d));
    CCalDavClient wrong;
    ASSERT_TRUE(wrong.Open(DavEnv("ALMANIX_DAV_URL"), DavEnv("ALMANIX_DAV_USER"), "wrong"));
    wrong.SetCollection(m_client.Collection());
    SyncReport r = SyncNow(wrong);
    EXPECT_FALSE(r.m_bOk);
    EXPECT_NE(r.m_status.find("(401)"), std::string::npos) << r.m_status;
    EXPECT_EQ(GetFileStamp(SYNC_STATE_FILE).m_nSize, 0u);  // no state written

    // The server stops after the listing and three uploads.
    struct Stopping : ICalendarClient {
        ICalendarClient& m_c;
        int m_nLeft;
        Stopping(ICalendarClient& c, int n) : m_c(c), m_nLeft(n) {}
        int List(std::vector<ServerEntry>& e) override { return m_c.List(e); }
        int Changes(
            const std::string& t, std::vector<ServerEntry>& c, std::vector<std::string>& r, std::string& n) override
        {
            return m_c.Changes(t, c, r, n);
        }
        int CollectionTag(std::string& c) override { return m_c.CollectionTag(c); }
        int Get(const std::string& h, std::string& b, std::string& e) override { return m_c.Get(h, b, e); }
        int Put(const std::string& h, const std::string& b, const std::string& m, std::string& e) override
        {
            if (m_nLeft-- == 0)
                ControlServer("stop");
            return m_c.Put(h, b, m, e);
        }
        int Multiget(const std::vector<std::string>& h, std::vector<FetchedBody>& b) override
        {
            return m_c.Multiget(h, b);
        }
        int Delete(const std::string& h, const std::string& m) override { return m_c.Delete(h, m); }
        int RscaleSupport(bool& chinese) override { return m_c.RscaleSupport(chinese); }
        std::string LastError() const override { return m_c.LastError(); }
    } stopping(m_client, 3);
    r = RunSync(stopping, [&] {
        SyncSetup s;
        s.m_calendar = m_client.Origin() + m_client.Collection();
        s.m_collection = m_client.Collection();
        s.m_calendarFolder = DefaultCalendarFolder();
        s.m_stateFile = SYNC_STATE_FILE;
        return s;
    }());
    EXPECT_FALSE(r.m_bOk);
    EXPECT_EQ(r.m_nUploaded, 3);
    EXPECT_FALSE(r.m_status.empty());
    r = SyncNow(m_client);  // still down
    EXPECT_FALSE(r.m_bOk);
    for (int d = 1; d <= 6; ++d)
        EXPECT_EQ(GetMemo(2026, 11, d), "记事" + std::to_string(d));

    ASSERT_TRUE(ControlServer("start"));
    r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nUploaded, 3);
    std::vector<ServerEntry> listing;
    ASSERT_EQ(m_client.List(listing), 207);
    EXPECT_EQ(listing.size(), 6u);
}

// A calendar-multiget gives each body byte for byte as a GET does, and says which one is gone.
TEST_F(Case, MultigetAsGet)
{
    Begin("multiget");
    const std::string col = m_client.Collection();
    std::string longText;
    for (int i = 0; i < 30; ++i)
        longText += u8"会议";  // folded by the server into lines of 75 octets
    EXPECT_NE(PutEvent(col + "a.ics", "a", "20261201", "a & <b>").find("|201"), std::string::npos);
    EXPECT_NE(PutEvent(col + "b.ics", "b", "20261202", longText.c_str()).find("|201"), std::string::npos);
    std::vector<FetchedBody> bodies;
    ASSERT_EQ(m_client.Multiget({col + "a.ics", col + "b.ics", col + "gone.ics"}, bodies), 207) << m_client.LastError();
    ASSERT_EQ(bodies.size(), 3u);
    for (const FetchedBody& b : bodies) {
        SCOPED_TRACE(b.m_href);
        std::string body, etag;
        if (b.m_href == col + "gone.ics") {
            EXPECT_EQ(b.m_nStatus, 404);
            continue;
        }
        ASSERT_EQ(m_client.Get(b.m_href, body, etag), 200);
        EXPECT_EQ(b.m_nStatus, 200);
        EXPECT_EQ(b.m_body, body);
        EXPECT_EQ(b.m_etag, etag);
    }
    bool chinese = false;
    EXPECT_EQ(m_client.RscaleSupport(chinese), 207);
    EXPECT_EQ(chinese, DavEnv("ALMANIX_DAV_SERVER") == "cyrus");  // the one that expands RSCALE rules
}

// Discovery offers the calendars that take events, not a task list another client made.
TEST_F(Case, DiscoveryOffersEventCalendars)
{
    Begin("events");
    std::string home;
    std::vector<CalendarInfo> calendars;
    ASSERT_EQ(m_client.Discover(home, calendars), 207);
    const std::string tasks = home + "tasks-only/";
    const std::string made =
        Curl("-X MKCALENDAR -H 'Content-Type: application/xml' --data '<c:mkcalendar xmlns:d=\"DAV:\" "
             "xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:set><d:prop><c:supported-calendar-component-set>"
             "<c:comp name=\"VTODO\"/></c:supported-calendar-component-set></d:prop></d:set></c:mkcalendar>' " +
            Url(tasks));
    ASSERT_NE(made.find("|201"), std::string::npos) << made;
    // Xandikos makes the calendar but not its component set (404 in the reply): it takes events.
    const bool tasksOnly = made.find("404") == std::string::npos;
    ASSERT_EQ(m_client.Discover(home, calendars), 207);
    bool events = false, todo = false;
    for (const CalendarInfo& c : calendars) {
        events = events || c.m_href == m_client.Collection();
        todo = todo || c.m_href == tasks;
    }
    EXPECT_TRUE(events);
    EXPECT_EQ(todo, !tasksOnly);
}

// Two memo folders (two computers) through one calendar end up with the same memos.
TEST_F(Case, TwoFoldersConverge)
{
    Begin("two-folders");
    const std::filesystem::path a = std::filesystem::current_path();
    ScratchFolder other("sync-b");
    ASSERT_TRUE(other.PrepareMemos());
    const std::filesystem::path b = std::filesystem::current_path();
    SetMemo(2026, 12, 24, "B 的记事");
    SetMemo(2026, 12, 25, "B 的圣诞");
    std::filesystem::current_path(a);
    SetMemo(2026, 12, 1, "A 的记事");
    SetMemo(2026, 12, 25, "A 的圣诞");
    for (const auto& folder : {a, b, a}) {
        std::filesystem::current_path(folder);
        const SyncReport r = SyncNow(m_client);
        ASSERT_TRUE(r.m_bOk) << r.m_status;
    }
    for (int day : {1, 24, 25}) {
        std::filesystem::current_path(a);
        const std::string inA = GetMemo(2026, 12, day);
        std::filesystem::current_path(b);
        EXPECT_EQ(GetMemo(2026, 12, day), inA) << day;
        EXPECT_FALSE(inA.empty());
    }
    std::filesystem::current_path(a);
    EXPECT_EQ(GetMemo(2026, 12, 25), "A 的圣诞\r\n\r\nB 的圣诞");  // each an event of its own
}

// Replies Radicale never sends, from odd_server.py: a status in words, and nothing written.
TEST(OddReplies, StatusInWordsAndNothingWritten)
{
    if (DavEnv("ALMANIX_ODD_URL").empty() || DavEnv("ALMANIX_TLS_URL").empty())
        GTEST_SKIP() << "no odd_server.py and no TLS server beside this server (radicale.sh has them)";
    ScratchFolder folder("sync-odd");
    ASSERT_TRUE(folder.PrepareMemos());
    SetMemo(2026, 12, 7, "不动");
    const struct {
        const char* mode;
        const char* words;
    } cases[] = {
        {"malformed", "XML"},
        {"redirect", "(301)"},
        {"error500", "(500)"},
        {"huge", "太大"},
        {"race412", "(412)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        CCalDavClient client;
        ASSERT_TRUE(client.Open(DavEnv("ALMANIX_ODD_URL") + c.mode + "/", "u", "p"));
        client.SetCollection(std::string("/") + c.mode + "/cal/");
        const SyncReport r = SyncNow(client);
        EXPECT_FALSE(r.m_bOk);
        EXPECT_NE(r.m_status.find(c.words), std::string::npos) << r.m_status;
        EXPECT_EQ(GetMemo(2026, 12, 7), "不动");
        if (std::string(c.mode) != "race412") {
            EXPECT_EQ(GetFileStamp(SYNC_STATE_FILE).m_nSize, 0u);
        }
    }
    // A server without sync reports: the getctag tells an unchanged calendar without a listing.
    CCalDavClient ctagOnly;
    ASSERT_TRUE(ctagOnly.Open(DavEnv("ALMANIX_ODD_URL") + "ctag/", "u", "p"));
    ctagOnly.SetCollection("/ctag/cal/");
    RemoveFile(SYNC_STATE_FILE);
    SyncReport first = SyncNow(ctagOnly);
    EXPECT_TRUE(first.m_bOk) << first.m_status;
    EXPECT_EQ(first.m_nDownloaded, 1);
    EXPECT_EQ(GetMemo(2026, 12, 3), "ctag");
    SyncReport second = SyncNow(ctagOnly);
    EXPECT_TRUE(second.m_bOk);
    EXPECT_EQ(second.m_nRequests, 2);  // the refused sync report, the getctag
    // Discovery follows redirects within the server only: the password goes nowhere else.
    CCalDavClient redirected;
    ASSERT_TRUE(redirected.Open(DavEnv("ALMANIX_ODD_URL") + "redirect/", "u", "p"));
    std::string home;
    std::vector<CalendarInfo> calendars;
    EXPECT_EQ(redirected.Discover(home, calendars), 301);
    // A certificate that does not verify ends the sync; it is never ignored.
    CCalDavClient untrusted;
    ASSERT_TRUE(untrusted.Open(DavEnv("ALMANIX_TLS_URL"), DavEnv("ALMANIX_DAV_USER"), DavEnv("ALMANIX_DAV_PASS")));
    untrusted.SetCollection("/almanix/");
    const SyncReport r = SyncNow(untrusted);
    EXPECT_FALSE(r.m_bOk);
    EXPECT_NE(r.m_status.find("安全连接"), std::string::npos) << r.m_status;
    // Plain http is for this computer only.
    CCalDavClient remote;
    EXPECT_FALSE(remote.Open("http://dav.example.com/cal/", "u", "p"));
    EXPECT_NE(remote.LastError().find("https"), std::string::npos);
}

// The stored settings keep the password encrypted for the Windows user (the worker and the
// dialog that use them run in the end-to-end case).
TEST(SyncSettings, PasswordIsStoredEncrypted)
{
    SyncSettings s;
    s.m_server = "https://dav.example.com/";
    s.m_user = "u";
    s.m_password = "s3cret-pw";
    ASSERT_EQ(SaveSyncSettings(s), 0);
    wchar_t stored[4096] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Kestrin\\Almanix\\Sync", L"Password", RRF_RT_REG_SZ, nullptr,
                  stored, &size),
        ERROR_SUCCESS);
    const std::wstring raw(stored);
    EXPECT_EQ(raw.find(L"s3cret"), std::wstring::npos);
    EXPECT_GT(raw.size(), 40u);
    SyncSettings back;
    ASSERT_TRUE(LoadSyncSettings(back));
    EXPECT_EQ(back.m_password, s.m_password);
    EXPECT_EQ(UnprotectPassword("00" + ProtectPassword("x").substr(2)), "");  // damaged: nothing
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Kestrin\\Almanix\\Sync");
}

// Elements count by namespace and local name: a look-alike in another namespace is nothing.
TEST(Multistatus, ElementsByNamespace)
{
    const std::string xml =
        "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" xmlns:x=\"urn:other\">"
        "<d:response><d:href>/a/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/><x:calendar/>"
        "</d:resourcetype><x:getetag>\"x\"</x:getetag></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>"
        "</d:response><d:response><d:href>/b/</d:href><x:propstat><d:prop><d:getetag>\"y\"</d:getetag></d:prop>"
        "<d:status>HTTP/1.1 200 OK</d:status></x:propstat><d:propstat><d:prop><d:getetag>\"z\"</d:getetag></d:prop>"
        "<d:status>HTTP/1.1 404 Not Found</d:status></d:propstat></d:response></d:multistatus>";
    std::vector<DavResponse> rs;
    std::string err;
    ASSERT_TRUE(ParseMultistatus(xml, rs, err)) << err;
    ASSERT_EQ(rs.size(), 2u);
    EXPECT_TRUE(rs[0].m_bCollection);
    EXPECT_FALSE(rs[0].m_bCalendar);
    EXPECT_EQ(rs[0].Prop("DAV:", "getetag"), nullptr);
    EXPECT_TRUE(rs[1].m_props.empty());
}

// Replies no Radicale sends: calendar-data in CDATA, a supported-rscale-set with CHINESE, a
// sync report without a sync-token (answered as it came: the sync lists instead).
TEST(OddReplies, CdataBodiesRscaleNoToken)
{
    if (DavEnv("ALMANIX_ODD_URL").empty())
        GTEST_SKIP() << "no odd_server.py beside this server (radicale.sh has it)";
    CCalDavClient cdata;
    ASSERT_TRUE(cdata.Open(DavEnv("ALMANIX_ODD_URL") + "cdata/", "u", "p"));
    ASSERT_TRUE(cdata.SetCollection("/cdata/cal/"));
    std::vector<FetchedBody> bodies;
    ASSERT_EQ(cdata.Multiget({"/cdata/cal/a.ics"}, bodies), 207) << cdata.LastError();
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0].m_body,
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:a\r\nDTSTAMP:20260101T000000Z\r\n"
        "DTSTART;VALUE=DATE:20261203\r\nSUMMARY:a <b> & c\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    EXPECT_EQ(bodies[0].m_etag, "\"a1\"");
    CCalDavClient rscale;
    ASSERT_TRUE(rscale.Open(DavEnv("ALMANIX_ODD_URL") + "rscale/", "u", "p"));
    ASSERT_TRUE(rscale.SetCollection("/rscale/cal/"));
    bool chinese = false;
    EXPECT_EQ(rscale.RscaleSupport(chinese), 207);
    EXPECT_TRUE(chinese);
    CCalDavClient noToken;
    ASSERT_TRUE(noToken.Open(DavEnv("ALMANIX_ODD_URL") + "notoken/", "u", "p"));
    ASSERT_TRUE(noToken.SetCollection("/notoken/cal/"));
    std::vector<ServerEntry> changed;
    std::vector<std::string> removed;
    std::string token = "old";
    EXPECT_EQ(noToken.Changes("t1", changed, removed, token), 207);
    EXPECT_EQ(token, "");
}

// Discovery follows the service to another of its hosts (iCloud's calendars are on
// pNN-caldav.icloud.com; here this computer's other name), and nowhere else.
TEST(Discovery, FollowsTheServiceToAnotherHostOnly)
{
    if (DavEnv("ALMANIX_ODD_URL").empty())
        GTEST_SKIP() << "no odd_server.py beside this server (radicale.sh has it)";
    const std::string odd = DavEnv("ALMANIX_ODD_URL");  // http://127.0.0.1:PORT/
    const std::string port = odd.substr(odd.rfind(':') + 1, odd.size() - odd.rfind(':') - 2);
    const std::string there = "http://localhost:" + port + "/elsewhere/home/";
    CCalDavClient client;
    ASSERT_TRUE(client.Open(odd + "elsewhere/", "u", "p"));
    std::string home;
    std::vector<CalendarInfo> calendars;
    ASSERT_EQ(client.Discover(home, calendars), 207) << client.LastError();
    EXPECT_EQ(home, there);
    ASSERT_EQ(calendars.size(), 1u);  // not the task list, the read-only one, the one elsewhere
    EXPECT_EQ(calendars[0].m_href, there + "cal/");

    // As the worker does with the stored calendar: the requests go to its host.
    CCalDavClient later;
    ASSERT_TRUE(later.Open(odd + "elsewhere/", "u", "p"));
    ASSERT_TRUE(later.SetCollection(calendars[0].m_href));
    EXPECT_EQ(later.Origin() + later.Collection(), there + "cal/");
    bool chinese = true;
    EXPECT_EQ(later.RscaleSupport(chinese), 207);  // the server answers only on localhost
    EXPECT_FALSE(later.SetCollection("http://127.0.0.2:" + port + "/x/"));

    CCalDavClient outside;  // its home is on a host that is not this computer's
    ASSERT_TRUE(outside.Open(odd + "elsewhere/far/", "u", "p"));
    EXPECT_EQ(outside.Discover(home, calendars), 0);
    EXPECT_NE(outside.LastError().find("127.0.0.2"), std::string::npos);
}

namespace {

// The phone of the server script (phone.py, another real CalDAV client) on the case's calendar.
std::string Phone(const std::string& calendar, const std::string& args)
{
    int rc = 0;
    const std::string out = Shell("phone " + calendar + " " + args, rc);
    EXPECT_EQ(rc, 0) << args << "\n" << out;
    return out;
}

// The line of the phone's listing for an event (its main component), or "".
std::string ListedEvent(const std::string& listing, const std::string& uid)
{
    for (std::size_t pos = 0; pos < listing.size();) {
        std::size_t end = listing.find('\n', pos);
        if (end == std::string::npos)
            end = listing.size();
        const std::string line = listing.substr(pos, end - pos);
        pos = end + 1;
        if (line.find("\"uid\": \"" + uid + "\"") != std::string::npos &&
            line.find("\"recurrence_id\": null") != std::string::npos)
            return line;
    }
    return std::string();
}

// What the phone made and the memo does not show: everything but the texts.
std::string NonText(const std::string& line)
{
    const std::size_t a = line.find("\"props\": ");
    const std::size_t b = line.find(", \"recurrence_id\"");
    return a == std::string::npos || b == std::string::npos ? std::string() : line.substr(a, b - a);
}

}  // namespace

// The phone's events as the memos show them, each a part of its day: two on one day beside a
// memo typed here; an edit here changes only that event's text; a move there leaves the old
// day; a changed occurrence shows on its own day; a part removed here deletes only its event.
TEST_F(Case, PhoneEventsKeepTheirOwnParts)
{
    Begin("phone");
    const std::string cal = m_client.Collection();
    Phone(cal, "add ev1 20261207 Standup --time 0900-1000 --location Room5 --attendee mailto:li@example.com "
               "--alarm=-PT15M --x X-PHONE-TAG=keep");
    Phone(cal, "add ev2 20261207 Dentist");
    SetMemo(2026, 12, 7, "Mine");
    SyncReport r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(GetMemo(2026, 12, 7), "09:00 Standup\r\n\r\nDentist\r\n\r\nMine");
    const std::string before = NonText(ListedEvent(Phone(cal, "list"), "ev1"));
    ASSERT_NE(before.find("Room5"), std::string::npos) << before;

    SetMemo(2026, 12, 7, "09:00 Standup in 3F\r\n\r\nDentist\r\n\r\nMine");
    r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nUploaded, 1);
    std::string listing = Phone(cal, "list");
    EXPECT_NE(ListedEvent(listing, "ev1").find("\"summary\": \"Standup in 3F\""), std::string::npos) << listing;
    EXPECT_EQ(NonText(ListedEvent(listing, "ev1")), before);  // times, place, attendee, alarm, X- kept

    Phone(cal, "move ev2 20261208");
    Phone(cal, "retitle ev1 Standup-new");
    Phone(cal, "add ev3 20261209 Birthday --rrule FREQ=YEARLY");
    Phone(cal, "override ev3 20271209 --date 20271210");
    r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(GetMemo(2026, 12, 7), "09:00 Standup-new\r\n\r\nMine");
    EXPECT_EQ(GetMemo(2026, 12, 8), "Dentist");
    // A repeat with a changed occurrence shows on each of its days, the moved one on its new day.
    EXPECT_EQ(GetMemo(2026, 12, 9), "Birthday");
    EXPECT_EQ(GetMemo(2027, 12, 9), "");
    EXPECT_EQ(GetMemo(2027, 12, 10), "Birthday");
    Phone(cal, "cancel ev3 20281209");  // one occurrence cancelled there: gone here
    r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(GetMemo(2028, 12, 9), "");
    EXPECT_EQ(GetMemo(2026, 12, 9), "Birthday");
    r = SyncNow(m_client);  // nothing left over: no 412, no second upload
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nUploaded + r.m_nDownloaded + r.m_nMerged + r.m_nDeletedRemote + r.m_nDeletedLocal, 0);

    SetMemo(2026, 12, 7, "09:00 Standup-new");
    r = SyncNow(m_client);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nDeletedRemote, 1);
    listing = Phone(cal, "list");
    EXPECT_NE(ListedEvent(listing, "ev1"), "");
    EXPECT_NE(ListedEvent(listing, "ev2"), "");
    EXPECT_EQ(listing.find("once-20261207"), std::string::npos) << listing;
}

// An event the server will not store is named and never stops the others; a lunar rule it
// refuses goes again as dates.
TEST(OddReplies, ARefusedEventStopsNoOther)
{
    if (DavEnv("ALMANIX_ODD_URL").empty())
        GTEST_SKIP() << "no odd_server.py beside this server (radicale.sh has it)";
    ScratchFolder folder("sync-picky");
    ASSERT_TRUE(folder.PrepareMemos());
    SetMemo(2026, 12, 7, "REFUSE me");
    SetMemo(2026, 12, 8, "fine");
    SetMemo(0, 8, 15, "moon");  // lunar-yearly
    CCalDavClient client;
    ASSERT_TRUE(client.Open(DavEnv("ALMANIX_ODD_URL") + "picky/", "u", "p"));
    ASSERT_TRUE(client.SetCollection("/picky/cal/"));
    const SyncReport r = SyncNow(client);
    EXPECT_FALSE(r.m_bOk);
    EXPECT_EQ(r.m_nUploaded, 2);
    EXPECT_NE(r.m_status.find("记事“REFUSE me”未能上传：服务器拒收 (500)"), std::string::npos) << r.m_status;
    EXPECT_EQ(r.m_status.find("moon"), std::string::npos) << r.m_status;
}

// A memo file that breaks off deletes nothing on the server, and the result names it.
TEST_F(Case, ADamagedFileDeletesNothing)
{
    Begin("damaged");
    SetMemo(2026, 12, 7, "first");
    SetMemo(2026, 12, 8, "second");
    ASSERT_TRUE(SyncNow(m_client).m_bOk);
    const std::filesystem::path file = std::filesystem::current_path() / std::filesystem::u8path(u8"日历/202612");
    std::filesystem::resize_file(file, std::filesystem::file_size(file) - 3);  // the last record cut short
    const SyncReport r = SyncNow(m_client);
    EXPECT_FALSE(r.m_bOk);
    EXPECT_EQ(r.m_nDeletedRemote, 0);
    EXPECT_NE(r.m_status.find("202612"), std::string::npos) << r.m_status;
    std::vector<ServerEntry> listing;
    ASSERT_EQ(m_client.List(listing), 207);
    EXPECT_EQ(listing.size(), 2u);
}

// A calendar emptied on the phone is a question: nothing changes until the user answers, then
// the memos go up again, or the memo folder is emptied too.
TEST_F(Case, AnEmptiedCalendarIsAQuestion)
{
    Begin("emptied");
    SetMemo(2026, 12, 7, "keep me");
    ASSERT_TRUE(SyncNow(m_client).m_bOk);
    const std::string cal = m_client.Collection();
    Phone(cal, "empty");
    SyncReport r = SyncNow(m_client);
    EXPECT_EQ(r.m_question, SyncQuestion::ServerEmptied) << r.m_status << " " << r.m_nDeletedLocal << " "
                                                         << r.m_nRequests;
    EXPECT_EQ(GetMemo(2026, 12, 7), "keep me");
    r = SyncNow(m_client, SyncAnswer::Refill);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(r.m_nUploaded, 1);
    EXPECT_NE(Phone(cal, "list").find("keep me"), std::string::npos);

    // A calendar gone altogether is not an empty one (Cyrus here answers the DELETE of a
    // calendar with 404 "Mailbox does not exist" and keeps it).
    if (DavEnv("ALMANIX_DAV_SERVER") != "cyrus") {
        ASSERT_NE(Curl("-X DELETE " + Url(cal)).find("|20"), std::string::npos);
        r = SyncNow(m_client);
        EXPECT_FALSE(r.m_bOk);
        EXPECT_EQ(r.m_question, SyncQuestion::None);
        EXPECT_NE(r.m_status.find("服务器上已没有这个日历"), std::string::npos) << r.m_status;
        EXPECT_EQ(GetMemo(2026, 12, 7), "keep me");
    }

    std::string err;
    ASSERT_TRUE(OpenFreshCalendar(m_client, "emptied-2", err)) << err;
    ASSERT_TRUE(SyncNow(m_client).m_bOk);
    Phone(m_client.Collection(), "empty");
    r = SyncNow(m_client, SyncAnswer::EmptyBoth);
    ASSERT_TRUE(r.m_bOk) << r.m_status;
    EXPECT_EQ(GetMemo(2026, 12, 7), "");
}
