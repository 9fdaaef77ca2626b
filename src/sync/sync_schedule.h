// When the next sync is due: at start, every 15 minutes, a few seconds after the last of a
// burst of local changes, and after a failure later and later (up to the period). Portable;
// times are milliseconds of a monotonic clock.
#pragma once

#include <cstdint>

class CSyncSchedule {
public:
    static constexpr std::int64_t kPeriod = 15 * 60 * 1000;
    static constexpr std::int64_t kAfterChange = 5 * 1000;
    static constexpr std::int64_t kFirstRetry = 30 * 1000;

    // The program started: due at once.
    void Start(std::int64_t now) { m_nDue = now; }
    // A memo changed here: due kAfterChange after the last of a burst, never later than the
    // period's own time.
    void LocalChange(std::int64_t now);
    // The user asked for a sync now.
    void Now(std::int64_t now) { m_nDue = now; }
    // A sync began: nothing further is due until it ends.
    void Began() { m_bRunning = true; }
    // It ended: the next one a period later, or after a failure after 30 s, 1, 2, 4 ... minutes.
    void Ended(std::int64_t now, bool ok);
    bool Due(std::int64_t now) const { return !m_bRunning && m_nDue >= 0 && now >= m_nDue; }
    std::int64_t DueAt() const { return m_nDue; }

private:
    std::int64_t m_nDue = -1;       // -1: not started
    std::int64_t m_nPeriodic = -1;  // when the period's sync is due
    int m_nFailures = 0;
    bool m_bRunning = false;
    bool m_bChangedWhileRunning = false;
};
