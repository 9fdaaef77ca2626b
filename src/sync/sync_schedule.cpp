#include "sync/sync_schedule.h"

#include <algorithm>

void CSyncSchedule::LocalChange(std::int64_t now)
{
    if (m_bRunning) {
        // The running sync may have read the folder before this change: one more afterwards.
        m_bChangedWhileRunning = true;
        return;
    }
    m_nDue = now + kAfterChange;
    if (m_nPeriodic >= 0)
        m_nDue = std::min(m_nDue, std::max(m_nPeriodic, now));
}

void CSyncSchedule::Ended(std::int64_t now, bool ok)
{
    m_bRunning = false;
    if (ok) {
        m_nFailures = 0;
        m_nDue = now + kPeriod;
    } else {
        const int shift = std::min(m_nFailures, 5);
        ++m_nFailures;
        m_nDue = now + std::min(kFirstRetry << shift, kPeriod);
    }
    m_nPeriodic = m_nDue;
    if (m_bChangedWhileRunning) {
        m_bChangedWhileRunning = false;
        if (ok)
            m_nDue = now + kAfterChange;
    }
}
