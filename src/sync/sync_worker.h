// The sync's worker thread: one sync at a time, off the window's thread; each result is
// posted to a window, which alone touches windows and the shown month.
#pragma once

#include <windows.h>

#include <string>

#include "framework/posting_worker.h"
#include "sync/sync_engine.h"

// Posted when a sync ended: lParam owns a SyncReport (delete it).
#define WM_SYNC_DONE (WM_APP + 30)

class CSyncWorker {
public:
    // memoFolder: the program's memo folder, absolute and ending in a separator (program
    // bytes); empty when there is none, and then every sync fails and says so.
    // On destruction a running sync is left to end with the process (see CPostingWorker).
    CSyncWorker(HWND notify, std::string memoFolder);

    // Starts a sync with the stored settings. False when one is running already.
    // cautious: memos were saved while the last sync ran (see PlanSync); answer: the user's
    // answer to the question of the last sync's report.
    bool Request(bool cautious = false, SyncAnswer answer = SyncAnswer::None);
    bool Running() const { return m_worker.Running(); }

private:
    std::string m_memoFolder;
    CPostingWorker<SyncReport> m_worker;
};

// One sync of the memo folder memoFolder (as CSyncWorker takes it) with the stored settings, on
// the calling thread: opens the client, finds or makes the calendar when none is chosen yet
// (and stores it), and runs the sync. It never depends on the process's current folder.
SyncReport SyncWithSettings(const std::string& memoFolder, bool cautious = false, SyncAnswer answer = SyncAnswer::None);
