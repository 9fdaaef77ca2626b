#include "sync/sync_plan.h"

#include <cstdio>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "memo/memo_store.h"

namespace {

using Place = std::tuple<int, int, int, int>;
Place PlaceOf(const MemoItem& m)
{
    return {m.m_nKind, m.m_nFileYear, m.m_nFileMonth, m.m_nSlot};
}
bool SameContent(const MemoItem& a, const MemoItem& b)
{
    return a.m_text == b.m_text && a.m_dwFlags == b.m_dwFlags;
}

}  // namespace

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

std::string MemoHref(const std::string& collection, const MemoItem& place)
{
    std::string uid = MemoUid(place);
    uid.replace(uid.find('@'), 1, "-");  // "@" is allowed in a path, but some servers quote it
    return collection + uid + ".ics";
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

std::vector<SyncAction> PlanSync(const std::vector<MemoItem>& local, const SyncState& state,
    const std::vector<ServerEntry>& listing, const std::vector<FetchedEvent>& fetched, const std::string& collection,
    bool cautious)
{
    std::vector<SyncAction> actions;
    std::unordered_map<std::string, const ServerEntry*> onServer;
    for (const ServerEntry& e : listing)
        onServer[e.m_href] = &e;
    std::unordered_map<std::string, const FetchedEvent*> fetchedBy;
    for (const FetchedEvent& e : fetched)
        fetchedBy[e.m_href] = &e;

    // Every place any side knows, with what each side holds there.
    struct Sides {
        const MemoItem* m_local = nullptr;
        const SyncRecord* m_record = nullptr;
        const FetchedEvent* m_server = nullptr;  // a new or changed event for this place
        bool m_bServerGone = false;              // the record's event is no longer listed
    };
    std::map<Place, Sides> places;
    for (const MemoItem& m : local)
        places[PlaceOf(m)].m_local = &m;
    std::set<std::string> recordHrefs;
    for (const SyncRecord& r : state.m_records) {
        recordHrefs.insert(r.m_href);
        const bool listed = onServer.count(r.m_href) != 0;
        auto f = fetchedBy.find(r.m_href);
        if (!r.IsMemo() || (f != fetchedBy.end() && !f->second->m_bMemo)) {
            // No memo (or no longer one after an edit elsewhere): remembered while it is there.
            if (!listed) {
                actions.push_back({SyncOp::Forget, r.m_item, r.m_href, "", "", r.m_uid, false});
            } else if (r.IsMemo() || f != fetchedBy.end()) {
                actions.push_back(
                    {SyncOp::Foreign, MemoItem{}, r.m_href, "", onServer[r.m_href]->m_etag, r.m_uid, false});
            }
            continue;
        }
        Sides& s = places[PlaceOf(r.m_item)];
        s.m_record = &r;
        if (!listed)
            s.m_bServerGone = true;
        else if (f != fetchedBy.end())
            s.m_server = f->second;
    }
    // Events the state does not know: a memo's place takes the first; a further event for a
    // place already bound (two phone events on one day) is added to the memo once and then
    // left alone.
    for (const FetchedEvent& e : fetched) {
        if (recordHrefs.count(e.m_href))
            continue;
        if (!e.m_bMemo) {
            actions.push_back({SyncOp::Foreign, MemoItem{}, e.m_href, "", e.m_etag, e.m_uid, false});
            continue;
        }
        Sides& s = places[PlaceOf(e.m_item)];
        if (!s.m_record && !s.m_server) {
            s.m_server = &e;
        } else {
            MemoItem into = s.m_local ? *s.m_local : e.m_item;
            if (s.m_local && into.m_text.find(e.m_item.m_text) == std::string::npos)
                into.m_text += "\r\n" + e.m_item.m_text;
            // Downloaded into the slot; recorded as an event that is no memo of ours.
            actions.push_back({SyncOp::Foreign, into, e.m_href, "", e.m_etag, e.m_uid, false});
        }
    }

    for (auto& [place, s] : places) {
        const MemoItem* L = s.m_local;
        const SyncRecord* R = s.m_record;
        const FetchedEvent* S = s.m_server;
        if (!R) {
            if (L && !S) {
                actions.push_back({SyncOp::Upload, *L, MemoHref(collection, *L), "", "", MemoUid(*L), true});
            } else if (!L && S) {
                actions.push_back({SyncOp::Download, S->m_item, S->m_href, "", S->m_etag, S->m_uid, false});
            } else if (L && S) {
                if (SameContent(*L, S->m_item)) {
                    actions.push_back({SyncOp::Agree, *L, S->m_href, "", S->m_etag, S->m_uid, false});
                } else {
                    MemoItem merged = S->m_item;
                    merged.m_text = MergeTexts(S->m_item.m_text, L->m_text);
                    actions.push_back({SyncOp::Merge, merged, S->m_href, S->m_etag, "", S->m_uid, false});
                }
            }
            continue;
        }
        const bool localChanged = !L || !SameContent(*L, R->m_item);
        if (s.m_bServerGone) {
            if (!L)
                actions.push_back({SyncOp::Forget, R->m_item, R->m_href, "", "", R->m_uid, false});
            else if (!localChanged)
                actions.push_back({SyncOp::DeleteLocal, R->m_item, R->m_href, "", "", R->m_uid, false});
            else
                actions.push_back({SyncOp::Upload, *L, R->m_href, "", "", R->m_uid, true});  // nothing lost
        } else if (!S) {
            if (!L && cautious) {
                actions.push_back({SyncOp::Download, R->m_item, R->m_href, "", R->m_etag, R->m_uid, false});
            } else if (!L) {
                actions.push_back({SyncOp::DeleteRemote, R->m_item, R->m_href, R->m_etag, "", R->m_uid, false});
            } else if (localChanged && cautious) {
                MemoItem merged = *L;
                merged.m_text = MergeTexts(R->m_item.m_text, L->m_text);
                actions.push_back({SyncOp::Merge, merged, R->m_href, R->m_etag, "", R->m_uid, false});
            } else if (localChanged) {
                actions.push_back({SyncOp::Upload, *L, R->m_href, R->m_etag, "", R->m_uid, false});
            }
        } else if (!localChanged || !L) {
            // A change on the server wins over a local removal: nothing is lost.
            actions.push_back({SyncOp::Download, S->m_item, R->m_href, "", S->m_etag, R->m_uid, false});
        } else if (SameContent(*L, S->m_item)) {
            actions.push_back({SyncOp::Agree, *L, R->m_href, "", S->m_etag, R->m_uid, false});
        } else {
            MemoItem merged = S->m_item;
            merged.m_text = MergeTexts(S->m_item.m_text, L->m_text);
            actions.push_back({SyncOp::Merge, merged, R->m_href, S->m_etag, "", R->m_uid, false});
        }
    }
    return actions;
}
