#include "sync/sync_plan.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <unordered_map>

#include "memo/memo_store.h"
#include "sync/memo_parts.h"

MemoPlace PlaceOf(const MemoItem& m)
{
    return {m.m_nKind, m.m_nFileYear, m.m_nFileMonth, m.m_nSlot};
}

std::string MemoUid(const MemoItem& m)
{
    char buf[64];
    switch (m.m_nKind) {
    case MEMO_KIND_ONCE:
        std::snprintf(buf, sizeof buf, "once-%04d%02d%02d", m.m_nFileYear, m.m_nFileMonth, m.m_nSlot);
        break;
    case MEMO_KIND_SOLAR_YEARLY:
        std::snprintf(buf, sizeof buf, "yearly-%02d%02d", m.m_nFileMonth, m.m_nSlot);
        break;
    case MEMO_KIND_LUNAR_YEARLY:
        std::snprintf(buf, sizeof buf, "lunar-%02d%02d", m.m_nFileMonth, m.m_nSlot);
        break;
    default:
        std::snprintf(buf, sizeof buf, "weekly-%d", m.m_nSlot);
        break;
    }
    return std::string(buf) + "@almanix.memo";
}

std::string MemoHref(const std::string& collection, const std::string& uid)
{
    std::string name = uid;
    const std::size_t at = name.find('@');
    if (at != std::string::npos)
        name.replace(at, 1, "-");  // "@" is allowed in a path, but some servers quote it
    return collection + name + ".ics";
}

std::vector<std::string> HrefsToFetch(const SyncState& state, const std::vector<ServerEntry>& listing)
{
    std::unordered_map<std::string, const SyncRecord*> known;
    for (const SyncRecord& r : state.m_records)
        known[r.m_href] = &r;
    std::vector<std::string> out;
    for (const ServerEntry& e : listing) {
        auto it = known.find(e.m_href);
        if (it == known.end() || it->second->m_etag != e.m_etag || e.m_etag.empty())
            out.push_back(e.m_href);
    }
    return out;
}

namespace {

bool SameFile(const MemoItem& a, const MemoItem& b)
{
    return a.m_nKind == b.m_nKind && a.m_nFileYear == b.m_nFileYear && a.m_nFileMonth == b.m_nFileMonth;
}

// One slot while the plan is made: its parts as read, what becomes of each, and parts added.
struct Slot {
    const MemoItem* m_local = nullptr;
    std::vector<std::string> m_parts;     // SplitParts of the local text
    std::vector<std::string> m_final;     // m_parts as they become ("" = removed)
    std::vector<bool> m_paired;           // the part belongs to a record (or was bound to an event)
    std::vector<std::string> m_keys;      // the UID of each part's event, where it has one
    std::vector<const SyncRecord*> m_records;
    std::vector<int> m_localOf;  // per record: its part's index, or -1 when it is gone here
    bool m_bUnreadable = false;
    bool m_bChanged = false;     // something of the server's goes in
    std::uint32_t m_flags = 0;   // what the slot gets

    void Add(const std::string& text, const std::string& uid)
    {
        m_final.push_back(text);
        m_paired.push_back(true);
        m_keys.push_back(uid);
        m_bChanged = true;
    }
    // The parts in the order of their events' UIDs (the part before "@": ours made later
    // follow the first), so that every computer shows a day's events alike; parts without an
    // event keep their place at the end.
    std::string Text() const
    {
        std::vector<std::size_t> order(m_final.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        auto key = [&](std::size_t i) { return m_keys[i].substr(0, m_keys[i].find('@')); };
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            if (m_keys[a].empty() || m_keys[b].empty())
                return !m_keys[a].empty() && m_keys[b].empty();
            return key(a) < key(b);
        });
        std::vector<std::string> parts;
        for (std::size_t i : order)
            parts.push_back(m_final[i]);
        return JoinParts(parts);
    }
};

class CPlanner {
public:
    CPlanner(const SyncInputs& in, const SyncState& state) : m_in(in), m_state(state) {}
    SyncPlan Run();

private:
    enum class Server { Same, Changed, Gone };
    Slot& SlotAt(const MemoItem& place);
    void ReadSlots();
    void DecideRecord(const SyncRecord& r, Slot& at, int localIndex);
    void TakeNewEvent(const FetchedEvent& f);
    void CreateNewParts();
    void WriteSlots();
    std::string NewUid(const MemoItem& place);
    void Add(SyncOp op, const SyncRecord& r, const std::string& ifMatch = std::string(),
        std::vector<MemoPlace> needs = {}, const std::string& body = std::string());
    // The server's part goes into its slot: in place of local part index at from, or added.
    void Arrive(const FetchedEvent& f, const std::string& text, Slot& from, int index);

    const SyncInputs& m_in;
    const SyncState& m_state;
    std::map<MemoPlace, Slot> m_slots;
    std::unordered_map<std::string, const ServerEntry*> m_listed;
    std::unordered_map<std::string, const FetchedEvent*> m_fetched;
    std::set<std::string> m_uids;  // every UID the calendar has, to make new ones unique
    SyncPlan m_plan;
};

Slot& CPlanner::SlotAt(const MemoItem& place)
{
    Slot& s = m_slots[PlaceOf(place)];
    for (const MemoItem& f : m_in.m_unreadable)
        s.m_bUnreadable = s.m_bUnreadable || SameFile(f, place);
    return s;
}

void CPlanner::Add(SyncOp op, const SyncRecord& r, const std::string& ifMatch, std::vector<MemoPlace> needs,
    const std::string& body)
{
    SyncAction a;
    a.m_op = op;
    a.m_record = r;
    a.m_ifMatch = ifMatch;
    a.m_needs = std::move(needs);
    a.m_body = body;
    m_plan.m_actions.push_back(std::move(a));
}

std::string CPlanner::NewUid(const MemoItem& place)
{
    const std::string base = MemoUid(place);
    std::string uid = base;
    for (int n = 2; m_uids.count(uid); ++n)
        uid = base.substr(0, base.find('@')) + "-" + std::to_string(n) + base.substr(base.find('@'));
    m_uids.insert(uid);
    return uid;
}

void CPlanner::ReadSlots()
{
    for (const MemoItem& m : m_in.m_local) {
        Slot& s = SlotAt(m);
        s.m_local = &m;
        s.m_parts = SplitParts(m.m_text);
        s.m_flags = m.m_dwFlags;
    }
    for (const SyncRecord& r : m_state.m_records) {
        m_uids.insert(r.m_uid);
        if (r.IsMemo())
            SlotAt(r.m_item).m_records.push_back(&r);
    }
    for (auto& [place, s] : m_slots) {
        s.m_final = s.m_parts;
        s.m_paired.assign(s.m_parts.size(), false);
        s.m_keys.assign(s.m_parts.size(), std::string());
        std::vector<std::string> agreed;
        for (const SyncRecord* r : s.m_records)
            agreed.push_back(r->m_item.m_text);
        const std::vector<int> pair = AlignParts(agreed, s.m_parts);
        s.m_localOf.assign(s.m_records.size(), -1);
        for (std::size_t i = 0; i < pair.size(); ++i)
            if (pair[i] >= 0) {
                s.m_localOf[pair[i]] = static_cast<int>(i);
                s.m_paired[i] = true;
                s.m_keys[i] = s.m_records[pair[i]]->m_uid;
            }
        if (!s.m_local && !s.m_records.empty())
            s.m_flags = s.m_records.front()->m_item.m_dwFlags;
    }
}

void CPlanner::Arrive(const FetchedEvent& f, const std::string& text, Slot& from, int index)
{
    Slot& to = SlotAt(f.m_item);
    if (&to == &from && index >= 0) {
        from.m_final[index] = text;
    } else {
        if (index >= 0) {
            from.m_final[index].clear();
            from.m_bChanged = true;
        }
        to.Add(text, f.m_uid);
        if (!to.m_local && to.m_records.empty())
            to.m_flags = f.m_item.m_dwFlags;
    }
    to.m_bChanged = true;
}

void CPlanner::DecideRecord(const SyncRecord& r, Slot& at, int index)
{
    const FetchedEvent* f = nullptr;
    Server server = Server::Same;
    std::string etag = r.m_etag;
    if (!m_listed.count(r.m_href)) {
        server = Server::Gone;
    } else if (auto it = m_fetched.find(r.m_href); it != m_fetched.end()) {
        f = it->second;
        etag = f->m_etag;
        if (!f->m_bMemo)
            server = Server::Gone;  // no longer a memo: its part leaves the slot
        else if (PlaceOf(f->m_item) != PlaceOf(r.m_item) || f->m_item.m_text != r.m_item.m_text ||
            f->m_item.m_dwFlags != r.m_item.m_dwFlags)
            server = Server::Changed;
    }
    // A part of a file that broke off may be missing only because it was not read.
    if (index < 0 && at.m_bUnreadable && server != Server::Gone)
        index = -2;
    const bool flagsChanged = at.m_local && at.m_flags != r.m_item.m_dwFlags;
    const std::string* now = index >= 0 ? &at.m_parts[index] : nullptr;
    const bool edited = now && (*now != r.m_item.m_text || flagsChanged);
    const MemoPlace here = PlaceOf(r.m_item);

    SyncRecord next = r;
    next.m_etag = etag;
    if (index == -2 || (now && !edited)) {  // as agreed here
        if (server == Server::Same) {
            if (next.m_etag != r.m_etag)
                Add(SyncOp::Record, next);  // a new ETag for the same text
        } else if (server == Server::Changed) {
            next.m_item = f->m_item;
            Arrive(*f, f->m_item.m_text, at, index);
            Add(SyncOp::Record, next, "", {here, PlaceOf(f->m_item)});
            m_plan.m_actions.back().m_bDownload = true;
        } else {
            if (index >= 0) {
                at.m_final[index].clear();
                at.m_bChanged = true;
            }
            Add(SyncOp::Forget, r, "", {here});
            m_plan.m_actions.back().m_bDownload = true;
        }
        return;
    }
    if (now) {  // edited here
        next.m_item.m_text = *now;
        next.m_item.m_dwFlags = at.m_flags;
        if (server == Server::Gone) {
            // Removed there while edited here: nothing is lost, it goes up again as new.
            Add(SyncOp::Create, next);
        } else if (server == Server::Changed) {
            if (f->m_item.m_text == *now && PlaceOf(f->m_item) == here) {
                next.m_item = f->m_item;
                Add(SyncOp::Record, next);
                return;
            }
            next.m_item = f->m_item;
            next.m_item.m_text = MergeTexts(f->m_item.m_text, *now);
            Arrive(*f, next.m_item.m_text, at, index);
            Add(SyncOp::Update, next, f->m_etag, {here, PlaceOf(f->m_item)}, f->m_body);
            m_plan.m_actions.back().m_bMerged = true;
        } else if (m_in.m_bCautious) {
            next.m_item.m_text = MergeTexts(r.m_item.m_text, *now);
            if (next.m_item.m_text != *now) {
                at.m_final[index] = next.m_item.m_text;
                at.m_bChanged = true;
            }
            Add(SyncOp::Update, next, etag, {here}, f ? f->m_body : std::string());
            m_plan.m_actions.back().m_bMerged = next.m_item.m_text != *now;
        } else {
            Add(SyncOp::Update, next, etag, {}, f ? f->m_body : std::string());
        }
        return;
    }
    // Removed here.
    if (server == Server::Gone) {
        Add(SyncOp::Forget, r);
    } else if (server == Server::Changed) {
        next.m_item = f->m_item;
        Arrive(*f, f->m_item.m_text, at, -1);
        Add(SyncOp::Record, next, "", {PlaceOf(f->m_item)});
        m_plan.m_actions.back().m_bDownload = true;
    } else if (m_in.m_bCautious) {
        at.Add(r.m_item.m_text, r.m_uid);
        Add(SyncOp::Record, next, "", {here});
    } else {
        Add(SyncOp::DeleteRemote, r, etag);
    }
}

// An event the state does not know. When the slot holds its text already as a part of its
// own (the first sync, or a sync after the state was lost), that part is this event; when a
// part holds it among other lines (two events joined by an earlier version), those lines are.
void CPlanner::TakeNewEvent(const FetchedEvent& f)
{
    SyncRecord r{f.m_item, f.m_href, f.m_etag, f.m_uid};
    m_uids.insert(f.m_uid);
    if (!f.m_bMemo) {
        r.m_item = MemoItem{};
        Add(SyncOp::Record, r);
        return;
    }
    Slot& s = SlotAt(f.m_item);
    const std::string& text = f.m_item.m_text;
    for (std::size_t i = 0; i < s.m_parts.size(); ++i)
        if (!s.m_paired[i] && s.m_final[i] == text) {
            s.m_paired[i] = true;
            s.m_keys[i] = f.m_uid;
            Add(SyncOp::Record, r);
            return;
        }
    for (std::size_t i = 0; i < s.m_parts.size(); ++i) {
        if (s.m_paired[i] || text.empty())
            continue;
        const std::string wrapped = "\r\n" + s.m_final[i] + "\r\n";
        const std::size_t at = wrapped.find("\r\n" + text + "\r\n");
        if (at == std::string::npos)
            continue;
        std::string rest = wrapped.substr(0, at) + wrapped.substr(at + text.size() + 2);
        s.m_final[i] = PartOfText(rest);
        s.Add(text, f.m_uid);
        Add(SyncOp::Record, r, "", {PlaceOf(f.m_item)});
        return;
    }
    Arrive(f, text, s, -1);
    Add(SyncOp::Record, r, "", {PlaceOf(f.m_item)});
    m_plan.m_actions.back().m_bDownload = true;
}

void CPlanner::CreateNewParts()
{
    for (auto& [place, s] : m_slots) {
        if (!s.m_local)
            continue;
        for (std::size_t i = 0; i < s.m_parts.size(); ++i) {
            if (s.m_paired[i] || s.m_final[i].empty())
                continue;
            MemoItem item = *s.m_local;
            item.m_text = s.m_final[i];
            const std::string uid = NewUid(item);
            s.m_keys[i] = uid;
            std::vector<MemoPlace> needs;
            if (s.m_bChanged)
                needs.push_back(place);
            Add(SyncOp::Create, {item, MemoHref(m_in.m_collection, uid), "", uid}, "", needs);
        }
    }
}

void CPlanner::WriteSlots()
{
    for (auto& [place, s] : m_slots) {
        if (!s.m_bChanged)
            continue;
        SlotWrite w;
        if (s.m_local)
            w.m_before = *s.m_local;
        std::tie(w.m_before.m_nKind, w.m_before.m_nFileYear, w.m_before.m_nFileMonth, w.m_before.m_nSlot) = place;
        w.m_after = w.m_before;
        w.m_after.m_text = s.Text();
        w.m_after.m_dwFlags = s.m_flags;
        if (w.m_after.m_text != w.m_before.m_text || w.m_after.m_dwFlags != w.m_before.m_dwFlags)
            m_plan.m_writes.push_back(std::move(w));
    }
}

SyncPlan CPlanner::Run()
{
    for (const ServerEntry& e : m_in.m_listing)
        m_listed[e.m_href] = &e;
    for (const FetchedEvent& f : m_in.m_fetched)
        m_fetched[f.m_href] = &f;
    for (const FetchedEvent& f : m_in.m_fetched)
        m_uids.insert(f.m_uid);
    ReadSlots();
    for (auto& [place, s] : m_slots)
        for (std::size_t k = 0; k < s.m_records.size(); ++k)
            DecideRecord(*s.m_records[k], s, s.m_localOf[k]);
    std::set<std::string> known;
    for (const SyncRecord& r : m_state.m_records) {
        known.insert(r.m_href);
        if (r.IsMemo())
            continue;
        auto f = m_fetched.find(r.m_href);
        if (!m_listed.count(r.m_href))
            Add(SyncOp::Forget, r);
        else if (f != m_fetched.end())
            TakeNewEvent(*f->second);  // an entry that is no memo, changed: perhaps one now
    }
    for (const FetchedEvent& f : m_in.m_fetched)
        if (!known.count(f.m_href))
            TakeNewEvent(f);
    CreateNewParts();
    WriteSlots();
    return std::move(m_plan);
}

}  // namespace

SyncPlan PlanSync(const SyncInputs& in, const SyncState& state)
{
    return CPlanner(in, state).Run();
}
