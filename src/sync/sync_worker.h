// The sync's worker thread: one sync at a time, off the window's thread; each result is
// posted to a window, which alone touches windows and the shown month.
#pragma once

#include <windows.h>

#include <memory>

#include "sync/sync_engine.h"

// Posted when a sync ended: lParam owns a SyncReport (delete it).
#define WM_SYNC_DONE (WM_APP + 30)

class CSyncWorker {
public:
    explicit CSyncWorker(HWND notify);
    // Waits briefly for a running sync, then leaves it to end with the process: memo files
    // are only ever replaced whole, so a sync cut off anywhere loses nothing.
    ~CSyncWorker();
    CSyncWorker(const CSyncWorker&) = delete;
    CSyncWorker& operator=(const CSyncWorker&) = delete;

    // Starts a sync with the stored settings (the memo folder is the current directory).
    // False when one is running already or no server is set.
    // cautious: memos were saved while the last sync ran (see PlanSync).
    bool Request(bool cautious = false);
    bool Running() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_p;
};

// One sync with the stored settings, on the calling thread: opens the client, finds or makes
// the calendar when none is chosen yet (and stores it), and runs the sync.
SyncReport SyncWithSettings(bool cautious = false);
