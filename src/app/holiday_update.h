// The holiday schedules' download: a round over some years on a worker thread, never on the
// window's; each year fetched, checked (monthview/holiday_download) and stored beside the memo
// files; the round's outcome posted to a window. And the settings it keeps in the registry.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "monthview/holiday_download.h"
#include "framework/posting_worker.h"

// Posted when a round ended: lParam owns a HolidayRound (delete it).
#define WM_HOLIDAYS_DONE (WM_APP + 40)

struct HolidayYearOutcome {
    int m_nYear = 0;
    bool m_bTaken = false;  // stored, and to be read in
    std::string m_reason;   // why not, in the user's words (GBK)
};
using HolidayRound = std::vector<HolidayYearOutcome>;

// One year on the calling thread: the file at urlPattern's address for nYear, taken when it
// passes the checks and stored as memoFolder's (absolute, ending in a separator) download.
HolidayYearOutcome UpdateHolidayYear(const std::string& urlPattern, const std::string& memoFolder, int nYear);

class CHolidayUpdater {
public:
    // On destruction a round under way is left to end with the process (see CPostingWorker).
    CHolidayUpdater(HWND notify, std::string memoFolder, std::string urlPattern);

    // Starts a round over years. False while one runs.
    bool Request(const std::vector<int>& years);
    bool Running() const { return m_worker.Running(); }

private:
    std::string m_memoFolder;
    std::string m_urlPattern;
    CPostingWorker<HolidayRound> m_worker;
};

// "自动更新节假日": on unless the user turned it off.
bool HolidayUpdateWanted();
void SetHolidayUpdateWanted(bool bWanted);
HolidayAskLog LoadHolidayAskLog();
void SaveHolidayAskLog(const HolidayAskLog& log);
// The About box's lines of the last round ("" before the first).
std::string LoadHolidayUpdateWords();
void SaveHolidayUpdateWords(const std::string& words);
