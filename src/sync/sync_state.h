// What the memo folder and one CalDAV calendar last agreed on, kept in a file of the memo
// folder so that the next sync tells a change on either side from a change on the other.
#pragma once

#include <string>
#include <vector>

#include "ical/memo_ical.h"

// One event of the calendar that the last sync saw. A memo's event carries its place (the
// item's kind, file and slot) and the text and flags both sides held then; an event that
// is no memo (m_item.m_nKind 0) is only remembered so that it is not fetched again.
struct SyncRecord {
    MemoItem m_item;     // place, and the agreed text and flags
    std::string m_href;  // the event's path on the server ("/user/cal/x.ics")
    std::string m_etag;  // as the server sent it, quotes included
    std::string m_uid;   // the event's UID (ours, or the one a phone gave it)
    bool IsMemo() const { return m_item.m_nKind != 0; }
};

struct SyncState {
    std::string m_calendar;    // the calendar's URL: state of another calendar does not count
    // How lunar memos go to this calendar: as RSCALE rules only where it says it expands them
    // (a server that merely stores them may expand them as Gregorian rules), else as dates.
    enum class Rscale { Unknown, Rules, Dates } m_rscale = Rscale::Unknown;
    std::string m_syncToken;   // the calendar's sync-token at the last sync (RFC 6578), or empty
    std::string m_ctag;        // else its getctag then, or empty
    std::vector<SyncRecord> m_records;
};

// The file's name inside the memo folder.
inline constexpr char SYNC_STATE_FILE[] = "sync-state";

// Reads path. A state file of the version that kept one event per day holds no records: the
// next sync compares everything afresh. A missing file is an empty state (0); a file that is not a state file, or one
// of another calendar, is an empty state too but -1, so that the caller can say so.
int LoadSyncState(const char* path, const std::string& calendar, SyncState& state);
// Writes the whole state crash-safely (WriteWholeFile). 0 or -1.
int SaveSyncState(const char* path, const SyncState& state);

// The text of a state file and back (for the two above and their tests).
std::string FormatSyncState(const SyncState& state);
bool ParseSyncState(const std::string& text, SyncState& state);
