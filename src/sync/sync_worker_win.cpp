#include "sync/sync_worker.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "memo/memo_file.h"
#include "sync/caldav_client.h"
#include "sync/sync_settings.h"

namespace {

const char kOwnCalendar[] = "Almanix";

}  // namespace

SyncReport SyncWithSettings(bool cautious)
{
    SyncReport r;
    SyncSettings settings;
    if (!LoadSyncSettings(settings) || !settings.IsSet()) {
        r.m_status = "还没有设置同步服务器";
        return r;
    }
    CCalDavClient client;
    if (!client.Open(settings.m_server, settings.m_user, settings.m_password)) {
        r.m_status = client.LastError();
        return r;
    }
    if (settings.m_calendar.empty()) {
        std::string home;
        std::vector<CalendarInfo> calendars;
        int s = client.Discover(home, calendars);
        if (s != 207) {
            r.m_status = "查找日历失败：" + SyncStatusWords(s > 0 ? s : 0, client.LastError());
            return r;
        }
        for (const CalendarInfo& c : calendars)
            if (c.m_name == kOwnCalendar)
                settings.m_calendar = c.m_href;
        if (settings.m_calendar.empty()) {
            s = client.MakeCalendar(home, kOwnCalendar, settings.m_calendar);
            if (s != 201) {
                r.m_status = "新建日历失败：" + SyncStatusWords(s, client.LastError());
                return r;
            }
        }
        settings.m_calendarName = kOwnCalendar;
        SaveSyncSettings(settings);
    }
    if (!client.SetCollection(settings.m_calendar)) {
        r.m_status = client.LastError();
        return r;
    }
    SyncSetup setup;
    setup.m_calendar = client.Origin() + client.Collection();
    setup.m_collection = client.Collection();
    setup.m_calendarFolder = DefaultCalendarFolder();
    setup.m_bCautious = cautious;
    return RunSync(client, setup);
}

struct CSyncWorker::Shared {
    HWND m_hNotify = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bWanted = false, m_bStop = false, m_bCautious = false;
    std::atomic<bool> m_bRunning{false};
    std::thread m_thread;
};

CSyncWorker::CSyncWorker(HWND notify) : m_p(std::make_shared<Shared>())
{
    m_p->m_hNotify = notify;
    std::shared_ptr<Shared> p = m_p;  // the thread keeps it alive when it outlives this object
    m_p->m_thread = std::thread([p] {
        for (;;) {
            bool cautious = false;
            {
                std::unique_lock<std::mutex> lock(p->m_mutex);
                p->m_cv.wait(lock, [&] { return p->m_bWanted || p->m_bStop; });
                if (p->m_bStop)
                    return;
                p->m_bWanted = false;
                cautious = p->m_bCautious;
            }
            auto* report = new SyncReport(SyncWithSettings(cautious));
            p->m_bRunning = false;
            if (!::PostMessageW(p->m_hNotify, WM_SYNC_DONE, 0, reinterpret_cast<LPARAM>(report)))
                delete report;
        }
    });
}

CSyncWorker::~CSyncWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->m_bStop = true;
    }
    m_p->m_cv.notify_all();
    for (int i = 0; i < 40 && m_p->m_bRunning; ++i)
        ::Sleep(50);
    if (m_p->m_bRunning)
        m_p->m_thread.detach();
    else
        m_p->m_thread.join();
}

bool CSyncWorker::Request(bool cautious)
{
    if (m_p->m_bRunning.exchange(true))
        return false;
    {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->m_bWanted = true;
        m_p->m_bCautious = cautious;
    }
    m_p->m_cv.notify_all();
    return true;
}

bool CSyncWorker::Running() const
{
    return m_p->m_bRunning;
}
