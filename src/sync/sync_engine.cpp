#include "sync/sync_engine.h"

#include <cstdio>
#include <unordered_map>

#include "ical/ical_format.h"
#include "memo/memo_store.h"

namespace {

// The calendar's years: the RDATE form lists the memo's days over all of them.
constexpr int kFirstYear = 1900, kLastYear = 2049;
// Requests between two saves of the state: a sync killed in between repeats at most these.
constexpr int kSaveEvery = 100;

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

}  // namespace

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

namespace {

std::string PlaceWords(const MemoItem& m)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%04d-%02d/%d", m.m_nKind, m.m_nFileYear, m.m_nFileMonth, m.m_nSlot);
    return buf;
}

// Sets the memo's slot in its file (one whole-file write). 0 or -1; a damaged file is left alone.
int WriteSlot(const MemoItem& m, bool empty)
{
    CMemoStore store;
    const int rc = m.m_nKind == MEMO_KIND_WEEKLY ? store.OpenWeek() : store.Open(m.m_nFileYear, m.m_nFileMonth);
    if (rc != 0)
        return -1;
    if (empty)
        return store.SetEntry(m.m_nSlot, nullptr, 0, 0);
    return store.SetEntry(m.m_nSlot, m.m_text.data(), static_cast<int>(m.m_text.size()), m.m_dwFlags);
}

}  // namespace

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

bool EventToMemo(const std::string& body, std::string& uid, MemoItem& memo)
{
    IcalComponent calendar;
    std::string error;
    if (!ParseIcal(body, calendar, error))
        return false;
    uid.clear();
    for (const IcalComponent& c : calendar.m_children)
        if (c.m_name == "VEVENT")
            if (const IcalProperty* p = c.Find("UID"))
                uid = UnescapeText(p->m_value);
    std::vector<MemoItem> memos;
    ImportReport report;
    if (!ReadIcalMemos(body, ImportOptions{}, memos, report) || memos.size() != 1)
        return false;
    memo = std::move(memos[0]);
    return true;
}

SyncReport RunSync(ICalendarClient& client, const SyncSetup& setup)
{
    SyncReport rep;
    SyncState state;
    LoadSyncState(setup.m_stateFile.c_str(), setup.m_calendar, state);
    auto fail = [&](int status) {
        rep.m_status = SyncStatusWords(status, client.LastError());
        return rep;
    };

    // The listing: from the changes since the last sync where the server offers them, else whole.
    std::vector<ServerEntry> listing;
    std::string token, ctag;
    int status = 0;
    if (!state.m_syncToken.empty()) {
        std::vector<ServerEntry> changed;
        std::vector<std::string> removed;
        ++rep.m_nRequests;
        status = client.Changes(state.m_syncToken, changed, removed, token);
        if (status == 207) {
            std::unordered_map<std::string, std::string> now;
            for (const SyncRecord& r : state.m_records)
                now[r.m_href] = r.m_etag;
            for (const std::string& h : removed)
                now.erase(h);
            for (const ServerEntry& e : changed)
                now[e.m_href] = e.m_etag;
            for (auto& [href, etag] : now)
                listing.push_back({href, etag});
        } else if (status == 0) {
            return fail(status);
        }
    }
    if (status != 207) {
        std::vector<std::string> removed;
        ++rep.m_nRequests;
        status = client.Changes("", listing, removed, token);
        if (status == 0)
            return fail(status);
        if (status != 207) {
            // No sync report: an unchanged getctag says nothing changed, else the whole listing.
            token.clear();
            ++rep.m_nRequests;
            status = client.CollectionTag(ctag);
            if (status == 0)
                return fail(status);
            if (status == 207 && !ctag.empty() && ctag == state.m_ctag) {
                listing.clear();
                for (const SyncRecord& r : state.m_records)
                    listing.push_back({r.m_href, r.m_etag});
            } else {
                ++rep.m_nRequests;
                status = client.List(listing);
                if (status != 207)
                    return fail(status);
            }
        }
    }
    // A calendar with no event at all while the state knows memos there was emptied or made
    // anew (deleted and made again, restored, another server at the address): taking that as
    // the removal of every memo would empty the memo folder, so everything is compared afresh.
    if (listing.empty()) {
        bool knewMemos = false;
        for (const SyncRecord& r : state.m_records)
            knewMemos = knewMemos || r.IsMemo();
        if (knewMemos)
            state.m_records.clear();
    }
    const bool tokenMoved = token != state.m_syncToken || ctag != state.m_ctag;
    const std::string oldCtag = state.m_ctag;
    const std::string oldToken = state.m_syncToken;
    std::vector<FetchedEvent> fetched;
    for (const std::string& href : HrefsToFetch(state, listing)) {
        FetchedEvent e;
        e.m_href = href;
        std::string body;
        ++rep.m_nRequests;
        status = client.Get(href, body, e.m_etag);
        if (status == 404)
            continue;  // removed since the listing: the next sync sees it gone
        if (status != 200)
            return fail(status);
        for (const ServerEntry& l : listing)
            if (l.m_href == href && e.m_etag.empty())
                e.m_etag = l.m_etag;
        e.m_bMemo = EventToMemo(body, e.m_uid, e.m_item);
        fetched.push_back(std::move(e));
    }
    // An event that vanished between listing and fetch is left out of this sync.
    std::vector<ServerEntry> present;
    {
        std::unordered_map<std::string, bool> gone;
        const std::vector<std::string> asked = HrefsToFetch(state, listing);
        for (const std::string& h : asked)
            gone[h] = true;
        for (const FetchedEvent& e : fetched)
            gone.erase(e.m_href);
        for (const ServerEntry& l : listing)
            if (!gone.count(l.m_href))
                present.push_back(l);
    }

    std::vector<ExchangeNote> notes;
    const std::vector<MemoItem> local = ReadMemoFolder(setup.m_calendarFolder, notes);
    const std::vector<SyncAction> actions =
        PlanSync(local, state, present, fetched, setup.m_collection, setup.m_bCautious);

    std::unordered_map<std::string, SyncRecord> records;
    for (SyncRecord& r : state.m_records)
        records[r.m_href] = std::move(r);
    // The new token only once every change it covers is done: a sync that stops halfway asks
    // again from the old one, and what it did already then matches by ETag.
    auto save = [&](bool complete = false) {
        state.m_syncToken = complete ? token : oldToken;
        state.m_ctag = complete ? ctag : oldCtag;
        state.m_records.clear();
        for (auto& [href, r] : records)
            state.m_records.push_back(r);
        return SaveSyncState(setup.m_stateFile.c_str(), state);
    };
    auto upload = [&](const SyncAction& a, std::string& etag) {
        ++rep.m_nRequests;
        int s = client.Put(
            a.m_href, MemoEventBody(a.m_item, a.m_uid, state.m_bNoRscale), a.m_bNew ? "" : a.m_ifMatch, etag);
        if (s == 400 && a.m_item.m_nKind == MEMO_KIND_LUNAR_YEARLY && !state.m_bNoRscale) {
            state.m_bNoRscale = true;
            ++rep.m_nRequests;
            s = client.Put(a.m_href, MemoEventBody(a.m_item, a.m_uid, true), a.m_bNew ? "" : a.m_ifMatch, etag);
        }
        return s;
    };

    if (actions.empty() && !tokenMoved) {  // nothing to write either
        rep.m_bOk = true;
        rep.m_status = "同步完成：没有改动";
        return rep;
    }
    int done = 0;
    for (const SyncAction& a : actions) {
        std::string etag = a.m_etag;
        switch (a.m_op) {
        case SyncOp::Upload:
        case SyncOp::Merge:
            // A merge is written here first: killed before the upload, the next sync merges
            // the same texts again and gets the same text.
            if (a.m_op == SyncOp::Merge && WriteSlot(a.m_item, false) != 0) {
                save();
                rep.m_status = "记事文件写不进去：" + PlaceWords(a.m_item);
                return rep;
            }
            status = upload(a, etag);
            if (status < 200 || status > 299) {
                save();
                return fail(status);
            }
            if (a.m_op == SyncOp::Merge) {
                ++rep.m_nMerged;
                rep.m_merged.push_back(PlaceWords(a.m_item));
            } else {
                ++rep.m_nUploaded;
            }
            records[a.m_href] = {a.m_item, a.m_href, etag, a.m_uid};
            break;
        case SyncOp::DeleteRemote:
            ++rep.m_nRequests;
            status = client.Delete(a.m_href, a.m_ifMatch);
            if ((status < 200 || status > 299) && status != 404) {
                save();
                return fail(status);
            }
            ++rep.m_nDeletedRemote;
            records.erase(a.m_href);
            break;
        case SyncOp::Download:
        case SyncOp::DeleteLocal:
        case SyncOp::Foreign:
            if ((a.m_op != SyncOp::Foreign || a.m_item.m_nKind != 0) &&
                WriteSlot(a.m_item, a.m_op == SyncOp::DeleteLocal) != 0) {
                save();
                rep.m_status = "记事文件写不进去：" + PlaceWords(a.m_item);
                return rep;
            }
            if (a.m_op == SyncOp::DeleteLocal) {
                ++rep.m_nDeletedLocal;
                records.erase(a.m_href);
            } else if (a.m_op == SyncOp::Download) {
                ++rep.m_nDownloaded;
                records[a.m_href] = {a.m_item, a.m_href, etag, a.m_uid};
            } else {
                if (a.m_item.m_nKind != 0)
                    ++rep.m_nDownloaded;
                records[a.m_href] = {MemoItem{}, a.m_href, etag, a.m_uid};
            }
            break;
        case SyncOp::Agree:
            records[a.m_href] = {a.m_item, a.m_href, etag, a.m_uid};
            break;
        case SyncOp::Forget:
            records.erase(a.m_href);
            break;
        }
        if (++done % kSaveEvery == 0)
            save();
    }
    if (save(true) != 0) {
        rep.m_status = "同步记录写不进去";
        return rep;
    }
    rep.m_bOk = true;
    char buf[160];
    std::snprintf(buf, sizeof buf, "同步完成：上传 %d，下载 %d，服务器删除 %d，本机删除 %d，合并 %d", rep.m_nUploaded,
        rep.m_nDownloaded, rep.m_nDeletedRemote, rep.m_nDeletedLocal, rep.m_nMerged);
    rep.m_status = buf;
    return rep;
}
