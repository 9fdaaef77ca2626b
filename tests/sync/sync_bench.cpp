// The first sync of 1,000 memos with a fresh calendar, a sync with nothing changed, and a sync
// with 10 changes on each side (10 memos edited here through the memo store, 10 of their events
// retitled by the phone, phone.py). Seconds and requests are printed; only a failed sync fails.
#include <chrono>
#include <cstdio>
#include <string>

#include "memo/memo_store.h"
#include "scratch_folder.h"
#include "sync_support.h"

namespace {

// Memo n (0..999): 10 a month from January 2020, on days 1, 4, ..., 28.
void DateOf(int n, int& y, int& m, int& d)
{
    y = 2020 + n / 120;
    m = n / 10 % 12 + 1;
    d = 1 + 3 * (n % 10);
}

bool Timed(const char* what, CCalDavClient& client)
{
    const auto t0 = std::chrono::steady_clock::now();
    const SyncReport r = SyncNow(client);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%-34s %8.3f s  %5d requests  %s\n", what, s, r.m_nRequests, r.m_bOk ? "ok" : r.m_status.c_str());
    std::fflush(stdout);
    return r.m_bOk;
}

}  // namespace

int main()
{
    ScratchFolder folder("sync-bench");
    CCalDavClient client;
    std::string err;
    if (!folder.PrepareMemos() || !OpenFreshCalendar(client, "bench", err)) {
        std::printf("setup failed: %s\n", err.c_str());
        return 1;
    }
    int y, m, d;
    for (int n = 0; n < 1000; n += 10) {  // a month's memos
        CMemoStore store;
        DateOf(n, y, m, d);
        store.Open(y, m);
        for (int k = n; k < n + 10; ++k) {
            DateOf(k, y, m, d);
            const std::string text = "memo " + std::to_string(k);
            store.m_pEntries[d].Set(text.data(), static_cast<int>(text.size()), 0);
        }
        store.Save();
    }
    if (!Timed("first sync of 1000 memos", client) || !Timed("sync with nothing changed", client))
        return 1;
    // 10 memos edited here (memos 0..9), 10 others' events retitled on the phone (500..509).
    for (int n = 0; n < 10; ++n) {
        DateOf(n, y, m, d);
        CMemoStore store;
        const std::string text = "memo " + std::to_string(n) + " edited here";
        if (store.Open(y, m) != 0 || store.SetEntry(d, text.data(), static_cast<int>(text.size()), 0) != 0) {
            std::printf("editing memo %d failed\n", n);
            return 1;
        }
    }
    std::string phone;
    for (int n = 500; n < 510; ++n) {
        DateOf(n, y, m, d);
        char uid[64];
        std::snprintf(uid, sizeof uid, "once-%04d%02d%02d@almanix.memo", y, m, d);
        phone += (phone.empty() ? "" : " && ") + std::string("phone ") + client.Collection() + " retitle " + uid +
            " 'memo " + std::to_string(n) + " edited on the phone'";
    }
    int rc = 0;
    const std::string out = Shell(phone, rc);
    if (rc != 0) {
        std::printf("the phone's edits failed (%d): %s\n", rc, out.c_str());
        return 1;
    }
    return Timed("sync with 10 changes on each side", client) ? 0 : 1;
}
