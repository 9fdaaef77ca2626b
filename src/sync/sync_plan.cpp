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
    // One record's part here: its slot, and the part's index in it (-1: gone here, -2: in a
    // file that broke off, so unknown).
    struct Here {
        Slot* m_slot = nullptr;
        int m_index = -1;
    };
    Slot& SlotAt(const MemoItem& place);
    void ReadSlots();
    void DecideEvent(const std::vector<const SyncRecord*>& recs);
    void TakeNewEvent(const FetchedEvent& f);
    void CreateNewParts();
    void WriteSlots();
    std::string NewUid(const MemoItem& place);
    SyncAction& Add(SyncOp op, std::vector<SyncRecord> records, const std::string& ifMatch = std::string(),
        const std::string& body = std::string());
    // The event's parts leave the slots they had here and the server's arrive: a part that
    // stays on its place is replaced where it stands. Returns the places touched.
    std::vector<MemoPlace> Move(const std::vector<const SyncRecord*>& recs, const std::vector<MemoItem>& items,
        const std::string& uid);
    std::vector<SyncRecord> RecordsOf(const FetchedEvent& f, const std::string& text = std::string()) const;

    const SyncInputs& m_in;
    const SyncState& m_state;
    std::map<MemoPlace, Slot> m_slots;
    std::map<const SyncRecord*, Here> m_here;
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

SyncAction& CPlanner::Add(SyncOp op, std::vector<SyncRecord> records, const std::string& ifMatch, const std::string& body)
{
    SyncAction a;
    a.m_op = op;
    a.m_records = std::move(records);
    a.m_ifMatch = ifMatch;
    a.m_body = body;
    m_plan.m_actions.push_back(std::move(a));
    return m_plan.m_actions.back();
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

std::vector<SyncRecord> CPlanner::RecordsOf(const FetchedEvent& f, const std::string& text) const
{
    std::vector<SyncRecord> out;
    for (const MemoItem& m : f.m_items) {
        out.push_back({m, f.m_href, f.m_etag, f.m_uid});
        if (!text.empty())
            out.back().m_item.m_text = text;
    }
    return out;
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
        for (const SyncRecord* r : s.m_records)
            m_here[r] = {&s, s.m_bUnreadable ? -2 : -1};
        for (std::size_t i = 0; i < pair.size(); ++i)
            if (pair[i] >= 0) {
                m_here[s.m_records[pair[i]]].m_index = static_cast<int>(i);
                s.m_paired[i] = true;
                s.m_keys[i] = s.m_records[pair[i]]->m_uid;
            }
        if (!s.m_local && !s.m_records.empty())
            s.m_flags = s.m_records.front()->m_item.m_dwFlags;
    }
}

std::vector<MemoPlace> CPlanner::Move(
    const std::vector<const SyncRecord*>& recs, const std::vector<MemoItem>& items, const std::string& uid)
{
    std::set<MemoPlace> touched;
    std::vector<bool> placed(items.size(), false);
    for (const SyncRecord* r : recs) {
        Here& h = m_here[r];
        touched.insert(PlaceOf(r->m_item));
        std::size_t k = 0;
        while (k < items.size() && (placed[k] || PlaceOf(items[k]) != PlaceOf(r->m_item)))
            ++k;
        if (k < items.size() && h.m_index >= 0) {
            h.m_slot->m_final[h.m_index] = items[k].m_text;
            h.m_slot->m_bChanged = true;
            placed[k] = true;
        } else if (h.m_index >= 0) {
            h.m_slot->m_final[h.m_index].clear();
            h.m_slot->m_bChanged = true;
        }
    }
    for (std::size_t k = 0; k < items.size(); ++k) {
        touched.insert(PlaceOf(items[k]));
        if (placed[k])
            continue;
        Slot& to = SlotAt(items[k]);
        if (!to.m_local && to.m_records.empty() && to.m_final.empty())
            to.m_flags = items[k].m_dwFlags;
        to.Add(items[k].m_text, uid);
    }
    return {touched.begin(), touched.end()};
}

// One event the state knows, with its records (one per place it shows on), against what the
// server and the memo folder hold now.
void CPlanner::DecideEvent(const std::vector<const SyncRecord*>& recs)
{
    const SyncRecord& r0 = *recs.front();
    const FetchedEvent* f = nullptr;
    Server server = Server::Same;
    std::string etag = r0.m_etag;
    if (!m_listed.count(r0.m_href)) {
        server = Server::Gone;
    } else if (auto it = m_fetched.find(r0.m_href); it != m_fetched.end()) {
        f = it->second;
        etag = f->m_etag;
        bool same = f->m_items.size() == recs.size();
        for (std::size_t i = 0; same && i < recs.size(); ++i) {
            const MemoItem& a = f->m_items[i];
            const MemoItem& b = recs[i]->m_item;
            same = PlaceOf(a) == PlaceOf(b) && a.m_text == b.m_text && a.m_dwFlags == b.m_dwFlags;
        }
        server = f->m_items.empty() ? Server::Gone : same ? Server::Same : Server::Changed;
    }
    // What became of each part here.
    std::vector<const SyncRecord*> edited, removed;
    std::string text;  // the edits, all in one
    for (const SyncRecord* r : recs) {
        const Here& h = m_here[r];
        if (h.m_index == -2)
            continue;
        if (h.m_index < 0) {
            removed.push_back(r);
            continue;
        }
        const std::string& now = h.m_slot->m_parts[h.m_index];
        const bool flagsChanged = h.m_slot->m_local && h.m_slot->m_flags != r->m_item.m_dwFlags;
        if (now == r->m_item.m_text && !flagsChanged)
            continue;
        edited.push_back(r);
        text = text.empty() ? now : MergeTexts(text, now);
    }
    std::vector<SyncRecord> next;
    for (const SyncRecord* r : recs) {
        next.push_back(*r);
        next.back().m_etag = etag;
    }
    auto withText = [&](std::vector<SyncRecord> rs, const std::string& t, std::uint32_t flags) {
        for (SyncRecord& r : rs) {
            r.m_item.m_text = t;
            r.m_item.m_dwFlags = flags;
        }
        return rs;
    };

    if (server == Server::Gone) {
        // Gone there: its parts leave here, but a part edited here goes up again as new.
        Move(recs, {}, r0.m_uid);
        if (recs.size() > 1 || edited.empty()) {
            SyncAction& a = Add(SyncOp::Forget, next);
            a.m_bDownload = edited.size() < recs.size();
        }
        for (const SyncRecord* r : edited) {
            const Here& h = m_here[r];
            SyncRecord up = *r;
            up.m_item.m_text = h.m_slot->m_parts[h.m_index];
            up.m_item.m_dwFlags = h.m_slot->m_flags;
            h.m_slot->m_final[h.m_index] = up.m_item.m_text;
            if (recs.size() > 1) {
                up.m_uid = NewUid(up.m_item);
                up.m_href = MemoHref(m_in.m_collection, up.m_uid);
                h.m_slot->m_keys[h.m_index] = up.m_uid;
            }
            Add(SyncOp::Create, {up});
        }
        return;
    }
    if (server == Server::Changed) {
        if (edited.empty()) {
            // An edit there wins over a removal here: nothing is lost.
            SyncAction& a = Add(SyncOp::Record, RecordsOf(*f));
            a.m_needs = Move(recs, f->m_items, f->m_uid);
            a.m_bDownload = true;
            return;
        }
        const std::string& theirs = f->m_items.front().m_text;
        if (theirs == text && f->m_items.size() == recs.size()) {
            Add(SyncOp::Record, RecordsOf(*f));
            return;
        }
        const std::string merged = MergeTexts(theirs, text);
        std::vector<MemoItem> arriving = f->m_items;
        for (MemoItem& m : arriving)
            m.m_text = merged;
        SyncAction& a = Add(SyncOp::Update, RecordsOf(*f, merged), f->m_etag, f->m_body);
        a.m_needs = Move(recs, arriving, f->m_uid);
        a.m_bMerged = merged != text;
        return;
    }
    // The server holds what both agreed on.
    if (edited.empty() && removed.empty()) {
        if (etag != r0.m_etag)
            Add(SyncOp::Record, next);  // a new ETag for the same event
        return;
    }
    if (edited.empty() && removed.size() == recs.size() && !m_in.m_bCautious) {
        Add(SyncOp::DeleteRemote, next, etag);
        return;
    }
    if (edited.empty()) {
        // Some days of an event on several, or what the last sync brought: they come back.
        std::vector<MemoItem> items;
        for (const SyncRecord* r : recs)
            items.push_back(r->m_item);
        SyncAction& a = Add(SyncOp::Record, next);
        a.m_needs = Move(recs, items, r0.m_uid);
        return;
    }
    if (m_in.m_bCautious)
        text = MergeTexts(r0.m_item.m_text, text);
    const Here& h0 = m_here[edited.front()];
    const std::uint32_t flags = h0.m_slot->m_flags;
    std::vector<SyncRecord> done = withText(next, text, flags);
    SyncAction& a = Add(SyncOp::Update, done, etag, f ? f->m_body : std::string());
    a.m_bMerged = edited.size() > 1 || (m_in.m_bCautious && text != h0.m_slot->m_parts[h0.m_index]);
    // Every day of the event shows the new text.
    std::vector<MemoItem> items;
    for (const SyncRecord& r : done)
        items.push_back(r.m_item);
    bool same = true;
    for (const SyncRecord* r : recs)
        same = same && m_here[r].m_index >= 0 && m_here[r].m_slot->m_parts[m_here[r].m_index] == text;
    if (!same)
        a.m_needs = Move(recs, items, r0.m_uid);
}

// An event the state does not know. When the slot holds its text already as a part of its
// own (the first sync, or a sync after the state was lost), that part is this event; when a
// part holds it among other lines (two events joined by an earlier version), those lines are.
void CPlanner::TakeNewEvent(const FetchedEvent& f)
{
    m_uids.insert(f.m_uid);
    if (f.m_items.empty()) {
        SyncRecord r{MemoItem{}, f.m_href, f.m_etag, f.m_uid};
        Add(SyncOp::Record, {r});
        return;
    }
    std::vector<MemoPlace> needs;
    bool arrived = false;
    for (const MemoItem& m : f.m_items) {
        Slot& s = SlotAt(m);
        const std::string& text = m.m_text;
        bool bound = false;
        for (std::size_t i = 0; i < s.m_parts.size() && !bound; ++i)
            if (!s.m_paired[i] && s.m_final[i] == text) {
                s.m_paired[i] = true;
                s.m_keys[i] = f.m_uid;
                bound = true;
            }
        for (std::size_t i = 0; i < s.m_parts.size() && !bound; ++i) {
            if (s.m_paired[i] || text.empty())
                continue;
            const std::string wrapped = "\r\n" + s.m_final[i] + "\r\n";
            const std::size_t at = wrapped.find("\r\n" + text + "\r\n");
            if (at == std::string::npos)
                continue;
            s.m_final[i] = PartOfText(wrapped.substr(0, at) + wrapped.substr(at + text.size() + 2));
            s.Add(text, f.m_uid);
            needs.push_back(PlaceOf(m));
            bound = true;
        }
        if (!bound) {
            if (!s.m_local && s.m_records.empty() && s.m_final.empty())
                s.m_flags = m.m_dwFlags;
            s.Add(text, f.m_uid);
            needs.push_back(PlaceOf(m));
            arrived = true;
        }
    }
    SyncAction& a = Add(SyncOp::Record, RecordsOf(f));
    a.m_needs = needs;
    a.m_bDownload = arrived;
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
            SyncAction& a = Add(SyncOp::Create, {{item, MemoHref(m_in.m_collection, uid), "", uid}});
            if (s.m_bChanged)
                a.m_needs.push_back(place);
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
    for (const FetchedEvent& f : m_in.m_fetched) {
        m_fetched[f.m_href] = &f;
        m_uids.insert(f.m_uid);
    }
    ReadSlots();
    // The state's records by event, in the state's order.
    std::vector<std::string> order;
    std::map<std::string, std::vector<const SyncRecord*>> events;
    for (const SyncRecord& r : m_state.m_records) {
        std::vector<const SyncRecord*>& e = events[r.m_href];
        if (e.empty())
            order.push_back(r.m_href);
        e.push_back(&r);
    }
    for (const std::string& href : order) {
        const std::vector<const SyncRecord*>& recs = events[href];
        if (recs.front()->IsMemo()) {
            DecideEvent(recs);
            continue;
        }
        auto f = m_fetched.find(href);
        if (!m_listed.count(href))
            Add(SyncOp::Forget, {*recs.front()});
        else if (f != m_fetched.end())
            TakeNewEvent(*f->second);  // an entry that is no memo, changed: perhaps one now
    }
    for (const FetchedEvent& f : m_in.m_fetched)
        if (!events.count(f.m_href))
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
