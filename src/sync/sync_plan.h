// The decisions of one sync, from three views of every event: the memo folder now, the
// server now and what both last agreed on (the state). Pure: no files, no network.
//
// A memo slot shows every event of its place as one part (memo_parts.h); each event is a
// record of the state with the place and the part's text both sides agreed on. So any number
// of events share a day, an event moved elsewhere leaves its old day and joins its new one,
// and nothing on either side is ever written over: a text changed on both sides keeps both.
#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "memo/memo_merge.h"
#include "sync/sync_state.h"

// One event in the server's listing.
struct ServerEntry {
    std::string m_href;
    std::string m_etag;
};

// An event fetched because the state does not know its href or its ETag changed.
struct FetchedEvent {
    std::string m_href;
    std::string m_etag;
    std::string m_uid;
    // The memos it reads as (as the import reads it): each a place with the part's text and
    // flags; several for an event on several days or with changed occurrences; none for an
    // entry that is no memo (a task, an event outside the calendar's years).
    std::vector<MemoItem> m_items;
    std::string m_body;  // the event as the server sent it
};

// What becomes of one event. Its records (one per place it shows on) are m_records.
enum class SyncOp {
    Create,        // PUT a new event made from the one record (If-None-Match: *)
    Update,        // PUT the server's event with its text set to the records' (If-Match m_ifMatch)
    DeleteRemote,  // DELETE the event, If-Match m_ifMatch
    Record,        // no request: the event's records become m_records (downloaded, agreed, moved)
    Forget,        // no request: the event's records are dropped
};

using MemoPlace = std::tuple<int, int, int, int>;  // kind, file year, file month, slot
MemoPlace PlaceOf(const MemoItem& m);

struct SyncAction {
    SyncOp m_op = SyncOp::Record;
    std::vector<SyncRecord> m_records;  // once done (Create, Update, Record); else those dropped
    const SyncRecord& First() const { return m_records.front(); }
    std::string m_ifMatch;  // the ETag the server must still have
    std::string m_body;     // Update: the server's event as this sync fetched it ("": fetch it)
    bool m_bMerged = false;  // both sides had changed the text: it holds both
    bool m_bDownload = false;
    std::vector<MemoPlace> m_needs;  // slots whose writes must have gone in first
};

// A slot the sync rewrites: only while it still holds what the sync read.
struct SlotWrite {
    MemoItem m_before;  // place, and the text and flags read
    MemoItem m_after;   // what it gets (an empty text empties the slot)
};

struct SyncPlan {
    std::vector<SlotWrite> m_writes;
    std::vector<SyncAction> m_actions;
};

// The UID a memo's event gets when it is made by us (the same as an export's).
std::string MemoUid(const MemoItem& place);
// Where a new memo's event goes inside the calendar (collection ends in "/").
std::string MemoHref(const std::string& collection, const std::string& uid);

// Hrefs of the listing whose content the plan needs: unknown to the state, or with a new ETag.
std::vector<std::string> HrefsToFetch(const SyncState& state, const std::vector<ServerEntry>& listing);

struct SyncInputs {
    std::vector<MemoItem> m_local;          // the memos of the folder now
    std::vector<MemoItem> m_unreadable;     // files that broke off (slot ignored): nothing there counts as removed
    std::vector<ServerEntry> m_listing;     // every event on the server now
    std::vector<FetchedEvent> m_fetched;    // the events of HrefsToFetch
    std::string m_collection;
    // The memo files may have been written from texts read before the last sync (the window
    // saved a memo while that sync ran), so a local change may undo what the sync brought: a
    // changed part is merged with the agreed text, and a part gone here comes back.
    bool m_bCautious = false;
};

SyncPlan PlanSync(const SyncInputs& in, const SyncState& state);
