// The first sync of 1,000 memos with a fresh calendar, and a sync with nothing changed.
#include <chrono>
#include <cstdio>
#include <string>

#include "memo/memo_store.h"
#include "scratch_folder.h"
#include "sync_support.h"

int main()
{
    ScratchFolder folder("sync-bench");
    CCalDavClient client;
    std::string err;
    if (!folder.PrepareMemos() || !OpenFreshCalendar(client, "bench", err)) {
        std::printf("setup failed: %s\n", err.c_str());
        return 1;
    }
    int n = 0;
    for (int y = 2020; n < 1000; ++y)
        for (int m = 1; m <= 12 && n < 1000; ++m) {
            CMemoStore store;
            store.Open(y, m);
            for (int d = 1; d <= 28 && n < 1000; d += 3, ++n) {
                const std::string text = "memo " + std::to_string(n);
                store.m_pEntries[d].Set(text.data(), static_cast<int>(text.size()), 0);
            }
            store.Save();
        }
    for (const char* what : {"first sync of 1000 memos", "sync with nothing changed"}) {
        const auto t0 = std::chrono::steady_clock::now();
        const SyncReport r = SyncNow(client);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%-28s %8.3f s  %5d requests  %s\n", what, s, r.m_nRequests, r.m_bOk ? "ok" : r.m_status.c_str());
        if (!r.m_bOk)
            return 1;
    }
    return 0;
}
