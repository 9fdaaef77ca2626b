#include "sync/sync_engine.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <set>
#include <unordered_map>

#include "ical/ical_format.h"
#include "memo/memo_store.h"
#include "sync/event_patch.h"
#include "sync/memo_parts.h"
#include "text/gbcodec.h"

namespace {

// The calendar's years: the dated form lists the memo's days over all of them.
constexpr int kFirstYear = 1900, kLastYear = 2049;
// Requests between two saves of the state: a sync killed in between repeats at most these.
constexpr int kSaveEvery = 100;
// Events one calendar-multiget asks for.
constexpr std::size_t kMultigetMax = 100;

struct Line {
    std::string m_head;  // name and parameters
    std::string m_value;
};

// The content lines of a calendar file, unfolded.
std::vector<Line> Lines(const std::string& ics)
{
    std::string text;
    text.reserve(ics.size());
    for (std::size_t i = 0; i < ics.size(); ++i) {
        if (ics[i] == '\r' && i + 2 < ics.size() && ics[i + 1] == '\n' && (ics[i + 2] == ' ' || ics[i + 2] == '\t')) {
            i += 2;
            continue;
        }
        text += ics[i];
    }
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string l = text.substr(pos, end - pos);
        pos = end + 2;
        const std::size_t colon = l.find(':');
        if (colon == std::string::npos)
            continue;
        lines.push_back({l.substr(0, colon), l.substr(colon + 1)});
    }
    return lines;
}

bool Named(const Line& l, const char* name)
{
    const std::size_t n = std::char_traits<char>::length(name);
    return l.m_head.compare(0, n, name) == 0 && (l.m_head.size() == n || l.m_head[n] == ';');
}

bool Success(int status)
{
    return status >= 200 && status <= 299;
}

// The server refused what it was sent, as opposed to not being reachable or not letting us in.
bool Refused(int status)
{
    return status >= 400 && status != 401 && status != 412;
}

const char* KindWords(int kind)
{
    switch (kind) {
    case MEMO_KIND_ONCE:
        return "记事";
    case MEMO_KIND_SOLAR_YEARLY:
        return "阳历每年记事";
    case MEMO_KIND_LUNAR_YEARLY:
        return "农历记事";
    default:
        return "每周记事";
    }
}

// "农历记事“中秋赏月”": the memo's kind and its first line, for a failure.
std::string MemoWords(const MemoItem& m)
{
    std::string first = m.m_text.substr(0, m.m_text.find("\r\n"));
    if (first.size() > 40) {
        std::size_t cut = 0;
        while (cut < first.size() && cut + almanix::GbCharLength(first, cut) <= 36)
            cut += almanix::GbCharLength(first, cut);
        first = first.substr(0, cut) + "…";
    }
    return std::string(KindWords(m.m_nKind)) + "“" + first + "”";
}

std::string Reason(int status, const std::string& error)
{
    if (status >= 400 && status < 500 && status != 401 && status != 403 && status != 404 && status != 412) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "服务器拒收 (%d)", status);
        return buf;
    }
    if (status >= 500) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "服务器拒收 (%d)", status);
        return buf;
    }
    return SyncStatusWords(status, error);
}

// Sets a slot through the memo store, only while it still holds what the sync read: a save
// made since (a memo dialog, the window) is never written over. 0; 1 when the slot changed
// since; -1 when the file is damaged or cannot be written.
int WriteSlotChecked(const std::string& folder, const SlotWrite& w)
{
    const MemoItem& m = w.m_before;
    CMemoStore store;
    const int nMax = m.m_nKind == MEMO_KIND_WEEKLY ? MEMO_WEEK_MAX_INDEX : MEMO_MONTH_MAX_INDEX;
    if (store.Reset(nMax, MemoFileOf(folder, m).c_str()) != 0 || store.Load() != 0 || m.m_nSlot < 0 ||
        m.m_nSlot > nMax)
        return -1;
    const CMemoEntry& e = store.m_pEntries[m.m_nSlot];
    const std::string now = e.m_pszText ? std::string(e.m_pszText, e.m_nLength) : std::string();
    if (now != m.m_text || (!now.empty() && e.m_dwFlags != m.m_dwFlags))
        return 1;
    const std::string& text = w.m_after.m_text;
    if (text.empty())
        return store.SetEntry(m.m_nSlot, nullptr, 0, 0);
    return store.SetEntry(m.m_nSlot, text.data(), static_cast<int>(text.size()), w.m_after.m_dwFlags);
}

// One sync, phase by phase: the state and the memo folder, the server's listing, the events
// that changed, the question of an emptied side, the plan, the writes and requests, the record.
class CSyncRun {
public:
    CSyncRun(ICalendarClient& client, const SyncSetup& setup) : m_client(client), m_setup(setup) {}
    SyncReport Run();

private:
    bool ReadLocal();
    bool ListServer();
    bool Gone(int status);
    bool FetchChanged();
    bool AskIfEmptied();
    void WriteSlots(const SyncPlan& plan);
    bool Apply(const SyncAction& a);
    bool Create(SyncRecord r);
    void Rename(SyncRecord& r);  // a new UID and name of our own, unique on the calendar
    void Keep(const std::vector<SyncRecord>& rs, const std::string& etag);
    bool Update(const SyncAction& a);
    bool PutMemo(const SyncRecord& r, const std::string& ifMatch, std::string& etag, int& status);
    int Fetch(const std::string& href, std::string& body, std::string& etag);
    bool UseRules();
    int SaveState(bool complete);
    void Fail(const SyncRecord& r, const char* what, int status);
    void Stop(int status) { m_rep.m_status = SyncStatusWords(status, m_client.LastError()); }
    int Count(int status)
    {
        ++m_rep.m_nRequests;
        return status;
    }

    ICalendarClient& m_client;
    const SyncSetup& m_setup;
    SyncReport m_rep;
    SyncState m_state;
    SyncInputs m_in;
    std::string m_token, m_ctag;
    bool m_bUnchangedListing = false;  // the server said nothing changed since the last sync
    bool m_bWrote = false;             // a PUT or DELETE went through
    bool m_bRefilled = false;          // the user had an emptied side filled again
    std::unordered_map<std::string, std::vector<SyncRecord>> m_records;  // by event
    std::set<MemoPlace> m_blocked;  // slots the sync could not write: what depends on them waits
    std::vector<std::string> m_failures;
    std::set<std::string> m_uids;
};

bool CSyncRun::ReadLocal()
{
    std::vector<ExchangeNote> notes;
    m_in.m_local = ReadMemoFolder(m_setup.m_calendarFolder, notes);
    for (const ExchangeNote& n : notes) {
        if (n.m_why != ExchangeWhy::DamagedFileRead)
            continue;
        // The note names the file; its kind and numbers come from the name.
        const std::string name = n.m_what.substr(n.m_what.find_last_of("\\/") + 1);
        MemoItem f;
        if (name == "week") {
            f.m_nKind = MEMO_KIND_WEEKLY;
        } else if (name.size() >= 3) {
            const int v = std::atoi(name.c_str());
            f.m_nFileYear = v / 100;
            f.m_nFileMonth = v % 100;
            f.m_nKind = f.m_nFileYear == 0 ? MEMO_KIND_LUNAR_YEARLY
                : f.m_nFileYear == 1       ? MEMO_KIND_SOLAR_YEARLY
                                           : MEMO_KIND_ONCE;
        }
        m_in.m_unreadable.push_back(f);
        m_failures.push_back("记事文件“" + almanix::Utf8ToGb(name) + "”已损坏：其中的记事没有同步，也不会在服务器上删除");
    }
    return true;
}

bool CSyncRun::ListServer()
{
    std::vector<ServerEntry>& listing = m_in.m_listing;
    int status = 0;
    if (!m_state.m_syncToken.empty()) {
        std::vector<ServerEntry> changed;
        std::vector<std::string> removed;
        status = Count(m_client.Changes(m_state.m_syncToken, changed, removed, m_token));
        if (status == 0 || status == 404)
            return Gone(status);
        if (status == 207 && !m_token.empty()) {
            std::unordered_map<std::string, std::string> now;
            for (const SyncRecord& r : m_state.m_records)
                now[r.m_href] = r.m_etag;
            for (const std::string& h : removed)
                now.erase(h);
            for (const ServerEntry& e : changed)
                now[e.m_href] = e.m_etag;
            for (auto& [href, etag] : now)
                listing.push_back({href, etag});
            m_bUnchangedListing = changed.empty() && removed.empty();
            return true;
        }
    }
    // From the start: the whole sync report, else the whole listing unless getctag says
    // nothing changed.
    std::vector<std::string> removed;
    status = Count(m_client.Changes("", listing, removed, m_token));
    if (status == 0 || status == 404)
        return Gone(status);
    if (status == 207 && !m_token.empty())
        return true;
    m_token.clear();
    listing.clear();
    status = Count(m_client.CollectionTag(m_ctag));
    if (status == 207 && !m_ctag.empty() && m_ctag == m_state.m_ctag) {
        for (const SyncRecord& r : m_state.m_records)
            listing.push_back({r.m_href, r.m_etag});
        m_bUnchangedListing = true;
        return true;
    }
    if (status == 0 || status == 401 || status == 404)
        return Gone(status);
    status = Count(m_client.List(listing));
    if (status != 207)
        return Gone(status);
    return true;
}

// A listing that failed: a calendar gone from the server (404) is told apart from an empty one.
bool CSyncRun::Gone(int status)
{
    m_rep.m_status = status == 404 ? "服务器上已没有这个日历（它被删除或改了地址）：请在同步设置中重新选择日历"
                                   : SyncStatusWords(status, m_client.LastError());
    return false;
}

int CSyncRun::Fetch(const std::string& href, std::string& body, std::string& etag)
{
    return Count(m_client.Get(href, body, etag));
}

bool CSyncRun::FetchChanged()
{
    const std::vector<std::string> hrefs = HrefsToFetch(m_state, m_in.m_listing);
    std::unordered_map<std::string, FetchedBody> got;
    bool multiget = true;
    for (std::size_t at = 0; at < hrefs.size(); at += kMultigetMax) {
        const std::vector<std::string> some(
            hrefs.begin() + at, hrefs.begin() + std::min(hrefs.size(), at + kMultigetMax));
        std::vector<FetchedBody> bodies;
        const int status = multiget ? Count(m_client.Multiget(some, bodies)) : -1;
        if (status == 0) {
            Stop(status);
            return false;
        }
        if (status == 207) {
            for (FetchedBody& b : bodies)
                got[b.m_href] = std::move(b);
            continue;
        }
        multiget = false;  // not offered: one GET each
        for (const std::string& href : some) {
            FetchedBody b;
            b.m_href = href;
            b.m_nStatus = Fetch(href, b.m_body, b.m_etag);
            if (b.m_nStatus != 200 && b.m_nStatus != 404) {
                Stop(b.m_nStatus);
                return false;
            }
            got[href] = std::move(b);
        }
    }
    std::set<std::string> gone;
    for (const std::string& href : hrefs) {
        auto it = got.find(href);
        if (it == got.end() || it->second.m_nStatus == 404) {
            gone.insert(href);  // removed since the listing: the next sync sees it gone
            continue;
        }
        FetchedEvent e;
        e.m_href = href;
        e.m_etag = it->second.m_etag;
        e.m_body = std::move(it->second.m_body);
        for (const ServerEntry& l : m_in.m_listing)
            if (l.m_href == href && e.m_etag.empty())
                e.m_etag = l.m_etag;
        EventToMemos(e.m_body, e.m_uid, e.m_items);
        m_in.m_fetched.push_back(std::move(e));
    }
    if (!gone.empty()) {
        std::vector<ServerEntry> present;
        for (const ServerEntry& l : m_in.m_listing)
            if (!gone.count(l.m_href))
                present.push_back(l);
        m_in.m_listing.swap(present);
    }
    return true;
}

// A side with none of the memos both agreed on, while the other still holds them, was
// emptied (a calendar cleared on the phone, another memo folder): a question for the user.
bool CSyncRun::AskIfEmptied()
{
    std::set<std::string> listed;
    for (const ServerEntry& e : m_in.m_listing)
        listed.insert(e.m_href);
    int agreed = 0, onServer = 0;
    for (const SyncRecord& r : m_state.m_records)
        if (r.IsMemo()) {
            ++agreed;
            onServer += listed.count(r.m_href) ? 1 : 0;
        }
    SyncQuestion q = SyncQuestion::None;
    if (agreed > 0 && onServer == 0 && !m_in.m_local.empty())
        q = SyncQuestion::ServerEmptied;
    else if (agreed > 0 && onServer > 0 && m_in.m_local.empty() && m_in.m_unreadable.empty())
        q = SyncQuestion::LocalEmptied;
    if (q == SyncQuestion::None)
        return true;
    if (m_setup.m_answer == SyncAnswer::EmptyBoth)
        return true;
    if (m_setup.m_answer == SyncAnswer::Refill) {
        // Compared afresh, each side fills the other: nothing is deleted anywhere. What the
        // server holds is fetched again, now that no record knows it.
        std::vector<SyncRecord> keep;
        for (SyncRecord& r : m_state.m_records)
            if (!r.IsMemo())
                keep.push_back(std::move(r));
        m_state.m_records.swap(keep);
        m_in.m_fetched.clear();
        m_bRefilled = true;
        return FetchChanged();
    }
    m_rep.m_question = q;
    m_rep.m_status = q == SyncQuestion::ServerEmptied ? "服务器上的日历已被清空，本机还有记事：请选择清空本机记事或重新上传"
                                                      : "本机的记事已被清空，服务器上还有：请选择清空服务器上的记事或从服务器取回";
    return false;
}

void CSyncRun::WriteSlots(const SyncPlan& plan)
{
    for (const SlotWrite& w : plan.m_writes) {
        const int rc = WriteSlotChecked(m_setup.m_calendarFolder, w);
        if (rc == 0)
            continue;
        m_blocked.insert(PlaceOf(w.m_before));
        if (rc < 0)
            m_failures.push_back(MemoWords(w.m_after.m_text.empty() ? w.m_before : w.m_after) + "未能写入记事文件");
    }
}

// Lunar memos as rules only where the calendar says it expands them; asked once per calendar.
bool CSyncRun::UseRules()
{
    if (m_state.m_rscale == SyncState::Rscale::Unknown) {
        bool chinese = false;
        const int status = Count(m_client.RscaleSupport(chinese));
        if (status == 0)
            return false;
        m_state.m_rscale = status == 207 && chinese ? SyncState::Rscale::Rules : SyncState::Rscale::Dates;
    }
    return m_state.m_rscale == SyncState::Rscale::Rules;
}

bool CSyncRun::PutMemo(const SyncRecord& r, const std::string& ifMatch, std::string& etag, int& status)
{
    const bool lunar = r.m_item.m_nKind == MEMO_KIND_LUNAR_YEARLY;
    const bool rules = lunar && UseRules();
    status = Count(m_client.Put(r.m_href, MemoEventBody(r.m_item, r.m_uid, lunar && !rules), ifMatch, etag));
    if (rules && Refused(status)) {
        // Refused as a rule: the dated form from now on, for this calendar.
        m_state.m_rscale = SyncState::Rscale::Dates;
        status = Count(m_client.Put(r.m_href, MemoEventBody(r.m_item, r.m_uid, true), ifMatch, etag));
    }
    return Success(status);
}

void CSyncRun::Fail(const SyncRecord& r, const char* what, int status)
{
    m_failures.push_back(MemoWords(r.m_item) + what + "：" + Reason(status, m_client.LastError()));
}

void CSyncRun::Keep(const std::vector<SyncRecord>& rs, const std::string& etag)
{
    std::vector<SyncRecord>& held = m_records[rs.front().m_href];
    held = rs;
    for (SyncRecord& r : held)
        r.m_etag = etag;
}

bool CSyncRun::Create(SyncRecord r)
{
    std::string etag;
    int status = 0;
    m_bWrote = true;
    if (PutMemo(r, "", etag, status)) {
    } else if (status == 412) {
        // The name is taken by an event this sync did not list: the same memo made by a sync
        // that was cut off, or another event; then the memo takes another name.
        std::string body, now;
        const int got = Fetch(r.m_href, body, now);
        std::string uid;
        MemoItem there;
        if (got == 200 && EventToMemo(body, uid, there) && there.m_text == r.m_item.m_text &&
            PlaceOf(there) == PlaceOf(r.m_item)) {
            r.m_uid = uid;
            Keep({r}, now);
            return true;
        }
        Rename(r);
        PutMemo(r, "", etag, status);
    } else if (status == 403 || status == 409) {
        // A server that keeps UIDs unique over all of a user's calendars (Cyrus) refuses one
        // that another calendar of the account holds: another UID of our own.
        Rename(r);
        PutMemo(r, "", etag, status);
    }
    if (!Success(status)) {
        Fail(r, "未能上传", status);
        return status != 0 && status != 401;
    }
    Keep({r}, etag);  // no ETag: the next sync fetches it and finds the same text
    ++m_rep.m_nUploaded;
    return true;
}

void CSyncRun::Rename(SyncRecord& r)
{
    static std::mt19937 random{std::random_device{}() ^ static_cast<unsigned>(std::time(nullptr))};
    const std::string base = MemoUid(r.m_item);
    do {
        char tag[16];
        std::snprintf(tag, sizeof tag, "-%08x", static_cast<unsigned>(random()));
        r.m_uid = base.substr(0, base.find('@')) + tag + base.substr(base.find('@'));
    } while (m_uids.count(r.m_uid));
    m_uids.insert(r.m_uid);
    r.m_href = MemoHref(m_setup.m_collection, r.m_uid);
}

bool CSyncRun::Update(const SyncAction& a)
{
    const SyncRecord& r = a.First();
    auto it = m_records.find(r.m_href);
    const bool known = it != m_records.end() && !it->second.empty();
    const bool colour = !known || it->second.front().m_item.m_dwFlags != r.m_item.m_dwFlags;
    std::string body = a.m_body, etag = a.m_ifMatch, expected;
    if (known)
        expected = it->second.front().m_item.m_text;
    for (int round = 0; round < 2; ++round) {
        if (body.empty()) {
            const int got = Fetch(r.m_href, body, etag);
            if (got == 404 && a.m_records.size() == 1)
                return Create(r);  // removed there meanwhile: nothing is lost
            if (got != 200) {
                Fail(r, "未能上传", got);
                return got != 0 && got != 401;
            }
        }
        std::string uid;
        std::vector<MemoItem> shown;
        if (!EventToMemos(body, uid, shown) || shown.empty()) {
            // No longer a memo there: the next sync reads it afresh and nothing is sent now.
            m_failures.push_back(MemoWords(r.m_item) + "未能上传：服务器上的日程已不再是记事");
            return true;
        }
        const std::string& there = shown.front().m_text;
        if (round == 0 && !a.m_body.empty())
            expected = there;
        // Changed there since this sync looked: both texts stay.
        std::string text = r.m_item.m_text;
        if (etag != a.m_ifMatch && there != expected)
            text = MergeTexts(there, text);
        const std::string patched = PatchEventBody(body, there, text, r.m_item.m_nKind, r.m_item.m_dwFlags, colour);
        std::string newTag;
        m_bWrote = true;
        const int status = Count(m_client.Put(r.m_href, patched, etag, newTag));
        if (Success(status)) {
            // A text merged only now, or an event on several days, reaches this memo folder
            // through the next sync, which fetches the event again (no ETag recorded).
            const bool whole = text == r.m_item.m_text && a.m_records.size() == 1;
            Keep(a.m_records, whole ? newTag : std::string());
            ++(a.m_bMerged || text != r.m_item.m_text ? m_rep.m_nMerged : m_rep.m_nUploaded);
            return true;
        }
        if (status != 412 || round == 1) {
            Fail(r, "未能上传", status);
            return status != 0 && status != 401;
        }
        body.clear();  // 412: fetched again, merged, sent once more
    }
    return true;
}

bool CSyncRun::Apply(const SyncAction& a)
{
    for (const MemoPlace& p : a.m_needs)
        if (m_blocked.count(p))
            return true;  // the slot changed here meanwhile: the next sync takes it up
    const SyncRecord& r = a.First();
    switch (a.m_op) {
    case SyncOp::Create:
        return Create(r);
    case SyncOp::Update:
        return Update(a);
    case SyncOp::DeleteRemote: {
        m_bWrote = true;
        const int status = Count(m_client.Delete(r.m_href, a.m_ifMatch));
        if (Success(status) || status == 404) {
            m_records.erase(r.m_href);
            ++m_rep.m_nDeletedRemote;
            return true;
        }
        if (status != 412)  // 412: changed there since; the next sync brings the change here
            Fail(r, "未能在服务器上删除", status);
        return status != 0 && status != 401;
    }
    case SyncOp::Record:
        m_records[r.m_href] = a.m_records;
        if (a.m_bDownload)
            ++m_rep.m_nDownloaded;
        return true;
    case SyncOp::Forget:
        m_records.erase(r.m_href);
        if (a.m_bDownload)
            ++m_rep.m_nDeletedLocal;
        return true;
    }
    return true;
}

int CSyncRun::SaveState(bool complete)
{
    SyncState s = m_state;
    // The new token only once every change it covers is done: a sync that stops halfway asks
    // again from the old one, and what it did already then matches by ETag. A token taken
    // before this sync wrote to the server may never report what becomes of those writes (an
    // event made and removed again since the token is no change at all for Xandikos): the
    // next sync then asks for everything, still in one request.
    if (complete) {
        s.m_syncToken = m_bWrote ? std::string() : m_token;
        s.m_ctag = m_ctag;  // our own writes change it: the next sync lists anyway
    }
    // The state's order first, then new events by href.
    s.m_records.clear();
    std::set<std::string> done;
    std::vector<std::string> hrefs;
    for (const SyncRecord& r : m_state.m_records)
        if (done.insert(r.m_href).second)
            hrefs.push_back(r.m_href);
    std::vector<std::string> added;
    for (const auto& [href, rs] : m_records)
        if (!done.count(href))
            added.push_back(href);
    std::sort(added.begin(), added.end());
    hrefs.insert(hrefs.end(), added.begin(), added.end());
    for (const std::string& href : hrefs)
        if (auto it = m_records.find(href); it != m_records.end())
            s.m_records.insert(s.m_records.end(), it->second.begin(), it->second.end());
    return SaveSyncState(m_setup.m_stateFile.c_str(), s);
}

SyncReport CSyncRun::Run()
{
    LoadSyncState(m_setup.m_stateFile.c_str(), m_setup.m_calendar, m_state);
    if (!ReadLocal() || !ListServer() || !FetchChanged() || !AskIfEmptied())
        return m_rep;
    m_in.m_collection = m_setup.m_collection;
    m_in.m_bCautious = m_setup.m_bCautious;
    const SyncPlan plan = PlanSync(m_in, m_state);
    for (const SyncRecord& r : m_state.m_records) {
        m_records[r.m_href].push_back(r);
        m_uids.insert(r.m_uid);
    }
    for (const SyncAction& a : plan.m_actions)
        for (const SyncRecord& r : a.m_records)
            m_uids.insert(r.m_uid);
    const bool tokenMoved = m_token != m_state.m_syncToken || m_ctag != m_state.m_ctag;
    if (plan.m_actions.empty() && plan.m_writes.empty() && !tokenMoved && m_failures.empty() && !m_bRefilled) {
        m_rep.m_bOk = true;
        m_rep.m_status = "同步完成：没有改动";
        return m_rep;
    }
    WriteSlots(plan);
    int done = 0;
    for (const SyncAction& a : plan.m_actions) {
        if (!Apply(a)) {
            // Not reachable, or the password no longer taken: what was done stays recorded.
            SaveState(false);
            if (m_rep.m_status.empty())
                m_rep.m_status = m_failures.empty() ? SyncStatusWords(0, m_client.LastError()) : m_failures.back();
            return m_rep;
        }
        if (++done % kSaveEvery == 0)
            SaveState(false);
    }
    const bool complete = m_failures.empty() && m_blocked.empty();
    if (SaveState(complete) != 0) {
        m_rep.m_status = "同步记录写不进去";
        return m_rep;
    }
    char buf[200];
    std::snprintf(buf, sizeof buf, "同步完成：上传 %d，下载 %d，服务器删除 %d，本机删除 %d，合并 %d", m_rep.m_nUploaded,
        m_rep.m_nDownloaded, m_rep.m_nDeletedRemote, m_rep.m_nDeletedLocal, m_rep.m_nMerged);
    m_rep.m_status = buf;
    m_rep.m_bOk = m_failures.empty();
    for (const std::string& f : m_failures)
        m_rep.m_status += "\r\n" + f;
    return m_rep;
}

}  // namespace

SyncReport RunSync(ICalendarClient& client, const SyncSetup& setup)
{
    return CSyncRun(client, setup).Run();
}

std::string SyncStatusWords(int status, const std::string& error)
{
    char buf[160];
    switch (status) {
    case 0:
        return error.empty() ? "服务器没有应答" : error;
    case 401:
        return "服务器不接受用户名或密码 (401)";
    case 403:
        return "服务器不允许访问这个日历 (403)";
    case 404:
        return "服务器上没有这个日历 (404)";
    case 412:
        return "同步期间服务器上的记事又有改动，下次同步时合并 (412)";
    default:
        break;
    }
    if (status >= 300 && status < 400)
        std::snprintf(buf, sizeof buf, "服务器把请求转到了别处 (%d)", status);
    else if (status >= 500)
        std::snprintf(buf, sizeof buf, "服务器出错 (%d)", status);
    else
        std::snprintf(buf, sizeof buf, "服务器拒绝了请求 (%d)", status);
    return buf;
}

std::string MemoEventBody(const MemoItem& memo, const std::string& uid, bool noRscale)
{
    ExportOptions options;
    ExportReport report;
    const std::string ics = ExportIcal({memo}, options, report);
    std::vector<std::string> dates;
    if (noRscale && memo.m_nKind == MEMO_KIND_LUNAR_YEARLY) {
        options.m_nExpandFrom = kFirstYear;
        options.m_nExpandTo = kLastYear;
        for (const Line& l : Lines(ExportIcal({memo}, options, report)))
            if (Named(l, "DTSTART"))
                dates.push_back(l.m_value);
    }
    CIcalWriter w;
    std::string start;
    for (const Line& l : Lines(ics)) {
        if (Named(l, "UID")) {
            w.Line("UID", EscapeText(uid));
            continue;
        }
        if (!dates.empty()) {
            if (Named(l, "RRULE") || Named(l, "RDATE") || Named(l, "EXDATE"))
                continue;
            if (Named(l, "DTSTART"))
                start = l.m_value;
            if (l.m_head == "END" && l.m_value == "VEVENT") {
                std::string list;
                for (const std::string& d : dates) {
                    if (d == start)
                        continue;
                    if (!list.empty())
                        list += ',';
                    list += d;
                }
                if (!list.empty())
                    w.Line("RDATE;VALUE=DATE", list);
            }
        }
        w.Line(l.m_head, l.m_value);
    }
    return w.Text();
}

bool EventToMemos(const std::string& body, std::string& uid, std::vector<MemoItem>& memos)
{
    memos.clear();
    IcalComponent calendar;
    std::string error;
    if (!ParseIcal(body, calendar, error))
        return false;
    uid.clear();
    for (const IcalComponent& c : calendar.m_children)
        if (c.m_name == "VEVENT")
            if (const IcalProperty* p = c.Find("UID"))
                uid = UnescapeText(p->m_value);
    ImportReport report;
    if (!ReadIcalMemos(body, ImportOptions{}, memos, report))
        return false;
    for (MemoItem& m : memos)
        m.m_text = PartOfText(m.m_text);
    return true;
}

bool EventToMemo(const std::string& body, std::string& uid, MemoItem& memo)
{
    std::vector<MemoItem> memos;
    if (!EventToMemos(body, uid, memos) || memos.size() != 1)
        return false;
    memo = std::move(memos[0]);
    return true;
}
