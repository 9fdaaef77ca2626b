// The decision for each memo of a sync, from three views of it: the memo folder now, the
// server now and what both last agreed on (the state). Pure: no files, no network.
#pragma once

#include <string>
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
    bool m_bMemo = false;  // its iCalendar maps to a memo (as the import maps it)
    MemoItem m_item;       // then: the memo
};

enum class SyncOp {
    Upload,        // PUT the memo: If-Match m_ifMatch, or If-None-Match: * when m_bNew
    Download,      // write the server's memo into its slot
    Merge,         // changed on both sides: write m_item (the merged text) and PUT it
    DeleteRemote,  // DELETE If-Match m_ifMatch
    DeleteLocal,   // empty the memo's slot
    Agree,         // both sides hold the same: only the state changes
    Forget,        // the event is gone from both sides: drop its record
    Foreign,       // an event that is no memo: remembered, never touched
};

struct SyncAction {
    SyncOp m_op = SyncOp::Agree;
    MemoItem m_item;  // what both sides hold once the action is done (for Delete*: the place)
    std::string m_href;
    std::string m_ifMatch;  // the ETag the server must still have
    std::string m_etag;     // the ETag when the action needs no request (Download, Agree, Foreign)
    std::string m_uid;
    bool m_bNew = false;
};

// The UID a memo's event gets when it is made by us (the same as an export's).
std::string MemoUid(const MemoItem& place);
// Where a new memo's event goes inside the calendar (collection ends in "/").
std::string MemoHref(const std::string& collection, const MemoItem& place);

// Hrefs of the listing whose content the plan needs: unknown to the state, or with a new ETag.
std::vector<std::string> HrefsToFetch(const SyncState& state, const std::vector<ServerEntry>& listing);

// local: the memos of the folder now; fetched: the events of HrefsToFetch. One action for each
// memo or event that needs one; memos unchanged on both sides get none.
// cautious: the memo files may have been written from texts read before the last sync (the
// window saved a memo while that sync ran), so a local change may undo what the sync brought:
// a changed memo is merged with the agreed text instead of replacing it, and a memo gone
// here comes back from the server instead of being deleted there.
std::vector<SyncAction> PlanSync(const std::vector<MemoItem>& local, const SyncState& state,
    const std::vector<ServerEntry>& listing, const std::vector<FetchedEvent>& fetched, const std::string& collection,
    bool cautious = false);
