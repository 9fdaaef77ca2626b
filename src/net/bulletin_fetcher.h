// Fetches the bulletin on a worker thread, one fetch at a time, and hands the outcome to a
// callback, so that the window that shows it never waits for the network.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "net/bulletin.h"

// The outcome of one fetch, self-contained (a copy of everything the window needs).
struct BulletinResult {
    int m_nCode = BULLETIN_ERR_RESOLVE;  // GetPageBody's code; 0: a reply with a body came
    bool m_bHasItem = false;             // the body held an item (only with m_nCode 0)
    std::string m_strLink;               // the item's link when IsSafeWebLink accepts it, else empty
    std::string m_strText;               // the item's text, GB18030 bytes, CR LF between lines
};

struct BulletinFetchOptions {
    unsigned short m_nPort = BULLETIN_PORT;
    BulletinTimeouts m_timeouts;
    // Called last on every worker thread, also after Shutdown; lets tests see a worker end.
    std::function<void()> m_onWorkerExit;
};

// One complete exchange with host and its item, on the calling thread.
BulletinResult FetchBulletinItem(const char* host, unsigned short port, const BulletinTimeouts& timeouts,
    const std::atomic<bool>* pCancel = nullptr);

class CBulletinFetcher {
public:
    // Called on the worker thread with the outcome of each fetch, never after Shutdown has
    // returned and never twice at once. Keep it short and do not call this fetcher from it
    // (Start and Shutdown wait for a running callback): copy the result and post it.
    using Completion = std::function<void(const BulletinResult&)>;

    explicit CBulletinFetcher(Completion onDone, BulletinFetchOptions options = BulletinFetchOptions());
    ~CBulletinFetcher();  // Shutdown
    CBulletinFetcher(const CBulletinFetcher&) = delete;
    CBulletinFetcher& operator=(const CBulletinFetcher&) = delete;

    // Starts a fetch from host (BULLETIN_PATH, BULLETIN_VERSION) on a new thread. False, and
    // nothing started, while a fetch is running, after Shutdown, or when no thread can be made.
    bool Start(const char* host);
    // A fetch has been started and its callback has not yet been called.
    bool IsBusy() const;
    // Drops the callback and asks a running fetch to give up; returns at once (at most after
    // a callback already running). The worker ends by itself within a fraction of a second,
    // or once name resolution returns; the process may exit meanwhile.
    void Shutdown();

private:
    struct CShared;
    std::shared_ptr<CShared> m_pShared;
    BulletinFetchOptions m_options;
};
