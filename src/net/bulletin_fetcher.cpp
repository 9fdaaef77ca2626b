#include "net/bulletin_fetcher.h"

#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

// What the fetcher and its worker threads share; a worker may outlive the fetcher.
struct CBulletinFetcher::CShared {
    std::mutex m_mutex;
    bool m_bBusy = false;      // under m_mutex
    bool m_bShutdown = false;  // under m_mutex
    Completion m_onDone;       // under m_mutex
    std::atomic<bool> m_bCancel{false};
};

BulletinResult FetchBulletinItem(
    const char* host, unsigned short port, const BulletinTimeouts& timeouts, const std::atomic<bool>* pCancel)
{
    BulletinResult result;
    char body[BULLETIN_BODY_SIZE];
    int length = BULLETIN_BODY_SIZE - 1;
    result.m_nCode = GetPageBodyFrom(body, &length, host, port, BULLETIN_PATH, BULLETIN_VERSION, timeouts, pCancel);
    if (result.m_nCode != BULLETIN_OK)
        return result;
    std::string link;
    result.m_bHasItem = ParseBulletinBody(body, &link, &result.m_strText);
    if (result.m_bHasItem && IsSafeWebLink(link.c_str()))
        result.m_strLink = std::move(link);
    return result;
}

CBulletinFetcher::CBulletinFetcher(Completion onDone, BulletinFetchOptions options)
    : m_pShared(std::make_shared<CShared>()), m_options(std::move(options))
{
    m_pShared->m_onDone = std::move(onDone);
}

CBulletinFetcher::~CBulletinFetcher()
{
    Shutdown();
}

bool CBulletinFetcher::Start(const char* host)
{
    if (!host)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_pShared->m_mutex);
        if (m_pShared->m_bBusy || m_pShared->m_bShutdown)
            return false;
        m_pShared->m_bBusy = true;
    }
    try {
        std::thread worker([shared = m_pShared, host = std::string(host), port = m_options.m_nPort,
                               timeouts = m_options.m_timeouts, onExit = m_options.m_onWorkerExit] {
            const BulletinResult result = FetchBulletinItem(host.c_str(), port, timeouts, &shared->m_bCancel);
            {
                std::lock_guard<std::mutex> lock(shared->m_mutex);
                // Cleared first: the window may start the next fetch as soon as it hears of this one.
                shared->m_bBusy = false;
                if (!shared->m_bShutdown && shared->m_onDone)
                    shared->m_onDone(result);
            }
            if (onExit)
                onExit();
        });
        // Nobody waits for it: at exit a fetch still waiting on the network must not hold
        // the process; the shared state keeps what it touches alive.
        worker.detach();
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(m_pShared->m_mutex);
        m_pShared->m_bBusy = false;
        return false;
    }
    return true;
}

bool CBulletinFetcher::IsBusy() const
{
    std::lock_guard<std::mutex> lock(m_pShared->m_mutex);
    return m_pShared->m_bBusy;
}

void CBulletinFetcher::Shutdown()
{
    Completion dropped;
    {
        std::lock_guard<std::mutex> lock(m_pShared->m_mutex);
        m_pShared->m_bShutdown = true;
        m_pShared->m_bCancel = true;
        dropped = std::move(m_pShared->m_onDone);
        m_pShared->m_onDone = nullptr;
    }
    // What the callback holds is released here, outside the lock.
}
