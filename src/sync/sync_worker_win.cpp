#include "sync/sync_worker.h"

#include "memo/memo_file.h"
#include "sync/caldav_client.h"
#include "sync/sync_settings.h"
#include "sync/sync_state.h"
#include "sync/sync_words.h"

namespace {

const char kOwnCalendar[] = "Almanix";

// The client as the sync sees it, keeping the outcome of the last request: a sync that ended
// on a refused or unanswered request names the part that failed.
class CLastRequest : public ICalendarClient {
public:
    explicit CLastRequest(ICalendarClient& client) : m_client(client) {}
    int List(std::vector<ServerEntry>& events) override { return Note(m_client.List(events)); }
    int Changes(const std::string& token, std::vector<ServerEntry>& changed, std::vector<std::string>& removed,
        std::string& newToken) override
    {
        return Note(m_client.Changes(token, changed, removed, newToken));
    }
    int CollectionTag(std::string& ctag) override { return Note(m_client.CollectionTag(ctag)); }
    int Multiget(const std::vector<std::string>& hrefs, std::vector<FetchedBody>& bodies) override
    {
        return Note(m_client.Multiget(hrefs, bodies));
    }
    int Get(const std::string& href, std::string& body, std::string& etag) override
    {
        return Note(m_client.Get(href, body, etag));
    }
    int Put(const std::string& href, const std::string& body, const std::string& ifMatch, std::string& etag) override
    {
        return Note(m_client.Put(href, body, ifMatch, etag));
    }
    int Delete(const std::string& href, const std::string& ifMatch) override
    {
        return Note(m_client.Delete(href, ifMatch));
    }
    int RscaleSupport(bool& chinese) override { return Note(m_client.RscaleSupport(chinese)); }
    std::string LastError() const override { return m_client.LastError(); }

    // The words of a report that failed, with the part that failed first when the last
    // request failed for a reason the user can look at (a 412 is the sync's own business).
    std::string FailureWords(const std::string& words) const
    {
        const bool named = m_nStatus == 0 || m_nStatus == 401 || m_nStatus == 403 || m_nStatus == 404 ||
            m_nStatus == 410 || m_nStatus >= 500;
        return named ? FaultWords(FaultOf(m_nStatus, m_error), words) : words;
    }

private:
    int Note(int status)
    {
        m_nStatus = status;
        m_error = status == 0 ? m_client.LastError() : std::string();
        return status;
    }
    ICalendarClient& m_client;
    int m_nStatus = 200;
    std::string m_error;
};

}  // namespace

SyncReport SyncWithSettings(const std::string& memoFolder, bool cautious, SyncAnswer answer)
{
    SyncReport r;
    if (memoFolder.empty()) {
        r.m_status = "找不到“我的记事”文件夹";
        return r;
    }
    SyncSettings settings;
    if (!LoadSyncSettings(settings) || !settings.IsSet()) {
        r.m_status = "还没有设置同步服务器";
        return r;
    }
    // An empty password goes to the server only once the user said it needs none.
    if (settings.m_password.empty() && !settings.m_bNoPassword) {
        r.m_status = FaultWords(SyncFault::Login, "还没有填写密码");
        return r;
    }
    CCalDavClient client;
    if (!client.Open(settings.m_server, settings.m_user, settings.m_password)) {
        r.m_status = FaultWords(SyncFault::Address, client.LastError());
        return r;
    }
    if (settings.m_calendar.empty()) {
        std::string home;
        std::vector<CalendarInfo> calendars;
        int s = client.Discover(home, calendars);
        if (s != 207) {
            r.m_status = RequestFaultWords(s > 0 ? s : 0, client.LastError());
            return r;
        }
        for (const CalendarInfo& c : calendars)
            if (c.m_name == kOwnCalendar)
                settings.m_calendar = c.m_href;
        if (settings.m_calendar.empty()) {
            s = client.MakeCalendar(home, kOwnCalendar, settings.m_calendar);
            if (s != 201) {
                r.m_status = "新建日历失败，" + RequestFaultWords(s, client.LastError());
                return r;
            }
            // A calendar just made holds nothing: a record of one deleted at the same address
            // would make it look emptied.
            RemoveFile((memoFolder + SYNC_STATE_FILE).c_str());
        }
        // Stored only while the settings are still those of this sync: a dialog cancelled
        // meanwhile put the old ones back.
        SyncSettings now;
        if (LoadSyncSettings(now) && now.m_server == settings.m_server && now.m_user == settings.m_user &&
            now.m_calendar.empty()) {
            now.m_calendar = settings.m_calendar;
            now.m_calendarName = kOwnCalendar;
            SaveSyncSettings(now);
        }
    }
    if (!client.SetCollection(settings.m_calendar)) {
        r.m_status = client.LastError();
        return r;
    }
    SyncSetup setup;
    setup.m_calendar = client.Origin() + client.Collection();
    setup.m_collection = client.Collection();
    setup.m_calendarFolder = memoFolder + MEMO_CALENDAR_FOLDER + "\\";
    setup.m_stateFile = memoFolder + SYNC_STATE_FILE;
    setup.m_bCautious = cautious;
    setup.m_answer = answer;
    CLastRequest recorded(client);
    r = RunSync(recorded, setup);
    if (!r.m_bOk && r.m_question == SyncQuestion::None)
        r.m_status = recorded.FailureWords(r.m_status);
    return r;
}

CSyncWorker::CSyncWorker(HWND notify, std::string memoFolder)
    : m_memoFolder(std::move(memoFolder)), m_worker(notify, WM_SYNC_DONE)
{
}

bool CSyncWorker::Request(bool cautious, SyncAnswer answer)
{
    return m_worker.Request(
        [folder = m_memoFolder, cautious, answer] { return SyncWithSettings(folder, cautious, answer); });
}
