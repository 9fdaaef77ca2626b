// One sync of the memo folder with a CalDAV calendar, over a client that does the requests.
// Portable: the client on Windows is WinHTTP's (caldav_client_win.cpp).
#pragma once

#include <string>
#include <vector>

#include "sync/sync_plan.h"

// One event's body as a calendar-multiget or GET returned it.
struct FetchedBody {
    std::string m_href;
    std::string m_etag;
    std::string m_body;
    int m_nStatus = 200;  // 404: gone from the server since the listing
};

// The requests a sync makes of one calendar. Each returns the HTTP status, or 0 when no
// answer came (LastError says why in words).
class ICalendarClient {
public:
    virtual ~ICalendarClient() = default;
    // Every event of the calendar with its ETag (a listing is 207).
    virtual int List(std::vector<ServerEntry>& events) = 0;
    // The events changed and removed since token (RFC 6578 sync-collection; an empty token: all
    // of them), and the token now. 207 with newToken empty: the server answered without a
    // sync-token, so it has no sync report after all. Another status when the server does not
    // offer it or no longer knows the token.
    virtual int Changes(const std::string& token, std::vector<ServerEntry>& changed, std::vector<std::string>& removed,
        std::string& newToken) = 0;
    // The calendar's getctag (it changes with every change in the calendar); 207 with it.
    virtual int CollectionTag(std::string& ctag) = 0;
    // Up to 100 events' bodies and ETags in one calendar-multiget REPORT (RFC 4791, 7.9): 207,
    // one entry per href the server answered (m_nStatus 404 for one gone since the listing).
    // Another status when the server does not offer it: the caller GETs each.
    virtual int Multiget(const std::vector<std::string>& hrefs, std::vector<FetchedBody>& bodies) = 0;
    virtual int Get(const std::string& href, std::string& body, std::string& etag) = 0;
    // ifMatch empty: If-None-Match: * (the event must not exist yet). etag: the new one, when sent.
    virtual int Put(
        const std::string& href, const std::string& body, const std::string& ifMatch, std::string& etag) = 0;
    virtual int Delete(const std::string& href, const std::string& ifMatch) = 0;
    // Whether the calendar advertises RSCALE=CHINESE in its supported-rscale-set (RFC 7529,
    // section 5.2): 207 with the answer (false when the property is missing).
    virtual int RscaleSupport(bool& chinese) = 0;
    virtual std::string LastError() const = 0;
};

// One side found empty while the other still holds what both last agreed on: the sync changes
// nothing until the user says which side is right.
enum class SyncQuestion {
    None,
    ServerEmptied,  // the calendar has no event of ours left: "清空本机记事" or "重新上传本机记事"
    LocalEmptied,   // the memo folder has no memo left: "清空服务器上的记事" or "从服务器取回记事"
};
enum class SyncAnswer {
    None,
    EmptyBoth,  // the emptied side is right: empty the other one too
    Refill,     // the emptied side is wrong: fill it again from the other one
};

struct SyncReport {
    bool m_bOk = false;
    SyncQuestion m_question = SyncQuestion::None;  // then nothing was changed
    std::string m_status;  // UTF-8, in words: what was done, or what went wrong
    int m_nUploaded = 0, m_nDownloaded = 0, m_nDeletedRemote = 0, m_nDeletedLocal = 0, m_nMerged = 0;
    int m_nRequests = 0;                // HTTP requests made
    std::vector<std::string> m_merged;  // places of the memos merged in a conflict (UTF-8)
};

struct SyncSetup {
    std::string m_calendar;    // the calendar's URL (names the state)
    std::string m_collection;  // its path on the server, ending in "/"
    std::string m_stateFile;       // absolute: the sync never depends on the current folder
    std::string m_calendarFolder;  // absolute, ending in a separator: the memo files' folder
    bool m_bCautious = false;      // see PlanSync: memos were saved while the last sync ran
    SyncAnswer m_answer = SyncAnswer::None;  // the user's answer to the last sync's question
};

// Runs one sync. A failed request stops it:
// what was done before stays done and recorded, memo files are only ever rewritten whole.
SyncReport RunSync(ICalendarClient& client, const SyncSetup& setup);

// A request's outcome in words (program bytes): status 0 gives the client's error.
std::string SyncStatusWords(int status, const std::string& error);

// The event body of a memo: the RSCALE rule, or for a server that refuses it (noRscale) the
// days as an RDATE list over the calendar's years with the lunar tag that brings the rule back.
std::string MemoEventBody(const MemoItem& memo, const std::string& uid, bool noRscale);
// The memos of one event's body, as the import reads them, each text as a part of its day;
// false when the body is no calendar (an entry that is no memo gives none).
bool EventToMemos(const std::string& body, std::string& uid, std::vector<MemoItem>& memos);
// The memo of an event that reads as exactly one, or false.
bool EventToMemo(const std::string& body, std::string& uid, MemoItem& memo);
