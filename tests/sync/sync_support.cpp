#include "sync_support.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// The script's folder as this Windows program sees it: Wine's Z: is the Unix root.
std::string WinPath(const std::string& unixPath, const char* file)
{
    std::string p = "Z:" + unixPath + "/" + file;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

// The script polls its control folder; answers come within a second or two.
bool WaitForFile(const std::string& path, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

std::string DavEnv(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool OpenFreshCalendar(CCalDavClient& client, const std::string& name, std::string& err, const std::string& password)
{
    if (!client.Open(DavEnv("ALMANIX_DAV_URL"), DavEnv("ALMANIX_DAV_USER"), password)) {
        err = client.LastError();
        return false;
    }
    std::string home, href;
    std::vector<CalendarInfo> calendars;
    int s = client.Discover(home, calendars);
    if (s != 207) {
        err = "discovery: " + std::to_string(s) + " " + client.LastError();
        return false;
    }
    s = client.MakeCalendar(home, name, href);
    if (s != 201) {
        err = "MKCALENDAR: " + std::to_string(s);
        return false;
    }
    client.SetCollection(href);
    return true;
}

std::string Shell(const std::string& command, int& rc)
{
    const std::string dir = DavEnv("ALMANIX_DAV_CONTROL");
    DeleteFileA(WinPath(dir, "cmd.rc").c_str());
    {
        std::ofstream f(WinPath(dir, "cmd.tmp"), std::ios::binary);
        f << command << "\n";
    }
    MoveFileA(WinPath(dir, "cmd.tmp").c_str(), WinPath(dir, "cmd.sh").c_str());
    rc = -1;
    if (!WaitForFile(WinPath(dir, "cmd.rc"), 60))
        return "";
    std::ifstream r(WinPath(dir, "cmd.rc"));
    r >> rc;
    std::ifstream o(WinPath(dir, "cmd.out"), std::ios::binary);
    std::stringstream ss;
    ss << o.rdbuf();
    return ss.str();
}

bool ControlServer(const char* what)
{
    const std::string dir = DavEnv("ALMANIX_DAV_CONTROL");
    const std::string done = std::string(what) == "stop" ? "stopped" : "started";
    DeleteFileA(WinPath(dir, done.c_str()).c_str());
    std::ofstream(WinPath(dir, what)).put('\n');
    return WaitForFile(WinPath(dir, done.c_str()), 60);
}

SyncReport SyncNow(CCalDavClient& client, SyncAnswer answer)
{
    SyncSetup setup;
    setup.m_calendar = client.Origin() + client.Collection();
    setup.m_collection = client.Collection();
    setup.m_calendarFolder = DefaultCalendarFolder();
    setup.m_stateFile = SYNC_STATE_FILE;
    setup.m_answer = answer;
    return RunSync(client, setup);
}
